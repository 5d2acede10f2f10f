#include "sim/simlib/sim_hackrf_device.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

#include "platform/steady_clock.h"

namespace kavu::simhackrf {

Boards& Boards::Instance() {
  static Boards boards;
  return boards;
}

Boards::Boards() { own_origin_ns_ = SteadyNowNs(); }

Boards::~Boards() {
  for (int b = 0; b < kBoards; ++b) StopRx(b);
}

int Boards::Attach(const KavuSimSource* source) {
  if (source && source->abi_version != kKavuSimAbiVersion) return -1;
  std::lock_guard lock(source_mutex_);
  if (source) {
    source_ = *source;
    attached_ = true;
  } else {
    attached_ = false;
    own_origin_ns_ = SteadyNowNs();
    own_origin_samples_ = 0;
  }
  if (attached_ && source_.configure) {
    source_.configure(source_.ctx, rate_, center_, 10 * (lna_ + vga_ + (amp_ ? 10 : 0)), 0);
  }
  generation_.fetch_add(1);
  return 0;
}

int32_t Boards::Fault() {
  std::lock_guard lock(source_mutex_);
  return attached_ && source_.fault ? source_.fault(source_.ctx) : kKavuSimOk;
}

void Boards::LogLine(const std::string& line) {
  std::lock_guard lock(source_mutex_);
  if (attached_ && source_.log) source_.log(source_.ctx, line.c_str());
}

bool Boards::Script(const std::string& key, int64_t value) {
  if (key == "valid_length") {
    if (value < 0 || value > kTransferBytes) return false;
    valid_length_ = static_cast<uint32_t>(value);
    return true;
  }
  if (key == "is_streaming") {
    // 0 truthful, 1 never true, 2 + n: false for the first n calls of a stream, then truthful.
    if (value < 0 || value > 1'000'000) return false;
    streaming_answer_ = value >= 2 ? static_cast<int>(StreamingAnswer::kAfterCalls) : static_cast<int>(value);
    streaming_after_ = value >= 2 ? static_cast<int>(value - 2) : 0;
    return true;
  }
  if (key == "reset") {
    std::lock_guard lock(script_mutex_);
    errors_.clear();
    valid_length_ = 0;
    streaming_answer_ = 0;
    streaming_after_ = 0;
    return true;
  }
  if (key.rfind("fail:", 0) == 0 && key.size() > 5) {
    std::lock_guard lock(script_mutex_);
    if (value == 0) {
      errors_.erase(key.substr(5));
    } else {
      errors_[key.substr(5)] = static_cast<int>(value);
    }
    return true;
  }
  return false;
}

int Boards::ScriptedError(const std::string& function) const {
  std::lock_guard lock(script_mutex_);
  const auto it = errors_.find(function);
  return it == errors_.end() ? 0 : it->second;
}

void Boards::Configure() {
  const int gain = 10 * (lna_ + vga_ + (amp_ ? 10 : 0));
  std::lock_guard lock(source_mutex_);
  if (attached_) {
    if (source_.configure) source_.configure(source_.ctx, rate_, center_, gain, 0);
    return;
  }
  const int64_t now = SteadyNowNs();
  own_origin_samples_ += static_cast<uint64_t>(static_cast<double>(now - own_origin_ns_) * 1e-9 * rate_.load());
  own_origin_ns_ = now;
}

uint64_t Boards::Due() {
  std::lock_guard lock(source_mutex_);
  if (attached_) return source_.due ? source_.due(source_.ctx) : 0;
  const double elapsed = static_cast<double>(SteadyNowNs() - own_origin_ns_) * 1e-9;
  return own_origin_samples_ + static_cast<uint64_t>(elapsed * rate_.load());
}

void Boards::Fill(uint64_t first, int8_t* buf, uint32_t samples) {
  std::lock_guard lock(source_mutex_);
  if (attached_ && source_.fill) {
    source_.fill(source_.ctx, first, kKavuSimS8, buf, samples);
    return;
  }
  // Alone: a few LSB of noise around zero, like a board with nothing connected.
  for (uint32_t k = 0; k < 2 * samples; ++k) {
    noise_state_ ^= noise_state_ << 13;
    noise_state_ ^= noise_state_ >> 7;
    noise_state_ ^= noise_state_ << 17;
    buf[k] = static_cast<int8_t>(static_cast<int>(noise_state_ >> 61) - 4);
  }
}

int Boards::Open(int board) {
  if (board < 0 || board >= kBoards) return kHackRfErrorNotFound;
  if (const int e = ScriptedError("open")) return e;
  const int32_t fault = Fault();
  if (fault == kKavuSimUnplugged) return kHackRfErrorNotFound;
  if (fault == kKavuSimOpenFails) return kHackRfErrorLibusb;
  {
    std::lock_guard lock(run_mutex_);
    if (boards_[board].open) return kHackRfErrorBusy;
    boards_[board].open = true;
  }
  LogLine("open " + std::to_string(board));
  return kHackRfSuccess;
}

int Boards::Close(int board) {
  if (board < 0 || board >= kBoards || !IsOpen(board)) return kHackRfErrorInvalidParam;
  StopRx(board);
  {
    std::lock_guard lock(run_mutex_);
    boards_[board].open = false;
  }
  LogLine("close " + std::to_string(board));
  return ScriptedError("close");
}

bool Boards::IsOpen(int board) const {
  if (board < 0 || board >= kBoards) return false;
  std::lock_guard lock(run_mutex_);
  return boards_[board].open;
}

int Boards::SetFreq(int board, uint64_t hz) {
  if (!IsOpen(board)) return kHackRfErrorInvalidParam;
  if (const int e = ScriptedError("set_freq")) return e;
  // The board tunes 0 … 7.25 GHz.
  if (hz > 7'250'000'000ull) return kHackRfErrorInvalidParam;
  center_ = hz;
  Configure();
  LogLine("freq " + std::to_string(hz));
  return kHackRfSuccess;
}

int Boards::SetSampleRate(int board, double hz) {
  if (!IsOpen(board)) return kHackRfErrorInvalidParam;
  if (const int e = ScriptedError("set_sample_rate")) return e;
  if (!(hz >= 1'000'000.0 && hz <= 20'000'000.0)) return kHackRfErrorInvalidParam;
  rate_ = static_cast<uint32_t>(std::lround(hz));
  Configure();
  LogLine("rate " + std::to_string(rate_.load()));
  return kHackRfSuccess;
}

int Boards::SetGain(int board, int lna, int vga, int amp) {
  if (!IsOpen(board)) return kHackRfErrorInvalidParam;
  if (lna >= 0) {
    if (const int e = ScriptedError("set_lna_gain")) return e;
    if (lna > 40) return kHackRfErrorInvalidParam;
    lna_ = lna & ~7;
    LogLine("lna " + std::to_string(lna_.load()));
  }
  if (vga >= 0) {
    if (const int e = ScriptedError("set_vga_gain")) return e;
    if (vga > 62) return kHackRfErrorInvalidParam;
    vga_ = vga & ~1;
    LogLine("vga " + std::to_string(vga_.load()));
  }
  if (amp >= 0) {
    if (const int e = ScriptedError("set_amp_enable")) return e;
    amp_ = amp ? 1 : 0;
    LogLine("amp " + std::to_string(amp_.load()));
  }
  Configure();
  return kHackRfSuccess;
}

int Boards::StartRx(int board, hackrf_device* handle, hackrf_sample_block_cb_fn cb, void* ctx) {
  if (!IsOpen(board) || !cb) return kHackRfErrorInvalidParam;
  if (const int e = ScriptedError("start_rx")) return e;
  std::thread old;
  {
    std::lock_guard lock(run_mutex_);
    Board& b = boards_[board];
    if (b.running && b.streaming) return kHackRfErrorBusy;
    old = std::move(b.thread);  // a stream that ended on its own: collected below
  }
  if (old.joinable()) old.join();
  std::lock_guard lock(run_mutex_);
  Board& b = boards_[board];
  b.running = true;
  b.streaming = true;
  b.cancel = false;
  b.is_streaming_calls = 0;
  b.thread = std::thread([this, board, handle, cb, ctx] { Run(board, handle, cb, ctx); });
  return kHackRfSuccess;
}

int Boards::StopRx(int board) {
  if (board < 0 || board >= kBoards) return kHackRfErrorInvalidParam;
  std::thread t;
  {
    std::lock_guard lock(run_mutex_);
    Board& b = boards_[board];
    b.cancel = true;
    run_cv_.notify_all();
    // Called from the sink itself: the thread ends after this transfer; it is collected later.
    if (b.thread.joinable() && b.thread.get_id() != std::this_thread::get_id()) t = std::move(b.thread);
  }
  if (t.joinable()) t.join();  // returns after the last sink call, as the real library does
  if (const int e = ScriptedError("stop_rx")) return e;
  return kHackRfSuccess;
}

int Boards::IsStreaming(int board) {
  if (board < 0 || board >= kBoards) return kHackRfErrorInvalidParam;
  std::lock_guard lock(run_mutex_);
  Board& b = boards_[board];
  const int calls = b.is_streaming_calls++;
  const bool truth = b.running && b.streaming && !b.cancel;
  switch (static_cast<StreamingAnswer>(streaming_answer_.load())) {
    case StreamingAnswer::kNever: return kHackRfErrorStreamingStopped;
    case StreamingAnswer::kAfterCalls:
      if (calls < streaming_after_) return kHackRfErrorStreamingStopped;
      break;
    case StreamingAnswer::kTruthful: break;
  }
  return truth ? kHackRfTrue : kHackRfErrorStreamingStopped;
}

void Boards::Run(int board, hackrf_device* handle, hackrf_sample_block_cb_fn cb, void* ctx) {
  LogLine("start " + std::to_string(board));
  std::vector<uint8_t> buf(kTransferBytes);
  const uint32_t n = kTransferBytes / 2;
  uint32_t generation = generation_.load();
  uint64_t next = Due();
  std::string end = "stop";
  std::unique_lock lock(run_mutex_);
  Board& b = boards_[board];
  while (!b.cancel) {
    lock.unlock();
    const int32_t fault = Fault();
    if (const uint32_t g = generation_.load(); g != generation) {
      generation = g;  // another feeder, another clock: go on from its present
      next = Due();
    }
    const uint64_t due = Due();
    bool wait = true;
    if (fault == kKavuSimUnplugged) {
      end = "stream ended: unplugged";
      lock.lock();
      break;
    }
    if (fault != kKavuSimStall && due >= next + n) {
      // A short transfer: only its valid part is new; the rest keeps what the buffer held.
      const uint32_t valid = valid_length_.load();
      const uint32_t bytes = valid == 0 ? kTransferBytes : valid & ~1u;
      Fill(next, reinterpret_cast<int8_t*>(buf.data()), bytes / 2);
      next += bytes / 2;
      hackrf_transfer t{handle, buf.data(), static_cast<int>(kTransferBytes), static_cast<int>(bytes), ctx, nullptr};
      const int rc = cb(&t);
      wait = false;
      if (rc != 0) {
        end = "stream ended: the sink returned " + std::to_string(rc);
        lock.lock();
        break;
      }
    }
    lock.lock();
    if (wait && !b.cancel) {
      const uint32_t r = rate_.load();
      const double rate = r > 0 ? r : 1.0;
      const double behind = due >= next + n ? 0.0 : static_cast<double>(next + n - due) / rate;
      const auto us = std::chrono::microseconds(static_cast<int64_t>(std::min(behind, 0.05) * 1e6) + 200);
      run_cv_.wait_for(lock, us, [&b] { return b.cancel; });
    }
  }
  b.streaming = false;
  lock.unlock();
  LogLine(end + " " + std::to_string(board));
}

}  // namespace kavu::simhackrf
