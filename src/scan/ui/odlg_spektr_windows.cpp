// The main window's other windows and its web server: the filter and measured-signal views, the
// RTL-SDR settings window (made once, shown and hidden by "Настроить sdr...") and the built-in
// web server, started when the options had it on at program start. The page's buttons act as the window's own: a scan started from
// the page closes the results window as "Сканировать!" does, and a range sent from the page
// shows in the range edit and the cyclic box.
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
  rtl_window_->show();  // it reads the receiver's state whenever it is shown
  rtl_window_->raise();
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

void ODlgSpektr::StartWebServer() {
  if (!http_.m_IsHttpServer || web_) return;
  const SpektrSettings& s = station_->Spektr();
  web_analyzer_ = std::make_unique<StationWebAnalyzer>(*station_, window_, s.m_ScanDia, s.m_IsScanCikl);
  StationWebAnalyzer::Hooks hooks;
  hooks.start_scan = [this] { StartScan(false); };
  hooks.pause_or_continue = [this] { PauseOrContinue(); };
  hooks.range_changed = [this](bool cyclic, const std::string& text) { WebRangeChanged(cyclic, text); };
  web_analyzer_->SetHooks(std::move(hooks));
  web_ = std::make_unique<WebServer>(web_analyzer_.get());
  WebServerOptions o;
  o.address = http_.m_HttpServerAdr;
  o.port = http_.m_HttpServerPort;
  if (web_->Start(o) != 0) {
    // The window goes on without the page; the reason is in the log and in the box.
    station_->Box().Show("Http сервер не запущен: " + web_->Socket().ErrorText());
    return;
  }
  Log() << LogColour(kColourNotice) << "Http сервер: порт " << web_->Socket().Port() << ", папка "
        << web_->Folder() << "\n" << LogColour(kColourNormal);
}

void ODlgSpektr::StopWebServer() {
  // Before the station stops: no page request may reach a station that is going away.
  if (web_) web_->Stop();
  web_.reset();
  web_analyzer_.reset();
}

void ODlgSpektr::WebRangeChanged(bool cyclic, const std::string& text) {
  // What the window's timer 130000 shows: the page's range and cyclic flag in the controls,
  // stored as if typed, and handed to the engine.
  range_->setText(QString::fromStdString(text));
  StoreRangeText();
  cyclic_->setChecked(cyclic);
  station_->Spektr().SaveIsScanCikl(cyclic);
  station_->Engine().SetCyclic(cyclic);
}

}  // namespace kavu
