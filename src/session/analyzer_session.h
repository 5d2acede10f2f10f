#pragma once
// AnalyzerSession: the composition root of every front end (the desktop program, `kavusdraa-cli
// serve`, `kavusdraa-cli scan`). It owns, in the order they are made:
//   1. the virtual bench, when the options ask for one (started first: it writes the settings
//      file the rest reads, and its board and receiver must exist before they are opened);
//   2. the station (ScanStation), made on the bench's settings;
//   3. the web server with its analyzer (StationWebAnalyzer) and the network serial bridge, when
//      the options ask for it.
// StartUp starts the web server and hands its bridge to the station's serial port before the
// station's start-up opens the saved port, so a saved port -33 opens; Stop stops the station and
// then the web server; the bench stops when the session is destroyed (a front end may still
// read its logs after Stop).
//
// The session is the station's only listener (IStationEvents, IScanEvents) and passes every
// report on to the front end's ISessionListener. Window thread throughout.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "scan/analyzer_session_interface.h"
#include "shell/error_box.h"
#include "sim/virtual_bench.h"

namespace kavu {

class StationWebAnalyzer;
class WebServer;

struct SessionWebOptions {
  bool enabled = false;   // run the web server (and so the network serial port -33)
  bool required = false;  // a server that cannot start ends the start-up (`serve`); else a box
  std::string address;    // "" binds every local address
  int port = 8888;        // 0: any free port
  std::string folder;     // the web folder; empty: the default one
};

struct SessionOptions {
  // The bench to start first; none: the hardware the settings name.
  std::optional<sim::VirtualBenchOptions> bench;
  // Runs once the bench is up (or at once without one), before the station is made: settings
  // written here go to the settings file the station reads (the bench's own, with a bench), and
  // options that come from the settings (the web server's) may be filled in here. The bench is
  // the one just started, or null.
  std::function<void(SessionOptions&, sim::VirtualBench*)> prepare;
  ScanStationOptions station;  // its station_events is the session's own
  SessionWebOptions web;
  // The range text and cyclic flag to use after the station's start-up instead of the stored
  // ones (`serve --range`); not stored.
  std::optional<std::string> range;
  // NewRange keeps the range and cyclic flag in the settings (the desktop program).
  bool store_range = false;
};

class AnalyzerSession final : public IAnalyzerSession, private IStationEvents, private IScanEvents {
 public:
  // Starts the bench (when asked), runs `prepare` and makes the station; null with the reason in
  // *error when the bench does not start. `window` and `notice` must outlive the session.
  static std::unique_ptr<AnalyzerSession> Create(IWindowThread& window, INotice& notice, SessionOptions options,
                                                 std::string* error);
  ~AnalyzerSession() override;
  AnalyzerSession(const AnalyzerSession&) = delete;
  AnalyzerSession& operator=(const AnalyzerSession&) = delete;

  ScanStation& Station() override { return *station_; }
  void SetListener(ISessionListener* listener) override { listener_ = listener; }
  SessionStart StartUp() override;
  void Stop() override;
  void NewRange(bool cyclic, const std::string& text) override;
  bool StartScan(bool single_group) override;
  void PauseOrContinue() override;
  void PageStartScan() override;
  std::optional<ScanEndReport> StopAndSave(int signal) override;
  int WebPort() const override;
  WebServerKeys WebOptions() const override;
  WebServerKeys StoreWebOptions(const WebServerKeys& options) override;
  std::optional<std::string> WebStatusText() const override;

  // The bench the session started, or null.
  sim::VirtualBench* Bench() { return bench_ ? bench_.get() : nullptr; }
  // The running web server's folder ("" when none runs).
  std::string WebFolder() const;

 private:
  AnalyzerSession(IWindowThread& window, SessionOptions options);
  // The web server and its analyzer; the bridge handed to the port when it listens. False with
  // start_.web_error when it does not.
  bool StartWeb();
  void StopWeb();
  // IStationEvents
  void PortsChanged() override;
  void ReceiversListed() override;
  void ReceiverRateChanged(double rate_hz) override;
  void ReceiverStatusChanged(const ReceiverStatus& status) override;
  void ShowReceiverSettings(ReceiverKind kind) override;
  void HideSdrPlayWindow() override;
  void ShowInfo(const std::string& text) override;
  // IScanEvents
  void StatusLine(const std::string& text, bool overload) override;
  void Title(const std::string& text) override;
  void PauseButtonText(const std::string& text) override;
  void GroupEnded(int32_t points, int32_t groups) override;
  void ShowSignal() override;
  void ScanEnded(const ScanEndReport& report) override;

  IWindowThread& window_;
  SessionOptions options_;
  ISessionListener* listener_ = nullptr;
  std::unique_ptr<sim::VirtualBench> bench_;
  std::unique_ptr<ScanStation> station_;
  std::unique_ptr<StationWebAnalyzer> analyzer_;
  std::unique_ptr<WebServer> web_;
  bool started_ = false, stopped_ = false;
  SessionStart start_;
};

}  // namespace kavu
