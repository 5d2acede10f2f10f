// The main window's other windows and what the web page asks of it: the filter and
// measured-signal views, the RTL-SDR settings window (made once, shown and hidden by "Настроить
// sdr..."). The page's buttons act as the window's own: a scan started from the page closes the
// results window as "Сканировать!" does, and a range sent from the page shows in the range edit
// and the cyclic box.
#include "scan/ui/cdlg_bpf_show.h"
#include "scan/ui/cdlg_one_signal.h"
#include "scan/ui/odlg_spektr.h"
#include "shell/log_console.h"

namespace kavu {

void ODlgSpektr::ShowRtlSdrWindow() {
  if (!rtl_window_) {
    rtl_window_ = new ODlgRtlSdr(station_->Receivers(), this);
    connect(rtl_window_, &ODlgRtlSdr::Closed, this, [this] {
      filling_ = true;
      sdr_settings_->setChecked(false);
      filling_ = false;
    });
    connect(rtl_window_, &ODlgRtlSdr::SettingsChanged, this, [this](double) {
      // The rate plan is already re-made by the receivers' report; the title shows the state.
      setWindowTitle(QString::fromStdString(station_->Receivers().StatusTextRtl()));
      UpdateTuning();
    });
    connect(rtl_window_, &ODlgRtlSdr::ReopenRequested, this, [this] {
      const int selected = station_->View().receiver;
      if (selected >= 0) station_->ChooseReceiver(selected);
      if (rtl_window_) rtl_window_->Refresh();
    });
  }
  // It reads the receiver's state whenever it is shown; shown already, it reads it now.
  if (rtl_window_->isVisible()) rtl_window_->Refresh();
  rtl_window_->show();
  rtl_window_->raise();
}

void ODlgSpektr::ShowHackRfWindow() {
  if (!hackrf_window_) {
    hackrf_window_ = new CDlgHackRF(station_->Receivers(), this);
    connect(hackrf_window_, &CDlgHackRF::Closed, this, [this] {
      filling_ = true;
      sdr_settings_->setChecked(false);
      filling_ = false;
    });
    connect(hackrf_window_, &CDlgHackRF::SettingsChanged, this, [this](double) {
      setWindowTitle(QString::fromStdString(station_->Receivers().StatusTextHackRf()));
      UpdateTuning();
    });
  }
  // It refreshes whenever it is shown; shown already, it refreshes now.
  if (hackrf_window_->isVisible()) hackrf_window_->Refresh();
  hackrf_window_->show();
  hackrf_window_->raise();
}

void ODlgSpektr::ShowSdrPlayWindow() {
  if (!sdrplay_window_) {
    sdrplay_window_ = new CDlgSdrPlay(station_->Receivers(), this);
    connect(sdrplay_window_, &CDlgSdrPlay::Closed, this, [this] {
      filling_ = true;
      sdr_settings_->setChecked(false);
      filling_ = false;
    });
    connect(sdrplay_window_, &CDlgSdrPlay::SettingsChanged, this, [this] {
      // The receivers' report re-planned for the output rate already; the title shows the state.
      setWindowTitle(QString::fromStdString(station_->Receivers().StatusTextSdrPlay()));
      UpdateTuning();
    });
    connect(sdrplay_window_, &CDlgSdrPlay::ReopenRequested, this, [this] {
      const int selected = station_->View().receiver;
      if (selected >= 0) station_->ChooseReceiver(selected);
      if (sdrplay_window_) sdrplay_window_->Refresh();
    });
  }
  if (sdrplay_window_->isVisible()) sdrplay_window_->Refresh();
  sdrplay_window_->show();
  sdrplay_window_->raise();
}

void ODlgSpektr::HideSdrPlayWindow() {
  if (sdrplay_window_) sdrplay_window_->hide();
}

void ODlgSpektr::OnShowFilter() {
  CDlgBpfShow dialog(*station_, this);
  dialog.exec();
}

void ODlgSpektr::OnShowSignal() {
  // Modeless and made once; while it is open scans are single measurements and not saved.
  if (!signal_view_) signal_view_ = new CDlgOneSignal(*station_, this);
  signal_view_->Refresh();
  signal_view_->show();
  signal_view_->raise();
  signal_view_->activateWindow();
}

bool ODlgSpektr::PageStartScan() {
  StartScan(false);  // as "Сканировать!": the results window closes, the buttons follow
  return true;
}

void ODlgSpektr::RangeChanged(bool cyclic, const std::string& text) {
  // The page's range and cyclic flag (or the window's own, stored) shown in the controls.
  filling_ = true;
  range_->setText(QString::fromStdString(text));
  cyclic_->setChecked(cyclic);
  filling_ = false;
}

}  // namespace kavu
