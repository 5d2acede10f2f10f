#pragma once
// The C interface of the RTL-SDR library (librtlsdr.so.0) as this program uses it: the 33
// functions looked up by name, with their published signatures and meanings. Declared here,
// never taken from a system header, so the program builds without the library and the simulated
// library (sim/) implements exactly these signatures.
//
// Meanings relied on: 0 = success for int results unless noted; frequencies and rates in Hz;
// gains in tenths of dB; read_async blocks until cancel_async and calls the callback with
// (buffer, length in bytes, context) from the calling thread.
#include <cstdint>

extern "C" {
typedef struct rtlsdr_dev rtlsdr_dev_t;
typedef void (*rtlsdr_read_async_cb_t)(unsigned char* buf, uint32_t len, void* ctx);

typedef uint32_t (*rtlsdr_get_device_count_fn)(void);
typedef const char* (*rtlsdr_get_device_name_fn)(uint32_t index);
typedef int (*rtlsdr_get_device_usb_strings_fn)(uint32_t index, char* manufact, char* product,
                                                 char* serial);
typedef int (*rtlsdr_get_index_by_serial_fn)(const char* serial);
typedef int (*rtlsdr_open_fn)(rtlsdr_dev_t** dev, uint32_t index);
typedef int (*rtlsdr_close_fn)(rtlsdr_dev_t* dev);
typedef int (*rtlsdr_set_xtal_freq_fn)(rtlsdr_dev_t* dev, uint32_t rtl_freq, uint32_t tuner_freq);
typedef int (*rtlsdr_get_xtal_freq_fn)(rtlsdr_dev_t* dev, uint32_t* rtl_freq, uint32_t* tuner_freq);
typedef int (*rtlsdr_get_usb_strings_fn)(rtlsdr_dev_t* dev, char* manufact, char* product,
                                          char* serial);
typedef int (*rtlsdr_write_eeprom_fn)(rtlsdr_dev_t* dev, uint8_t* data, uint8_t offset, uint16_t len);
typedef int (*rtlsdr_read_eeprom_fn)(rtlsdr_dev_t* dev, uint8_t* data, uint8_t offset, uint16_t len);
typedef int (*rtlsdr_set_center_freq_fn)(rtlsdr_dev_t* dev, uint32_t freq);
typedef uint32_t (*rtlsdr_get_center_freq_fn)(rtlsdr_dev_t* dev);
typedef int (*rtlsdr_set_freq_correction_fn)(rtlsdr_dev_t* dev, int ppm);
typedef int (*rtlsdr_get_freq_correction_fn)(rtlsdr_dev_t* dev);
typedef int (*rtlsdr_get_tuner_type_fn)(rtlsdr_dev_t* dev);
typedef int (*rtlsdr_get_tuner_gains_fn)(rtlsdr_dev_t* dev, int* gains);
typedef int (*rtlsdr_set_tuner_gain_fn)(rtlsdr_dev_t* dev, int gain);
typedef int (*rtlsdr_get_tuner_gain_fn)(rtlsdr_dev_t* dev);
typedef int (*rtlsdr_set_tuner_if_gain_fn)(rtlsdr_dev_t* dev, int stage, int gain);
typedef int (*rtlsdr_set_tuner_gain_mode_fn)(rtlsdr_dev_t* dev, int manual);
typedef int (*rtlsdr_set_sample_rate_fn)(rtlsdr_dev_t* dev, uint32_t rate);
typedef uint32_t (*rtlsdr_get_sample_rate_fn)(rtlsdr_dev_t* dev);
typedef int (*rtlsdr_set_agc_mode_fn)(rtlsdr_dev_t* dev, int on);
typedef int (*rtlsdr_set_direct_sampling_fn)(rtlsdr_dev_t* dev, int on);
typedef int (*rtlsdr_get_direct_sampling_fn)(rtlsdr_dev_t* dev);
typedef int (*rtlsdr_set_offset_tuning_fn)(rtlsdr_dev_t* dev, int on);
typedef int (*rtlsdr_get_offset_tuning_fn)(rtlsdr_dev_t* dev);
typedef int (*rtlsdr_reset_buffer_fn)(rtlsdr_dev_t* dev);
typedef int (*rtlsdr_read_sync_fn)(rtlsdr_dev_t* dev, void* buf, int len, int* n_read);
typedef int (*rtlsdr_wait_async_fn)(rtlsdr_dev_t* dev, rtlsdr_read_async_cb_t cb, void* ctx);
typedef int (*rtlsdr_read_async_fn)(rtlsdr_dev_t* dev, rtlsdr_read_async_cb_t cb, void* ctx,
                                    uint32_t buf_num, uint32_t buf_len);
typedef int (*rtlsdr_cancel_async_fn)(rtlsdr_dev_t* dev);
}

