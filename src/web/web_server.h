#pragma once
// WebServer: the built-in web server as a front end starts it: writes the page into the web
// folder (an existing "Index.html" is kept, so the user may replace it) and listens. It owns the
// network serial bridge; whoever owns the serial port too (the analyzer session) hands Bridge()
// to the port, so that a saved port -33 opens. Log lines about
// refused URLs and bytes the bridge lost are paced to one a second (with counts) on its clock.
#include <memory>
#include <string>
#include <vector>

#include "web/log_throttle.h"
#include "web/okavu_socket.h"
#include "web/ovirt_net_com.h"
#include "web/web_analyzer.h"

namespace kavu {

struct WebServerOptions {
  std::string address;             // m_HttpServerAdr: "" binds every local address
  int port = 8888;                 // m_HttpServerPort (0: any free port, for tests)
  std::string folder;              // the web folder; empty: DefaultWebFolder()
  const IWebClock* clock = nullptr;
  OKavuSocket::Limits limits{};    // pool size and deadline caps (tests shrink them)
};

class WebServer {
 public:
  // `analyzer` may be null (no data commands); it must outlive the server.
  explicit WebServer(IWebAnalyzer* analyzer);
  ~WebServer();
  WebServer(const WebServer&) = delete;
  WebServer& operator=(const WebServer&) = delete;

  // Writes the page and starts listening. 0, or the failing stage of OKavuSocket::Listen.
  int Start(const WebServerOptions& options);
  void Stop();

  OKavuSocket& Socket() { return *socket_; }
  OVirtNetCom& Bridge() { return bridge_; }
  const std::string& Folder() const { return folder_; }

 private:
  IWebAnalyzer* analyzer_;
  OVirtNetCom bridge_;
  LogThrottle refusals_;
  std::vector<uint8_t> icon_;
  std::string folder_;
  std::unique_ptr<OKavuSocket> socket_;
};

// Creates the web folder and writes "Index.html" into it unless it exists; false (and the
// reason logged) when that fails.
bool UnpackHttp(const std::string& folder);
// The page and the program icon as served.
std::string WebPageCp1251();
std::vector<uint8_t> ProgramIcon();

}  // namespace kavu
