#pragma once
// ORtlSdr: the RTL-SDR back end. Drives RTL2832U dongles through the RTL-SDR library
// (librtlsdr.so.0) loaded at run time, streams unsigned 8-bit I/Q on a reading thread of its own
// into a block sink (normally KavuRtlSdrBlockSink with the SampleRings as context), tunes per
// measurement group, switches direct sampling by frequency and chooses the tuner gain, by hand or
// from a gain-calibration table.
//
// States (Status()): 0 closed → MyOpen → 1 open → MyStart → 2 streaming. A read that ends on its
// own (dongle unplugged) takes 2 → 1 and leaves "rtlsdr_read_async() err=%d" in the error text.
// MyStop cancels the read, joins the reading thread and closes the device; it returns promptly
// even when called right after MyStart. The library stays loaded until LoadApi or destruction.
//
// Units: frequencies in Hz, sample rates in samples per second, gains in tenths of dB.
// Calls come from the window thread; only the reading thread calls the sink. Failures return
// false (or a negative/non-zero code where stated) and leave the reason in ErrorText().
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "platform/dyn_library.h"
#include "receivers/rtlsdr_api.h"
#include "shell/settings_fields.h"

namespace kavu {

class CalibrationTable;

class ORtlSdr {
 public:
  static constexpr const char* kLibraryName = "librtlsdr.so.0";
  static constexpr const char* kSection = "ODlgRtlSdr";
  static constexpr int32_t kOpenRate = 2'400'000;        // every open starts at this rate
  static constexpr double kDirectThresholdHz = 25'000'000.0;
  static constexpr int kMaxGains = 1024;
  static constexpr int32_t kMinBufStep = 13, kMaxBufStep = 17;

  ORtlSdr();
  ~ORtlSdr();
  ORtlSdr(const ORtlSdr&) = delete;
  ORtlSdr& operator=(const ORtlSdr&) = delete;

  // Reads the settings of section "ODlgRtlSdr" (direct mode, gain, buffer step, gain
  // calibration; a calibration table that fails its validity test turns calibration off for the
  // run). `hysteresis_db` is the options' m_GisterzisMyAru.
  void LoadSettings(double hysteresis_db = 3.0);

  // Frees a loaded library, clears the object and loads `path`: 1 file missing, −1 load failed
  // (the loader's reason in the error text), 0 loaded with the functions resolved.
  int LoadApi(const std::string& path);
  bool IsLoaded() const { return lib_.IsOpen(); }
  const std::string& LibraryPath() const { return path_; }
  const RtlSdrApi& Api() const { return api_; }

  // Devices found by discovery (rtlsdr_get_device_count).
  uint32_t DeviceCount() const { return device_count_; }
  void SetDeviceCount(uint32_t n) { device_count_ = n; }

  bool MyOpen(int32_t index);
  bool MyStart(double frequency_hz, rtlsdr_read_async_cb_t sink, void* context);
  // Tunes to `frequency_hz` (direct mode first); with gain calibration on, also chooses the gain
  // for the frequencies of the batch (may be null with n 0). A frequency that does not fit the
  // library's unsigned 32-bit hertz is refused.
  bool SetCenterFreq(double frequency_hz, const double* batch, int n);
  bool SetDirectMode(double frequency_hz);
  bool SetMyAru(bool forced, const double* batch, int n);
  // On success SamplingF() is `rate`; a rate the library refuses leaves SamplingF() at the rate
  // the device reports (still in force).
  bool SetSampleRate(int32_t rate);
  bool SetTunerGain(int32_t gain);
  // Cancels and restarts the reading with the stored frequency, sink and context (after a buffer
  // size change); the device stays open. An open device that never streamed is left as it is
  // (true): the new buffer size applies at its first start.
  bool RestartStreaming();
  void MyStop();

  int32_t Status() const { return status_.load(); }
  std::string ErrorText() const;
  void SetErrorText(std::string text);

