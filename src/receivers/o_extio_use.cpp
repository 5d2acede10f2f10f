#include "receivers/o_extio_use.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <thread>

#include "receivers/sample_rings.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

// The plug-in whose callback is registered, and how many callbacks are running just now. A
// callback counts itself in before it looks at the target, and Unload clears the target before
// it waits for the count to reach 0 (both sequentially consistent): so either the callback sees
// no target, or Unload sees it running and waits for it.
std::atomic<OExtIOUse*> g_extio_target{nullptr};
std::atomic<int> g_extio_running{0};

constexpr double kMaxLo32 = static_cast<double>(std::numeric_limits<int32_t>::max());
// The largest double below 2^63: every value up to it converts to int64_t.
constexpr double kMaxLo64 = 9223372036854774784.0;

template <class Fn>
void Resolve(const DynLibrary& lib, const char* name, Fn& fn) {
  fn = reinterpret_cast<Fn>(lib.Symbol(name));
  if (!fn) Log() << "Не найдена " << name << "\n";
}

std::string Address(const void* fn) {
  char text[32];
  std::snprintf(text, sizeof text, "%llx",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(fn)));
  return text;
}

// The LO StartHW and SetHWLO are given: `hz` clamped as a real to 2500 … 2^31 − 1, then whole.
int32_t Lo32(double hz) {
  if (!(hz >= OExtIOUse::kMinLo)) return OExtIOUse::kMinLo;  // NaN too
  if (hz >= kMaxLo32) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(std::floor(hz));
}

}  // namespace

OExtIOUse::OExtIOUse() = default;

OExtIOUse::~OExtIOUse() { Unload(); }

void OExtIOUse::Attach(SampleRings* rings, std::function<void(int)> notice) {
  rings_ = rings;
  notice_ = std::move(notice);
}

void OExtIOUse::Clear() {
  api_ = ExtIOApi{};
  path_.clear();
  error_.clear();
  lo_frequency_ = 0;
  state_ = 0;
  name_.clear();
  model_.clear();
  type_ = 0;
  block_length_ = 0;
  sampling_f_ = 0;
}

bool OExtIOUse::Fail(const std::string& text) {
  error_ = text;
  Log() << LogColour(kColourError) << text << " \n" << LogColour(kColourNormal);
  return false;
}

bool OExtIOUse::LoadApi(const std::string& path) {
  Unload();
  Clear();
  Log() << "*** Гружу " << path << " *** \n";
  path_ = path;
  if (lib_.Open(path) != DynLibrary::Result::kLoaded) {
    const std::string reason = lib_.Error().empty() ? "?" : lib_.Error();
    char code[16];
    std::snprintf(code, sizeof code, "%d", lib_.ErrorCode());
    error_ = "Не удалось загрузить '" + path + "', Err=" + code + ", " + reason;
    Log() << LogColour(kColourError) << error_ << "\n" << LogColour(kColourNormal);
    return false;
  }
  Resolve(lib_, "InitHW", api_.init_hw);
  Resolve(lib_, "OpenHW", api_.open_hw);
  Resolve(lib_, "CloseHW", api_.close_hw);
  Resolve(lib_, "StartHW", api_.start_hw);
  Resolve(lib_, "StopHW", api_.stop_hw);
  Resolve(lib_, "SetCallback", api_.set_callback);
  Resolve(lib_, "SetHWLO", api_.set_hwlo);
  Resolve(lib_, "SetHWLO64", api_.set_hwlo64);
  Resolve(lib_, "SetHWLO_dbl", api_.set_hwlo_dbl);
  Resolve(lib_, "GetStatus", api_.get_status);
  Resolve(lib_, "GetHWLO", api_.get_hwlo);
  Resolve(lib_, "GetHWSR", api_.get_hwsr);
  Resolve(lib_, "RawDataReady", api_.raw_data_ready);
  Resolve(lib_, "ShowGUI", api_.show_gui);
  Resolve(lib_, "HideGUI", api_.hide_gui);
  Resolve(lib_, "SwitchGUI", api_.switch_gui);
  Resolve(lib_, "ModeChanged", api_.mode_changed);
  Resolve(lib_, "GetMode", api_.get_mode);
  Resolve(lib_, "GetAttenuators", api_.get_attenuators);
  Resolve(lib_, "GetActualAttIdx", api_.get_actual_att_idx);
  Resolve(lib_, "SetAttenuator", api_.set_attenuator);
  return true;
}

