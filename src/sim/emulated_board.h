#pragma once
// The emulated control board: firmware on the master side of a pseudo-terminal. The program
// opens DevicePath() like any serial port. The board reads the byte stream on its own thread,
// parses frames (split and merged reads alike), carries them out on the IBoardHardware behind it
// and answers as the firmware would (sim/firmware_assumptions.h). The serial line's time is
// modelled (EmulatedBoardConfig::baud): a frame is carried out when its last byte would have
// arrived, and its reply goes out when it would have crossed the line back. A batch run's reply
// goes out when its timeline has ended on the board clock; until a reply has gone out the board
// reads no command. Commands that waited in the input meanwhile start crossing the line at the
// moment that reply had gone out by the model, however late the board's thread wakes up for them.
//
// Faults can be injected at any time (InjectFault); every frame is logged (CommandLog) so tests
// can assert the order of commands and write the log out when they fail.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sim/board_clock.h"
#include "sim/boot_monitor.h"
#include "sim/board_command_log.h"
#include "sim/board_fault.h"
#include "sim/board_firmware.h"
#include "sim/board_frame_parser.h"
#include "sim/pseudo_terminal.h"

namespace kavu::sim {

class EmulatedBoard {
 public:
  // `hardware` and `clock` (steady clock when null) must outlive the board.
  explicit EmulatedBoard(IBoardHardware& hardware, EmulatedBoardConfig config = {},
                         IBoardClock* clock = nullptr);
  ~EmulatedBoard();
  EmulatedBoard(const EmulatedBoard&) = delete;
  EmulatedBoard& operator=(const EmulatedBoard&) = delete;

  // Creates the pseudo-terminal and starts the board's thread; false with the reason in *error.
  bool Start(std::string* error);
  // Stops the thread and closes the pseudo-terminal. Safe to call twice.
  void Stop();
  // The slave device path the program opens ("/dev/pts/N"); empty before Start.
  std::string DevicePath() const;

  // Faults apply to the next matching commands; faults that match the same command all act on
  // it, in the order injected (a late reply that also reports an I2C error).
  void InjectFault(const BoardFault& fault);
  void ClearFaults();
  // The device disappears now: the pseudo-terminal is closed (the program's reads and writes
  // fail), the board stops reading.
  void Unplug();
  bool IsPlugged() const { return plugged_.load(); }
  // Sends bytes nobody asked for (a late reply from an earlier session, line noise).
  void SendUnasked(std::vector<uint8_t> bytes);

  // The board runs its boot loader (firmware_assumptions.h, M1..M8) rather than the
  // application. Any thread may ask.
  bool InMonitor() const { return in_monitor_.load(); }
  // The boot loader's memory (thread-safe accessors): tests load a chip's contents and look at
  // what was written.
  BootMonitor& Monitor() { return monitor_; }

  const BoardCommandLog& CommandLog() const { return log_; }
  BoardCommandLog& CommandLog() { return log_; }
  // Waits until at least `count` frames have been logged; false on time-out.
  bool WaitForFrames(size_t count, int timeout_ms);
  // Waits until no reply is pending or queued; false on time-out.
  bool WaitIdle(int timeout_ms);
  // Wakes the board so it looks at the clock again (after a bench advanced its sample clock).
  void Wake();
  // The serial line's time the board has modelled since it was made, ns: every byte of each
  // command it carried out and of each reply it gave, ByteNs() apiece (10 bits at the baud rate;
  // 0 at baud 0). Bytes it dropped (line noise, unknown codes) and unasked bytes are not timed and
  // not counted. Any thread may read it.
  int64_t LineTimeNs() const { return line_time_ns_.load(std::memory_order_relaxed); }
  // Bytes the board has taken from the pseudo-terminal so far (each with the time it found it).
  uint64_t BytesReceived() const { return bytes_received_.load(); }
  // The time the boot loader's flash has spent writing blocks since the board was made, ns.
  int64_t FlashTimeNs() const { return flash_time_ns_.load(std::memory_order_relaxed); }