  int32_t DeviceIndex() const { return device_index_; }
  const std::string& Manufacturer() const { return manufact_; }
  const std::string& Product() const { return product_; }
  const std::string& Serial() const { return serial_; }
  int32_t SamplingF() const { return sampling_f_; }
  double CurrentFrequency() const { return frequency_; }
  int32_t CurrentDirectMode() const { return direct_mode_; }
  const std::vector<int32_t>& Gains() const { return gains_; }
  int32_t CurGA() const { return cur_ga_.load(); }
  // Nearest entry of the gain list to `value` (first of equally near); −1 with an empty list.
  int32_t NearestGainIndex(int32_t value) const;
  // Read from the open device through the library: nothing while the device is closed or when
  // the library lacks the function. Sample rate in samples per second, tuner gain in tenths of
  // dB, crystal frequencies in Hz with the library's result code.
  struct XtalReading {
    uint32_t rtl_hz = 0, tuner_hz = 0;
    int code = 0;
  };
  std::optional<uint32_t> ReadSampleRate() const;
  std::optional<int32_t> ReadTunerGain() const;
  std::optional<XtalReading> ReadXtal() const;

  // Stored settings (the setters also store them): direct mode 0 … 4 (else 4), gain, buffer
  // step kMinBufStep … kMaxBufStep (clamped), gain calibration and its table file.
  static std::span<const SettingBinding<ORtlSdr>> Bindings();
  int32_t RtlDirectMode() const { return direct_choice_; }
  void SetRtlDirectMode(int32_t mode);
  int32_t RtlGa() const { return rtl_ga_; }
  void SetRtlGa(int32_t gain);
  int32_t RtlBufSzStep() const { return buf_step_; }
  void SetRtlBufSzStep(int32_t step);
  bool RtlIsGCal() const { return is_gcal_; }
  const std::string& RtlGCalName() const { return gcal_name_; }
  // Turns gain calibration on with `file` (loading the table) or off; false with the table's
  // message in *message when the table is not valid (calibration then stays off).
  bool SetGainCalibration(bool on, const std::string& file, std::string* message);
  void SetHysteresisDb(double db) { hysteresis_db_ = db; }
  double HysteresisDb() const { return hysteresis_db_; }

 private:
  void Clear();
  bool StartThread();
  // The reading thread's body; `buf_len` was taken from the settings on the window thread when
  // the stream started (the settings may change while it runs: they apply to the next start).
  void ReadingThread(uint32_t buf_len);
  // Cancels the read until the reading thread has ended, then joins it.
  void StopThread();
  int32_t ChooseGain(int32_t target) const;
  double CalLevel(double f) const;

  DynLibrary lib_;
  RtlSdrApi api_;
  std::string path_;
  mutable std::mutex error_mutex_;
  std::string error_;

  uint32_t device_count_ = 0;
  int32_t device_index_ = 0;
  rtlsdr_dev_t* dev_ = nullptr;
  std::atomic<int32_t> status_{0};
  std::string manufact_, product_, serial_;
  int32_t sampling_f_ = 0;
  double frequency_ = 0;
  int32_t direct_mode_ = -123;
  std::vector<int32_t> gains_;
  std::atomic<int32_t> cur_ga_{0};

  rtlsdr_read_async_cb_t sink_ = nullptr;
  void* context_ = nullptr;
  std::thread thread_;
  std::mutex thread_mutex_;
  std::condition_variable thread_done_cv_;
  bool thread_done_ = true;
  std::atomic<bool> stop_requested_{false};

  // Settings.
  int32_t direct_choice_ = 4;
  int32_t rtl_ga_ = 0;
  int32_t buf_step_ = kMinBufStep;
  bool is_gcal_ = false;
  std::string gcal_name_;
  double hysteresis_db_ = 3.0;
  std::unique_ptr<CalibrationTable> gcal_;
};

// Settable sample rates of the RTL-SDR (the settings window's list and the command line's
// --rate), in samples per second, with their list texts.
struct RtlSdrRate {
  int32_t hz;
  const char* text;
};
inline constexpr RtlSdrRate kRtlSdrRates[] = {
    {250000, "250 КГц"},     {960000, "960 КГц"},   {1028571, "1.028571 МГц"},
    {1200000, "1.2 МГц"},    {1440000, "1.44 МГц"}, {1800000, "1.8 МГц"},
    {2400000, "2.4 МГц"},
};

}  // namespace kavu