bool OExtIOUse::InitOpen() {
  if (!IsLoaded()) return Fail("ExtIO не загружен");
  Log() << "InitHW = " << Address(reinterpret_cast<const void*>(api_.init_hw)) << "\n";
  Log() << "OpenHW = " << Address(reinterpret_cast<const void*>(api_.open_hw)) << "\n";
  type_ = 0;
  // The plug-in writes at most the buffer; a missing terminator is supplied here.
  std::vector<char> name(kExtIONameSize, '\0'), model(kExtIONameSize, '\0');
  int type = 0;
  if (!api_.init_hw || !api_.init_hw(name.data(), model.data(), &type)) return Fail("err InitHW");
  name.back() = '\0';
  model.back() = '\0';
  name_ = name.data();
  model_ = model.data();
  type_ = type;
  state_ = 1;
  Log() << "Init ExtIO m_Name = " << name_ << " Model=" << model_ << " Type=" << type << "\n";
  if (api_.get_mode) {
    const char mode = api_.get_mode();
    Log() << "Mode = " << (mode ? std::string(1, mode) : std::string()) << "\n";
  }
  if (!api_.set_callback) {
    return Fail("Отсутствует функция SetCallback(), дальнейшая работа с ExtIO не возможна!");
  }
  // A plug-in that cannot be told to stop streaming could never be unloaded safely: its thread
  // would go on running code that is gone.
  if (!api_.stop_hw) {
    return Fail("Отсутствует функция StopHW(), дальнейшая работа с ExtIO не возможна!");
  }
  g_extio_target.store(this);
  api_.set_callback(&OExtIOUse::Callback);
  if (!CheckType()) return false;
  if (!api_.open_hw || !api_.open_hw()) return Fail("err OpenHW");
  state_ = 2;
  sampling_f_ = api_.get_hwsr ? api_.get_hwsr() : 0;
  ListAttenuators();
  return true;
}

bool OExtIOUse::CheckType() {
  const int type = SampleType();
  if (TypeAccepted(type)) return true;
  switch (type) {
    case kExtIOTypeSoundCard:
      return Fail("Данные от ExtIO должны поступать через звуковую карту, однако пока работа с ней не "
                  "поддерживается. Обратитесь к разработчику для fix.");
    case kExtIOTypeInt24:
      return Fail("Тип данных от ExtIO - 24 бита, работа с ними не поддерживается. Обратитесь к "
                  "разработчику для fix.");
    case kExtIOTypeInt32:
    case kExtIOTypeSChar:
    case kExtIOTypeInt32Plus:
      // Known types without a conversion: refused here rather than dropped block by block.
      return Fail("Тип данных от ExtIO - " + TypeWord(type) +
                  ", работа с ними не поддерживается. Обратитесь к разработчику для fix.");
    default:
      return Fail("Тип данных от ExtIO Type=" + std::to_string(type) + " не известен!");
  }
}

void OExtIOUse::ListAttenuators() {
  if (api_.get_attenuators) {
    Log() << "GetAttenuators \n";
    for (int idx = 0; idx < 256; ++idx) {
      float at = -3333.0f;
      const int res = api_.get_attenuators(idx, &at);
      // The attenuation as the plug-in gave it, then rounded to whole dB.
      Log() << " res=" << res << " att idx=" << idx << " at=" << at << ", "
            << static_cast<long long>(std::isfinite(at) ? std::lround(at) : 0) << "\n";
      if (res != 0) break;
    }
  }
  if (api_.get_actual_att_idx) Log() << " att_idx = " << api_.get_actual_att_idx() << "\n";
}

bool OExtIOUse::StartHw() {
  if (state_ < 2 || !api_.start_hw) return Fail("err StartHW");
  const int32_t lo = Lo32(lo_frequency_);
  const int n = api_.start_hw(lo);
  if (n < 0) return Fail("err StartHW");
  block_length_ = n;
  Log() << "ExtIO NS = " << n << " m_SamplingF=" << sampling_f_ << "\n";
  state_ = 3;
  if (lo_frequency_ != static_cast<double>(lo) && !SetLo(lo_frequency_)) {
    Log() << LogColour(kColourError) << error_ << "\n" << LogColour(kColourNormal);
  }
  return true;
}

