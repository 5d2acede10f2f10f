#include "sim/simlib/sim_sdrplay_device.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/steady_clock.h"

namespace kavu::simsdrplay {
namespace {

double ModelOffsetDb(unsigned char hw_ver) {
  switch (hw_ver) {
    case kSdrPlayRsp1A: return 2.0;
    case kSdrPlayRsp2: return 1.0;
    case kSdrPlayRspDuo: return 1.0;
    case kSdrPlayRspDx: return 3.0;
    default: return 0.0;
  }
}

double LnaStepDb(unsigned char hw_ver) { return hw_ver == kSdrPlayRspDx ? 2.0 : 6.0; }

constexpr int kUnityGrDb = 40;

bool PowerOfTwoUpTo32(int v) { return v == 1 || v == 2 || v == 4 || v == 8 || v == 16 || v == 32; }

int16_t To14Bits(int16_t v) {
  const int32_t q = ((static_cast<int32_t>(v) + 2) >> 2) * 4;
  return static_cast<int16_t>(std::clamp(q, -32768, 32764));
}

std::string Hex(uint32_t v) {
  char b[16];
  std::snprintf(b, sizeof b, "0x%X", v);
  return b;
}

}  // namespace

int LnaStates(unsigned char hw_ver, double hz) {
  switch (hw_ver) {
    case 1:
    case 3:
    case 255: return hz < 0 ? 10 : hz < 60e6 ? 7 : hz < 1e9 ? 10 : 9;
    case 2: return hz < 0 ? 9 : hz < 60e6 ? 5 : 9;
    case 4: return 28;
    default: return 99;
  }
}

Service& Service::Instance() {
  static Service service;
  return service;
}

Service::Service() {
  own_origin_ns_ = SteadyNowNs();
  for (int i = 0; i < kDevices; ++i) devices_[i].index = i;
}

Service::~Service() {
  std::unique_lock lock(mutex_);
  for (Device& d : devices_) Stop(d, lock);
}

int Service::Attach(const KavuSimSource* source) {
  if (source && source->abi_version != kKavuSimAbiVersion) return -1;
  {
    std::lock_guard lock(source_mutex_);
    if (source) {
      source_ = *source;
      attached_ = true;
    } else {
      attached_ = false;
      own_origin_ns_ = SteadyNowNs();
      own_origin_samples_ = 0;
    }
  }
  generation_.fetch_add(1);
  std::lock_guard lock(mutex_);
  for (Device& d : devices_) {
    if (d.running) Configure(d);
  }
  return 0;
}

int32_t Service::Fault() {
  std::lock_guard lock(source_mutex_);
  return attached_ && source_.fault ? source_.fault(source_.ctx) : kKavuSimOk;
}

void Service::LogLine(const std::string& line) {
  std::lock_guard lock(source_mutex_);
  if (attached_ && source_.log) source_.log(source_.ctx, line.c_str());
}

bool Service::Script(const std::string& key, int64_t value) {
  if (key == "devices") {
    if (value < 0 || value > kDevices) return false;
    listed_ = static_cast<int>(value);
    return true;
  }
  if (key == "slave_running") {
    slave_running_ = value != 0 ? 1 : 0;
    return true;
  }
  if (key == "gain_base") {
    if (value < 0 || value > 200) return false;
    base_db_ = static_cast<double>(value);
    return true;
  }
  if (key == "block") {
    if (value < 1 || value > kMaxBlock) return false;
    block_ = static_cast<uint32_t>(value);
    return true;
  }
  if (key == "overload") {
    if (value != 1 && value != 2) return false;
    std::lock_guard lock(mutex_);
    for (Device& d : devices_) {
      if (d.running) d.pending_overload = static_cast<int>(value);
    }
    return true;
  }
  if (key == "reset") {
    {
      std::lock_guard lock(script_mutex_);
      errors_.clear();
      has_last_error_ = false;
    }
    listed_ = kDevices;
    slave_running_ = 0;
    block_ = kDefaultBlock;
    base_db_ = 100.0;
    std::lock_guard lock(mutex_);
    locked_ = opens_ = acks_ = acks_off_thread_ = 0;
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

int64_t Service::Query(const std::string& key) {
  std::lock_guard lock(mutex_);
  if (key == "locked") return locked_;
  if (key == "opens") return opens_;
  if (key == "acks") return acks_;
  if (key == "acks_off_thread") return acks_off_thread_;
  int n = 0;
  for (const Device& d : devices_) {
    if (key == "streaming" && d.running) ++n;
    if (key == "selected" && d.selected) ++n;
  }
  return key == "streaming" || key == "selected" ? n : -1;
}

int Service::ScriptedError(const std::string& function) const {
  std::lock_guard lock(script_mutex_);
  const auto it = errors_.find(function);
  return it == errors_.end() ? 0 : it->second;
}

void Service::SetLastError(const std::string& function, int code) {
  std::lock_guard lock(script_mutex_);
  last_error_ = {};
  std::snprintf(last_error_.file, sizeof last_error_.file, "sim_sdrplay_device.cpp");
  std::snprintf(last_error_.function, sizeof last_error_.function, "sdrplay_api_%s", function.c_str());
  last_error_.line = code;
  std::snprintf(last_error_.message, sizeof last_error_.message, "simulated failure of sdrplay_api_%s (%d)",
                function.c_str(), code);
  has_last_error_ = true;
}

sdrplay_api_ErrorInfoT* Service::LastError() {
  std::lock_guard lock(script_mutex_);
  return has_last_error_ ? &last_error_ : nullptr;
}

int Service::Open() {
  std::lock_guard lock(mutex_);
  ++opens_;
  LogLine("open");
  return kSdrPlaySuccess;
}

int Service::Lock() {
  std::lock_guard lock(mutex_);
  // The real service would make a second locker wait; here it is refused so a test sees it.
  if (locked_ != 0) return kSdrPlayFail;
  locked_ = 1;
  return kSdrPlaySuccess;
}

int Service::Unlock() {
  std::lock_guard lock(mutex_);
  locked_ = 0;
  return kSdrPlaySuccess;
}

int Service::GetDevices(sdrplay_api_DeviceT* out, unsigned int* count, unsigned int max) {
  if (!out || !count) return kSdrPlayInvalidParam;
  const int n = Fault() == kKavuSimUnplugged ? 0 : std::min<int>(listed_.load(), static_cast<int>(max));
  std::lock_guard lock(mutex_);
  for (int i = 0; i < n; ++i) {
    sdrplay_api_DeviceT r{};
    std::snprintf(r.SerNo, sizeof r.SerNo, "%s", kModels[i].serial);
    r.hwVer = kModels[i].hw_ver;
    r.tuner = kModels[i].tuner;
    r.rspDuoMode = kModels[i].modes;
    r.rspDuoSampleFreq = kModels[i].duo_rate;
    r.dev = &devices_[i];
    out[i] = r;
  }
  *count = static_cast<unsigned int>(n);
  LogLine("devices " + std::to_string(n));
  return kSdrPlaySuccess;
}

Service::Device* Service::Find(void* handle) {
  for (Device& d : devices_) {
    if (handle == &d) return &d;
  }
  return nullptr;
}

const Service::Device* Service::Find(void* handle) const {
  for (const Device& d : devices_) {
    if (handle == &d) return &d;
  }
  return nullptr;
}

bool Service::Known(void* handle) const {
  std::lock_guard lock(mutex_);
  return Find(handle) != nullptr;
}

void Service::Defaults(Device& d) {
  const bool dual = d.mode == kSdrPlayDuoDual;
  d.dev = {};
  d.dev.fsFreq.fsHz = dual ? 6'000'000.0 : 2'000'000.0;
  d.dev.transferMode = 0;
  for (sdrplay_api_RxChannelParamsT& c : d.ch) {
    c = {};
    c.tunerParams.bwType = 200;
    c.tunerParams.ifType = 0;
    c.tunerParams.loMode = 1;
    c.tunerParams.gain.gRdB = 50;
    c.tunerParams.gain.LNAstate = 0;
    c.tunerParams.rfFreq.rfHz = 100e6;
    c.ctrlParams.decimation.enable = 0;
    c.ctrlParams.decimation.decimationFactor = 1;
    c.ctrlParams.agc.enable = 1;
    c.rsp2TunerParams.antennaSel = 5;
    RefreshGain(d, c);
  }
  d.params.devParams = d.mode == kSdrPlayDuoSlave ? nullptr : &d.dev;
  const bool only_b = !dual && d.tuner == kSdrPlayTunerB;
  d.params.rxChannelA = only_b ? nullptr : &d.ch[0];
  d.params.rxChannelB = dual || only_b ? &d.ch[1] : nullptr;
  d.removed = false;
}

void Service::RefreshGain(Device& d, sdrplay_api_RxChannelParamsT& c) const {
  const unsigned char hw = kModels[d.index].hw_ver;
  const double f = c.tunerParams.rfFreq.rfHz;
  const double g = base_db_.load() + ModelOffsetDb(hw) - c.tunerParams.gain.gRdB -
                   c.tunerParams.gain.LNAstate * LnaStepDb(hw) - 3.0 * f / 1e9;
  c.tunerParams.gain.gainVals.curr = static_cast<float>(g);
  c.tunerParams.gain.gainVals.max = static_cast<float>(base_db_.load() + ModelOffsetDb(hw) - 20.0);
  c.tunerParams.gain.gainVals.min = static_cast<float>(g - 60.0);
}

const sdrplay_api_RxChannelParamsT* Service::MainChannel(const Device& d) const {
  return d.params.rxChannelA ? d.params.rxChannelA : d.params.rxChannelB;
}

double Service::OutputRate(const Device& d) const {
  const sdrplay_api_RxChannelParamsT* c = MainChannel(d);
  const double fs = d.mode == kSdrPlayDuoDual ? 2'000'000.0 : d.dev.fsFreq.fsHz;
  const int factor = c && c->ctrlParams.decimation.enable ? std::max<int>(1, c->ctrlParams.decimation.decimationFactor) : 1;
  return fs / factor;
}

void Service::Configure(Device& d) {
  d.applied_rate = OutputRate(d);
  const sdrplay_api_RxChannelParamsT* c = MainChannel(d);
  if (!c) return;
  const unsigned char hw = kModels[d.index].hw_ver;
  const double gain = c->tunerParams.gain.gainVals.curr - (base_db_.load() + ModelOffsetDb(hw) - kUnityGrDb);
  const auto rate = static_cast<uint32_t>(std::lround(d.applied_rate));
  const auto center = static_cast<uint64_t>(std::max(0.0, c->tunerParams.rfFreq.rfHz));
  std::lock_guard lock(source_mutex_);
  if (attached_) {
    if (source_.configure) source_.configure(source_.ctx, rate, center, static_cast<int32_t>(std::lround(gain * 10)), 0);
    return;
  }
  const int64_t now = SteadyNowNs();
  own_origin_samples_ += static_cast<uint64_t>(static_cast<double>(now - own_origin_ns_) * 1e-9 * own_rate_);
  own_origin_ns_ = now;
  own_rate_ = rate > 0 ? rate : 1.0;
}

uint64_t Service::Due() {
  std::lock_guard lock(source_mutex_);
  if (attached_) return source_.due ? source_.due(source_.ctx) : 0;
  return own_origin_samples_ + static_cast<uint64_t>(static_cast<double>(SteadyNowNs() - own_origin_ns_) * 1e-9 * own_rate_);
}

void Service::Fill(uint64_t first, bool dual, int16_t* a, int16_t* b, uint32_t n) {
  {
    std::lock_guard lock(source_mutex_);
    if (attached_ && dual && source_.fill_dual) {
      source_.fill_dual(source_.ctx, first, kKavuSimI16, a, b, n);
    } else if (attached_ && source_.fill) {
      source_.fill(source_.ctx, first, kKavuSimI16, a, n);
      if (dual) std::memcpy(b, a, sizeof(int16_t) * 2 * n);
    } else {
      // Alone: a little noise around zero, like a receiver with nothing connected.
      for (uint32_t k = 0; k < 2 * n; ++k) {
        noise_state_ ^= noise_state_ << 13;
        noise_state_ ^= noise_state_ >> 7;
        noise_state_ ^= noise_state_ << 17;
        a[k] = static_cast<int16_t>(static_cast<int>(noise_state_ >> 58) - 32);
        if (dual) b[k] = a[k];
      }
    }
  }
  for (uint32_t k = 0; k < 2 * n; ++k) {
    a[k] = To14Bits(a[k]);
    if (dual) b[k] = To14Bits(b[k]);
  }
}

int Service::Select(sdrplay_api_DeviceT* record) {
  if (!record) return kSdrPlayInvalidParam;
  if (Fault() == kKavuSimUnplugged) return kSdrPlayFail;
  std::lock_guard lock(mutex_);
  int index = -1;
  for (int i = 0; i < listed_.load(); ++i) {
    if (std::strncmp(record->SerNo, kModels[i].serial, sizeof record->SerNo) == 0) index = i;
  }
  if (index < 0) return kSdrPlayInvalidParam;
  Device& d = devices_[index];
  if (d.selected) return kSdrPlayFail;
  const SimModel& m = kModels[index];
  const int32_t t = record->tuner, mode = record->rspDuoMode;
  bool ok = false;
  if (m.hw_ver != kSdrPlayRspDuo) {
    ok = t == kSdrPlayTunerA && (mode == 0 || mode == kSdrPlayDuoSingle);
  } else if (mode == kSdrPlayDuoDual) {
    ok = (m.modes & kSdrPlayDuoDual) != 0 && t == kSdrPlayTunerBoth;
  } else if (mode == kSdrPlayDuoSingle) {
    ok = (m.modes & kSdrPlayDuoSingle) != 0 && (t == kSdrPlayTunerA || t == kSdrPlayTunerB);
  } else if (mode == kSdrPlayDuoSlave) {
    ok = (m.modes & kSdrPlayDuoSlave) != 0;
  } else if (mode == kSdrPlayDuoMaster) {
    ok = (m.modes & kSdrPlayDuoMaster) != 0 && (t == kSdrPlayTunerA || t == kSdrPlayTunerB);
  }
  if (!ok) return kSdrPlayInvalidParam;
  d.selected = true;
  d.tuner = mode == kSdrPlayDuoSlave ? kSdrPlayTunerA : t;
  d.mode = mode;
  Defaults(d);
  record->dev = &d;
  LogLine("select " + std::string(m.serial) + " tuner=" + std::to_string(t) + " mode=" + std::to_string(mode));
  return kSdrPlaySuccess;
}

int Service::Release(sdrplay_api_DeviceT* record) {
  if (!record) return kSdrPlayInvalidParam;
  std::lock_guard lock(mutex_);
  Device* d = Find(record->dev);
  if (!d || !d->selected) return kSdrPlayInvalidParam;
  if (d->running) return kSdrPlayFail;
  d->selected = false;
  LogLine("release " + std::string(kModels[d->index].serial));
  return kSdrPlaySuccess;
}

int Service::GetParams(void* handle, sdrplay_api_DeviceParamsT** params) {
  if (!params) return kSdrPlayInvalidParam;
  std::lock_guard lock(mutex_);
  Device* d = Find(handle);
  if (!d || !d->selected) return kSdrPlayInvalidParam;
  *params = &d->params;
  return kSdrPlaySuccess;
}

int Service::Init(void* handle, const sdrplay_api_CallbackFnsT* callbacks, void* ctx) {
  std::lock_guard lock(mutex_);
  Device* d = Find(handle);
  if (!d || !d->selected || !callbacks || !callbacks->StreamACbFn) return kSdrPlayInvalidParam;
  if (d->mode == kSdrPlayDuoDual && !callbacks->StreamBCbFn) return kSdrPlayInvalidParam;
  if (d->running) return kSdrPlayAlreadyInitialised;
  if (d->removed) return kSdrPlayDeviceRemovedError;
  if (d->thread.joinable()) d->thread.join();
  d->cb = *callbacks;
  d->ctx = ctx;
  d->running = true;
  d->cancel = false;
  d->reset = true;
  d->pending_overload = d->pending_corrected = 0;
  d->gain_events.clear();
  for (sdrplay_api_RxChannelParamsT& c : d->ch) RefreshGain(*d, c);
  Configure(*d);
  d->thread = std::thread([this, d] { Run(d); });
  LogLine("init " + std::string(kModels[d->index].serial));
  return kSdrPlaySuccess;
}

void Service::Stop(Device& d, std::unique_lock<std::mutex>& lock) {
  d.cancel = true;
  cv_.notify_all();
  std::thread t = std::move(d.thread);
  lock.unlock();
  if (t.joinable()) t.join();  // returns after the last callback, as the service promises
  lock.lock();
  d.running = false;
}

int Service::Uninit(void* handle) {
  std::unique_lock lock(mutex_);
  Device* d = Find(handle);
  if (!d || !d->selected) return kSdrPlayInvalidParam;
  if (!d->running) return kSdrPlayNotInitialised;
  if (kModels[d->index].hw_ver == kSdrPlayRspDuo && slave_running_.load() != 0) {
    LogLine("uninit refused: a slave runs");
    return kSdrPlayStopPending;
  }
  Stop(*d, lock);
  LogLine("uninit " + std::string(kModels[d->index].serial));
  return kSdrPlaySuccess;
}

int Service::Update(void* handle, int32_t tuner, uint32_t reason, uint32_t ext) {
  std::lock_guard lock(mutex_);
  Device* d = Find(handle);
  if (!d || !d->selected) return kSdrPlayInvalidParam;
  LogLine("update tuner=" + std::to_string(tuner) + " reason=" + Hex(reason) + " ext=" + Hex(ext));
  if (reason == kSdrPlayCtrlOverloadMsgAck) {
    ++acks_;
    if (std::this_thread::get_id() != d->stream_id) ++acks_off_thread_;
    return kSdrPlaySuccess;
  }
  if (d->removed) return kSdrPlayDeviceRemovedError;
  if (tuner == kSdrPlayTunerNeither) {
    if ((reason & kSdrPlayDevFs) != 0) {
      const double fs = d->dev.fsFreq.fsHz;
      if (d->mode == kSdrPlayDuoDual || !(fs >= 2'000'000.0 && fs <= 10'000'000.0)) return kSdrPlayOutOfRange;
      d->reset = true;
      Configure(*d);
    }
    return kSdrPlaySuccess;
  }
  sdrplay_api_RxChannelParamsT* c = tuner == kSdrPlayTunerA   ? d->params.rxChannelA
                                    : tuner == kSdrPlayTunerB ? d->params.rxChannelB
                                                              : nullptr;
  if (!c) return kSdrPlayInvalidParam;
  const unsigned char hw = kModels[d->index].hw_ver;
  if ((reason & kSdrPlayTunerGr) != 0) {
    const sdrplay_api_GainT& g = c->tunerParams.gain;
    if (g.gRdB < 20 || g.gRdB > 59 || g.LNAstate >= LnaStates(hw, c->tunerParams.rfFreq.rfHz)) {
      return kSdrPlayOutOfRange;
    }
  }
  if ((reason & kSdrPlayTunerFrf) != 0) {
    const double f = c->tunerParams.rfFreq.rfHz;
    if (!(f >= 1'000.0 && f <= 2'000'000'000.0)) return kSdrPlayOutOfRange;
    if (c->tunerParams.gain.LNAstate >= LnaStates(hw, f)) return kSdrPlayOutOfRange;
  }
  if ((reason & kSdrPlayCtrlDecimation) != 0) {
    const sdrplay_api_DecimationT& dec = c->ctrlParams.decimation;
    if (!PowerOfTwoUpTo32(dec.decimationFactor) || (dec.enable != 0) != (dec.decimationFactor != 1)) {
      return kSdrPlayOutOfRange;
    }
    d->reset = true;
  }
  if ((reason & (kSdrPlayTunerGr | kSdrPlayTunerFrf)) != 0) {
    RefreshGain(*d, *c);
    if (d->running && (reason & kSdrPlayTunerGr) != 0) d->gain_events.push_back(tuner);
  }
  if ((reason & (kSdrPlayTunerGr | kSdrPlayTunerFrf | kSdrPlayCtrlDecimation)) != 0 && c == MainChannel(*d)) {
    Configure(*d);
  }
  return kSdrPlaySuccess;
}

int Service::Swap(void* handle, int32_t* tuner, int32_t am_port) {
  std::lock_guard lock(mutex_);
  Device* d = Find(handle);
  if (!d || !d->selected || !tuner) return kSdrPlayInvalidParam;
  if (kModels[d->index].hw_ver != kSdrPlayRspDuo || d->mode != kSdrPlayDuoSingle) return kSdrPlayNotEnabled;
  d->tuner = d->tuner == kSdrPlayTunerA ? kSdrPlayTunerB : kSdrPlayTunerA;
  *tuner = d->tuner;
  d->ch[d->tuner == kSdrPlayTunerA ? 0 : 1] = d->ch[d->tuner == kSdrPlayTunerA ? 1 : 0];
  d->ch[0].rspDuoTunerParams.tuner1AmPortSel = am_port;
  d->params.rxChannelA = d->tuner == kSdrPlayTunerA ? &d->ch[0] : nullptr;
  d->params.rxChannelB = d->tuner == kSdrPlayTunerB ? &d->ch[1] : nullptr;
  d->reset = true;
  Configure(*d);
  LogLine("swap to tuner " + std::to_string(d->tuner));
  return kSdrPlaySuccess;
}

void Service::Run(Device* d) {
  std::vector<int16_t> a(2 * kMaxBlock), b(2 * kMaxBlock);
  // The API hands I and Q over in separate arrays.
  std::vector<int16_t> ai(kMaxBlock), aq(kMaxBlock), bi(kMaxBlock), bq(kMaxBlock);
  uint32_t generation = generation_.load();
  uint64_t next = Due();
  uint32_t first_num = 0;
  std::unique_lock lock(mutex_);
  d->stream_id = std::this_thread::get_id();
  const bool dual = d->mode == kSdrPlayDuoDual;
  const int32_t main_tuner = d->params.rxChannelA ? kSdrPlayTunerA : kSdrPlayTunerB;
  while (!d->cancel) {
    const uint32_t n = block_.load();
    const sdrplay_api_CallbackFnsT cb = d->cb;
    void* ctx = d->ctx;
    const int overload = d->pending_overload, corrected = d->pending_corrected;
    d->pending_corrected = overload;
    d->pending_overload = 0;
    std::vector<int32_t> gains;
    gains.swap(d->gain_events);
    const bool removed = d->removed;
    const double rate = d->applied_rate;
    lock.unlock();

    sdrplay_api_EventParamsT ev{};
    for (const int32_t t : gains) {
      if (cb.EventCbFn) cb.EventCbFn(kSdrPlayGainChange, t, &ev, ctx);
    }
    if (corrected != 0 && cb.EventCbFn) {
      ev.powerOverloadParams.powerOverloadChangeType = kSdrPlayOverloadCorrected;
      cb.EventCbFn(kSdrPlayPowerOverloadChange, corrected, &ev, ctx);
    }
    if (overload != 0 && cb.EventCbFn) {
      ev.powerOverloadParams.powerOverloadChangeType = kSdrPlayOverloadDetected;
      cb.EventCbFn(kSdrPlayPowerOverloadChange, overload, &ev, ctx);
    }
    const int32_t fault = Fault();
    if (fault == kKavuSimUnplugged && !removed) {
      lock.lock();
      d->removed = true;
      lock.unlock();
      LogLine("device removed");
      if (cb.EventCbFn) cb.EventCbFn(kSdrPlayDeviceRemoved, main_tuner, &ev, ctx);
    }
    if (const uint32_t g = generation_.load(); g != generation) {
      generation = g;  // another feeder, another clock: go on from its present
      next = Due();
    }
    const uint64_t due = Due();
    bool wait = true;
    if (!removed && fault == kKavuSimOk && due >= next + n) {
      Fill(next, dual, a.data(), b.data(), n);
      lock.lock();
      const bool reset = d->reset;
      d->reset = false;
      lock.unlock();
      for (uint32_t k = 0; k < n; ++k) {
        ai[k] = a[2 * k];
        aq[k] = a[2 * k + 1];
        bi[k] = b[2 * k];
        bq[k] = b[2 * k + 1];
      }
      sdrplay_api_StreamCbParamsT p{first_num, 0, 0, reset ? 1 : 0, n};
      // Tuner A's block, then tuner B's, on this one thread: the order the program relies on.
      cb.StreamACbFn(ai.data(), aq.data(), &p, n, reset ? 1u : 0u, ctx);
      if (dual) cb.StreamBCbFn(bi.data(), bq.data(), &p, n, reset ? 1u : 0u, ctx);
      next += n;
      first_num += n;
      wait = false;
    }
    lock.lock();
    if (wait && !d->cancel) {
      const double r = rate > 0 ? rate : 1.0;
      const double behind = due >= next + n ? 0.0 : static_cast<double>(next + n - due) / r;
      const auto us = std::chrono::microseconds(static_cast<int64_t>(std::min(behind, 0.05) * 1e6) + 200);
      cv_.wait_for(lock, us, [d] { return d->cancel; });
    }
  }
}

}  // namespace kavu::simsdrplay
