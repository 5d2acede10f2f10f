#pragma once
// ODlgRtlSdr: the RTL-SDR settings window, modeless, made once and shown or hidden by the main
// window's "Настроить sdr..." box. It changes the receiver through ReceiverSet (window thread)
// and tells the main window what changed through its signals.
#include <QDialog>
#include <QString>
#include <functional>
#include <string>

#include "receivers/receiver_set.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QTextEdit;

namespace kavu {

class ODlgRtlSdr : public QDialog {
  Q_OBJECT

 public:
  // `receivers` must outlive the window.
  explicit ODlgRtlSdr(ReceiverSet& receivers, QWidget* parent = nullptr);
  ~ODlgRtlSdr() override;

  // After a successful manual tuning: "Настройка на %0.3f МГц", + " с конвертором".
  void ShowTuned(double mhz, bool with_converter);
  // Reads the receiver's state into the controls (after it was opened or closed elsewhere).
  void Refresh();

 signals:
  // The window was hidden by its own close box: the main window unchecks "Настроить sdr...".
  void Closed();
  // A setting that changes the sample rate was applied: the main window shows the back end's
  // status text as its title and re-plans at `rate_hz`.
  void SettingsChanged(double rate_hz);
  // The user asks to open the receiver selected in the main window's list again.
  void ReopenRequested();

 protected:
  void showEvent(QShowEvent* e) override;
  void reject() override;

 private:
  friend class ODlgRtlSdrTestAccess;
  enum class Colour { kNormal, kError, kNotice };

  void BuildControls();
  void FillCombos();
  void ShowStatus(const std::string& text, Colour colour);
  // True when the device is open; otherwise shows `failure` + the not-open text in the error
  // colour and returns false, so a control calls nothing on the library.
  bool RequireOpen(const std::string& failure);
  void RefreshOpenDevice();
  void RefreshGainControls();
  void UpdateGainLabel();
  void UpdateReopenButton();

  void OnRateChosen(int index);
  void OnRateTyped();
  void ApplyRate(int32_t rate_hz);
  void OnDirectModeChosen(int index);
  void OnGainSlider(int position);
  void OnCalibrationClicked(bool checked);
  void OnBufferChosen(int index);
  // Sets the gain for the current choice (forced) and shows the gain status; a non-empty
  // `table_failure` (the calibration table's message) is shown instead, as an error.
  void ApplyGain(const std::string& table_failure = {});

  ReceiverSet& receivers_;
  QComboBox* rate_ = nullptr;
  QComboBox* direct_ = nullptr;
  QComboBox* buffer_ = nullptr;
  QSlider* gain_ = nullptr;
  QLabel* gain_label_ = nullptr;
  QCheckBox* calibration_ = nullptr;
  QTextEdit* status_ = nullptr;
  QPushButton* reopen_ = nullptr;
  // The calibration file chooser (returns "" when cancelled) and the browser for help; replaced
  // in tests, which never show a modal box.
  std::function<QString(const QString& start)> pick_calibration_file_;
};

}  // namespace kavu
