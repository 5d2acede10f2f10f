#include "sim/emulated_board.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <iterator>

#include "sim/firmware_assumptions.h"

namespace kavu::sim {
namespace {

int64_t RunDurationNs(uint64_t ticks, const BoardTimer& timer) {
  if (timer.clock_hz == 0) return 0;
  const long double ns = static_cast<long double>(ticks) * 1e9L * timer.divider / timer.clock_hz;
  return ns > 9e18L ? INT64_MAX / 2 : static_cast<int64_t>(ns + 0.5L);
}

}  // namespace

EmulatedBoard::EmulatedBoard(IBoardHardware& hardware, EmulatedBoardConfig config,
                             IBoardClock* clock)
    : hw_(&hardware),
      config_(config),
      clock_(clock ? clock : &steady_),
      firmware_(hardware, config, clock_) {}

EmulatedBoard::~EmulatedBoard() { Stop(); }

bool EmulatedBoard::Start(std::string* error) {
  Stop();
  if (!pty_.Create(error)) return false;
  wake_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake_fd_ < 0) {
    *error = "eventfd failed";
    pty_.Close();
    return false;
  }
  {
    std::lock_guard lock(mutex_);
    device_path_ = pty_.SlavePath();
  }
  start_ns_ = clock_->NowNs();
  line_in_free_ns_ = start_ns_;
  board_free_ns_ = start_ns_;
  parser_ = BoardFrameParser{};
  firmware_ = BoardFirmware(*hw_, config_, clock_);  // a new device powers up afresh
  monitor_.ResetParser();
  in_monitor_ = config_.start_in_monitor;
  capture_run_ = 0;
  stop_ = false;
  unplug_request_ = false;
  plugged_ = true;
  thread_ = std::thread([this] { Run(); });
  return true;
}

void EmulatedBoard::Stop() {
  if (thread_.joinable()) {
    stop_ = true;
    Wake();
    thread_.join();
  }
  ClosePty();
  if (wake_fd_ >= 0) ::close(wake_fd_);
  wake_fd_ = -1;
}

std::string EmulatedBoard::DevicePath() const {
  std::lock_guard lock(mutex_);
  return device_path_;
}

void EmulatedBoard::InjectFault(const BoardFault& fault) {
  std::lock_guard lock(mutex_);
  faults_.push_back(fault);
}

void EmulatedBoard::ClearFaults() {
  std::lock_guard lock(mutex_);
  faults_.clear();
}

void EmulatedBoard::Unplug() {
  unplug_request_ = true;
  Wake();
  // Wait until the board thread closed the device, so the caller sees it gone.
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, std::chrono::seconds(2), [this] { return !plugged_.load(); });
}

void EmulatedBoard::SendUnasked(std::vector<uint8_t> bytes) {
  {
    std::lock_guard lock(mutex_);
    unasked_.insert(unasked_.end(), bytes.begin(), bytes.end());
    busy_ = true;
  }
  Wake();
}

void EmulatedBoard::Wake() {
  if (wake_fd_ < 0) return;
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t w = ::write(wake_fd_, &one, sizeof one);
}

bool EmulatedBoard::WaitForFrames(size_t count, int timeout_ms) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                           [&] { return log_.Size() >= count; });
}

bool EmulatedBoard::WaitIdle(int timeout_ms) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return !busy_; });
}

int64_t EmulatedBoard::PollTimeoutNs(int64_t now_ns) const {
  constexpr int64_t kMaxNs = 1'000'000'000;
  int64_t due_ns = -1;
  if (pending_) {
    due_ns = pending_->due_ns;
  } else if (input_.empty() && parser_.GapDeadline() >= 0) {
    due_ns = start_ns_ + parser_.GapDeadline() * 1'000'000;
  }
  int64_t timeout = due_ns < 0 ? kMaxNs : std::clamp<int64_t>(due_ns - now_ns, 0, kMaxNs);
  if (clock_ != &steady_) timeout = std::min<int64_t>(timeout, 2'000'000);  // another clock may jump: look often
  return timeout;
}

