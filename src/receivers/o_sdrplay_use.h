#pragma once
// OSdrPlayUse: the SDRplay back end. It loads the SDRplay service API (libsdrplay_api.so.3) at
// run time from the folder of setting "OSdrPlayUse" m_PathApiDll; the library is no part of
// the system's packages and comes with the receiver maker's service, which must be installed
// and running. It lists the devices, selects one in single-tuner, dual-tuner (RSPduo) or slave
// mode, sets the channel parameters the analyzer needs, starts streaming into the sinks of
// ReceiverSet, retunes for each measurement group and keeps the overall gain on target by
// moving the gain reduction and, when that runs out, the LNA state.
//
// States (Status()): 0 closed, 1 device selected, 100 streaming. InitSdr always closes first;
// the API is opened by EnumSdrPlay and never closed. Every call comes from the window thread
// except the overload acknowledgement (AcknowledgeOverload), which the event sink makes from
// the API's thread. Results: 0 or an API error code, or the negative codes below; the error
// text says why.
//
// The parameter records are reached only through SdrPlayParams (receivers/sdrplay_params.h):
// their layouts are ours and must be checked against the real library (receivers/sdrplay_api.h).
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/dyn_library.h"
#include "receivers/sdrplay_api.h"
#include "receivers/sdrplay_params.h"

namespace kavu {

class CalibrationTable;

// The model switches of the settings window as one set of flags.
struct SdrPlaySwitches {
  bool notch = false, dab_notch = false, ext_ref = false, bias_t = false, hdr = false, am_port = false;
  bool operator==(const SdrPlaySwitches&) const = default;
};

// The API's 17 functions, resolved by name (null when the library lacks one).
struct SdrPlayApi {
  sdrplay_api_Open_fn Open = nullptr;
  sdrplay_api_Close_fn Close = nullptr;
  sdrplay_api_ApiVersion_fn ApiVersion = nullptr;
  sdrplay_api_LockDeviceApi_fn LockDeviceApi = nullptr;
  sdrplay_api_UnlockDeviceApi_fn UnlockDeviceApi = nullptr;
  sdrplay_api_GetDevices_fn GetDevices = nullptr;
  sdrplay_api_SelectDevice_fn SelectDevice = nullptr;
  sdrplay_api_ReleaseDevice_fn ReleaseDevice = nullptr;
  sdrplay_api_GetErrorString_fn GetErrorString = nullptr;
  sdrplay_api_GetLastError_fn GetLastError = nullptr;
  sdrplay_api_DebugEnable_fn DebugEnable = nullptr;
  sdrplay_api_GetDeviceParams_fn GetDeviceParams = nullptr;
  sdrplay_api_Init_fn Init = nullptr;
  sdrplay_api_Uninit_fn Uninit = nullptr;
  sdrplay_api_Update_fn Update = nullptr;
  sdrplay_api_SwapRspDuoActiveTuner_fn SwapRspDuoActiveTuner = nullptr;
  sdrplay_api_SwapRspDuoDualTunerModeSampleRate_fn SwapRspDuoDualTunerModeSampleRate = nullptr;
};

// "RSP1", "RSP1A", "RSP2", "RSPduo", "RSPdx", else "RSP?%d".
std::string SdrPlayModelName(int hw_ver);
// LNA states of a model at a frequency: versions 1, 3, 255: 10 below 0 Hz, 7 below 60 MHz, 10
// below 1 GHz, 9 above; version 2: 9 below 0 Hz, 5 below 60 MHz, 9 above; 4: 28; others 99.
int SdrPlayLnaStateCount(int hw_ver, double hz);

class OSdrPlayUse {
 public:
  static constexpr const char* kSection = "OSdrPlayUse";
  static constexpr const char* kDialogSection = "CDlgSdrPlay";
  static constexpr const char* kLibraryName = "libsdrplay_api.so.3";
  static constexpr unsigned kMaxDevices = 64;
  static constexpr float kNoVersion = -123456.0f;
  // Negative results of our own.
  static constexpr int kCloseFailed = -22;      // InitSdr: the earlier device would not close
  static constexpr int kNoMode = -12;           // InitSdr: no opening mode the device offers
  static constexpr int kNotSelected = -4444;    // StartSdr: no device selected
  static constexpr int kNoFunction = -30;       // the library lacks the function to call
  static constexpr int kNoDevice = -31;         // an update with no device selected
  static constexpr int kNoLibrary = -32;        // the library is not loaded

