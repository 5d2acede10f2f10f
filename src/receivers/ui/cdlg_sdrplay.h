#pragma once
// CDlgSdrPlay: the SDRplay settings window ("SdrPlay настройка"), modeless, made once and shown or
// hidden by the main window's "Настроить sdr..." box. It shows and changes the open device's
// parameters through ReceiverSet and its SDRplay back end (window thread) and tells the main
// window what changed through its signals.
#include <QDialog>
#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "receivers/receiver_set.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;
class QTextEdit;

namespace kavu {

class CDlgSdrPlay : public QDialog {
  Q_OBJECT

 public:
  // `receivers` must outlive the window.
  explicit CDlgSdrPlay(ReceiverSet& receivers, QWidget* parent = nullptr);
  ~CDlgSdrPlay() override;

  // The refresh command ("Обновить"): reads the back end's state into the controls, the
  // caption and, without a device, the status.
  void Refresh();
  // After the main window tuned the device: ReceiverSet's tuning report, in the error colour
  // when tuning failed.
  void ShowTuned(const std::string& report, bool ok);

  // A typed value of an editable combo: the leading number of `text` when it is a positive
  // finite number (a decimal comma is taken as a point).
  static std::optional<double> PositiveNumber(const QString& text);

 signals:
  // Hidden by its own close box: the main window unchecks "Настроить sdr..." (timer 7770).
  void Closed();
  // The tuner mode changed: the main window selects the receiver again (timer 7771).
  void ReopenRequested();
  // The rate or decimation changed: the main window shows the SDRplay status text as its
  // caption and re-plans (timer 7772).
  void SettingsChanged();

 protected:
  void showEvent(QShowEvent* e) override;
  void reject() override;

 private:
  friend class CDlgSdrPlayTestAccess;
  enum class Colour { kNormal, kError, kNotice };

  void BuildControls();
  void BuildLayout();
  void Connect();
  void ShowStatus(const std::string& text, Colour colour);
  // `text`, with " " + the back end's error text in the error colour when rc ≠ 0.
  void ShowResult(const std::string& text, int rc);
  bool RefreshNoDevice();
  void RefreshCaption();
  void RefreshDevice();
  void RefreshDuo();
  void RefreshSwitches();
  void RefreshInputs(int hw_ver);
  void RefreshChannel();
  void RefreshGainLabels();
  void SetGaSlider();

  void OnRateChosen(int index);
  void OnRateTyped();
  void ApplyRate(double hz);
  void OnUsbChosen(int index);
  void OnBandwidth(int kHz);
  void OnIfType(int kHz);
  void OnLoMode(int mode);
  // Runs `apply` with the item's data, or the typed number (scaled by `scale`) of a combo.
  void OnTyped(QComboBox* combo, double scale, const std::function<void(double)>& apply);
  void OnDecimation(int index);
  void OnWideBand(bool checked);
  void OnDuo(int index);
  void OnGainMode(int index);
  void OnLnaSlider(int position);
  void OnGaSlider(int position);
  void OnInput(int index);
  void OnSwitch();

  ReceiverSet& receivers_;
  QComboBox* rate_ = nullptr;
  QComboBox* decim_ = nullptr;
  QCheckBox* wide_band_ = nullptr;
  QComboBox* duo_ = nullptr;
  QLineEdit* ppm_ = nullptr;
  QComboBox* usb_ = nullptr;
  QComboBox* input_ = nullptr;
  QComboBox* bandwidth_ = nullptr;
  QComboBox* if_type_ = nullptr;
  QComboBox* lo_ = nullptr;
  QSlider* lna_ = nullptr;
  QLabel* lna_label_ = nullptr;
  QSlider* ga_ = nullptr;
  QLabel* ga_label_ = nullptr;
  QLabel* total_ = nullptr;
  QComboBox* gain_mode_ = nullptr;
  QCheckBox* notch_ = nullptr;
  QCheckBox* dab_notch_ = nullptr;
  QCheckBox* ext_ref_ = nullptr;
  QCheckBox* bias_t_ = nullptr;
  QCheckBox* hdr_ = nullptr;
  QCheckBox* am_port_ = nullptr;
  QCheckBox* agc_ = nullptr;
  QTextEdit* status_ = nullptr;
  bool filling_ = false;
  // The calibration file chooser (returns "" when cancelled), the message box and the browser
  // for help; replaced in tests, which never show a modal box.
  std::function<QString(const QString& start)> pick_calibration_file_;
  std::function<void(const QString& text)> message_box_;
};

}  // namespace kavu
