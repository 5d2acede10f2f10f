#pragma once
// OHackRfUse: the HackRF back end. It loads the HackRF library at run time (libhackrf.so.0 by
// default; folder and file name are settings of "OHackRfUse"), lists the boards by serial,
// opens one, sets its rate and baseband filter, the LNA, VGA and amplifier gains and the clock
// output, streams its signed 8-bit I/Q into the sample rings through KavuHackRfBlockSink, tunes
// for each measurement group and, with gain calibration on, chooses the VGA gain so that the
// reference reaches a target level over the batch of frequencies.
//
// States (Status()): 0 nothing, 1 library ready, 2 device open, 3 streaming. Opening always
// closes first; closing never raises the state; hackrf_exit is called only with no device
// open. Calls come from the window thread; only the library's transfer thread calls the sink.
// Failures return false (or the documented code) and leave the error text.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/dyn_library.h"
#include "receivers/hackrf_api.h"

namespace kavu {

class CalibrationTable;

// The library's functions, resolved by name (null when the library lacks one).
struct HackRfApi {
  hackrf_init_fn init = nullptr;
  hackrf_exit_fn exit = nullptr;
  hackrf_library_version_fn library_version = nullptr;
  hackrf_library_release_fn library_release = nullptr;
  hackrf_device_list_fn device_list = nullptr;
  hackrf_device_list_free_fn device_list_free = nullptr;
  hackrf_open_fn open = nullptr;
  hackrf_open_by_serial_fn open_by_serial = nullptr;
  hackrf_close_fn close = nullptr;
  hackrf_start_rx_fn start_rx = nullptr;
  hackrf_stop_rx_fn stop_rx = nullptr;
  hackrf_is_streaming_fn is_streaming = nullptr;
  hackrf_board_id_read_fn board_id_read = nullptr;
  hackrf_version_string_read_fn version_string_read = nullptr;
  hackrf_usb_api_version_read_fn usb_api_version_read = nullptr;
  hackrf_set_freq_fn set_freq = nullptr;
  hackrf_set_sample_rate_fn set_sample_rate = nullptr;
  hackrf_set_amp_enable_fn set_amp_enable = nullptr;
  hackrf_set_lna_gain_fn set_lna_gain = nullptr;
  hackrf_set_vga_gain_fn set_vga_gain = nullptr;
  hackrf_set_antenna_enable_fn set_antenna_enable = nullptr;
  hackrf_error_name_fn error_name = nullptr;
  hackrf_board_id_name_fn board_id_name = nullptr;
  hackrf_usb_board_id_name_fn usb_board_id_name = nullptr;
  hackrf_filter_path_name_fn filter_path_name = nullptr;
  hackrf_set_clkout_enable_fn set_clkout_enable = nullptr;
  hackrf_get_clkin_status_fn get_clkin_status = nullptr;
  hackrf_get_transfer_buffer_size_fn get_transfer_buffer_size = nullptr;
  hackrf_get_transfer_queue_depth_fn get_transfer_queue_depth = nullptr;
  hackrf_board_rev_read_fn board_rev_read = nullptr;
  hackrf_board_rev_name_fn board_rev_name = nullptr;
  hackrf_compute_baseband_filter_bw_round_down_lt_fn compute_baseband_filter_bw_round_down_lt = nullptr;
  hackrf_compute_baseband_filter_bw_fn compute_baseband_filter_bw = nullptr;
  hackrf_set_baseband_filter_bandwidth_fn set_baseband_filter_bandwidth = nullptr;
};

class OHackRfUse {
 public:
  static constexpr const char* kSection = "OHackRfUse";
  static constexpr const char* kDialogSection = "CDlgHackRF";
  static constexpr const char* kDefaultName = "libhackrf.so.0";
  static constexpr int kMaxDevices = 128;
  static constexpr int32_t kAnyDevice = -333333;  // the entry "любой", opened with hackrf_open
  static constexpr int kRateCount = 7;
  static constexpr int32_t kRates[kRateCount] = {2'000'000,  4'000'000,  8'000'000, 10'000'000,
                                                 12'500'000, 16'000'000, 20'000'000};
  static constexpr int kDefaultRateVar = 3;
  static constexpr int kStartWaitMs = 1000;  // how long MyStartHackRf waits for streaming
  static constexpr int32_t kClosedVga = -123, kClosedLna = -222;

  struct Device {
    std::string serial;  // "" for a null serial, "любой" for the any-device entry
    uint16_t board_id = 0;
    int32_t index = 0;
  };

  OHackRfUse();
  ~OHackRfUse();
  OHackRfUse(const OHackRfUse&) = delete;
  OHackRfUse& operator=(const OHackRfUse&) = delete;

