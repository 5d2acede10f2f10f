// The emulated board's boot-loader side: entering it under capture, its frames timed on the
// line like the application's, and leaving it for the application.
#include <algorithm>
#include <cstdio>
#include <iterator>

#include "sim/emulated_board.h"
#include "sim/firmware_assumptions.h"

namespace kavu::sim {

bool EmulatedBoard::CaptureByte(uint8_t byte, int64_t now_ns) {
  if (byte != kFramePrefix || (capture_run_ == 0 && parser_.InFrame())) {
    capture_run_ = 0;
    return false;
  }
  if (++capture_run_ < kCaptureRun) return false;
  // The board is switched on again while the capture bytes arrive: it stays in the monitor.
  capture_run_ = 0;
  parser_ = BoardFrameParser{};
  firmware_ = BoardFirmware(*hw_, config_, clock_);
  monitor_.ResetParser();
  in_monitor_ = true;
  BoardLogEntry entry;
  entry.time_ms = MsSinceStart(now_ns);
  entry.request.assign(kCaptureRun, kFramePrefix);
  entry.note = "capture: switched on in the boot loader";
  log_.Add(std::move(entry));
  return true;
}

void EmulatedBoard::ParseMonitorInput(int64_t now_ns) {
  while (in_monitor_ && !pending_ && !input_.empty() && pty_.IsOpen()) {
    const InputByte b = input_.front();
    input_.pop_front();
    const int64_t start_ns = std::max(b.read_ns, board_free_ns_);
    if (auto frame = monitor_.Feed(b.value, b.read_ns)) HandleMonitor(*frame, now_ns, start_ns);
    if (auto held = monitor_.TakeHeld()) HandleMonitor(*held, now_ns, start_ns);
  }
}

bool EmulatedBoard::TakeFaultOfKind(int code, BoardFaultKind kind) {
  std::lock_guard lock(mutex_);
  bool taken = false;
  for (auto it = faults_.begin(); it != faults_.end();) {
    if (it->kind != kind || it->count == 0 || (it->command >= 0 && it->command != code)) {
      ++it;
    } else if (it->skip > 0) {
      --it->skip;
      ++it;
    } else {
      taken = true;
      it = (it->count > 0 && --it->count == 0) ? faults_.erase(it) : std::next(it);
    }
  }
  return taken;
}

void EmulatedBoard::HandleMonitor(const MonitorFrame& frame, int64_t now_ns, int64_t start_ns) {
  BoardLogEntry entry;
  entry.time_ms = MsSinceStart(now_ns);
  entry.code = frame.raw.size() >= 2 ? frame.code : -1;
  entry.request = frame.raw;
  const int64_t arrived_ns =
      std::max(start_ns, line_in_free_ns_) + static_cast<int64_t>(frame.raw.size()) * config_.ByteNs();
  if (frame.kind == MonitorFrame::Kind::kDropped) {
    if (frame.raw.size() == 2) {
      // The wake-up (CD 00): its bytes cross the line; the note keeps the gap between them.
      char note[64];
      std::snprintf(note, sizeof note, "wake-up, %02X after %.3f ms", frame.code, frame.code_gap_ns / 1e6);
      entry.note = note;
      CountLineBytes(frame.raw.size());
      line_in_free_ns_ = arrived_ns;
    } else {
      entry.note = "dropped";
    }
    log_.Add(std::move(entry));
    return;
  }
  BoardFrame as_command;
  as_command.kind = BoardFrame::Kind::kCommand;
  as_command.code = frame.code;
  as_command.raw = frame.raw;
  if (!TakeFaults(as_command, nullptr).empty()) {
    entry.note = "fault unplug";
    log_.Add(std::move(entry));
    ClosePty();
    return;
  }
  CountLineBytes(frame.raw.size());
  line_in_free_ns_ = arrived_ns;
  if (frame.kind == MonitorFrame::Kind::kStart) {
    entry.note = "start: the application runs";
    log_.Add(std::move(entry));
    in_monitor_ = false;
    parser_ = BoardFrameParser{};
    firmware_ = BoardFirmware(*hw_, config_, clock_);
    capture_run_ = 0;
    board_free_ns_ = arrived_ns;
    return;
  }
  const bool protect = frame.kind == MonitorFrame::Kind::kWrite && TakeFaultOfKind(frame.code, BoardFaultKind::kProtect);
  const MonitorReply done = monitor_.Execute(frame, protect);
  const int64_t flash_ns = done.flashed ? int64_t{config_.flash_block_us} * 1000 : 0;
  flash_time_ns_.fetch_add(flash_ns, std::memory_order_relaxed);
  int64_t due_ns = arrived_ns + flash_ns;
  if (protect) {
    entry.note = "fault protect";
  } else if (frame.kind == MonitorFrame::Kind::kWrite && !done.flashed) {
    entry.note = "protected block";
  }
  FirmwareReply reply;
  reply.bytes = done.bytes;
  ApplyFaults(TakeFaults(as_command, &reply), reply, entry, due_ns);
  SendReply(std::move(entry), std::move(reply.bytes), now_ns, due_ns);
}

}  // namespace kavu::sim
