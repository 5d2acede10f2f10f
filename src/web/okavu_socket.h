#pragma once
// OKavuSocket: the web server's transport. One TCP port, a fixed pool of connection slots (100
// unless Limits says fewer), every socket driven without blocking by one event-loop thread
// (epoll); the received bytes go to the slot's handler (OKavuHttp) and what the handler produces
// is sent: generated text, binary data, a file in chunks, or data that arrives later from
// another thread (outside events).
//
// Per connection: 60 s to deliver the request, plus 1 s per 120 bytes received — but a request
// earns at most Limits::maxRequestExtensionMs that way, and its deadline is never more than
// Limits::maxSilenceMs after the last bytes arrived. Each buffer handed over for sending gets
// SendTime (60 s plus 1 s per 120 bytes beyond 7,200), at most Limits::maxSendMs, and never more
// than Limits::maxSilenceMs after the peer last took bytes. So a client that sends a huge head
// and falls silent, or stops reading a large answer, expires 60 s after it stopped, like one
// that sends nothing. On every one-second tick slots whose deadline passed more than 300 s ago
// are closed, and when every slot is busy, those whose deadline has passed at all. An answer
// ends with a graceful close (shutdown, drain, close); an expired or terminated connection is
// reset. A connection waiting for an outside event is closed as soon as its peer closes (or
// half-closes: a streaming client never does). Sends never raise SIGPIPE. When descriptors run
// out, accepting pauses until the next tick.
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

// The socket server's pool size and caps on deadlines (tests make them small).
struct OKavuSocketLimits {
  int slotCount = 100;  // connection slots, 1 … 100 (not "slots": a Qt keyword)
  // The most a request (head and body) earns by its second per 120 bytes, in all.
  int64_t maxRequestExtensionMs = 60000;
  // The longest one buffer may take to send, whatever SendTime allows.
  int64_t maxSendMs = 120000;
  // The longest a connection may go without receiving (while it delivers its request) or
  // without the peer taking bytes (while it is answered) before its deadline passes.
  int64_t maxSilenceMs = 60000;
};

class OKavuSocket : private IOutsideEventSink {
 public:
  static constexpr int kSlots = 100;
  static constexpr int kAccepts = 5;
  static constexpr int64_t kFirstDeadlineMs = 60000;
  static constexpr int64_t kSweepGraceMs = 300000;
  static constexpr int64_t kNoTimeoutMs = 1000000000;

  using HandlerFactory = std::function<std::unique_ptr<OKavuHttp>()>;

  using Limits = OKavuSocketLimits;

  // `clock` may be null (the steady clock); it must outlive the server.
  explicit OKavuSocket(HandlerFactory factory, const IWebClock* clock = nullptr, const Limits& limits = {});
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
  // Called on the loop thread at the end of every tick; set before Listen.
  void SetTickHook(std::function<void()> hook) { tickHook_ = std::move(hook); }

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
  // Accepted connections not yet released, at this moment (the statistics lag by up to a tick).
  int ConnectionCount() const { return connections_.load(); }
  // Number of completed loop ticks (tests wait on it).
  int64_t Ticks() const { return ticks_.load(); }
  // Number of times the loop woke up (tests check that nothing makes it spin).
  int64_t Wakeups() const { return wakeups_.load(); }
  // Bytes received from and sent to all connections since the start (tests wait on them).
  int64_t BytesReceived() const { return bytesReceived_.load(); }
  int64_t BytesSent() const { return bytesSent_.load(); }

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
  // The deadline of a connection that just received `bytes` of its unfinished request.
  int64_t RequestDeadline(const TKavuSockItem& s, int64_t old, int bytes) const;
  void OnOutsideEvents();
  void Disconnect(int index);
  void Drain(int index);
  void Terminate(int index, int reason);
  void Release(int index, bool reset);
  void SetInterest(int index, uint32_t events);
  OutsideEventTicket TicketOf(int index);
  int64_t Now() const { return clock_->NowMs(); }
  int SlotCount() const { return static_cast<int>(slots_.size()); }

  HandlerFactory factory_;
  SteadyWebClock steady_;
  const IWebClock* clock_;
  Limits limits_;
  std::function<void()> tickHook_;
  EpollSet epoll_;
  std::vector<TKavuSockItem> slots_;
  int listenFd_ = -1;
  bool listening_ = false;
  int64_t acceptPausedUntil_ = 0;
  int64_t nextTick_ = 0;
  std::atomic<int> runState_{-1};
  std::atomic<int> port_{0};
  std::atomic<int> connections_{0};
  std::atomic<int64_t> ticks_{0};
  std::atomic<int64_t> wakeups_{0};
  std::atomic<int64_t> bytesReceived_{0};
  std::atomic<int64_t> bytesSent_{0};
  std::atomic<bool> quit_{false};
  mutable std::mutex mutex_;  // error text, statistics, posted events
  std::string errorText_;
  std::array<int, 8> stats_{};
  std::vector<Posted> posted_;
  std::thread thread_;
};

}  // namespace kavu
