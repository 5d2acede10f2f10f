#pragma once
// CDlgHackRF: the HackRF settings window ("Настройки HackRF"), modeless, made once and shown or
// hidden by the main window's "Настроить sdr..." box. It changes the board through ReceiverSet
// and its HackRF back end (window thread) and tells the main window what changed through its
// signals.
#include <QDialog>
#include <QString>
#include <functional>
#include <string>

#include "receivers/receiver_set.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;
class QTextEdit;

namespace kavu {

class CDlgHackRF : public QDialog {
  Q_OBJECT

 public:
  // `receivers` must outlive the window.
  explicit CDlgHackRF(ReceiverSet& receivers, QWidget* parent = nullptr);
  ~CDlgHackRF() override;

  // The refresh command: reads the back end's state into the controls, the caption and the
  // status.
  void Refresh();
  // After the main window tuned the board: ReceiverSet's tuning report ("Настр. %0.3f МГц"...),
  // in the error colour when it carries " ERR ".
  void ShowTuned(const std::string& report);

  // The rate texts of the combo: "%0.3f" with trailing zeros removed + " МГц".
  static QString RateText(int var);

 signals:
  // Hidden by its own close box: the main window unchecks "Настроить sdr..." (timer 7775).
  void Closed();
  // The rate changed: the main window shows the HackRF status text and re-plans (timer 7776).
  void SettingsChanged(double rate_hz);

 protected:
  void showEvent(QShowEvent* e) override;
  void reject() override;

 private:
  friend class CDlgHackRFTestAccess;
  enum class Colour { kNormal, kError, kNotice };

  void BuildControls();
  void ShowStatus(const std::string& text, Colour colour);
  // The status, with " ERR " + the back end's error text in the error colour when !ok.
  void ShowResult(const std::string& text, bool ok);
  void RefreshControls();
  void UpdateVgaLabel();
  void UpdateCalibrationText();
  void SetVgaRange();

  void OnRateChosen(int index);
  void OnClkOut(bool checked);
  void OnAmp(bool checked);
  void OnLnaSlider(int position);
  void OnVgaSlider(int position);
  void OnCalibrationClicked(bool checked);
  // The automatic VGA (forced) and its status; a non-empty `table_failure` is shown after it.
  void ApplyVga(const std::string& table_failure = {});

  ReceiverSet& receivers_;
  QComboBox* rate_ = nullptr;
  QCheckBox* clk_out_ = nullptr;
  QCheckBox* amp_ = nullptr;
  QSlider* lna_ = nullptr;
  QLabel* lna_label_ = nullptr;
  QSlider* vga_ = nullptr;
  QLabel* vga_label_ = nullptr;
  QCheckBox* calibration_ = nullptr;
  QLabel* buffers_ = nullptr;
  QTextEdit* status_ = nullptr;
  bool filling_ = false;
  // The calibration file chooser (returns "" when cancelled) and the browser for help; replaced
  // in tests, which never show a modal box.
  std::function<QString(const QString& start)> pick_calibration_file_;
};

}  // namespace kavu
