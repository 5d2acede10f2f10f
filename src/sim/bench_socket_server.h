#pragma once
// BenchSocketServer: serves a feeder (sim/sim_feeder_abi.h, normally the virtual bench's) to the
// simulated RTL-SDR library of another process over a Unix-domain socket (sim/bench_wire.h).
//
// One program at a time, as one USB receiver serves one program: while a connection is served,
// a further one is answered "busy" and closed. A connection that sends anything malformed, that
// does not start with a valid hello, or that stops reading its replies for kSendTimeoutMs is
// closed with a logged line; the server then waits for the next one. The feeder's functions
// are called only from the server's thread, one at a time.
#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "sim/sim_feeder_abi.h"

namespace kavu::sim {

class BenchSocketServer {
 public:
  using LogFn = std::function<void(const std::string&)>;
  static constexpr int kSendTimeoutMs = 5000;

  BenchSocketServer() = default;
  ~BenchSocketServer();
  BenchSocketServer(const BenchSocketServer&) = delete;
  BenchSocketServer& operator=(const BenchSocketServer&) = delete;

  // Listens on `path` (which must not exist; at most 107 bytes) and serves `source` until Stop.
  // `log` gets one line per connection event and error (from the server's thread). False with
  // the reason in *error; nothing is left behind then.
  bool Start(const std::string& path, const KavuSimSource& source, LogFn log, std::string* error);
  // Closes the connection and the socket, removes the socket file. Safe to call twice.
  void Stop();
  const std::string& Path() const { return path_; }
  // Connections accepted (served or refused) since Start.
  int Connections() const { return connections_.load(); }
  bool ClientConnected() const { return client_connected_.load(); }

 private:
  class Session;
  void Run();
  void Log(const std::string& line) const;

  KavuSimSource source_{};
  LogFn log_;
  std::string path_;
  int listen_fd_ = -1;
  int wake_[2] = {-1, -1};
  std::thread thread_;
  std::atomic<int> connections_{0};
  std::atomic<bool> client_connected_{false};
};

}  // namespace kavu::sim
