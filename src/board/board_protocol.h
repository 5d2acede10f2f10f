#pragma once
// OBoardProtocol: the commands of the control board over an OSerialPort, with the state the
// program keeps about the board (window thread only, or inside a RunAsync job on the exchange
// thread). Every command is written whole and its reply read before the next one, except within
// one I2C transaction (I2cRegWrite and its kin: written together, replies read afterwards in
// order). A failed command returns false (or a negative number) and logs the reason in red;
// nothing is retried.
//
// One command at a time: the long exchanges (a batch upload, a run and its reply, up to seconds)
// can be sent without blocking (BigCmd2Async, BigCmd2_ExecAsync). The port then belongs to that
// exchange until its `done` runs on the window thread; exchanges and tasks queued meanwhile
// (WhenFree) follow in the order queued. A blocking command called while an exchange holds the
// port waits for it (logged), so bytes are never interleaved.
//
// Before each command, bytes already waiting in the input (a reply that came too late, line
// noise) are read and logged, never taken as the command's reply.
//
// "Closed" results: when the port is not open a command sends nothing and returns what its
// comment says, at once.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

#include "board/board_exchange_thread.h"
#include "board/serial_port.h"
#include "platform/event_loop.h"
#include "shell/error_box.h"
#include "shell/liveness.h"

namespace kavu {

class OBoardProtocol {
 public:
  static constexpr int kSpiModeUnknown = -123212;
  static constexpr int kDefaultBufferSize = 1536;
  static constexpr uint32_t kDefaultTimerClock = 10'000'000;
  static constexpr uint32_t kDefaultTimerDivider = 64;
  static constexpr int kMaxBatchLen = 8192;
  static constexpr int kBatchReplyMs = 8000;  // a stored batch's reply; the least run time-out
  static constexpr int kI2cOutReplyMs = 2000;  // the wait for I2C_Out's reply
  static constexpr int kI2cInReplyMs = 1000;   // the wait for I2C_In's reply

  // `window`: where the replies of the asynchronous exchanges are delivered (may be given later
  // with SetWindowThread; without one they fail at once).
  explicit OBoardProtocol(OSerialPort& port, IWindowThread* window = nullptr);
  ~OBoardProtocol();
  OBoardProtocol(const OBoardProtocol&) = delete;
  OBoardProtocol& operator=(const OBoardProtocol&) = delete;
  void SetWindowThread(IWindowThread* window) { window_ = window; }

  OSerialPort& Port() { return *port_; }

  // SPI generator (chip select 0..2) that the next SPI operation and SetBigCmdAbonent address.
  int m_Rfm_Gen = 0;

  // Largest batch the board holds, bytes (GetMKBufSz; 1536 until a valid reply).
  int BufferSize() const { return buffer_size_; }
  // The board's delay timer (GetDelaysTimerInfo; 10,000,000 / 64 until a valid reply).
  uint32_t TimerClock() const { return timer_clock_; }
  uint32_t TimerDivider() const { return timer_divider_; }
  // Timer ticks per second, clock / divider.
  double TicksPerSecond() const;
  // Last SPI mode set with success, or kSpiModeUnknown.
  int SpiMode() const { return spi_mode_; }
  void ForgetSpiMode() { spi_mode_ = kSpiModeUnknown; }
  // Data length of the last BigCmd2.
  int LastBatchLen() const { return last_batch_len_; }

  // --- Single commands ---------------------------------------------------------------------
  // CD 32 bits mask → 51: board outputs = (old AND mask) OR bits. Closed: true.
  bool SetCS(uint8_t bits, uint8_t mask);
  // CD 3D b → the byte clocked in (0..255); -1 without reply. Closed: 255.
  int SpiOut(uint8_t b);
  // CD 3C m → A9 E2 m. Closed: true.
  bool SpiSetMode(uint8_t m);
  // CD 47 c (01 start, 02 stop, 10 end of read); no reply. Always true.
  bool I2C_Cond(uint8_t c);
  // CD 48 b → 00 when acknowledged, else the board's I2C error code. Closed: false.
  bool I2C_Out(uint8_t b);
  // CD 49 → the byte read (0..255); -1 without reply. Closed: -1.
  int I2C_In();
  // CD 28 period duty → D1: the -5 V charge-pump PWM. Closed: true.
  bool SetMinusGenPeriod(uint8_t period, uint8_t duty);
  // CD 50 → size u16 LE, complement u16 LE; succeeds when the size is at least 256. The size
  // is 1536 unless a reply with a matching complement came. Closed: true.
  bool GetMKBufSz();
  // CD 51 07 (FF - sel) C0 → 9A, sel = 1, 2, 4 for m_Rfm_Gen 0, 1, 2. Closed: true.
  bool SetBigCmdAbonent();
  // CD 29 → clock, divider, clock, divider (u32 LE). The copies must agree, and the tick rate
  // must put 1 ms at 1..32767 ticks; otherwise the defaults stay. Closed: true.
  bool GetDelaysTimerInfo();
  // Stores a batch (1..8192 bytes), or stores and runs it. Closed: false. A run's reply is
  // awaited for the batch's duration plus 2 s, at least 8 s.
  bool BigCmd2(const uint8_t* data, int len, bool exec);
  // Runs the batch stored last. Closed: false.
  bool BigCmd2_Exec();
  // CD 55 → counter u16 LE, 71; the counter in *counter. Closed: false (service only).
  bool Cmd_GetTIM4(int* counter);

