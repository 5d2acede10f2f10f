#pragma once
// The analyzer session as a front end sees it: the running analyzer (the station) and the
// commands every front end shares. The session itself (session/analyzer_session.h) also owns the
// web server and the virtual bench; a window gets only this interface, so the windows' code needs
// nothing of the web server.
//
// Window thread: every call here, and every report to the listener.
#include <cstdint>
#include <optional>
#include <string>

#include "scan/scan_engine.h"
#include "scan/scan_station.h"

namespace kavu {

// What a front end hears from the session: the station's and the scan engine's reports, and what
// the web page asked for. Every call has a do-nothing default.
class ISessionListener : public IStationEvents, public IScanEvents {
 public:
  // The page's "Старт": true when the front end ran it as its own scan button would (the desktop
  // closes its results window first); false lets the session start the scan itself.
  virtual bool PageStartScan() { return false; }
  // A new range text and cyclic flag took effect (the page's or a front end's, through
  // IAnalyzerSession::NewRange): the engine, the page and, for the desktop, the settings have it.
  virtual void RangeChanged(bool /*cyclic*/, const std::string& /*text*/) {}
};

// What StartUp achieved.
struct SessionStart {
  bool web_wanted = false;   // the options asked for the web server
  bool web_running = false;  // ... and it listens
  std::string web_error;     // why not, when it was wanted and does not run
  bool station_started = false;
  StationStart station;      // the station's own start-up, when it ran
};

// The web server's options as the options window edits them (their owner is the web server's;
// the window reaches them only through the session).
struct WebServerKeys {
  bool on = false;         // m_IsHttpServer: start the server at the next program start
  int32_t port = 8888;     // m_HttpServerPort
  std::string address;     // m_HttpServerAdr
  bool operator==(const WebServerKeys&) const = default;
};

class IAnalyzerSession {
 public:
  virtual ~IAnalyzerSession() = default;

  // The analyzer. Made with the session; started by StartUp.
  virtual ScanStation& Station() = 0;
  // Who hears the reports; null: nobody. The listener must stay until it is replaced or the
  // session stops.
  virtual void SetListener(ISessionListener* listener) = 0;

  // The start-up in the one order it needs: the web server with the network serial bridge handed
  // to the port (so a saved port -33 opens), then the station (settings, port, receivers,
  // generators, sample loop, remembered receiver). A web server that cannot start is fatal only
  // when the options say it is required; otherwise the error box says so and the rest runs.
  // Each stage writes a log line "Сессия: запуск ...". Once only; later calls return the first
  // result.
  virtual SessionStart StartUp() = 0;
  // The reverse: the station (scan stopped, loop joined, receivers and port closed), then the web
  // server and its bridge. Each stage logs "Сессия: остановка ...". Safe to call twice.
  virtual void Stop() = 0;

  // A new range text with the cyclic flag: the engine gets both, the page reads them back, the
  // settings keep them when the session stores ranges (the desktop), and the listener is told.
  virtual void NewRange(bool cyclic, const std::string& text) = 0;
  // Starts a scan of the engine's range (`single_group`: only the first group); false when it
  // did not start (the error box said why).
  virtual bool StartScan(bool single_group) = 0;
  virtual void PauseOrContinue() = 0;
  // The page's "Старт": the listener's own scan button when it takes it (PageStartScan), else
  // StartScan(false).
  virtual void PageStartScan() = 0;
  // The end a stop signal (SIGINT, SIGTERM, SIGHUP) asks for: a scan starting, running or paused
  // is stopped and its points saved as a failed scan's are ("scan stopped by SIGTERM"); nothing
  // when no scan is in progress.
  virtual std::optional<ScanEndReport> StopAndSave(int signal) = 0;

  // The web server's TCP port while it runs, else 0.
  virtual int WebPort() const = 0;

  // The stored web server options, checked by their owner.
  virtual WebServerKeys WebOptions() const = 0;
  // Checks `options` by the owner's rules (a port outside 1 … 65535 gives 8888, an address
  // longer than 240 characters gives "", trailing blanks are cut), stores them and returns what
  // was stored. They take effect at the next start.
  virtual WebServerKeys StoreWebOptions(const WebServerKeys& options) = 0;
  // The running server's status text; empty when no server runs.
  virtual std::optional<std::string> WebStatusText() const = 0;
};

}  // namespace kavu
