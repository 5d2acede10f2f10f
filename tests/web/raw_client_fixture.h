#pragma once
// Test helpers that speak HTTP over raw loopback sockets (the server's answers carry the
// colon-less "AASdr" line that ordinary HTTP clients refuse), and a server on a free port of
// 127.0.0.1 with a fake clock and a temporary web folder.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "support/temp_dir.h"
#include "web/web_analyzer.h"
#include "web/web_clock.h"
#include "web/web_server.h"

namespace kavu::test {

// A connected loopback client. Every wait is bounded.
class RawClient {
 public:
  // Makes the socket and, unless `connect_now` is false, connects it.
  explicit RawClient(int port, bool connect_now = true);
  // Connects a socket made with connect_now false; needs no new descriptor.
  bool Connect();
  ~RawClient();
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;
  bool Connected() const { return fd_ >= 0; }
  int Fd() const { return fd_; }
  bool Send(const std::string& bytes);
  // Reads until the peer closes, `max` bytes arrived or `timeout_ms` passed.
  std::string ReadAll(int timeout_ms = 5000, size_t max = SIZE_MAX);
  // Reads until `marker` has arrived (one byte at a time, nothing beyond it), for at most
  // `timeout_ms`; what was read.
  std::string ReadUntil(const std::string& marker, int timeout_ms = 5000);
  // Reads at most `n` bytes, waiting up to `timeout_ms` for the first.
  std::string ReadSome(size_t n, int timeout_ms = 5000);
  // True when the peer closed (EOF) or reset within `timeout_ms`; *reset says which.
  bool WaitClosed(int timeout_ms, bool* reset = nullptr);
  // True when the peer closed or reset within `timeout_ms`, leaving unread data unread.
  bool PeerGone(int timeout_ms);
  void ShutdownWrite();
  // Closes with a reset instead of a graceful close.
  void Reset();

 private:
  int fd_ = -1;
  int port_ = 0;
};

// One request, the whole answer.
std::string Exchange(int port, const std::string& request, int timeout_ms = 5000);
// "GET /<url> HTTP/1.0\r\n" + extra headers + "\r\n".
std::string Get(const std::string& url, const std::string& headers = "");
// "POST /<url> HTTP/1.0\r\nContent-Length: n\r\n\r\n" + body.
std::string Post(const std::string& url, const std::string& body);

struct Answer {
  std::string statusLine;
  std::string head;  // without the status line, up to the empty line
  std::string body;
  bool hasAASdr = false;
  std::string HeaderValue(const std::string& name) const;  // "" when absent
};
Answer ParseAnswer(const std::string& raw);

class FakeClock : public IWebClock {
 public:
  int64_t NowMs() const override { return now_.load(); }
  void Advance(int64_t ms) { now_.fetch_add(ms); }

 private:
  std::atomic<int64_t> now_{1000000};
};

// Analyzer data made up by the test.
class FakeAnalyzer : public IWebAnalyzer {
 public:
  int32_t Generation(int set) const override { return generation[set & 1]; }
  int32_t Count(int set) const override { return count[set & 1]; }
  void Point(int set, int32_t index, float* f, float* r, float* x) const override {
    *f = 1e6f * static_cast<float>(set * 100000 + index);
    *r = static_cast<float>(index);
    *x = -static_cast<float>(index);
  }
  int32_t ErrorCount() const override { return errors; }
  bool Cyclic() const override { return cyclic; }
  std::string RangeText() const override { return range; }
  void PostStartScan() override { ++starts; }
  void PostPauseOrContinue() override { ++pauses; }
  void PostRange(bool c, const std::string& text) override {
    cyclic = c;
    range = text;
    ++rangeChanges;
  }
  int32_t generation[2] = {7, 6};
  int32_t count[2] = {3, 0};
  int32_t errors = 2;
  bool cyclic = false;
  std::string range = "140-150 0.5";
  std::atomic<int> starts{0}, pauses{0}, rangeChanges{0};
};

// A WebServer on 127.0.0.1, a free port, a temporary folder and a fake clock.
class TestServer {
 public:
  explicit TestServer(IWebAnalyzer* analyzer = nullptr, const OKavuSocket::Limits& limits = {});
  ~TestServer();
  int Port() { return server.Socket().Port(); }
  std::string Folder() const { return dir.Path(); }
  // Advances the clock and waits (bounded) until the server has run a tick after it.
  void AdvanceAndTick(int64_t ms);
  // Advances the clock and waits (bounded) until the server's loop has looked at it.
  void Advance(int64_t ms);
  // Waits (bounded) until the server's loop has finished the event it was handling. Its byte
  // counters move before it sets the connection's deadline, so a test that steps the clock
  // right after seeing a count would race the deadline.
  void Settle() { Advance(0); }

  TempDir dir;
  FakeClock clock;
  WebServer server;
  int started = -1;
};

// Waits up to `timeout_ms` for `done()`, polling.
bool WaitFor(const std::function<bool()>& done, int timeout_ms = 5000);

}  // namespace kavu::test