  // Reads "OHackRfUse" m_Lna, m_VGa, m_IsAmp, m_IsClkOutEn, m_SampleRateVar and "CDlgHackRF"
  // m_GCalHackRFVar, m_GCalHackRFName, m_GCalHackRFValue (a calibration whose file name is
  // empty or whose table fails its validity test reads as off). `hysteresis_db` is the
  // options' m_GisterzisMyAru.
  void LoadSettings(double hysteresis_db = 3.0);
  void SaveSettings() const;
  void SetHysteresisDb(double db) { hysteresis_db_ = db; }

  // 1 file missing, −1 failure, 0 ready (library initialised).
  int LoadApi(const std::string& path);
  // Fills Devices() (at most 128); without hackrf_device_list but with hackrf_open one entry
  // "любой". Returns the count.
  int ListDevices();
  bool MyOpenHackRf(int index);
  bool MyStartHackRf(double frequency_hz, hackrf_sample_block_cb_fn sink, void* context);
  bool SetFreq(double frequency_hz, const double* batch, int n);
  bool MyStopHackRf();
  bool MyCloseHackRf();
  bool SetSampleRateVar(int var);
  bool SetLnaGain(int db);
  bool SetVgaGainProc(int db);
  bool SetAmpEn(bool on);
  bool SetClkOutEn(bool on);
  // The automatic VGA: with calibration on, target − LNA − 10 with the amplifier − the worst
  // calibration level over the frequency and the batch, 0 … 62, applied unless within the
  // hysteresis and not forced; with calibration off, m_VGa.
  bool AutoVga(bool forced, const double* batch, int n);
  // Closes the device, then hackrf_exit (only once nothing is open) and frees the library.
  void UnLoadDLL();

  // Gain calibration (the window's check box): loads `file` when turning on; an invalid table
  // turns it off. *message gets the table's load message. False when the table failed.
  bool SetGainCalibration(bool on, const std::string& file, std::string* message);

  bool IsLoaded() const { return lib_.IsOpen(); }
  const HackRfApi& Api() const { return api_; }
  int32_t Status() const { return status_; }
  const std::vector<Device>& Devices() const { return devices_; }
  int32_t DeviceIndex() const { return device_index_; }
  const std::string& ErrorText() const { return error_; }
  void SetErrorText(std::string t) { error_ = std::move(t); }
  const std::string& LibraryPath() const { return path_; }
  int32_t BufferSize() const { return buffer_size_; }
  int32_t QueueDepth() const { return queue_depth_; }
  double Frequency() const { return frequency_; }
  int32_t Rate() const { return rate_; }
  int32_t BandWidth() const { return bandwidth_; }
  int32_t CurVga() const { return cur_vga_.load(std::memory_order_relaxed); }
  int32_t CurLna() const { return cur_lna_.load(std::memory_order_relaxed); }
  int32_t CurAmp() const { return cur_amp_.load(std::memory_order_relaxed); }
  // The gain reported to the scan (safe from any thread): LNA + VGA + 10 dB with the amplifier.
  double GainDb() const { return CurLna() + CurVga() + (CurAmp() ? 10 : 0); }
  bool AutoVgaActive() const { return auto_active_; }
  double AutoVgaWorst() const { return auto_worst_; }

  // The stored settings.
  int32_t m_Lna = 0, m_VGa = 0, m_IsAmp = 0, m_IsClkOutEn = 0, m_SampleRateVar = kDefaultRateVar;
  int32_t m_GCalHackRFVar = 0, m_GCalHackRFValue = 0;
  std::string m_GCalHackRFName;
  bool GainCalibrationOn() const { return m_GCalHackRFVar != 0 && gcal_valid_; }

 private:
  void Clear();
  void ReadBufferFigures();
  // "ошибка %s, errcode=%d" + ", " + hackrf_error_name(code); logged in red, kept as the error.
  void StandardError(const std::string& what, int code);
  void Fail(const std::string& text);
  double CalLevel(double f) const;

  DynLibrary lib_;
  HackRfApi api_;
  std::string path_, error_;
  int32_t status_ = 0;
  std::vector<Device> devices_;
  int32_t device_index_ = -1;
  hackrf_device* dev_ = nullptr;
  int32_t buffer_size_ = -1, queue_depth_ = -1;
  double frequency_ = 0;
  std::atomic<int32_t> cur_vga_{kClosedVga}, cur_lna_{kClosedLna}, cur_amp_{0};
  bool auto_active_ = false;
  double auto_worst_ = 0;
  int32_t rate_ = kRates[kDefaultRateVar], bandwidth_ = kRates[kDefaultRateVar];
  double hysteresis_db_ = 3.0;
  bool gcal_valid_ = false;
  std::unique_ptr<CalibrationTable> gcal_;
};

// The HackRF transfer sink: context is the SampleRings; converts the transfer's valid bytes
// and returns 0 (anything else would stop the stream).
extern "C" int KavuHackRfBlockSink(hackrf_transfer* transfer);

}  // namespace kavu
