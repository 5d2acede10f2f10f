#pragma once
// ODlgRtlSdr: the RTL-SDR settings window, modeless, made once and shown or hidden by the main
// window's "Настроить sdr..." box. It changes the receiver through ReceiverSet (window thread)
// and tells the main window what changed through its signals.
#include <QDialog>

#include "receivers/receiver_set.h"

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
};

}  // namespace kavu