namespace kavu {

class DynLibrary;

// The function table; a pointer is null when the library does not export that function.
struct RtlSdrApi {
  rtlsdr_get_device_count_fn get_device_count = nullptr;
  rtlsdr_get_device_name_fn get_device_name = nullptr;
  rtlsdr_get_device_usb_strings_fn get_device_usb_strings = nullptr;
  rtlsdr_get_index_by_serial_fn get_index_by_serial = nullptr;
  rtlsdr_open_fn open = nullptr;
  rtlsdr_close_fn close = nullptr;
  rtlsdr_set_xtal_freq_fn set_xtal_freq = nullptr;
  rtlsdr_get_xtal_freq_fn get_xtal_freq = nullptr;
  rtlsdr_get_usb_strings_fn get_usb_strings = nullptr;
  rtlsdr_write_eeprom_fn write_eeprom = nullptr;
  rtlsdr_read_eeprom_fn read_eeprom = nullptr;
  rtlsdr_set_center_freq_fn set_center_freq = nullptr;
  rtlsdr_get_center_freq_fn get_center_freq = nullptr;
  rtlsdr_set_freq_correction_fn set_freq_correction = nullptr;
  rtlsdr_get_freq_correction_fn get_freq_correction = nullptr;
  rtlsdr_get_tuner_type_fn get_tuner_type = nullptr;
  rtlsdr_get_tuner_gains_fn get_tuner_gains = nullptr;
  rtlsdr_set_tuner_gain_fn set_tuner_gain = nullptr;
  rtlsdr_get_tuner_gain_fn get_tuner_gain = nullptr;
  rtlsdr_set_tuner_if_gain_fn set_tuner_if_gain = nullptr;
  rtlsdr_set_tuner_gain_mode_fn set_tuner_gain_mode = nullptr;
  rtlsdr_set_sample_rate_fn set_sample_rate = nullptr;
  rtlsdr_get_sample_rate_fn get_sample_rate = nullptr;
  rtlsdr_set_agc_mode_fn set_agc_mode = nullptr;
  rtlsdr_set_direct_sampling_fn set_direct_sampling = nullptr;
  rtlsdr_get_direct_sampling_fn get_direct_sampling = nullptr;
  rtlsdr_set_offset_tuning_fn set_offset_tuning = nullptr;
  rtlsdr_get_offset_tuning_fn get_offset_tuning = nullptr;
  rtlsdr_reset_buffer_fn reset_buffer = nullptr;
  rtlsdr_read_sync_fn read_sync = nullptr;
  rtlsdr_wait_async_fn wait_async = nullptr;
  rtlsdr_read_async_fn read_async = nullptr;
  rtlsdr_cancel_async_fn cancel_async = nullptr;

  static constexpr int kFunctionCount = 33;

  // Looks every function up by name in `lib`; each missing one is logged in red as
  // "Не найдена " + name + "\n". Returns the number found.
  int Resolve(const DynLibrary& lib);
};

}  // namespace kavu
