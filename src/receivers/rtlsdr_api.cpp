#include "receivers/rtlsdr_api.h"

#include "platform/dyn_library.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

template <class Fn>
int Find(const DynLibrary& lib, const char* name, Fn& out) {
  out = reinterpret_cast<Fn>(lib.Symbol(name));
  if (out) return 1;
  Log() << LogColour(kColourError) << "Не найдена " << name << "\n" << LogColour(kColourNormal);
  return 0;
}

}  // namespace

int RtlSdrApi::Resolve(const DynLibrary& lib) {
  int n = 0;
  n += Find(lib, "rtlsdr_get_device_count", get_device_count);
  n += Find(lib, "rtlsdr_get_device_name", get_device_name);
  n += Find(lib, "rtlsdr_get_device_usb_strings", get_device_usb_strings);
  n += Find(lib, "rtlsdr_get_index_by_serial", get_index_by_serial);
  n += Find(lib, "rtlsdr_open", open);
  n += Find(lib, "rtlsdr_close", close);
  n += Find(lib, "rtlsdr_set_xtal_freq", set_xtal_freq);
  n += Find(lib, "rtlsdr_get_xtal_freq", get_xtal_freq);
  n += Find(lib, "rtlsdr_get_usb_strings", get_usb_strings);
  n += Find(lib, "rtlsdr_write_eeprom", write_eeprom);
  n += Find(lib, "rtlsdr_read_eeprom", read_eeprom);
  n += Find(lib, "rtlsdr_set_center_freq", set_center_freq);
  n += Find(lib, "rtlsdr_get_center_freq", get_center_freq);
  n += Find(lib, "rtlsdr_set_freq_correction", set_freq_correction);
  n += Find(lib, "rtlsdr_get_freq_correction", get_freq_correction);
  n += Find(lib, "rtlsdr_get_tuner_type", get_tuner_type);
  n += Find(lib, "rtlsdr_get_tuner_gains", get_tuner_gains);
  n += Find(lib, "rtlsdr_set_tuner_gain", set_tuner_gain);
  n += Find(lib, "rtlsdr_get_tuner_gain", get_tuner_gain);
  n += Find(lib, "rtlsdr_set_tuner_if_gain", set_tuner_if_gain);
  n += Find(lib, "rtlsdr_set_tuner_gain_mode", set_tuner_gain_mode);
  n += Find(lib, "rtlsdr_set_sample_rate", set_sample_rate);
  n += Find(lib, "rtlsdr_get_sample_rate", get_sample_rate);
  n += Find(lib, "rtlsdr_set_agc_mode", set_agc_mode);
  n += Find(lib, "rtlsdr_set_direct_sampling", set_direct_sampling);
  n += Find(lib, "rtlsdr_get_direct_sampling", get_direct_sampling);
  n += Find(lib, "rtlsdr_set_offset_tuning", set_offset_tuning);
  n += Find(lib, "rtlsdr_get_offset_tuning", get_offset_tuning);
  n += Find(lib, "rtlsdr_reset_buffer", reset_buffer);
  n += Find(lib, "rtlsdr_read_sync", read_sync);
  n += Find(lib, "rtlsdr_wait_async", wait_async);
  n += Find(lib, "rtlsdr_read_async", read_async);
  n += Find(lib, "rtlsdr_cancel_async", cancel_async);
  return n;
}

}  // namespace kavu