void EmulatedBoard::Run() {
  // Each command's reply is due at a time the line model gives, and the board sleeps until then.
  // The kernel's default timer slack (50 us) would make every one of those waits, so every
  // command, later than the model says: a real board answers from its UART interrupt.
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  while (!stop_) {
    pollfd fds[2] = {{wake_fd_, POLLIN, 0}, {pty_.MasterFd(), 0, 0}};
    const int nfds = pty_.IsOpen() ? 2 : 1;
    if (nfds == 2) {
      fds[1].events = static_cast<short>(POLLIN | (output_.empty() ? 0 : POLLOUT));
    }
    const int64_t wait_ns = PollTimeoutNs(clock_->NowNs());
    const timespec wait{static_cast<time_t>(wait_ns / 1'000'000'000), static_cast<long>(wait_ns % 1'000'000'000)};
    ::ppoll(fds, static_cast<nfds_t>(nfds), &wait, nullptr);
    uint64_t drained = 0;
    [[maybe_unused]] const ssize_t r = ::read(wake_fd_, &drained, sizeof drained);
    if (stop_) break;
    if (unplug_request_.exchange(false)) ClosePty();
    {
      std::lock_guard lock(mutex_);
      if (pty_.IsOpen()) output_.insert(output_.end(), unasked_.begin(), unasked_.end());
      unasked_.clear();
    }
    if (pty_.IsOpen()) {
      ReadInput();
      const int64_t now = clock_->NowNs();
      if (pending_ && now >= pending_->due_ns) {
        QueueOutput(pending_->bytes);
        pending_.reset();
      }
      ParseInput(now);
      FlushOutput();
    }
    {
      std::lock_guard lock(mutex_);
      busy_ = pending_.has_value() || !output_.empty() || !input_.empty() || !unasked_.empty();
    }
    changed_.notify_all();
  }
}

