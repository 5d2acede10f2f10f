#pragma once
// The part of the HackRF back end that receiver discovery needs: load the HackRF library
// (libhackrf.so.0 by default; folder and file name are settings of "OHackRfUse"), initialise
// it and list the devices by serial number. Opening and streaming come with the full back end;
// until then a HackRF entry can be listed but not opened (SelectReceiver says so).
//
// The library's C interface is declared here from its published form, never from its header.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/dyn_library.h"

namespace kavu {

class HackRfProbe {
 public:
  static constexpr const char* kSection = "OHackRfUse";
  static constexpr const char* kDefaultName = "libhackrf.so.0";
  static constexpr int kMaxDevices = 128;

  HackRfProbe() = default;
  ~HackRfProbe();
  HackRfProbe(const HackRfProbe&) = delete;
  HackRfProbe& operator=(const HackRfProbe&) = delete;

  // 1 file missing, −1 load or initialisation failed, 0 ready (library initialised).
  int LoadApi(const std::string& path);
  // Fills Serials() from hackrf_device_list (at most 128); without that function but with
  // hackrf_open, one entry "любой". Returns the count.
  int ListDevices();
  // hackrf_exit when initialised, then frees the library.
  void UnLoad();

  bool IsLoaded() const { return lib_.IsOpen(); }
  int32_t Status() const { return status_; }
  const std::vector<std::string>& Serials() const { return serials_; }
  const std::string& ErrorText() const { return error_; }
  void SetErrorText(std::string t) { error_ = std::move(t); }
  const std::string& LibraryPath() const { return path_; }

 private:
  struct DeviceList {  // hackrf_device_list_t, published layout
    char** serial_numbers;
    int* usb_board_ids;
    int* usb_device_index;
    int devicecount;
    void** usb_devices;
    int usb_devicecount;
  };
  using InitFn = int (*)();
  using ListFn = DeviceList* (*)();
  using ListFreeFn = void (*)(DeviceList*);
  using ErrorNameFn = const char* (*)(int);

  std::string StandardError(const char* what, int code) const;

  DynLibrary lib_;
  std::string path_, error_;
  int32_t status_ = 0;
  std::vector<std::string> serials_;
  InitFn init_ = nullptr, exit_ = nullptr;
  ListFn device_list_ = nullptr;
  ListFreeFn device_list_free_ = nullptr;
  ErrorNameFn error_name_ = nullptr;
  void* open_ = nullptr;
  void* open_by_serial_ = nullptr;
  void* start_rx_ = nullptr;
};

}  // namespace kavu
