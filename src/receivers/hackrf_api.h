#pragma once
// The C interface of the HackRF library (libhackrf.so.0) as this program uses it: the 34
// functions looked up by name, with their published signatures and meanings. Declared here,
// never taken from a system header, so the program builds without the library's development
// files and the simulated library (sim/) implements exactly these signatures.
//
// Meanings relied on: 0 = success, other int results are error codes that hackrf_error_name
// names; hackrf_is_streaming gives 1 (true) while the device streams; frequencies in Hz (the
// tuning one unsigned 64-bit, the rate a double); gains in dB. hackrf_start_rx starts the
// library's transfer thread, which calls the sink with one transfer at a time; the sink's
// result 0 keeps the stream going. hackrf_stop_rx returns after the last sink call.
#include <cstddef>
#include <cstdint>

extern "C" {
typedef struct hackrf_device hackrf_device;

// One block of received bytes: signed 8-bit I, Q pairs. `valid_length` bytes of `buffer`
// hold samples; `buffer_length` is the buffer's size.
typedef struct {
  hackrf_device* device;
  uint8_t* buffer;
  int buffer_length;
  int valid_length;
  void* rx_ctx;
  void* tx_ctx;
} hackrf_transfer;

typedef int (*hackrf_sample_block_cb_fn)(hackrf_transfer* transfer);

// hackrf_device_list's result, published layout.
typedef struct {
  char** serial_numbers;
  int* usb_board_ids;
  int* usb_device_index;
  int devicecount;
  void** usb_devices;
  int usb_devicecount;
} hackrf_device_list_t;

inline constexpr int kHackRfSuccess = 0;
inline constexpr int kHackRfTrue = 1;
inline constexpr int kHackRfErrorInvalidParam = -2;
inline constexpr int kHackRfErrorNotFound = -5;
inline constexpr int kHackRfErrorBusy = -6;
inline constexpr int kHackRfErrorLibusb = -1000;
inline constexpr int kHackRfErrorStreamingStopped = -1003;
inline constexpr int kHackRfErrorOther = -9999;

typedef int (*hackrf_init_fn)(void);
typedef int (*hackrf_exit_fn)(void);
typedef const char* (*hackrf_library_version_fn)(void);
typedef const char* (*hackrf_library_release_fn)(void);
typedef hackrf_device_list_t* (*hackrf_device_list_fn)(void);
typedef void (*hackrf_device_list_free_fn)(hackrf_device_list_t* list);
typedef int (*hackrf_open_fn)(hackrf_device** device);
typedef int (*hackrf_open_by_serial_fn)(const char* desired_serial_number, hackrf_device** device);
typedef int (*hackrf_close_fn)(hackrf_device* device);
typedef int (*hackrf_start_rx_fn)(hackrf_device* device, hackrf_sample_block_cb_fn callback, void* rx_ctx);
typedef int (*hackrf_stop_rx_fn)(hackrf_device* device);
typedef int (*hackrf_is_streaming_fn)(hackrf_device* device);
typedef int (*hackrf_board_id_read_fn)(hackrf_device* device, uint8_t* value);
typedef int (*hackrf_version_string_read_fn)(hackrf_device* device, char* version, uint8_t length);
typedef int (*hackrf_usb_api_version_read_fn)(hackrf_device* device, uint16_t* version);
typedef int (*hackrf_set_freq_fn)(hackrf_device* device, uint64_t freq_hz);
typedef int (*hackrf_set_sample_rate_fn)(hackrf_device* device, double freq_hz);
typedef int (*hackrf_set_amp_enable_fn)(hackrf_device* device, uint8_t value);
typedef int (*hackrf_set_lna_gain_fn)(hackrf_device* device, uint32_t value);
typedef int (*hackrf_set_vga_gain_fn)(hackrf_device* device, uint32_t value);
typedef int (*hackrf_set_antenna_enable_fn)(hackrf_device* device, uint8_t value);
typedef const char* (*hackrf_error_name_fn)(int errcode);
typedef const char* (*hackrf_board_id_name_fn)(int board_id);
typedef const char* (*hackrf_usb_board_id_name_fn)(int usb_board_id);
typedef const char* (*hackrf_filter_path_name_fn)(int path);
typedef int (*hackrf_set_clkout_enable_fn)(hackrf_device* device, uint8_t value);
typedef int (*hackrf_get_clkin_status_fn)(hackrf_device* device, uint8_t* status);
typedef size_t (*hackrf_get_transfer_buffer_size_fn)(hackrf_device* device);
typedef uint32_t (*hackrf_get_transfer_queue_depth_fn)(hackrf_device* device);
typedef int (*hackrf_board_rev_read_fn)(hackrf_device* device, uint8_t* value);
typedef const char* (*hackrf_board_rev_name_fn)(int board_rev);
typedef uint32_t (*hackrf_compute_baseband_filter_bw_round_down_lt_fn)(uint32_t bandwidth_hz);
typedef uint32_t (*hackrf_compute_baseband_filter_bw_fn)(uint32_t bandwidth_hz);
typedef int (*hackrf_set_baseband_filter_bandwidth_fn)(hackrf_device* device, uint32_t bandwidth_hz);
}  // extern "C"