 private:
  struct Pending {
    std::vector<uint8_t> bytes;
    int64_t due_ns = 0;
  };
  void Run();
  void ReadInput();
  void ParseInput(int64_t now_ns);
  // The application's side of ParseInput; true when capture bytes switched the board into the
  // boot loader (the rest of the input is the boot loader's).
  bool ParseApplicationInput(int64_t now_ns);
  // `start_ns`: when the frame's bytes began to cross the line at the earliest (the board was
  // free and they were written), on the board clock.
  void Handle(BoardFrame frame, int64_t now_ns, int64_t start_ns);
  // Consumes every injected fault that matches this command (each at most once per command, in
  // the order injected): with `reply` null only unplugs, else the faults that can act on that
  // reply.
  std::vector<BoardFault> TakeFaults(const BoardFrame& frame, const FirmwareReply* reply);
  // Consumes the matching faults of `kind` only (at most once per command).
  bool TakeFaultOfKind(int code, BoardFaultKind kind);
  // Applies the reply faults taken for this command; notes them in `entry`; moves `due_ns`.
  void ApplyFaults(const std::vector<BoardFault>& faults, FirmwareReply& reply, BoardLogEntry& entry,
                   int64_t& due_ns);
  // The boot loader's side of ParseInput and Handle.
  void ParseMonitorInput(int64_t now_ns);
  void HandleMonitor(const MonitorFrame& frame, int64_t now_ns, int64_t start_ns);
  // Counts 0xCD outside frames in the application; at kCaptureRun the board enters the monitor.
  bool CaptureByte(uint8_t byte, int64_t now_ns);
  // Finishes a command's reply: logs it, times its way back and queues it.
  void SendReply(BoardLogEntry entry, std::vector<uint8_t> bytes, int64_t now_ns, int64_t due_ns);
  void QueueOutput(const std::vector<uint8_t>& bytes);
  void FlushOutput();
  void ClosePty();
  // How long the board thread may sleep, ns.
  int64_t PollTimeoutNs(int64_t now_ns) const;
  int64_t MsSinceStart(int64_t now_ns) const { return (now_ns - start_ns_) / 1'000'000; }
  void CountLineBytes(size_t bytes) {
    line_time_ns_.fetch_add(static_cast<int64_t>(bytes) * config_.ByteNs(), std::memory_order_relaxed);
  }

  IBoardHardware* hw_;
  EmulatedBoardConfig config_;
  SteadyBoardClock steady_;
  IBoardClock* clock_;
  BoardFirmware firmware_;
  BootMonitor monitor_;
  std::atomic<bool> in_monitor_{false};
  int capture_run_ = 0;  // board thread only
  BoardFrameParser parser_;
  PseudoTerminal pty_;
  std::string device_path_;
  BoardCommandLog log_;

  std::thread thread_;
  int wake_fd_ = -1;
  int64_t start_ns_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<bool> plugged_{false};
  std::atomic<bool> unplug_request_{false};

  mutable std::mutex mutex_;  // guards faults_, unasked_, busy_ and the condition
  std::condition_variable changed_;
  std::vector<BoardFault> faults_;
  std::vector<uint8_t> unasked_;
  bool busy_ = false;  // a reply is pending or output is queued

  // Board thread only.
  struct InputByte {
    uint8_t value = 0;
    int64_t read_ns = 0;  // when the board found it in the pseudo-terminal
  };
  std::deque<InputByte> input_;
  std::vector<uint8_t> output_;
  std::optional<Pending> pending_;
  int64_t line_in_free_ns_ = 0;  // when the line towards the board has carried all bytes so far
  int64_t board_free_ns_ = 0;    // when the last reply had gone out: the board reads on from then
  std::atomic<int64_t> line_time_ns_{0};  // LineTimeNs(); written by the board thread only
  std::atomic<int64_t> flash_time_ns_{0};  // FlashTimeNs(); likewise
  std::atomic<uint64_t> bytes_received_{0};
};

}  // namespace kavu::sim
