#include "sim/simlib/sim_rtlsdr_device.h"

#include <chrono>
#include <cmath>
#include <vector>

#include "platform/steady_clock.h"

namespace kavu::simrtl {
namespace {


constexpr double kXtalHz = 28'800'000.0;

}  // namespace

Device& Device::Instance() {
  static Device device;
  return device;
}

Device::Device() { own_origin_ns_ = SteadyNowNs(); }

int Device::Attach(const KavuSimSource* source) {
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
    source_.configure(source_.ctx, rate_, center_, gain_, direct_);
  }
  generation_.fetch_add(1);
  return 0;
}

int32_t Device::Fault() {
  std::lock_guard lock(source_mutex_);
  return attached_ && source_.fault ? source_.fault(source_.ctx) : kKavuSimOk;
}

void Device::LogLine(const std::string& line) {
  std::lock_guard lock(source_mutex_);
  if (attached_ && source_.log) source_.log(source_.ctx, line.c_str());
}

void Device::Configure() {
  std::lock_guard lock(source_mutex_);
  if (attached_) {
    if (source_.configure) source_.configure(source_.ctx, rate_, center_, gain_, direct_);
    return;
  }
  // Own clock: keep the sample count continuous across a rate change.
  const int64_t now = SteadyNowNs();
  own_origin_samples_ += static_cast<uint64_t>(static_cast<double>(now - own_origin_ns_) * 1e-9 * rate_.load());
  own_origin_ns_ = now;
}

uint64_t Device::Due() {
  std::lock_guard lock(source_mutex_);
  if (attached_) return source_.due ? source_.due(source_.ctx) : 0;
  const double elapsed = static_cast<double>(SteadyNowNs() - own_origin_ns_) * 1e-9;
  return own_origin_samples_ + static_cast<uint64_t>(elapsed * rate_.load());
}

void Device::Fill(uint64_t first, unsigned char* buf, uint32_t len) {
  std::lock_guard lock(source_mutex_);
  if (attached_ && source_.fill) {
    source_.fill(source_.ctx, first, kKavuSimU8, buf, len / 2);
    if (len & 1u) buf[len - 1] = 127;  // only a synchronous read asks for half a sample
    return;
  }
  // Alone: a few LSB of noise around mid-scale, like a dongle with nothing connected.
  for (uint32_t k = 0; k < len; ++k) {
    noise_state_ ^= noise_state_ << 13;
    noise_state_ ^= noise_state_ >> 7;
    noise_state_ ^= noise_state_ << 17;
    buf[k] = static_cast<unsigned char>(126 + (noise_state_ >> 61));
  }
}

int Device::Open() {
  if (open_) return -6;  // busy, as a claimed USB interface
  const int32_t fault = Fault();
  if (fault == kKavuSimUnplugged || fault == kKavuSimOpenFails) return -3;
  open_ = true;
  LogLine("open");
  return 0;
}

int Device::Close() {
  if (!open_) return -1;
  open_ = false;
  LogLine("close");
  return 0;
}

int Device::SetSampleRate(uint32_t rate) {
  // The RTL2832U's resampler range, and the rate its divider really gives.
  if (rate <= 225000 || rate > 3200000 || (rate > 300000 && rate <= 900000)) return -22;
  uint32_t ratio = static_cast<uint32_t>(kXtalHz * 4194304.0 / rate);
  ratio &= 0x0FFFFFFCu;
  // The resampler's ratio register is 28 bits wide, its top bit extended (rates below ~450 kS/s).
  ratio |= (ratio & 0x08000000u) << 1;
  rate_ = static_cast<uint32_t>(kXtalHz * 4194304.0 / ratio);
  Configure();
  LogLine("rate " + std::to_string(rate_.load()));
  return 0;
}

int Device::SetCenterFreq(uint32_t hz) {
  if (hz == 0) return -1;
  center_ = hz;
  Configure();
  return 0;
}

int Device::SetGain(int gain) {
  gain_ = gain;
  Configure();
  return 0;
}

int Device::SetDirect(int mode) {
  if (mode < 0 || mode > 2) return -1;
  direct_ = mode;
  Configure();
  return 0;
}

int Device::ReadAsync(rtlsdr_read_async_cb_t cb, void* ctx, uint32_t buf_len) {
  if (!open_ || !cb) return -1;
  if (buf_len == 0 || buf_len % 512 != 0) buf_len = 16 * 32 * 512;
  {
    std::lock_guard lock(run_mutex_);
    if (running_) return -2;
    running_ = true;
    cancel_ = false;
  }
  LogLine("start " + std::to_string(buf_len));
  std::vector<unsigned char> buf(buf_len);
  const uint64_t n = buf_len / 2;
  uint32_t generation = generation_.load();
  uint64_t next = Due();
  int result = 0;
  std::unique_lock lock(run_mutex_);
  while (!cancel_) {
    lock.unlock();
    const int32_t fault = Fault();
    if (const uint32_t g = generation_.load(); g != generation) {
      generation = g;  // another feeder, another clock: go on from its present
      next = Due();
    }
    const uint64_t due = Due();
    bool wait = true;
    if (fault == kKavuSimUnplugged) {
      result = -5;  // the device is gone: the read ends on its own
      lock.lock();
      break;
    }
    if (fault != kKavuSimStall && due >= next + n) {
      Fill(next, buf.data(), buf_len);
      next += n;
      cb(buf.data(), buf_len, ctx);
      wait = false;
    }
    lock.lock();
    if (wait && !cancel_) {
      const uint32_t r = rate_.load();
      const double rate = r > 0 ? r : 1.0;
      const double behind = due >= next + n ? 0.0 : static_cast<double>(next + n - due) / rate;
      const auto us = std::chrono::microseconds(static_cast<int64_t>(std::min(behind, 0.05) * 1e6) + 200);
      run_cv_.wait_for(lock, us, [this] { return cancel_; });
    }
  }
  running_ = false;
  cancel_ = false;
  lock.unlock();
  LogLine(result == 0 ? "stop" : "stream ended " + std::to_string(result));
  return result;
}

int Device::CancelAsync() {
  std::lock_guard lock(run_mutex_);
  // Like the real library: a cancel while no read runs is refused and forgotten.
  if (!running_) return -2;
  cancel_ = true;
  run_cv_.notify_all();
  return 0;
}

int Device::ReadSync(void* buf, int len, int* n_read) {
  if (!open_ || !buf || len < 0) return -1;
  Fill(Due(), static_cast<unsigned char*>(buf), static_cast<uint32_t>(len));
  if (n_read) *n_read = len;
  return 0;
}

}  // namespace kavu::simrtl