  // --- Exchanges that do not block the window thread (window thread) -----------------------
  // BigCmd2 / BigCmd2_Exec sent from the exchange thread; `done(ok)` runs later on the window
  // thread with the result the blocking call would return (the same checks and log lines). A
  // closed port or no window thread: `done(false)` is posted (or, without a window thread,
  // called) at once.
  void BigCmd2Async(const uint8_t* data, int len, bool exec, std::function<void(bool)> done);
  void BigCmd2_ExecAsync(std::function<void(bool)> done);
  // Runs `job` on the exchange thread as one exchange, queued like the batches: the blocking
  // commands it calls go straight to the port, in order, with nothing queued coming between
  // them, and give up early when the exchange is cancelled. `done(job's result)` runs later on
  // the window thread. A closed port or no window thread: `done(false)` as for BigCmd2Async, and
  // the job is not run. The job must not touch what the window thread uses meanwhile.
  void RunAsync(const char* name, std::function<bool()> job, std::function<void(bool)> done);
  // True inside a job of RunAsync (on the exchange thread).
  bool OnExchangeThread() const { return thread_.OnThread(); }
  // A question to the user from anywhere: inside a job it is asked on the window thread and the
  // job waits for the answer, which is Cancel when the exchange is cancelled or the window thread
  // waits for the port meanwhile (it could not answer); elsewhere it is asked at once.
  NoticeAnswer Ask(INotice& notice, const std::string& caption, const std::string& text);
  // An asynchronous exchange holds the port (until its `done` has run).
  bool Busy() const { return busy_; }
  // Runs `fn` on the window thread when the port is free: at once when no exchange holds it,
  // else after that exchange's `done` and after what was queued before (the serial poll, bridge
  // buttons).
  void WhenFree(std::function<void()> fn);
  // Ends the wait of a running exchange (its `done` gets false) and drops what is queued; returns
  // when the exchange thread has let the port go. Call before closing or reopening the port.
  void CancelPending();
  // The longest time one asynchronous exchange held the port so far, ms.
  double LongestExchangeMs() const { return longest_exchange_ms_; }
  // Exchanges and blocking commands that had to wait for the port.
  int WaitedForPort() const { return waited_for_port_; }
  // Request frames written to the port so far (any thread). A frame without a reply may still
  // be on its way to the board when the command returns.
  int64_t RequestsSent() const { return requests_sent_.load(); }

  // --- Register access (stop at the first failing command) ---------------------------------
  // CS of m_Rfm_Gen low, the other two high.
  bool SelectGen();
  // All three chip selects high.
  bool DeselectAll();
  bool RfmRegWrite(uint8_t reg, uint8_t value);
  // The register's value 0..255, or negative when any step failed: -1 select, -2 address byte,
  // -3 value byte, -4 deselect.
  int RfmRegRead(uint8_t reg);
  bool SpiWord16(uint16_t w);
  // The I2C transactions below send the single I2C commands of one transaction in one write and
  // then read their replies in order (the board handles commands in order and buffers its
  // input), so a transaction costs one turn-around instead of one per byte. The first reply that
  // is missing or refuses ends the transaction: its result is that step's code and the log line
  // is I2C_Out's or I2C_In's; after a refused byte the replies still owed are read and dropped,
  // and nothing after the transaction is sent. The rest of the transaction's commands are on the wire by then (the
  // board's own batch I2C writes also go on to the stop after a refused byte). A missing reply
  // cannot be told from a later one, so it is counted against the last step whose reply does
  // not come.
  // Si5351 register write: 0, or -2 address, -3 register, -4 value.
  int I2cRegWrite(uint8_t reg, uint8_t value);
  // 0, or -2 address, -3 register, -4 a data byte.
  int I2cBlockWrite(uint8_t reg, const uint8_t* bytes, int n);
  // The register's value 0..255, or -2 address, -3 register, -5 read address, -6 no byte.
  int I2cRegRead(uint8_t reg);
  // SPI mode for a generator kind (1..5, 8: mode 0; 6: mode 2; 7 and 0: mode 3), sent only when
  // it differs from the current one or `force` is set.
  bool SetSpiModeToGen(int kind, bool force);

