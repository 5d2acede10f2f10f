#include "receivers/o_hackrf_use.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "platform/number_text.h"
#include "platform/steady_clock.h"
#include "receivers/sample_rings.h"
#include "results/calibration_table.h"
#include "shell/log_console.h"
#include "shell/settings_store.h"

namespace kavu {
namespace {

template <class F>
void Resolve(const DynLibrary& lib, F& fn, const char* name) {
  fn = reinterpret_cast<F>(lib.Symbol(name));
  if (!fn) Log() << LogColour(kColourError) << " не найдена " << name << "\n" << LogColour(kColourNormal);
}

std::string Mhz(double hz) { return FormatTrimmed(hz / 1e6, 3); }

}  // namespace

OHackRfUse::OHackRfUse() = default;

OHackRfUse::~OHackRfUse() { UnLoadDLL(); }

void OHackRfUse::LoadSettings(double hysteresis_db) {
  SettingsStore& s = Settings();
  hysteresis_db_ = hysteresis_db;
  m_Lna = std::clamp(s.GetProfileInt(kSection, "m_Lna", 0), 0, 40);
  m_VGa = std::clamp(s.GetProfileInt(kSection, "m_VGa", 0), 0, 62);
  m_IsAmp = s.GetProfileInt(kSection, "m_IsAmp", 0) != 0 ? 1 : 0;
  m_IsClkOutEn = s.GetProfileInt(kSection, "m_IsClkOutEn", 0) != 0 ? 1 : 0;
  const int32_t var = s.GetProfileInt(kSection, "m_SampleRateVar", kDefaultRateVar);
  m_SampleRateVar = var >= 0 && var < kRateCount ? var : kDefaultRateVar;
  m_GCalHackRFVar = s.GetProfileInt(kDialogSection, "m_GCalHackRFVar", 0) != 0 ? 1 : 0;
  m_GCalHackRFName = s.GetProfileString(kDialogSection, "m_GCalHackRFName", "");
  m_GCalHackRFValue = s.GetProfileInt(kDialogSection, "m_GCalHackRFValue", 0);
  gcal_valid_ = false;
  if (m_GCalHackRFVar != 0 && !m_GCalHackRFName.empty()) {
    if (!gcal_) gcal_ = std::make_unique<CalibrationTable>();
    gcal_valid_ = gcal_->LoadTable(m_GCalHackRFName);
  }
  if (!gcal_valid_) m_GCalHackRFVar = 0;
}

void OHackRfUse::SaveSettings() const {
  SettingsStore& s = Settings();
  s.WriteProfileInt(kSection, "m_Lna", m_Lna);
  s.WriteProfileInt(kSection, "m_VGa", m_VGa);
  s.WriteProfileInt(kSection, "m_IsAmp", m_IsAmp);
  s.WriteProfileInt(kSection, "m_IsClkOutEn", m_IsClkOutEn);
  s.WriteProfileInt(kSection, "m_SampleRateVar", m_SampleRateVar);
  s.WriteProfileInt(kDialogSection, "m_GCalHackRFVar", m_GCalHackRFVar);
  s.WriteProfileString(kDialogSection, "m_GCalHackRFName", m_GCalHackRFName);
  s.WriteProfileInt(kDialogSection, "m_GCalHackRFValue", m_GCalHackRFValue);
}

bool OHackRfUse::SetGainCalibration(bool on, const std::string& file, std::string* message) {
  bool ok = true;
  if (on) {
    m_GCalHackRFName = file;
    if (!gcal_) gcal_ = std::make_unique<CalibrationTable>();
    ok = !file.empty() && gcal_->LoadTable(file);
    if (message) *message = file.empty() ? "пустое имя файла" : gcal_->Status();
    if (!ok) on = false;
  }
  gcal_valid_ = on;
  m_GCalHackRFVar = on ? 1 : 0;
  SaveSettings();
  return ok;
}

double OHackRfUse::CalLevel(double f) const { return gcal_ && gcal_valid_ ? gcal_->LevelAt(f) : 0.0; }

void OHackRfUse::Clear() {
  api_ = HackRfApi{};
  status_ = 0;
  devices_.clear();
  device_index_ = -1;
  dev_ = nullptr;
  buffer_size_ = queue_depth_ = -1;
  frequency_ = 0;
  cur_vga_ = kClosedVga;
  cur_lna_ = kClosedLna;
  cur_amp_ = 0;
  auto_active_ = false;
  auto_worst_ = 0;
}

void OHackRfUse::Fail(const std::string& text) {
  error_ = text;
  Log() << LogColour(kColourError) << text << "\n" << LogColour(kColourNormal);
}

void OHackRfUse::StandardError(const std::string& what, int code) {
  std::string t = "ошибка " + what + ", errcode=" + std::to_string(code);
  if (api_.error_name) {
    if (const char* n = api_.error_name(code); n && *n) t += std::string(", ") + n;
  }
  Fail(t);
}

void OHackRfUse::UnLoadDLL() {
  // The device goes first: the library refuses to exit while one is open.
  MyCloseHackRf();
  if (status_ > 0 && api_.exit && !dev_) {
    if (const int rc = api_.exit(); rc != 0) {
      Log() << LogColour(kColourError) << "OHackRfUse::UnLoadDLL(), hackrf_exit() return " << rc << "\n"
            << LogColour(kColourNormal);
    }
  }
  // A device that would not close keeps the library: its transfer thread may still run there.
  if (!dev_) lib_.Close();
  Clear();
}

int OHackRfUse::LoadApi(const std::string& path) {
  UnLoadDLL();
  error_.clear();
  Log() << LogColour(kColourHeading) << "** Поддержка HackRf, гружу " << path << " ** \n" << LogColour(kColourNormal);
  path_ = path;
  const DynLibrary::Result r = lib_.Open(path);
  if (r == DynLibrary::Result::kMissing) {
    Log() << " Нет файла dll на диске ! \n";
    error_ = "нет файла '" + path +
             "' на диске.  Укажите путь к '*libhackrf.so.0' в настройках или положите эту dll рядом с основной "
             "программой.";
    return 1;
  }
  if (r == DynLibrary::Result::kFailed) {
    error_ = "не удалось загрузить '" + path + "', Err=" + std::to_string(lib_.ErrorCode()) + ", " +
             (lib_.Error().empty() ? std::string("?") : lib_.Error());
    Log() << LogColour(kColourError) << error_ << "\n" << LogColour(kColourNormal);
    return -1;
  }
  Resolve(lib_, api_.init, "hackrf_init");
  Resolve(lib_, api_.exit, "hackrf_exit");
  Resolve(lib_, api_.library_version, "hackrf_library_version");
  Resolve(lib_, api_.library_release, "hackrf_library_release");
  Resolve(lib_, api_.device_list, "hackrf_device_list");
  Resolve(lib_, api_.device_list_free, "hackrf_device_list_free");
  Resolve(lib_, api_.open, "hackrf_open");
  Resolve(lib_, api_.open_by_serial, "hackrf_open_by_serial");
  Resolve(lib_, api_.close, "hackrf_close");
  Resolve(lib_, api_.start_rx, "hackrf_start_rx");
  Resolve(lib_, api_.stop_rx, "hackrf_stop_rx");
  Resolve(lib_, api_.is_streaming, "hackrf_is_streaming");
  Resolve(lib_, api_.board_id_read, "hackrf_board_id_read");
  Resolve(lib_, api_.version_string_read, "hackrf_version_string_read");
  Resolve(lib_, api_.usb_api_version_read, "hackrf_usb_api_version_read");
  Resolve(lib_, api_.set_freq, "hackrf_set_freq");
  Resolve(lib_, api_.set_sample_rate, "hackrf_set_sample_rate");
  Resolve(lib_, api_.set_amp_enable, "hackrf_set_amp_enable");
  Resolve(lib_, api_.set_lna_gain, "hackrf_set_lna_gain");
  Resolve(lib_, api_.set_vga_gain, "hackrf_set_vga_gain");
  Resolve(lib_, api_.set_antenna_enable, "hackrf_set_antenna_enable");
  Resolve(lib_, api_.error_name, "hackrf_error_name");
  Resolve(lib_, api_.board_id_name, "hackrf_board_id_name");
  Resolve(lib_, api_.usb_board_id_name, "hackrf_usb_board_id_name");
  Resolve(lib_, api_.filter_path_name, "hackrf_filter_path_name");
  Resolve(lib_, api_.set_clkout_enable, "hackrf_set_clkout_enable");
  Resolve(lib_, api_.get_clkin_status, "hackrf_get_clkin_status");
  Resolve(lib_, api_.get_transfer_buffer_size, "hackrf_get_transfer_buffer_size");
  Resolve(lib_, api_.get_transfer_queue_depth, "hackrf_get_transfer_queue_depth");
  Resolve(lib_, api_.board_rev_read, "hackrf_board_rev_read");
  Resolve(lib_, api_.board_rev_name, "hackrf_board_rev_name");
  Resolve(lib_, api_.compute_baseband_filter_bw_round_down_lt, "hackrf_compute_baseband_filter_bw_round_down_lt");
  Resolve(lib_, api_.compute_baseband_filter_bw, "hackrf_compute_baseband_filter_bw");
  Resolve(lib_, api_.set_baseband_filter_bandwidth, "hackrf_set_baseband_filter_bandwidth");
  if (!api_.init) {
    error_ = "нет функции hackrf_init, не та dll ?";
  } else if (const int rc = api_.init(); rc != 0) {
    std::string t = "ошибка hackrf_init, errcode=" + std::to_string(rc);
    if (api_.error_name) {
      if (const char* n = api_.error_name(rc); n && *n) t += std::string(", ") + n;
    }
    error_ = t;
  } else {
    status_ = 1;  // initialised: hackrf_exit is owed from here on
    if (!api_.open_by_serial && !api_.open) {
      error_ = "нет функции hackrf_open_by_serial или хотя бы hackrf_open";
    } else if (!api_.start_rx) {
      error_ = "нет функции hackrf_start_rx";
    }
  }
  if (!error_.empty()) {
    Log() << LogColour(kColourError) << " " << error_ << "\n" << LogColour(kColourNormal);
    return -1;
  }
  return 0;
}

int OHackRfUse::ListDevices() {
  devices_.clear();
  if (status_ < 1) return 0;
  if (api_.device_list) {
    hackrf_device_list_t* list = api_.device_list();
    if (list) {
      const int n = std::clamp(list->devicecount, 0, kMaxDevices);
      for (int i = 0; i < n; ++i) {
        Device d;
        const char* s = list->serial_numbers ? list->serial_numbers[i] : nullptr;
        d.serial = s ? s : "";
        d.board_id = list->usb_board_ids ? static_cast<uint16_t>(list->usb_board_ids[i]) : 0;
        d.index = list->usb_device_index ? list->usb_device_index[i] : i;
        devices_.push_back(std::move(d));
      }
      if (api_.device_list_free) api_.device_list_free(list);
    }
  } else if (api_.open) {
    devices_.push_back(Device{"любой", 0, kAnyDevice});
  }
  return static_cast<int>(devices_.size());
}

void OHackRfUse::ReadBufferFigures() {
  buffer_size_ = -1;
  queue_depth_ = -1;
  if (!dev_) return;
  if (api_.get_transfer_buffer_size) {
    buffer_size_ = static_cast<int32_t>(std::min<size_t>(api_.get_transfer_buffer_size(dev_), INT32_MAX));
  }
  if (api_.get_transfer_queue_depth) {
    queue_depth_ = static_cast<int32_t>(std::min<uint32_t>(api_.get_transfer_queue_depth(dev_), INT32_MAX));
  }
}

bool OHackRfUse::MyOpenHackRf(int index) {
  Log() << "Открываю устройство HackRF, MyOpenHackRf() для ind=" << index << "\n";
  MyCloseHackRf();
  if (status_ < 1) {
    Fail(error_.empty() ? "OHackRfUse::MyOpenHackRf() - библиотека не загружена" : error_);
    return false;
  }
  // An index beyond the list opens nothing (the list may have changed since it was shown).
  if (index < 0 || index >= static_cast<int>(devices_.size())) {
    Fail("OHackRfUse::MyOpenHackRf() - нет устройства №" + std::to_string(index + 1) + " из " +
         std::to_string(devices_.size()));
    return false;
  }
  device_index_ = index;
  const Device& d = devices_[static_cast<size_t>(index)];
  hackrf_device* dev = nullptr;
  int rc = 0;
  if (d.index != kAnyDevice) {
    if (!api_.open_by_serial) {
      Fail("нет функции hackrf_open_by_serial");
      return false;
    }
    rc = api_.open_by_serial(d.serial.c_str(), &dev);
    Log() << "Вызов hackrf_open_by_serial() вернул errcode=" << rc << "\n";
    if (rc != 0) {
      StandardError("hackrf_open_by_serial", rc);
      return false;
    }
  } else {
    if (!api_.open) {
      Fail("нет функции hackrf_open");
      return false;
    }
    rc = api_.open(&dev);
    if (rc != 0) {
      StandardError("hackrf_open", rc);
      return false;
    }
  }
  if (!dev) {
    Fail("OHackRfUse::MyOpenHackRf() - библиотека не вернула устройство");
    return false;
  }
  dev_ = dev;
  status_ = 2;
  ReadBufferFigures();
  return SetSampleRateVar(m_SampleRateVar);
}

bool OHackRfUse::SetSampleRateVar(int var) {
  var = std::clamp(var, 0, kRateCount - 1);
  m_SampleRateVar = var;
  rate_ = bandwidth_ = kRates[var];
  if (!dev_) {
    Fail("OHackRfUse::SetSampleRateVar() - не открыто устр-во");
    return false;
  }
  if (api_.compute_baseband_filter_bw) {
    bandwidth_ = static_cast<int32_t>(api_.compute_baseband_filter_bw(static_cast<uint32_t>(rate_)));
    Log() << LogColour(kColourNotice) << "Уточненный m_BandWidth=" << Mhz(bandwidth_) << "\n" << LogColour(kColourNormal);
  }
  if (api_.set_baseband_filter_bandwidth) api_.set_baseband_filter_bandwidth(dev_, static_cast<uint32_t>(bandwidth_));
  if (!api_.set_sample_rate) {
    Fail("отсутствует hackrf_set_sample_rate()");
    return false;
  }
  if (const int rc = api_.set_sample_rate(dev_, static_cast<double>(rate_)); rc != 0) {
    StandardError("hackrf_set_sample_rate(" + std::to_string(rate_) + ")", rc);
    return false;
  }
  return true;
}

bool OHackRfUse::SetLnaGain(int db) {
  if (!dev_) {
    Fail("OHackRfUse::SetLnaGain() - не открыто устр-во");
    return false;
  }
  if (!api_.set_lna_gain) {
    Fail("OHackRfUse::SetLnaGain() - нет hackrf_set_lna_gain");
    return false;
  }
  if (db < 0) db = 0;
  if (const int rc = api_.set_lna_gain(dev_, static_cast<uint32_t>(db)); rc != 0) {
    StandardError("hackrf_set_lna_gain", rc);
    return false;
  }
  cur_lna_ = db;
  m_Lna = db;
  return true;
}

bool OHackRfUse::SetVgaGainProc(int db) {
  if (!dev_) {
    Fail("OHackRfUse::SetVgaGainProc() - не открыто устр-во");
    return false;
  }
  if (!api_.set_vga_gain) {
    Fail("OHackRfUse::SetVgaGainProc() - нет hackrf_set_vga_gain");
    return false;
  }
  if (db < 0) db = 0;
  if (const int rc = api_.set_vga_gain(dev_, static_cast<uint32_t>(db)); rc != 0) {
    StandardError("hackrf_set_vga_gain", rc);
    return false;
  }
  cur_vga_ = db;
  return true;
}

bool OHackRfUse::SetAmpEn(bool on) {
  if (!dev_) {
    Fail("OHackRfUse::SetAmpEn() - не открыто устр-во");
    return false;
  }
  if (!api_.set_amp_enable) {
    Fail("OHackRfUse::SetAmpEn() - нет hackrf_set_amp_enable");
    return false;
  }
  if (const int rc = api_.set_amp_enable(dev_, on ? 1 : 0); rc != 0) {
    StandardError("hackrf_set_amp_enable", rc);
    return false;
  }
  cur_amp_ = on ? 1 : 0;
  return true;
}

bool OHackRfUse::SetClkOutEn(bool on) {
  if (!dev_) {
    Fail("OHackRfUse::SetClkOutEn() - не открыто устр-во");
    return false;
  }
  if (!api_.set_clkout_enable) {
    Fail("OHackRfUse::SetClkOutEn() - нет hackrf_set_clkout_enable");
    return false;
  }
  if (const int rc = api_.set_clkout_enable(dev_, on ? 1 : 0); rc != 0) {
    StandardError("hackrf_set_clkout_enable", rc);
    return false;
  }
  return true;
}

bool OHackRfUse::MyStartHackRf(double frequency_hz, hackrf_sample_block_cb_fn sink, void* context) {
  frequency_ = frequency_hz;
  if (status_ != 2) {
    Log() << LogColour(kColourError) << "OHackRfUse::MyStartHackRf() отвергнут, статус m_Status=" << status_ << "\n"
          << LogColour(kColourNormal);
    error_ = "OHackRfUse::MyStartHackRf() отвергнут, статус не 2";
    return false;
  }
  if (api_.stop_rx) api_.stop_rx(dev_);
  if (!api_.start_rx) {
    Log() << LogColour(kColourError) << "OHackRfUse::MyStartHackRf() отвергнут, нет функции hackrf_start_rx \n"
          << LogColour(kColourNormal);
    error_ = "нет функции hackrf_start_rx";
    return false;
  }
  SetLnaGain(m_Lna);
  SetVgaGainProc(m_VGa);
  SetAmpEn(m_IsAmp != 0);
  if (api_.set_clkout_enable) SetClkOutEn(m_IsClkOutEn != 0);
  if (!SetFreq(frequency_hz, nullptr, 0)) {
    Log() << LogColour(kColourError) << "OHackRfUse::MyStartHackRf() - " << error_ << "\n" << LogColour(kColourNormal);
  }
  const int rc = api_.start_rx(dev_, sink, context);
  Log() << "Вызываю hackrf_start_rx и res = " << rc << "\n";
  if (rc != 0) {
    StandardError("hackrf_start_rx", rc);
    return false;
  }
  status_ = 3;
  // The library starts its transfers on its own thread: wait, within a bound, for it to report
  // streaming. A library that never says so still streams as far as we know (start_rx succeeded).
  if (api_.is_streaming) {
    const int64_t deadline = SteadyNowNs() + int64_t{kStartWaitMs} * 1'000'000;
    while (api_.is_streaming(dev_) != kHackRfTrue) {
      if (SteadyNowNs() >= deadline) {
        Log() << LogColour(kColourNotice) << "hackrf_is_streaming() не подтвердила поток за " << kStartWaitMs
              << " мс\n" << LogColour(kColourNormal);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  return true;
}

bool OHackRfUse::MyStopHackRf() {
  // Only a running stream is stopped; a state below 3 is left as it is (never raised).
  if (status_ != 3) return true;
  bool ok = true;
  if (api_.stop_rx) {
    const int rc = api_.stop_rx(dev_);
    Log() << "Вызов hackrf_stop_rx() вернул errcode=" << rc << "\n";
    if (rc != 0) {
      StandardError("hackrf_stop_rx", rc);
      ok = false;
    }
  } else {
    Log() << LogColour(kColourError) << "OHackRfUse::MyStopHackRf() - отсутствует функция hackrf_stop_rx\n"
          << LogColour(kColourNormal);
    ok = false;
  }
  status_ = 2;
  return ok;
}

bool OHackRfUse::MyCloseHackRf() {
  MyStopHackRf();
  bool ok = true;
  if (status_ > 1 && dev_) {
    if (api_.close) {
      const int rc = api_.close(dev_);
      Log() << "Вызов hackrf_close() return " << rc << "\n";
      ok = rc == 0;
    }
    dev_ = nullptr;
    status_ = 1;
  }
  cur_vga_ = kClosedVga;
  cur_lna_ = kClosedLna;
  cur_amp_ = 0;
  return ok;
}

bool OHackRfUse::SetFreq(double frequency_hz, const double* batch, int n) {
  // A non-finite or too large frequency is refused and not kept (the gain slider's report and
  // the automatic gain go on with the last good one); the 1000 Hz floor comes before the
  // conversion, so a negative value tunes 1000 Hz rather than wrapping.
  if (!std::isfinite(frequency_hz) || frequency_hz >= 18446744073709551616.0) {
    Fail("OHackRfUse::SetFreq() - недопустимая частота " + FormatFixed(frequency_hz, 0) + " Гц");
    return false;
  }
  frequency_ = frequency_hz;
  const uint64_t value = frequency_hz < 1000.0 ? uint64_t{1000} : static_cast<uint64_t>(frequency_hz);
  if (!api_.set_freq) {
    Fail("отсутствует hackrf_set_freq()");
    return false;
  }
  if (!dev_) {
    Fail("OHackRfUse::SetFreq() - не открыто устр-во");
    return false;
  }
  if (const int rc = api_.set_freq(dev_, value); rc != 0) {
    StandardError("hackrf_set_freq(" + std::to_string(value) + ")", rc);
    return false;
  }
  if (GainCalibrationOn()) return AutoVga(false, batch, n);
  auto_active_ = false;
  return true;
}

bool OHackRfUse::AutoVga(bool forced, const double* batch, int n) {
  if (GainCalibrationOn()) {
    double worst = CalLevel(frequency_);
    for (int i = 0; batch && i < n; ++i) worst = std::max(worst, CalLevel(batch[i]));
    auto_active_ = true;
    auto_worst_ = worst;
    const double wanted = m_GCalHackRFValue - CurLna() - (CurAmp() ? 10 : 0) - worst;
    // A table that gives no level (NaN) leaves the gain as it is, and says why.
    if (!std::isfinite(wanted)) {
      Fail("OHackRfUse::AutoVga() - нет уровня калибровки для F=" + FormatFixed(frequency_ / 1e6, 3) + " МГц");
      return false;
    }
    int32_t chosen = static_cast<int32_t>(std::clamp(std::trunc(wanted), -1e6, 1e6));
    Log() << "Цель |O|=" << m_GCalHackRFValue << " ugenmax=" << worst << " NewVGa=" << chosen << "\n";
    chosen = std::clamp(chosen, 0, 62);
    if (!forced && std::abs(chosen - CurVga()) <= hysteresis_db_) return true;
    return SetVgaGainProc(chosen);
  }
  auto_active_ = false;
  if (!forced && CurVga() == m_VGa) return true;
  return SetVgaGainProc(m_VGa);
}

extern "C" int KavuHackRfBlockSink(hackrf_transfer* transfer) {
  if (!transfer || !transfer->rx_ctx || !transfer->buffer) return 0;
  // Only the bytes the transfer holds: a short transfer's tail is left from an earlier one.
  const int valid = std::clamp(transfer->valid_length, 0, std::max(transfer->buffer_length, 0));
  static_cast<SampleRings*>(transfer->rx_ctx)
      ->DeliverS8(reinterpret_cast<const int8_t*>(transfer->buffer), static_cast<uint32_t>(valid));
  return 0;
}

}  // namespace kavu