bool OExtIOUse::SetLo(double frequency_hz) {
  if (!std::isfinite(frequency_hz)) {
    error_ = "OExtIOUse::SetLo() - частота не число";
    return false;
  }
  if (api_.set_hwlo_dbl) {
    api_.set_hwlo_dbl(frequency_hz);
    return true;
  }
  if (api_.set_hwlo64) {
    const double clamped = std::min(std::max(frequency_hz, 0.0), kMaxLo64);
    const auto f = static_cast<int64_t>(std::floor(clamped));
    const int64_t res = api_.set_hwlo64(f);
    if (res == 0) return true;
    error_ = "SetHWLO64(" + std::to_string(f) + ") вернула " + std::to_string(res);
    return false;
  }
  if (api_.set_hwlo) {
    const int32_t f = Lo32(frequency_hz);
    if (static_cast<double>(f) < std::floor(frequency_hz)) {
      Log() << LogColour(kColourNotice) << "ExtIO: частота " << frequency_hz
            << " Гц больше предела SetHWLO, настраиваю на " << f << " Гц\n" << LogColour(kColourNormal);
    }
    const int res = api_.set_hwlo(f);
    if (res == 0) return true;
    error_ = "SetHWLO(" + std::to_string(f) + ") вернула " + std::to_string(res);
    return false;
  }
  return true;
}

void OExtIOUse::Unload() {
  if (state_ >= 3) {
    Log() << "call StopHW \n";
    if (api_.stop_hw) api_.stop_hw();
    state_ = 2;
  }
  if (state_ >= 2) {
    Log() << "call CloseHW \n";
    if (api_.close_hw) api_.close_hw();
    state_ = 1;
  }
  block_length_ = 0;
  sampling_f_ = 0;
  OExtIOUse* self = this;
  g_extio_target.compare_exchange_strong(self, nullptr);
  // A callback already past its look at the target finishes before the module goes.
  while (g_extio_running.load() != 0) std::this_thread::yield();
  const bool was_loaded = lib_.IsOpen();
  lib_.Close();
  api_ = ExtIOApi{};
  state_ = 0;
  if (was_loaded) Log() << "DLL ExtIO выгружена \n";
}

bool OExtIOUse::OnStatusNotice(int status) {
  Log() << "extIOCallback status=" << status << "\n";
  if (status != kExtIOStatusRateChanged || !IsLoaded()) return false;
  const int32_t rate = api_.get_hwsr ? api_.get_hwsr() : 0;
  if (rate == sampling_f_) return false;
  sampling_f_ = rate;
  Log() << LogColour(kColourNotice) << "Смена частоты дискретизации ExtIO \n" << LogColour(kColourNormal);
  return true;
}

bool OExtIOUse::ShowGui(bool show) {
  auto fn = show ? api_.show_gui : api_.hide_gui;
  if (!IsLoaded() || !fn) return false;
  fn();
  return true;
}

std::string OExtIOUse::TypeWord(int type) {
  switch (type) {
    case kExtIOTypeInt16: return "int16";
    case kExtIOTypeInt24: return "int24";
    case kExtIOTypeInt32: return "int32";
    case kExtIOTypeFloat32: return "float";
    case kExtIOTypeUChar: return "uchar";
    case kExtIOTypeSChar: return "schar";
    case kExtIOTypeInt32Plus: return "int32+";
    default: return "Type=" + std::to_string(type);
  }
}

bool OExtIOUse::TypeAccepted(int type) {
  return type == kExtIOTypeInt16 || type == kExtIOTypeFloat32 || type == kExtIOTypeUChar;
}

int OExtIOUse::Callback(int cnt, int status, float iq_offset, void* iq_data) {
  g_extio_running.fetch_add(1);
  if (OExtIOUse* target = g_extio_target.load()) {
    if (cnt < 0) {
      if (target->notice_) target->notice_(status);
    } else {
      target->Deliver(cnt, iq_offset, iq_data);
    }
  }
  g_extio_running.fetch_sub(1);
  return 0;
}

void OExtIOUse::Deliver(int cnt, float iq_offset, const void* iq_data) {
  if (!rings_ || (!iq_data && cnt > 0)) return;
  // cnt counts I/Q pairs for every type.
  const auto pairs = static_cast<uint32_t>(cnt);
  switch (SampleType()) {
    case kExtIOTypeInt16:
      rings_->DeliverExtIOI16(static_cast<const int16_t*>(iq_data), pairs, iq_offset);
      break;
    case kExtIOTypeFloat32:
      rings_->DeliverExtIOF32(static_cast<const float*>(iq_data), pairs, iq_offset);
      break;
    case kExtIOTypeUChar:
      rings_->DeliverExtIOU8(static_cast<const uint8_t*>(iq_data), pairs);
      break;
    default:
      break;  // refused at open; a plug-in sending anyway is ignored
  }
}

}  // namespace kavu
