#include "session/analyzer_session.h"

#include "scan/stopped_scan_save.h"
#include "shell/log_console.h"
#include "web/http_server_settings.h"
#include "web/station_web_analyzer.h"
#include "web/web_server.h"

namespace kavu {

std::unique_ptr<AnalyzerSession> AnalyzerSession::Create(IWindowThread& window, INotice& notice,
                                                         SessionOptions options, std::string* error) {
  std::unique_ptr<sim::VirtualBench> bench;
  if (options.bench) {
    bench = std::make_unique<sim::VirtualBench>();
    if (!bench->Start(*options.bench, error)) return nullptr;
    Log() << "Сессия: запуск виртуального стенда\n";
  }
  if (options.prepare) options.prepare(options, bench.get());
  std::unique_ptr<AnalyzerSession> session(new AnalyzerSession(window, std::move(options)));
  session->bench_ = std::move(bench);
  ScanStationOptions o = session->options_.station;
  o.station_events = session.get();
  session->station_ = std::make_unique<ScanStation>(window, notice, static_cast<IScanEvents&>(*session), o);
  return session;
}

AnalyzerSession::AnalyzerSession(IWindowThread& window, SessionOptions options)
    : window_(window), options_(std::move(options)) {}

AnalyzerSession::~AnalyzerSession() {
  Stop();
  station_.reset();
  if (bench_) {
    bench_->Stop();
    Log() << "Сессия: остановка виртуального стенда\n";
  }
}

SessionStart AnalyzerSession::StartUp() {
  if (started_) return start_;
  started_ = true;
  start_.web_wanted = options_.web.enabled;
  if (start_.web_wanted && !StartWeb() && options_.web.required) return start_;
  Log() << "Сессия: запуск станции\n";
  start_.station = station_->StartUp();
  start_.station_started = true;
  const SpektrSettings& s = station_->Spektr();
  if (options_.range) {
    NewRange(false, *options_.range);
  } else if (analyzer_) {
    analyzer_->ShowRange(s.m_IsScanCikl, s.m_ScanDia);
  }
  return start_;
}

bool AnalyzerSession::StartWeb() {
  Log() << "Сессия: запуск http-сервера и сетевого com-порта\n";
  const SpektrSettings& s = station_->Spektr();
  analyzer_ = std::make_unique<StationWebAnalyzer>(*this, window_, s.m_ScanDia, s.m_IsScanCikl);
  web_ = std::make_unique<WebServer>(analyzer_.get());
  const SessionWebOptions& w = options_.web;
  if (web_->Start({w.address, w.port, w.folder, nullptr}) != 0) {
    start_.web_error = web_->Socket().ErrorText();
    web_.reset();
    analyzer_.reset();
    // Without the server the network port reports that it is unavailable.
    if (!options_.web.required) station_->Box().Show("Http сервер не запущен: " + start_.web_error);
    return false;
  }
  station_->Port().SetNetworkBridge(&web_->Bridge());
  start_.web_running = true;
  Log() << LogColour(kColourNotice) << "Http сервер: порт " << web_->Socket().Port() << ", папка " << web_->Folder()
        << "\n" << LogColour(kColourNormal);
  return true;
}

void AnalyzerSession::Stop() {
  if (stopped_) return;
  stopped_ = true;
  if (start_.station_started) Log() << "Сессия: остановка станции\n";
  station_->Stop();
  StopWeb();
}

void AnalyzerSession::StopWeb() {
  if (!web_) return;
  Log() << "Сессия: остановка http-сервера и сетевого com-порта\n";
  web_->Stop();
  // The port is closed: it lets go of the bridge before the bridge goes.
  station_->Port().SetNetworkBridge(nullptr);
  web_.reset();
  analyzer_.reset();  // page actions still queued on the window thread find it gone
}

void AnalyzerSession::NewRange(bool cyclic, const std::string& text) {
  std::string range = text;
  if (options_.store_range) {
    SpektrSettings& s = station_->Spektr();
    s.SaveScanDia(text);
    s.SaveIsScanCikl(cyclic);
    range = s.m_ScanDia;
  }
  station_->Engine().SetCyclic(cyclic);
  station_->Engine().SetRangeText(range);
  if (analyzer_) analyzer_->ShowRange(cyclic, range);
  if (listener_) listener_->RangeChanged(cyclic, range);
}

bool AnalyzerSession::StartScan(bool single_group) {
  ScanEngine& e = station_->Engine();
  e.SetSingleNextScan(single_group);
  if (e.StartScan()) return true;
  e.SetSingleNextScan(false);
  return false;
}

void AnalyzerSession::PauseOrContinue() { station_->Engine().PauseOrContinue(); }

void AnalyzerSession::PageStartScan() {
  if (listener_ && listener_->PageStartScan()) return;
  StartScan(false);
}

std::optional<ScanEndReport> AnalyzerSession::StopAndSave(int signal) {
  ScanEngine& e = station_->Engine();
  if (!ScanInProgress(e)) return std::nullopt;
  return StopScanAndSave(*station_, StopSignalText(signal), ScanSecondsSoFar(e));
}

int AnalyzerSession::WebPort() const { return web_ ? web_->Socket().Port() : 0; }

WebServerKeys AnalyzerSession::WebOptions() const {
  const HttpServerSettings h = HttpServerSettings::Load();
  return {h.m_IsHttpServer, h.m_HttpServerPort, h.m_HttpServerAdr};
}

WebServerKeys AnalyzerSession::StoreWebOptions(const WebServerKeys& options) {
  HttpServerSettings h;
  h.m_IsHttpServer = options.on;
  h.m_HttpServerPort = options.port;
  h.m_HttpServerAdr = options.address;
  h.Check();
  h.Save();
  return {h.m_IsHttpServer, h.m_HttpServerPort, h.m_HttpServerAdr};
}

std::optional<std::string> AnalyzerSession::WebStatusText() const {
  if (!web_) return std::nullopt;
  return web_->Socket().StatusText();
}

std::string AnalyzerSession::WebFolder() const { return web_ ? web_->Folder() : std::string(); }

// The station's reports, passed on.
void AnalyzerSession::PortsChanged() {
  if (listener_) listener_->PortsChanged();
}
void AnalyzerSession::ReceiversListed() {
  if (listener_) listener_->ReceiversListed();
}
void AnalyzerSession::ReceiverRateChanged(double rate_hz) {
  if (listener_) listener_->ReceiverRateChanged(rate_hz);
}
void AnalyzerSession::ReceiverStatusChanged(const ReceiverStatus& status) {
  if (listener_) listener_->ReceiverStatusChanged(status);
}
void AnalyzerSession::ShowReceiverSettings(ReceiverKind kind) {
  if (listener_) listener_->ShowReceiverSettings(kind);
}
void AnalyzerSession::HideSdrPlayWindow() {
  if (listener_) listener_->HideSdrPlayWindow();
}
void AnalyzerSession::ShowInfo(const std::string& text) {
  if (listener_) listener_->ShowInfo(text);
}
void AnalyzerSession::StatusLine(const std::string& text, bool overload) {
  if (listener_) listener_->StatusLine(text, overload);
}
void AnalyzerSession::Title(const std::string& text) {
  if (listener_) listener_->Title(text);
}
void AnalyzerSession::PauseButtonText(const std::string& text) {
  if (listener_) listener_->PauseButtonText(text);
}
void AnalyzerSession::GroupEnded(int32_t points, int32_t groups) {
  if (listener_) listener_->GroupEnded(points, groups);
}
void AnalyzerSession::ShowSignal() {
  if (listener_) listener_->ShowSignal();
}
void AnalyzerSession::ScanEnded(const ScanEndReport& report) {
  if (listener_) listener_->ScanEnded(report);
}

}  // namespace kavu
