#include "sim/simlib/sim_extio_plugin.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/steady_clock.h"
#include "sim/simlib/bench_client.h"

namespace kavu::simextio {
namespace {

constexpr const char* kName = "KavuSim";
constexpr const char* kModel = "Virtual bench";

size_t BytesPerPair(int type) {
  switch (type) {
    case kExtIOTypeInt16: return 4;
    case kExtIOTypeFloat32: return 8;
    case kExtIOTypeUChar:
    case kExtIOTypeSChar: return 2;
    case kExtIOTypeInt24: return 6;
    default: return 8;  // int32 kinds
  }
}

int16_t Saturate16(double v) {
  return static_cast<int16_t>(std::clamp(std::lround(v), -32768L, 32767L));
}

}  // namespace

Plugin& Plugin::Instance() {
  static Plugin plugin;
  return plugin;
}

Plugin::Plugin() = default;
Plugin::~Plugin() = default;

void Plugin::EnsureRemoteFeeder() {
  const char* path = std::getenv("KAVU_SIM_BENCH");
  if (!path || !*path) return;
  {
    std::lock_guard lock(source_mutex_);
    if (attached_ && !remote_attached_) return;  // a bench of this process feeds the plug-in
    if (!remote_) remote_ = std::make_unique<simrtl::BenchClient>();
    if (remote_attached_ && remote_->Connected()) return;
    if (!remote_->Connect(path)) return;
    source_ = remote_->Source();
    attached_ = true;
    remote_attached_ = true;
  }
  if (const char* type = std::getenv("KAVU_SIMEXTIO_TYPE"); type && *type) {
    Set("type", std::atoi(type));
  }
  generation_.fetch_add(1);
  Configure();
}

int Plugin::Attach(const KavuSimSource* source) {
  if (source && source->abi_version != kKavuSimAbiVersion) return -1;
  {
    std::lock_guard lock(source_mutex_);
    attached_ = source != nullptr;
    if (source) source_ = *source;
    if (remote_attached_ && remote_) remote_->Disconnect();
    remote_attached_ = false;
  }
  {
    std::lock_guard lock(run_mutex_);
    origin_ns_ = SteadyNowNs();
    origin_samples_ = 0;
  }
  generation_.fetch_add(1);
  Configure();
  return 0;
}

void Plugin::Configure() {
  const double lo = std::max(lo_hz_.load(), 0.0);
  std::lock_guard lock(source_mutex_);
  if (attached_ && source_.configure) {
    source_.configure(source_.ctx, static_cast<uint32_t>(std::max(rate_.load(), 1)),
                      static_cast<uint64_t>(std::llround(lo)), 0, 0);
  }
}

int32_t Plugin::Fault() {
  std::lock_guard lock(source_mutex_);
  return attached_ && source_.fault ? source_.fault(source_.ctx) : kKavuSimOk;
}

bool Plugin::Set(const std::string& name, double value) {
  const auto i = static_cast<int>(value);
  bool rate_changed = false;
  {
    std::lock_guard lock(mutex_);
    Script& s = script_;
    if (name == "type") s.type = i;
    else if (name == "offset") s.offset = value;
    else if (name == "init_ok") s.init_ok = i != 0;
    else if (name == "open_ok") s.open_ok = i != 0;
    else if (name == "start_result") s.start_result = i;
    else if (name == "block") s.block = std::max(1, i);
    else if (name == "lo_result") s.lo_result = i;
    else if (name == "manual") s.manual = i != 0;
    else if (name == "long_name") s.long_name = i != 0;
    else if (name == "rate") {
      s.rate = i;
      rate_changed = rate_.exchange(i) != i;
    } else {
      return false;
    }
  }
  if (rate_changed) {
    {
      // The own clock keeps its count across the change.
      std::lock_guard lock(run_mutex_);
      const int64_t now = SteadyNowNs();
      origin_samples_ = OwnDue();
      origin_ns_ = now;
    }
    Configure();
    Notice(kExtIOStatusRateChanged);
  }
  return true;
}

void Plugin::Reset() {
  std::lock_guard lock(mutex_);
  script_ = Script{};
  rate_ = script_.rate;
  calls_.clear();
}

void Plugin::Record(const std::string& call) {
  {
    std::lock_guard lock(mutex_);
    calls_.push_back(call);
  }
  std::lock_guard lock(source_mutex_);
  if (attached_ && source_.log) source_.log(source_.ctx, call.c_str());
}

std::string Plugin::Calls() const {
  std::lock_guard lock(mutex_);
  std::string all;
  for (const std::string& c : calls_) all += c + "\n";
  return all;
}

int Plugin::Notice(int status) {
  const KavuExtIOCallback cb = callback_.load();
  return cb ? cb(-1, status, 0.0f, nullptr) : -1;
}

int Plugin::PushPatternBlock(uint32_t pairs) {
  const KavuExtIOCallback cb = callback_.load();
  if (!cb) return -1;
  Script s;
  {
    std::lock_guard lock(mutex_);
    s = script_;
  }
  std::vector<unsigned char> buf(BytesPerPair(s.type) * pairs);
  for (uint32_t k = 0; k < pairs; ++k) {
    const double v = static_cast<double>(k % 1000);
    if (s.type == kExtIOTypeInt16) {
      const int16_t iq[2] = {Saturate16(v + s.offset), Saturate16(-v + s.offset)};
      std::memcpy(&buf[4 * k], iq, sizeof iq);
    } else if (s.type == kExtIOTypeFloat32) {
      const float iq[2] = {static_cast<float>(v + s.offset), static_cast<float>(-v + s.offset)};
      std::memcpy(&buf[8 * k], iq, sizeof iq);
    } else if (s.type == kExtIOTypeUChar) {
      buf[2 * k] = static_cast<unsigned char>(128 + k % 100);
      buf[2 * k + 1] = static_cast<unsigned char>(128 - k % 100);
    }
  }
  return cb(static_cast<int>(pairs), 0, static_cast<float>(s.offset), buf.data());
}

bool Plugin::InitHW(char* name, char* model, int* type) {
  EnsureRemoteFeeder();
  Record("InitHW");
  const bool present = Fault() != kKavuSimUnplugged;
  std::lock_guard lock(mutex_);
  if (!script_.init_ok || !present) return false;
  if (name) {
    if (script_.long_name) {
      std::memset(name, 'N', kExtIONameSize);  // no terminator: the caller must supply one
    } else {
      std::strcpy(name, kName);
    }
  }
  if (model) std::strcpy(model, kModel);
  if (type) *type = script_.type;
  return true;
}

bool Plugin::OpenHW() {
  Record("OpenHW");
  const int32_t fault = Fault();
  std::lock_guard lock(mutex_);
  return script_.open_ok && fault != kKavuSimUnplugged && fault != kKavuSimOpenFails;
}

void Plugin::CloseHW() { Record("CloseHW"); }

void Plugin::SetCallback(KavuExtIOCallback cb) {
  Record("SetCallback");
  callback_ = cb;
}

int32_t Plugin::GetHWSR() { return rate_.load(); }

int Plugin::SetLo(const std::string& how, double hz) {
  Record(how + " " + std::to_string(static_cast<long long>(hz)));
  lo_hz_ = hz;
  Configure();
  std::lock_guard lock(mutex_);
  return script_.lo_result;
}

int Plugin::StartHW(int32_t freq) {
  Record("StartHW " + std::to_string(freq));
  lo_hz_ = freq;
  Configure();
  Script s;
  {
    std::lock_guard lock(mutex_);
    s = script_;
  }
  if (s.start_result != Script::kNoStartResult) return s.start_result;
  if (!s.manual && !thread_.joinable()) {
    {
      std::lock_guard lock(run_mutex_);
      cancel_ = false;
      origin_ns_ = SteadyNowNs();
      origin_samples_ = 0;
    }
    thread_ = std::thread([this] { Stream(); });
  }
  return s.block;
}

void Plugin::StopHW() {
  {
    std::lock_guard lock(run_mutex_);
    cancel_ = true;
    run_cv_.notify_all();
  }
  // No callback runs after StopHW returned.
  if (thread_.joinable()) thread_.join();
  Record("StopHW");
}

uint64_t Plugin::Due() {
  {
    std::lock_guard lock(source_mutex_);
    if (attached_) return source_.due ? source_.due(source_.ctx) : 0;
  }
  return OwnDue();
}

uint64_t Plugin::OwnDue() const {
  const double elapsed = static_cast<double>(SteadyNowNs() - origin_ns_) * 1e-9;
  return origin_samples_ + static_cast<uint64_t>(elapsed * std::max(rate_.load(), 1));
}

void Plugin::Fill(uint64_t first, std::vector<unsigned char>& buf, uint32_t pairs, const Script& s) {
  std::unique_lock source_lock(source_mutex_);
  if (attached_ && source_.fill) {
    const int32_t format = s.type == kExtIOTypeInt16     ? kKavuSimI16
                           : s.type == kExtIOTypeFloat32 ? kKavuSimF32
                           : s.type == kExtIOTypeUChar   ? kKavuSimU8
                           : s.type == kExtIOTypeSChar   ? kKavuSimS8
                                                         : -1;
    if (format < 0) {
      std::fill(buf.begin(), buf.end(), 0);  // no feeder format for it: silence
      return;
    }
    source_.fill(source_.ctx, first, format, buf.data(), pairs);
    source_lock.unlock();
    // A receiver's DC offset, which the callback's IQoffs tells the program to remove.
    for (uint32_t k = 0; k < 2 * pairs; ++k) {
      if (s.type == kExtIOTypeInt16) {
        int16_t x;
        std::memcpy(&x, &buf[2 * k], sizeof x);
        x = Saturate16(x + s.offset);
        std::memcpy(&buf[2 * k], &x, sizeof x);
      } else if (s.type == kExtIOTypeFloat32) {
        float x;
        std::memcpy(&x, &buf[4 * k], sizeof x);
        x = static_cast<float>(x + s.offset);
        std::memcpy(&buf[4 * k], &x, sizeof x);
      }
    }
    return;
  }
  source_lock.unlock();
  // Alone: a few LSB of noise around zero (mid-scale for bytes), plus the offset.
  for (uint32_t k = 0; k < 2 * pairs; ++k) {
    noise_ ^= noise_ << 13;
    noise_ ^= noise_ >> 7;
    noise_ ^= noise_ << 17;
    const int v = static_cast<int>(noise_ >> 61) - 4;
    if (s.type == kExtIOTypeInt16) {
      const int16_t x = Saturate16(v + s.offset);
      std::memcpy(&buf[2 * k], &x, sizeof x);
    } else if (s.type == kExtIOTypeFloat32) {
      const float x = static_cast<float>(v + s.offset);
      std::memcpy(&buf[4 * k], &x, sizeof x);
    } else if (s.type == kExtIOTypeUChar) {
      buf[k] = static_cast<unsigned char>(128 + v);
    }
  }
}

void Plugin::Stream() {
  std::vector<unsigned char> buf;
  std::unique_lock lock(run_mutex_);
  uint32_t generation = generation_.load();
  uint64_t next = Due();
  while (!cancel_) {
    Script s;
    {
      std::lock_guard script_lock(mutex_);
      s = script_;
    }
    if (const uint32_t g = generation_.load(); g != generation) {
      generation = g;  // another feeder, another clock: go on from its present
      next = Due();
    }
    const int32_t fault = Fault();
    if (fault == kKavuSimUnplugged) break;  // the receiver is gone: its stream ends
    const auto n = static_cast<uint32_t>(s.block);
    const uint64_t due = Due();
    if (fault != kKavuSimStall && due >= next + n) {
      buf.resize(BytesPerPair(s.type) * n);
      Fill(next, buf, n, s);
      next += n;
      lock.unlock();
      if (const KavuExtIOCallback cb = callback_.load()) {
        cb(static_cast<int>(n), 0, static_cast<float>(s.offset), buf.data());
      }
      lock.lock();
      continue;
    }
    const double rate = std::max(rate_.load(), 1);
    const double behind = static_cast<double>(next + n - due) / rate;
    const auto us = std::chrono::microseconds(static_cast<int64_t>(std::min(behind, 0.05) * 1e6) + 200);
    run_cv_.wait_for(lock, us, [this] { return cancel_; });
  }
}

}  // namespace kavu::simextio
