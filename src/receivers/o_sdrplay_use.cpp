#include "receivers/o_sdrplay_use.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "results/calibration_table.h"
#include "shell/log_console.h"
#include "shell/settings_store.h"

namespace kavu {
namespace {

constexpr const char* kNoDeviceText = "OSdrPlayUse: не выбрано устройство SdrPlay, менять нечего";
constexpr double kDualRate = 2'000'000.0;
constexpr double kDuoDualSampleRate = 6'000'000.0;

std::string HexPtr(const void* p) {
  char b[32];
  std::snprintf(b, sizeof b, "%p", p);
  return b;
}

bool PowerOfTwoUpTo32(int v) { return v == 1 || v == 2 || v == 4 || v == 8 || v == 16 || v == 32; }

sdrplay_api_DeviceT Placeholder() {
  sdrplay_api_DeviceT d{};
  std::snprintf(d.SerNo, sizeof d.SerNo, "Virtual");
  d.hwVer = kSdrPlayRspDuo;
  d.tuner = kSdrPlayTunerBoth;
  d.rspDuoMode = kSdrPlayDuoSingle | kSdrPlayDuoDual | kSdrPlayDuoMaster;
  d.rspDuoSampleFreq = 1000.0;
  d.dev = nullptr;
  return d;
}

template <class F>
void Resolve(const DynLibrary& lib, F& fn, const char* name) {
  fn = reinterpret_cast<F>(lib.Symbol(name));
  if (!fn) Log() << LogColour(kColourError) << "Не найдена " << name << "\n" << LogColour(kColourNormal);
}

}  // namespace

std::string SdrPlayModelName(int hw_ver) {
  switch (hw_ver) {
    case 1: return "RSP1";
    case 255: return "RSP1A";
    case 2: return "RSP2";
    case 3: return "RSPduo";
    case 4: return "RSPdx";
    default: return "RSP?" + std::to_string(hw_ver);
  }
}

int SdrPlayLnaStateCount(int hw_ver, double hz) {
  switch (hw_ver) {
    case 1:
    case 3:
    case 255: return hz < 0 ? 10 : hz < 60e6 ? 7 : hz < 1e9 ? 10 : 9;
    case 2: return hz < 0 ? 9 : hz < 60e6 ? 5 : 9;
    case 4: return 28;
    default: return 99;
  }
}

OSdrPlayUse::OSdrPlayUse() : gain_a_(std::numeric_limits<double>::quiet_NaN()), gain_b_(0.0) { Clear(); }

OSdrPlayUse::~OSdrPlayUse() {
  CloseSdr();
  // A device that would not stop keeps the library: the API's threads may still run there.
  if (status_ != 100) lib_.Close();
}

void OSdrPlayUse::Clear() {
  api_ = SdrPlayApi{};
  version_ = kNoVersion;
  count_ = 0;
  status_ = 0;
  requested_ = selected_ = Placeholder();
  params_ = nullptr;
  dual_ = false;
  lna_cut_.clear();
  fallback_dev_ = {};
  fallback_dev_.fsFreq.fsHz = kDualRate;
  fallback_ch_[0] = fallback_ch_[1] = {};
  fallback_.devParams = &fallback_dev_;
  fallback_.rxChannelA = &fallback_ch_[0];
  fallback_.rxChannelB = &fallback_ch_[1];
  output_rate_ = kDualRate / std::max(1, m_Decim);
  gain_a_ = std::numeric_limits<double>::quiet_NaN();
  gain_b_ = 0.0;
  cur_grdb_ = 0;
  cur_lna_ = 0;
}

void OSdrPlayUse::Red(const std::string& line) {
  Log() << LogColour(kColourError) << line << LogColour(kColourNormal);
}

void OSdrPlayUse::LoadSettings(double hysteresis_db) {
  SettingsStore& s = Settings();
  hysteresis_db_ = hysteresis_db;
  const auto in = [&](const char* key, int def, int lo, int hi) {
    const int v = s.GetProfileInt(kDialogSection, key, def);
    return v >= lo && v <= hi ? v : def;
  };
  m_Lna = in("m_Lna", 0, 0, 100);
  m_Ga = std::clamp(s.GetProfileInt(kDialogSection, "m_Ga", 20), 20, 59);
  m_DuoMasterMode = in("m_DuoMasterMode", 0, 0, 1);
  m_AntNum = in("m_AntNum", 0, 0, 2);
  m_Decim = s.GetProfileInt(kDialogSection, "m_Decim", 1);
  if (!PowerOfTwoUpTo32(m_Decim)) m_Decim = 1;
  m_IsAutoGA = in("m_IsAutoGA", 0, 0, 2);
  m_RspGCalName = s.GetProfileString(kDialogSection, "m_RspGCalName", "");
  m_AutoG = std::clamp(s.GetProfileInt(kDialogSection, "m_AutoG", 0), 0, 99);
  gcal_valid_ = false;
  if (m_IsAutoGA == 2) {
    if (!gcal_) gcal_ = std::make_unique<CalibrationTable>();
    gcal_valid_ = !m_RspGCalName.empty() && gcal_->LoadTable(m_RspGCalName);
    if (!gcal_valid_) {
      // Without a table the reference level has no correction: manual gain until a table is
      // picked (the stored mode stays, so a file put back in place works at the next start).
      Red("АРУ load err: " + (m_RspGCalName.empty() ? std::string("пустое имя файла") : gcal_->Status()) + " " +
          m_RspGCalName + ", ручное управление GA\n");
    }
  }
}

void OSdrPlayUse::SaveSettings() const {
  SettingsStore& s = Settings();
  s.WriteProfileInt(kDialogSection, "m_Lna", m_Lna);
  s.WriteProfileInt(kDialogSection, "m_Ga", m_Ga);
  s.WriteProfileInt(kDialogSection, "m_DuoMasterMode", m_DuoMasterMode);
  s.WriteProfileInt(kDialogSection, "m_AntNum", m_AntNum);
  s.WriteProfileInt(kDialogSection, "m_Decim", m_Decim);
  s.WriteProfileInt(kDialogSection, "m_IsAutoGA", m_IsAutoGA);
  s.WriteProfileString(kDialogSection, "m_RspGCalName", m_RspGCalName);
  s.WriteProfileInt(kDialogSection, "m_AutoG", m_AutoG);
}

bool OSdrPlayUse::SetGainMode(int mode, const std::string& file, std::string* message) {
  mode = std::clamp(mode, 0, 2);
  if (mode == 2) {
    auto table = std::make_unique<CalibrationTable>();
    const bool ok = !file.empty() && table->LoadTable(file);
    if (message) *message = file.empty() ? "пустое имя файла" : table->Status();
    if (!ok) return false;  // nothing stored, the mode in force stays
    gcal_ = std::move(table);
    gcal_valid_ = true;
    m_RspGCalName = file;
  }
  m_IsAutoGA = mode;
  SaveSettings();
  return true;
}

double OSdrPlayUse::CalLevel(double f, bool b) const {
  if (!gcal_ || !gcal_valid_) return 0.0;
  return b ? gcal_->LevelAtB(f) : gcal_->LevelAt(f);
}

bool OSdrPlayUse::LoadApi(const std::string& path) {
  CloseSdr();
  if (status_ == 100) return false;  // still streaming: the library stays
  lib_.Close();
  Clear();
  error_.clear();
  path_ = path;
  if (lib_.Open(path) != DynLibrary::Result::kLoaded) {
    char text[1024];
    std::snprintf(text, sizeof text,
                  "Не удалось загрузить '%s', использование приёмников SdrPlay не возможно! Укажите путь к "
                  "'%s' в настройках или положите эту библиотеку рядом с этой программой (она ставится вместе "
                  "со службой приёмников SdrPlay). ErrCode=%d, %s\n",
                  path.c_str(), kLibraryName, lib_.ErrorCode(), lib_.Error().empty() ? "?" : lib_.Error().c_str());
    error_ = text;
    Red("Использование приёмников SdrPlay вроде Rsp1, Rsp2 и прочее не возможно! \n" + error_ + "\n");
    return false;
  }
  Resolve(lib_, api_.Open, "sdrplay_api_Open");
  Resolve(lib_, api_.Close, "sdrplay_api_Close");
  Resolve(lib_, api_.ApiVersion, "sdrplay_api_ApiVersion");
  Resolve(lib_, api_.LockDeviceApi, "sdrplay_api_LockDeviceApi");
  Resolve(lib_, api_.UnlockDeviceApi, "sdrplay_api_UnlockDeviceApi");
  Resolve(lib_, api_.GetDevices, "sdrplay_api_GetDevices");
  Resolve(lib_, api_.SelectDevice, "sdrplay_api_SelectDevice");
  Resolve(lib_, api_.ReleaseDevice, "sdrplay_api_ReleaseDevice");
  Resolve(lib_, api_.GetErrorString, "sdrplay_api_GetErrorString");
  Resolve(lib_, api_.GetLastError, "sdrplay_api_GetLastError");
  Resolve(lib_, api_.DebugEnable, "sdrplay_api_DebugEnable");
  Resolve(lib_, api_.GetDeviceParams, "sdrplay_api_GetDeviceParams");
  Resolve(lib_, api_.Init, "sdrplay_api_Init");
  Resolve(lib_, api_.Uninit, "sdrplay_api_Uninit");
  Resolve(lib_, api_.Update, "sdrplay_api_Update");
  Resolve(lib_, api_.SwapRspDuoActiveTuner, "sdrplay_api_SwapRspDuoActiveTuner");
  Resolve(lib_, api_.SwapRspDuoDualTunerModeSampleRate, "sdrplay_api_SwapRspDuoDualTunerModeSampleRate");
  return true;
}

template <class F>
F OSdrPlayUse::Need(F fn, const char* name) {
  if (!fn) {
    error_ = std::string("Не найдена ") + name;
    Red(error_ + "\n");
  }
  return fn;
}

int OSdrPlayUse::FormatApiError(int code, const sdrplay_api_DeviceT* record, const char* label) {
  std::string t = label ? std::string(label) + " err = " : std::string("sdrplay_api_err = ");
  t += std::to_string(code);
  if (api_.GetErrorString) {
    if (const char* s = api_.GetErrorString(code)) t += std::string(", ") + s;
  }
  if (record && api_.GetLastError) {
    if (const sdrplay_api_ErrorInfoT* e = api_.GetLastError(const_cast<sdrplay_api_DeviceT*>(record))) {
      t += ", " + std::string(e->message, strnlen(e->message, sizeof e->message));
    }
  }
  error_ = t;
  Red(t + "\n");
  return code;
}

int OSdrPlayUse::EnumSdrPlay() {
  Log() << "OSdrPlayUse::EnumSdrPlay() \n";
  count_ = 0;
  if (!IsLoaded()) {
    if (error_.empty()) error_ = std::string(kLibraryName) + " не загружена";
    return kNoLibrary;
  }
  if (!api_.Open || !api_.DebugEnable || !api_.ApiVersion || !api_.LockDeviceApi || !api_.GetDevices ||
      !api_.UnlockDeviceApi) {
    error_ = std::string(kLibraryName) + " несовместимой версии: экспортирует не все нужные функции";
    Red(error_ + "\n");
    return kNoFunction;
  }
  int rc = api_.Open();
  if (rc != 0) return FormatApiError(rc, nullptr, "sdrplay_api_Open");
  rc = api_.DebugEnable(nullptr, 0);
  if (rc != 0) return FormatApiError(rc, nullptr, "sdrplay_api_DebugEnable");
  version_ = kNoVersion;
  rc = api_.ApiVersion(&version_);
  if (rc != 0) return FormatApiError(rc, nullptr, "sdrplay_api_ApiVersion");
  rc = api_.LockDeviceApi();
  if (rc != 0) return FormatApiError(rc, nullptr, nullptr);
  unsigned int n = 0;
  rc = api_.GetDevices(devices_, &n, kMaxDevices);
  Log() << " sdrplay_api_GetDevices err=" << rc << " num=" << n << "\n";
  if (rc != 0) {
    // The lock is given back whatever happened: other programs would be locked out otherwise.
    api_.UnlockDeviceApi();
    return FormatApiError(rc, nullptr, "sdrplay_api_GetDevices");
  }
  count_ = std::min<unsigned>(n, kMaxDevices);
  rc = api_.UnlockDeviceApi();
  if (rc != 0) return FormatApiError(rc, nullptr, "sdrplay_api_UnlockDeviceApi");
  return 0;
}

double OSdrPlayUse::BaseRate() const {
  if (dual_.load() || !params_ || !params_->devParams) return kDualRate;
  return params_->devParams->fsFreq.fsHz;
}

void OSdrPlayUse::RefreshGains() {
  const SdrPlayParams p(params_);
  sdrplay_api_RxChannelParamsT* a = p.Channel(0);
  sdrplay_api_RxChannelParamsT* b = p.Channel(1);
  sdrplay_api_RxChannelParamsT* main = a ? a : b;
  if (!main) {
    gain_a_ = std::numeric_limits<double>::quiet_NaN();
    gain_b_ = 0.0;
    return;
  }
  gain_a_ = SdrPlayParams::CurrentGain(*main);
  gain_b_ = dual_.load() && b ? SdrPlayParams::CurrentGain(*b) : 0.0;
  cur_grdb_ = SdrPlayParams::GrDb(*main);
  cur_lna_ = SdrPlayParams::Lna(*main);
}

int OSdrPlayUse::InitSdr(const sdrplay_api_DeviceT& record, double frequency_hz) {
  if (!CloseSdr()) {
    Red("OSdrPlayUse::InitSdr() - не удалось сперва закрыть, поэтому нельзя открыть!!! \n");
    return kCloseFailed;
  }
  requested_ = selected_ = record;
  dual_ = false;
  const int32_t modes = record.rspDuoMode;
  if ((modes & kSdrPlayDuoDual) != 0 && m_DuoMasterMode == 1) {
    selected_.tuner = kSdrPlayTunerBoth;
    selected_.rspDuoMode = kSdrPlayDuoDual;
    selected_.rspDuoSampleFreq = kDuoDualSampleRate;
    Log() << "Буду открывать Duo в двухвходовом режиме \n";
  } else if ((modes & kSdrPlayDuoSingle) != 0 || modes == 0) {
    if (selected_.tuner == kSdrPlayTunerBoth) {
      selected_.tuner = m_AntNum != 0 ? kSdrPlayTunerB : kSdrPlayTunerA;
      Log() << "Буду открывать Duo в обычном режиме \n";
    } else {
      Log() << "Буду открывать в обычном режиме \n";
    }
    selected_.rspDuoMode = kSdrPlayDuoSingle;
  } else if ((modes & kSdrPlayDuoSlave) != 0) {
    selected_.rspDuoMode = kSdrPlayDuoSlave;
    Log() << "Буду открывать Duo в slave режиме \n";
  } else {
    error_ = "Не удалось определить реализуемый режим открытия!";
    Red(error_ + " \n");
    return kNoMode;
  }
  if (!Need(api_.SelectDevice, "sdrplay_api_SelectDevice")) return kNoFunction;
  int rc = api_.SelectDevice(&selected_);
  Log() << "sdrplay_api_SelectDevice res=" << rc << " hdev=" << HexPtr(selected_.dev) << "\n";
  if (rc != 0) return FormatApiError(rc, nullptr, "sdrplay_api_SelectDevice");
  status_ = 1;
  if (!Need(api_.GetDeviceParams, "sdrplay_api_GetDeviceParams")) return kNoFunction;
  sdrplay_api_DeviceParamsT* params = nullptr;
  rc = api_.GetDeviceParams(selected_.dev, &params);
  Log() << "sdrplay_api_GetDeviceParams res=" << rc << " m_deviceParams = " << HexPtr(params) << "\n";
  if (rc != 0) {
    params_ = nullptr;  // whatever the failed call left there is not ours to use
    return FormatApiError(rc, &selected_, "sdrplay_api_GetDeviceParams");
  }
  params_ = params;
  const SdrPlayParams p(params_);
  for (int i = 0; i < 2; ++i) {
    sdrplay_api_RxChannelParamsT* c = p.Channel(i);
    if (!c) continue;
    SdrPlayParams::RfHz(*c) = frequency_hz;
    SdrPlayParams::BwType(*c) = 1536;
    SdrPlayParams::GrDb(*c) = m_Ga;
    const int count = LnaStateCount(frequency_hz);
    SdrPlayParams::Lna(*c) = static_cast<unsigned char>(std::clamp(m_Lna >= count ? count - 1 : m_Lna, 0, 255));
    SdrPlayParams::AgcEnable(*c) = 0;
    SdrPlayParams::DecimFactor(*c) = static_cast<unsigned char>(m_Decim);
    SdrPlayParams::DecimEnable(*c) = m_Decim != 1 ? 1 : 0;
    SdrPlayParams::LoMode(*c) = 1;
  }
  dual_ = selected_.tuner == kSdrPlayTunerBoth;
  output_rate_ = BaseRate() / std::max(1, m_Decim);
  RefreshGains();
  return 0;
}

int OSdrPlayUse::StartSdr(sdrplay_api_CallbackFnsT* callbacks, void* context) {
  if (status_ != 1) {
    Red("OSdrPlayUse::StartSdr() отвергнут, статус m_Status=" + std::to_string(status_) + "\n");
    error_ = "OSdrPlayUse::StartSdr() отвергнут, статус не 1";
    return kNotSelected;
  }
  if (!Need(api_.Init, "sdrplay_api_Init")) return kNoFunction;
  const int rc = api_.Init(selected_.dev, callbacks, context);
  Log() << "sdrplay_api_Init res=" << rc << "\n";
  if (rc != 0) return FormatApiError(rc, &selected_, "sdrplay_api_Init");
  status_ = 100;
  if (GainModeInForce() != 0) AutoGain(m_AutoG, true, nullptr, 0);
  RefreshGains();
  return 0;
}

bool OSdrPlayUse::CloseSdr() {
  if (status_ == 100) {
    if (!Need(api_.Uninit, "sdrplay_api_Uninit")) return false;
    const int rc = api_.Uninit(selected_.dev);
    Log() << "sdrplay_api_Uninit res=" << rc << "\n";
    if (rc == kSdrPlayStopPending) {
      error_ =
          "Невозможно закрыть открытое ранее SdrPlay устройство, обычно если Rsp2duo в мастер-режиме и slave - "
          "подключение ещё работает";
      if (box_) box_(error_);
      return false;
    }
    if (rc != 0) {
      FormatApiError(rc, &selected_, "sdrplay_api_Uninit");
      return false;
    }
    status_ = 1;
  }
  if (status_ == 1) {
    if (!api_.ReleaseDevice) {
      // Nothing can release it: the device is given up here so other receivers stay usable.
      Need(api_.ReleaseDevice, "sdrplay_api_ReleaseDevice");
    } else {
      const int rc = api_.ReleaseDevice(&selected_);
      Log() << "sdrplay_api_ReleaseDevice res=" << rc << "\n";
      if (rc != 0) {
        FormatApiError(rc, &selected_, "sdrplay_api_ReleaseDevice");
        return false;
      }
    }
    status_ = 0;
    params_ = nullptr;
    selected_.rspDuoMode = 0;
  }
  dual_ = false;
  RefreshGains();
  return true;
}

int OSdrPlayUse::Update(int32_t tuner, uint32_t reason, uint32_t ext, const char* label) {
  if (!Need(api_.Update, "sdrplay_api_Update")) return kNoFunction;
  const int rc = api_.Update(selected_.dev, tuner, reason, ext);
  if (rc != 0) FormatApiError(rc, &selected_, label);
  return rc;
}

template <class Write>
int OSdrPlayUse::ForChannels(uint32_t reason, const char* label, Write write) {
  if (!params_) {
    error_ = kNoDeviceText;
    return kNoDevice;
  }
  if (!Need(api_.Update, "sdrplay_api_Update")) return kNoFunction;
  const SdrPlayParams p(params_);
  int rc = 0;
  for (int i = 0; i < 2; ++i) {
    sdrplay_api_RxChannelParamsT* c = p.Channel(i);
    if (!c) continue;
    write(*c);
    rc = Update(i + 1, reason, kSdrPlayExtNone, label);
  }
  RefreshGains();
  return rc;
}

int OSdrPlayUse::SetFrf(double frequency_hz, const double* batch, int n) {
  lna_cut_.clear();
  const int rc = ForChannels(kSdrPlayTunerFrf, "sdrplay_api_Update_Tuner_Frf", [&](sdrplay_api_RxChannelParamsT& c) {
    SdrPlayParams::RfHz(c) = frequency_hz;
    int lna = m_Lna;
    const int top = LnaStateCount(frequency_hz) - 1;
    if (top < lna) {
      char t[64];
      std::snprintf(t, sizeof t, "LNA урезан с %d до %d", lna, top);
      lna_cut_ = t;
      lna = top;
    }
    SdrPlayParams::Lna(c) = static_cast<unsigned char>(std::clamp(lna, 0, 255));
  });
  if (rc == 0 && GainModeInForce() != 0) return AutoGain(m_AutoG, false, batch, n);
  return rc;
}

int OSdrPlayUse::SetGainReduction(int gRdB) {
  return ForChannels(kSdrPlayTunerGr, "sdrplay_api_Update_Tuner_Gr",
                     [&](sdrplay_api_RxChannelParamsT& c) { SdrPlayParams::GrDb(c) = gRdB; });
}

int OSdrPlayUse::SetLna(int state, int* applied) {
  if (applied) *applied = state;
  return ForChannels(kSdrPlayTunerGr, "sdrplay_api_Update_Tuner_Gr", [&](sdrplay_api_RxChannelParamsT& c) {
    const int top = LnaStateCount(SdrPlayParams::RfHz(c)) - 1;
    const int s = std::clamp(state > top ? top : state, 0, 255);
    SdrPlayParams::Lna(c) = static_cast<unsigned char>(s);
    if (applied) *applied = s;
  });
}

int OSdrPlayUse::SetBwType(int bw_khz) {
  return ForChannels(kSdrPlayTunerBwType, "sdrplay_api_Update_Tuner_BwType",
                     [&](sdrplay_api_RxChannelParamsT& c) { SdrPlayParams::BwType(c) = bw_khz; });
}

int OSdrPlayUse::SetIfType(int if_khz) {
  return ForChannels(kSdrPlayTunerIfType, "sdrplay_api_Update_Tuner_IfType",
                     [&](sdrplay_api_RxChannelParamsT& c) { SdrPlayParams::IfType(c) = if_khz; });
}

int OSdrPlayUse::SetLoMode(int lo_mode) {
  return ForChannels(kSdrPlayTunerLoMode, "sdrplay_api_Update_Tuner_LoMode",
                     [&](sdrplay_api_RxChannelParamsT& c) { SdrPlayParams::LoMode(c) = lo_mode; });
}

int OSdrPlayUse::SetDecimation(int factor, bool wide_band) {
  if (!params_) {
    error_ = kNoDeviceText;
    return kNoDevice;
  }
  if (!Need(api_.Update, "sdrplay_api_Update")) return kNoFunction;
  const SdrPlayParams p(params_);
  int rc = 0;
  double rate = output_rate_;
  for (int i = 0; i < 2; ++i) {
    sdrplay_api_RxChannelParamsT* c = p.Channel(i);
    if (!c) continue;
    const sdrplay_api_RxChannelParamsT before = *c;
    if (factor > 0) {
      SdrPlayParams::DecimFactor(*c) = static_cast<unsigned char>(std::clamp(factor, 0, 255));
      SdrPlayParams::DecimEnable(*c) = factor != 1 ? 1 : 0;
    }
    SdrPlayParams::WideBand(*c) = wide_band ? 1 : 0;
    rc = Update(i + 1, kSdrPlayCtrlDecimation, kSdrPlayExtNone, "sdrplay_api_Update_Ctrl_Decimation");
    if (rc != 0) {
      // Refused: the channel keeps what it had, and the rate what it was.
      SdrPlayParams::DecimFactor(*c) = before.ctrlParams.decimation.decimationFactor;
      SdrPlayParams::DecimEnable(*c) = before.ctrlParams.decimation.enable;
      SdrPlayParams::WideBand(*c) = before.ctrlParams.decimation.wideBandSignal;
      continue;
    }
    rate = BaseRate() / (SdrPlayParams::DecimEnable(*c) ? std::max<int>(1, SdrPlayParams::DecimFactor(*c)) : 1);
  }
  output_rate_ = rate;
  return rc;
}

int OSdrPlayUse::SetSampleRate(double fs_hz) {
  const SdrPlayParams p(params_);
  if (!params_ || !p.Dev()) {
    error_ = kNoDeviceText;
    return kNoDevice;
  }
  if (!Need(api_.Update, "sdrplay_api_Update")) return kNoFunction;
  const double before = p.Dev()->fsFreq.fsHz;
  p.Dev()->fsFreq.fsHz = fs_hz;
  const int rc = Update(kSdrPlayTunerNeither, kSdrPlayDevFs, kSdrPlayExtNone, "sdrplay_api_Update_Dev_Fs");
  if (rc != 0) {
    p.Dev()->fsFreq.fsHz = before;  // refused: the rate stays what it was
    return rc;
  }
  output_rate_ = BaseRate() / std::max(1, m_Decim);
  return rc;
}

int OSdrPlayUse::SwapTuner(int am_port) {
  if (!params_) {
    error_ = kNoDeviceText;
    return kNoDevice;
  }
  if (!Need(api_.SwapRspDuoActiveTuner, "sdrplay_api_SwapRspDuoActiveTuner")) return kNoFunction;
  int32_t tuner = selected_.tuner;
  const int rc = api_.SwapRspDuoActiveTuner(selected_.dev, &tuner, am_port);
  if (rc != 0) return FormatApiError(rc, &selected_, "sdrplay_api_SwapRspDuoActiveTuner");
  selected_.tuner = tuner;
  RefreshGains();
  return rc;
}

int OSdrPlayUse::GenericUpdate(int32_t tuner, uint32_t reason, uint32_t ext) {
  if (!params_) {
    error_ = kNoDeviceText;
    return kNoDevice;
  }
  const int rc = Update(tuner, reason, ext, "sdrplay_api_Update_xx");
  RefreshGains();
  return rc;
}

int OSdrPlayUse::AcknowledgeOverload(int32_t tuner) {
  // From the API's thread: nothing here touches the error text or the parameters.
  sdrplay_api_Update_fn update = api_.Update;
  void* dev = selected_.dev;
  if (!update || !dev) return kNoFunction;
  return update(dev, tuner, kSdrPlayCtrlOverloadMsgAck, kSdrPlayExtNone);
}

int OSdrPlayUse::AutoGain(int target_db, bool forced, const double* batch, int n) {
  if (!params_) {
    error_ = kNoDeviceText;
    return kNoDevice;
  }
  if (!Need(api_.Update, "sdrplay_api_Update")) return kNoFunction;
  const SdrPlayParams p(params_);
  const int mode = GainModeInForce();
  int rc = 0;
  for (int i = 0; i < 2; ++i) {
    sdrplay_api_RxChannelParamsT* c = p.Channel(i);
    if (!c) continue;
    const int32_t tuner = i + 1;
    double b = target_db;
    if (mode == 2) {
      const bool use_b = i == 1 && dual_.load();
      double worst = CalLevel(SdrPlayParams::RfHz(*c), use_b);
      for (int k = 0; batch && k < n; ++k) worst = std::max(worst, CalLevel(batch[k], use_b));
      if (!std::isfinite(worst)) continue;  // the table gives no level here: leave the gain
      b = target_db - worst;
    }
    const double cur = SdrPlayParams::CurrentGain(*c);
    if (!forced && std::abs(cur - b) <= hysteresis_db_) continue;
    const auto wanted = [&] {
      return static_cast<int>(std::floor(SdrPlayParams::CurrentGain(*c) - b + 0.5)) + SdrPlayParams::GrDb(*c);
    };
    int g = wanted();
    for (int step = 0; g > 59 && step < 3; ++step) {
      const int old = SdrPlayParams::Lna(*c);
      if (old + 1 < LnaStateCount(SdrPlayParams::RfHz(*c))) SdrPlayParams::Lna(*c) = static_cast<unsigned char>(old + 1);
      if (SdrPlayParams::Lna(*c) == old) break;
      Log() << "смена OldLna = " << old << " на " << static_cast<int>(SdrPlayParams::Lna(*c)) << "\n";
      rc = Update(tuner, kSdrPlayTunerGr, kSdrPlayExtNone, "MyAru_Update_Tuner_Gr");
      if (rc != 0) {
        SdrPlayParams::Lna(*c) = static_cast<unsigned char>(old);
        break;
      }
      g = wanted();
    }
    g = std::clamp(g, 20, 59);
    if (g != SdrPlayParams::GrDb(*c)) {
      SdrPlayParams::GrDb(*c) = g;
      rc = Update(tuner, kSdrPlayTunerGr, kSdrPlayExtNone, "MyAru_Update_Tuner_Gr");
    }
  }
  RefreshGains();
  return rc;
}

}  // namespace kavu