  // --- Encoders (also used by tests) -------------------------------------------------------
  // The batch frame: CD, 5A or 5C, len u16 LE, data, check byte. len must be 1..8192.
  static std::vector<uint8_t> EncodeBigCmd2Frame(const uint8_t* data, int len, bool exec);
  // The longest time the board may take to play the batch, in timer ticks: every delay, and
  // for each probing element (86 12 hi lo Z) 2·Z times its delay.
  static uint64_t BatchDurationTicks(const uint8_t* data, int len);
  // Time-out for a run reply: the duration plus 2000 ms, at least 8000 ms.
  int RunReplyTimeoutMs(uint64_t ticks) const;

 private:
  struct Exchange {
    const char* name = "";
    std::vector<uint8_t> request;
    int want = 0;
    int timeout_ms = 0;
    uint8_t reply[4] = {};
    int got = 0;
    int64_t start_ns = 0;
    std::function<bool(const uint8_t* reply, int got)> check;  // window thread, logs failures
    std::function<bool()> job;  // RunAsync: run instead of the request
    std::function<void(bool)> done;
  };
  // Stores the batch's length and duration and builds its frame in frame_; false when the
  // length is out of range (logged).
  bool PrepareBatch(const uint8_t* data, int len, bool exec);
  bool CheckBatchReply(int len, bool exec, const uint8_t* r, int n) const;
  // One step of an I2C transaction: CD 47 arg (no reply), CD 48 arg (reply: the I2C error code)
  // or CD 49 (reply: the byte read); `fail` is the transaction's result when the step fails.
  struct I2cStep {
    uint8_t code = 0;
    uint8_t arg = 0;
    int fail = 0;
  };
  // Sends `steps` in one write and checks their replies in order: 0, or the failing step's
  // `fail`. The byte a CD 49 step read goes to *value.
  int RunI2c(const std::vector<I2cStep>& steps, int* value = nullptr);
  // The checks of I2C_Out's and I2C_In's replies (`got` bytes came), logging a failure.
  static bool I2cOutReplyOk(int got, uint8_t r);
  static bool I2cInReplyOk(int got);
  bool CheckExecReply(const uint8_t* r, int n) const;
  // Queues `exchange` (or starts it when the port is free).
  void Submit(std::shared_ptr<Exchange> exchange);
  void Start(std::shared_ptr<Exchange> exchange);
  void Finish(const std::shared_ptr<Exchange>& exchange);
  void RunQueued();
  void FailSoon(std::function<void(bool)> done);
  // Blocking commands: waits while the exchange thread owns the port.
  void WaitForPort(const char* command);
  // Reads and logs what is waiting before `command` is sent.
  void DrainStale(const char* command);
  // Drains, writes the request and reads `reply_len` bytes within `timeout_ms`; returns the count.
  // TransactNow assumes the calling thread owns the port; Transact waits for it first.
  int TransactNow(const char* command, const uint8_t* request, size_t request_len, uint8_t* reply,
                  int reply_len, int timeout_ms, const std::atomic<bool>* cancel = nullptr);
  int Transact(const char* command, const uint8_t* request, size_t request_len, uint8_t* reply,
               int reply_len, int timeout_ms);
  int Transact(const char* command, std::initializer_list<uint8_t> request, uint8_t* reply,
               int reply_len, int timeout_ms) {
    return Transact(command, request.begin(), request.size(), reply, reply_len, timeout_ms);
  }

  OSerialPort* port_;
  int buffer_size_ = kDefaultBufferSize;
  uint32_t timer_clock_ = kDefaultTimerClock;
  uint32_t timer_divider_ = kDefaultTimerDivider;
  int spi_mode_ = kSpiModeUnknown;
  int last_batch_len_ = 0;
  uint64_t last_batch_ticks_ = 0;
  std::vector<uint8_t> frame_;  // the batch frame being sent, allocated once

  IWindowThread* window_ = nullptr;
  bool busy_ = false;  // an asynchronous exchange holds the port (window thread)
  std::deque<std::function<void()>> queue_;
  std::atomic<bool> cancel_{false};
  std::atomic<bool> window_waits_{false};  // the window thread waits for the exchange thread
  double longest_exchange_ms_ = 0;
  int waited_for_port_ = 0;
  std::atomic<int64_t> requests_sent_{0};
  Liveness alive_;
  BoardExchangeThread thread_;  // last: joined before the members its job uses go
};

}  // namespace kavu