  OSdrPlayUse();
  ~OSdrPlayUse();
  OSdrPlayUse(const OSdrPlayUse&) = delete;
  OSdrPlayUse& operator=(const OSdrPlayUse&) = delete;

  // Reads section "CDlgSdrPlay" with its ranges. Gain mode 2 loads the calibration table of
  // m_RspGCalName; a table that is unusable leaves mode 0 in force (the stored value stays).
  // `hysteresis_db` is the options' m_GisterzisMyAru.
  void LoadSettings(double hysteresis_db = 3.0);
  void SaveSettings() const;
  void SetHysteresisDb(double db) { hysteresis_db_ = db; }
  // Gain mode (the window's combo): 2 loads `file` first; an unusable table leaves the mode in
  // force and the settings unchanged, gives false and the table's message in *message.
  bool SetGainMode(int mode, const std::string& file, std::string* message);

  // Frees a loaded library, clears everything, loads `path`. False with the error text.
  bool LoadApi(const std::string& path);
  // Lists the devices (the API's lock is always released again). 0 or an error code.
  int EnumSdrPlay();
  int InitSdr(const sdrplay_api_DeviceT& record, double frequency_hz);
  int StartSdr(sdrplay_api_CallbackFnsT* callbacks, void* context);
  // Tunes both channels; with automatic gain, keeps the gain on target for the batch.
  int SetFrf(double frequency_hz, const double* batch, int n);
  int SetGainReduction(int gRdB);
  // *applied gets the state actually applied (lowered to the model's count at the frequency).
  int SetLna(int state, int* applied);
  int SetBwType(int bw_khz);
  int SetIfType(int if_khz);
  int SetLoMode(int lo_mode);
  // factor > 0 changes it (1 turns decimation off), ≤ 0 keeps it.
  int SetDecimation(int factor, bool wide_band);
  int SetSampleRate(double fs_hz);
  int SwapTuner(int am_port);
  int GenericUpdate(int32_t tuner, uint32_t reason, uint32_t ext);
  // The channel the settings window shows: B (1) when `input_entry` is not the first, else A
  // (0), whichever exists; -1 without channels.
  int ShownChannel(int input_entry);
  // The model switches as the device and the shown channel hold them; *usable gets the ones
  // this model has and that have a record to live in (a slave has no device record, a missing
  // channel none of its own).
  SdrPlaySwitches Switches(int shown, SdrPlaySwitches* usable);
  // Writes the switches and announces them by model (RSP1A, RSP2, RSPduo, RSPdx; RSP1 has
  // none). On a failure *failed_step names the step that failed ("" for the plain one).
  int ApplySwitches(const SdrPlaySwitches& s, std::string* failed_step);
  // The input of an RSP2 (entry 0 antenna A, 1 B) or an RSPdx (0 … 2: A, B, C).
  int SetAntenna(int entry);
  int AutoGain(int target_db, bool forced, const double* batch, int n);
  // Stops (Uninit; 16 shows the box and fails) and releases. False while the device runs on.
  bool CloseSdr();
  // The overload acknowledgement of the event sink, on the API's thread.
  int AcknowledgeOverload(int32_t tuner);

  int LnaStateCount(double hz) const { return SdrPlayLnaStateCount(selected_.hwVer, hz); }
  // label + " err = " (or "sdrplay_api_err = ") + code + ", " + GetErrorString + ", " + the
  // last error's message (with a record); logged in red; returns the code.
  int FormatApiError(int code, const sdrplay_api_DeviceT* record, const char* label);

