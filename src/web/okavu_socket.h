#pragma once
// OKavuSocket: the web server's transport. One TCP port, a fixed pool of 100 connection slots,
// every socket driven without blocking by one event-loop thread (epoll); the received bytes go to
// the slot's handler (OKavuHttp) and what the handler produces is sent: generated text, binary
// data, a file in chunks, or data that arrives later from another thread (outside events).
//
// Per connection: 60 s to deliver the request (plus 1 s per 120 bytes received), each buffer
// handed over for sending gets 60 s plus 1 s per 120 bytes beyond 7,200 (at most 100,000 s). On
// every one-second tick slots whose deadline passed more than 300 s ago are closed, and when
// every slot is busy, those whose deadline has passed at all. An answer ends with a graceful
// close (shutdown, drain, close); an expired or terminated connection is reset. Sends never
// raise SIGPIPE. When descriptors run out, accepting pauses until the next tick.
//
// The clock is injectable; ticks are run when it passes a whole second (Nudge makes the loop
// look at once). Statistics are refreshed on every tick.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/epoll_set.h"
#include "web/tkavu_sock_item.h"
#include "web/web_clock.h"

namespace kavu {

class OKavuSocket : private IOutsideEventSink {
 public:
  static constexpr int kSlots = 100;
  static constexpr int kAccepts = 5;
  static constexpr int64_t kFirstDeadlineMs = 60000;
  static constexpr int64_t kSweepGraceMs = 300000;
  static constexpr int64_t kNoTimeoutMs = 1000000000;

  using HandlerFactory = std::function<std::unique_ptr<OKavuHttp>()>;

  // `clock` may be null (the steady clock); it must outlive the server.
  explicit OKavuSocket(HandlerFactory factory, const IWebClock* clock = nullptr);
  ~OKavuSocket() override;
  OKavuSocket(const OKavuSocket&) = delete;
  OKavuSocket& operator=(const OKavuSocket&) = delete;

  // Binds `address` ("" = every address) and `port` (0 = any free one) and starts the loop
  // thread. Returns 0, or the stage that failed (2 getaddrinfo, 3 socket, 103 SO_REUSEADDR,
  // 4 bind, 5 listen, 6 epoll) with ErrorText() set and the reason logged.
  int Listen(const std::string& address, int port);
  // Ends the loop thread and closes every connection (reset). Safe to call twice.
  void Stop();
  // Makes the loop look at its clock now (tests with their own clock).
  void Nudge() { epoll_.Wake(); }

  // -1 not started, 0 start requested, 1 running.
  int RunState() const { return runState_.load(); }
  void SetStartRequested() { runState_.store(0); }
  std::string ErrorText() const;
  int Port() const { return port_.load(); }
  // Sockets, waiting for a connection, connections, receiving, answering, closing, bridge
  // uploads, bridge downloads; refreshed once per second.
  std::array<int, 8> Statistics() const;
  // The text the options window shows for the server's state.
  std::string StatusText() const;
  // Number of completed loop ticks (tests wait on it).
  int64_t Ticks() const { return ticks_.load(); }
  // Number of times the loop woke up (tests check that nothing makes it spin).
  int64_t Wakeups() const { return wakeups_.load(); }

  // SendTime of a buffer of `n` bytes, in ms.
  static int64_t SendTime(int64_t n);

 private:
  struct Posted {
    OutsideEventTicket ticket;
    int bytes;
  };
  void PostOutsideEvent(const OutsideEventTicket& ticket, int bytes) override;

  void Run();
  void Tick(int64_t now);
  void Sweep(int64_t now);
  void RefreshStatistics();
  void UpdateListening();
  void AcceptSome();
  void Accepted(TKavuSockItem& s, int fd, uint32_t address);
  void OnReadable(int index);
  void Received(int index, int bytes);
  void Pump(int index);
  bool NextBuffer(int index, int64_t last_sent);
  void StartSend(TKavuSockItem& s, const char* data, int len);
  void OnOutsideEvents();
  void Disconnect(int index);
  void Drain(int index);
  void Terminate(int index, int reason);
  void Release(int index, bool reset);
  void SetInterest(int index, uint32_t events);
  OutsideEventTicket TicketOf(int index);
  int64_t Now() const { return clock_->NowMs(); }

  HandlerFactory factory_;
  SteadyWebClock steady_;
  const IWebClock* clock_;
  EpollSet epoll_;
  std::array<TKavuSockItem, kSlots> slots_;
  int listenFd_ = -1;
  bool listening_ = false;
  int64_t acceptPausedUntil_ = 0;
  int64_t nextTick_ = 0;
  std::atomic<int> runState_{-1};
  std::atomic<int> port_{0};
  std::atomic<int> connections_{0};
  std::atomic<int64_t> ticks_{0};
  std::atomic<int64_t> wakeups_{0};
  std::atomic<bool> quit_{false};
  mutable std::mutex mutex_;  // error text, statistics, posted events
  std::string errorText_;
  std::array<int, 8> stats_{};
  std::vector<Posted> posted_;
  std::thread thread_;
};

}  // namespace kavu