void EmulatedBoard::ReadInput() {
  uint8_t buffer[4096];
  const int64_t now = clock_->NowNs();
  for (;;) {
    const ssize_t n = ::read(pty_.MasterFd(), buffer, sizeof buffer);
    if (n > 0) {
      for (ssize_t i = 0; i < n; ++i) input_.push_back({buffer[i], now});
      bytes_received_ += static_cast<uint64_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return;  // EAGAIN: all read; EIO: nobody on the slave side, nothing to read
  }
}

void EmulatedBoard::ParseInput(int64_t now_ns) {
  // The boot loader may start the application and the application may be switched into the
  // boot loader within the bytes waiting: each parses until the other takes over.
  for (;;) {
    if (in_monitor_) {
      ParseMonitorInput(now_ns);
      if (in_monitor_) return;
    }
    if (!ParseApplicationInput(now_ns)) return;
  }
}

bool EmulatedBoard::ParseApplicationInput(int64_t now_ns) {
  const int64_t now_ms = MsSinceStart(now_ns);
  while (!pending_ && !input_.empty() && pty_.IsOpen()) {
    const InputByte b = input_.front();
    input_.pop_front();
    if (CaptureByte(b.value, now_ns)) return true;
    // Bytes that waited in the input while the board was busy go on the line as soon as it is
    // free, not when this thread happened to wake up after that.
    if (auto frame = parser_.Feed(b.value, now_ms)) {
      Handle(std::move(*frame), now_ns, std::max(b.read_ns, board_free_ns_));
    }
  }
  if (!pending_ && input_.empty() && pty_.IsOpen()) {
    if (auto cut = parser_.CheckGap(now_ms)) Handle(std::move(*cut), now_ns, now_ns);
  }
  return false;
}

std::vector<BoardFault> EmulatedBoard::TakeFaults(const BoardFrame& frame, const FirmwareReply* reply) {
  std::lock_guard lock(mutex_);
  std::vector<BoardFault> taken;
  const auto applies = [&](const BoardFault& f) {
    if (f.count == 0 || (f.command >= 0 && f.command != frame.code)) return false;
    if (!reply) return f.kind == BoardFaultKind::kUnplug;
    if (f.kind == BoardFaultKind::kI2cNack) return reply->i2c_code_index >= 0;
    if (f.kind == BoardFaultKind::kProtect) return false;  // taken before the boot loader writes
    return f.kind != BoardFaultKind::kUnplug && !reply->bytes.empty();
  };
  for (auto it = faults_.begin(); it != faults_.end();) {
    if (!applies(*it)) {
      ++it;
    } else if (it->skip > 0) {
      --it->skip;
      ++it;
    } else {
      taken.push_back(*it);
      it = (it->count > 0 && --it->count == 0) ? faults_.erase(it) : std::next(it);
    }
  }
  return taken;
}

void EmulatedBoard::Handle(BoardFrame frame, int64_t now_ns, int64_t start_ns) {
  BoardLogEntry entry;
  entry.time_ms = MsSinceStart(now_ns);
  entry.code = frame.kind == BoardFrame::Kind::kStray ? -1 : frame.code;
  entry.request = frame.raw;
  if (frame.kind == BoardFrame::Kind::kStray || frame.kind == BoardFrame::Kind::kUnknown) {
    entry.note = frame.kind == BoardFrame::Kind::kStray ? "dropped" : "unknown command";
    log_.Add(std::move(entry));
    return;
  }
  // An unplug happens as the command arrives; the firmware never sees it.
  if (!TakeFaults(frame, nullptr).empty()) {
    entry.note = "fault unplug";
    log_.Add(std::move(entry));
    ClosePty();
    return;
  }
  CountLineBytes(frame.raw.size());
  // The frame is complete on the board when its last byte has crossed the line.
  const int64_t arrived_ns =
      std::max(start_ns, line_in_free_ns_) + static_cast<int64_t>(frame.raw.size()) * config_.ByteNs();
  line_in_free_ns_ = arrived_ns;
  FirmwareReply reply = firmware_.Execute(frame, arrived_ns);
  int64_t due_ns = arrived_ns;
  if (frame.kind == BoardFrame::Kind::kBatch && !frame.check_ok) entry.note = "bad check byte";
  if (frame.kind == BoardFrame::Kind::kBatch && frame.check_ok && reply.bytes.size() > 0 &&
      reply.bytes[0] == kReplyBadFrame) {
    entry.note = "length refused";
  }
  if (reply.is_run) {
    due_ns = std::max(due_ns, reply.run_start_ns) + RunDurationNs(reply.run_ticks, config_.timer);
    entry.note = "run " + std::to_string(reply.run_ticks) + " ticks";
  }
  ApplyFaults(TakeFaults(frame, &reply), reply, entry, due_ns);
  SendReply(std::move(entry), std::move(reply.bytes), now_ns, due_ns);
}

void EmulatedBoard::ApplyFaults(const std::vector<BoardFault>& faults, FirmwareReply& reply,
                                BoardLogEntry& entry, int64_t& due_ns) {
  for (const BoardFault& fault : faults) {
    switch (fault.kind) {
      case BoardFaultKind::kNoReply: reply.bytes.clear(); break;
      case BoardFaultKind::kShortReply:
        if (!reply.bytes.empty()) reply.bytes.pop_back();
        break;
      case BoardFaultKind::kWrongByte: {
        if (reply.bytes.empty()) break;
        const size_t i = std::min<size_t>(static_cast<size_t>(std::max(fault.byte_index, 0)),
                                          reply.bytes.size() - 1);
        reply.bytes[i] ^= 0xFF;
        break;
      }
      case BoardFaultKind::kLateReply: due_ns += int64_t{fault.late_ms} * 1'000'000; break;
      case BoardFaultKind::kI2cNack:
        if (static_cast<size_t>(reply.i2c_code_index) < reply.bytes.size()) {
          reply.bytes[static_cast<size_t>(reply.i2c_code_index)] = kI2cAddressNack;
        }
        break;
      case BoardFaultKind::kUnplug:
      case BoardFaultKind::kProtect: break;
    }
    entry.note += std::string(entry.note.empty() ? "" : ", ") + "fault " + BoardFaultName(fault.kind);
  }
}

void EmulatedBoard::SendReply(BoardLogEntry entry, std::vector<uint8_t> bytes, int64_t now_ns, int64_t due_ns) {
  entry.reply = bytes;
  log_.Add(std::move(entry));
  due_ns += static_cast<int64_t>(bytes.size()) * config_.ByteNs();  // the reply's way back
  CountLineBytes(bytes.size());
  board_free_ns_ = due_ns;
  if (due_ns > now_ns) {
    pending_ = Pending{std::move(bytes), due_ns};
  } else {
    QueueOutput(bytes);
  }
}

void EmulatedBoard::QueueOutput(const std::vector<uint8_t>& bytes) {
  output_.insert(output_.end(), bytes.begin(), bytes.end());
  FlushOutput();
}

void EmulatedBoard::FlushOutput() {
  while (!output_.empty() && pty_.IsOpen()) {
    const ssize_t n = ::write(pty_.MasterFd(), output_.data(), output_.size());
    if (n > 0) {
      output_.erase(output_.begin(), output_.begin() + n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    output_.clear();  // the device is gone
    return;
  }
}

void EmulatedBoard::ClosePty() {
  pty_.Close();
  input_.clear();
  output_.clear();
  pending_.reset();
  plugged_ = false;
  { std::lock_guard lock(mutex_); }  // a waiter between its check and its wait is not missed
  changed_.notify_all();
}

}  // namespace kavu::sim