  // The message box of a device that refuses to close (Uninit 16).
  void SetMessageBox(std::function<void(const std::string&)> box) { box_ = std::move(box); }

  bool IsLoaded() const { return lib_.IsOpen(); }
  const SdrPlayApi& Api() const { return api_; }
  int32_t Status() const { return status_; }
  unsigned DeviceCount() const { return count_; }
  const sdrplay_api_DeviceT& Device(unsigned i) const { return devices_[i]; }
  const sdrplay_api_DeviceT& Requested() const { return requested_; }
  const sdrplay_api_DeviceT& Selected() const { return selected_; }
  bool IsDual() const { return dual_.load(std::memory_order_relaxed); }
  double OutputRate() const { return output_rate_; }
  float ApiVersion() const { return version_; }
  const std::string& ErrorText() const { return error_; }
  void SetErrorText(std::string t) { error_ = std::move(t); }
  const std::string& LnaCutText() const { return lna_cut_; }
  const std::string& LibraryPath() const { return path_; }
  bool HasDeviceParams() const { return params_ != nullptr; }
  // The device's parameters, or the fallback set without a device (for showing values).
  SdrPlayParams Params() { return SdrPlayParams(params_ ? params_ : &fallback_); }
  // Safe from any thread: the gains after the last update, per channel (NaN none), and channel
  // A's (else B's) gain reduction and LNA state.
  double GainA() const { return gain_a_.load(std::memory_order_relaxed); }
  double GainB() const { return gain_b_.load(std::memory_order_relaxed); }
  int32_t CurGrDb() const { return cur_grdb_.load(std::memory_order_relaxed); }
  int32_t CurLna() const { return cur_lna_.load(std::memory_order_relaxed); }
  // The gain mode in force (m_IsAutoGA unless mode 2 has no usable table).
  int GainModeInForce() const { return m_IsAutoGA == 2 && !gcal_valid_ ? 0 : m_IsAutoGA; }

  // The stored settings ("CDlgSdrPlay").
  int32_t m_Lna = 0, m_Ga = 20, m_DuoMasterMode = 0, m_AntNum = 0, m_Decim = 1, m_IsAutoGA = 0, m_AutoG = 0;
  std::string m_RspGCalName;

 private:
  void Clear();
  void Red(const std::string& line);
  // The function or, when the library lacks it, null with "Не найдена " + name logged.
  template <class F>
  F Need(F fn, const char* name);
  // Runs one update per present channel (A: tuner 1, B: tuner 2); `write` sets the field.
  template <class Write>
  int ForChannels(uint32_t reason, const char* label, Write write);
  int Update(int32_t tuner, uint32_t reason, uint32_t ext, const char* label);
  void RefreshGains();
  double BaseRate() const;
  double CalLevel(double f, bool b) const;

  DynLibrary lib_;
  SdrPlayApi api_;
  std::string path_, error_, lna_cut_;
  float version_ = kNoVersion;
  sdrplay_api_DeviceT devices_[kMaxDevices]{};
  unsigned count_ = 0;
  int32_t status_ = 0;
  sdrplay_api_DeviceT requested_{}, selected_{};
  sdrplay_api_DeviceParamsT* params_ = nullptr;
  std::atomic<bool> dual_{false};
  double output_rate_ = 2'000'000.0;
  // The stand-in parameters without a device.
  sdrplay_api_DevParamsT fallback_dev_{};
  sdrplay_api_RxChannelParamsT fallback_ch_[2]{};
  sdrplay_api_DeviceParamsT fallback_{};
  std::atomic<double> gain_a_, gain_b_;
  std::atomic<int32_t> cur_grdb_{0}, cur_lna_{0};
  double hysteresis_db_ = 3.0;
  bool gcal_valid_ = false;
  std::unique_ptr<CalibrationTable> gcal_;
  std::function<void(const std::string&)> box_;
};

}  // namespace kavu
