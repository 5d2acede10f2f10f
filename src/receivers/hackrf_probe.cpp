#include "receivers/hackrf_probe.h"

#include "shell/log_console.h"

namespace kavu {
namespace {

void* Find(const DynLibrary& lib, const char* name) {
  void* p = lib.Symbol(name);
  if (!p) {
    Log() << LogColour(kColourError) << " не найдена " << name << "\n" << LogColour(kColourNormal);
  }
  return p;
}

}  // namespace

HackRfProbe::~HackRfProbe() { UnLoad(); }

void HackRfProbe::UnLoad() {
  if (status_ > 0 && exit_) {
    if (const int rc = exit_(); rc != 0) {
      Log() << LogColour(kColourError) << "OHackRfUse::UnLoadDLL(), hackrf_exit() return " << rc
            << "\n" << LogColour(kColourNormal);
    }
  }
  lib_.Close();
  status_ = 0;
  serials_.clear();
  init_ = exit_ = nullptr;
  device_list_ = nullptr;
  device_list_free_ = nullptr;
  error_name_ = nullptr;
  open_ = open_by_serial_ = start_rx_ = nullptr;
}

std::string HackRfProbe::StandardError(const char* what, int code) const {
  std::string t = std::string("ошибка ") + what + ", errcode=" + std::to_string(code);
  if (error_name_) {
    if (const char* n = error_name_(code); n && *n) t += std::string(", ") + n;
  }
  return t;
}

int HackRfProbe::LoadApi(const std::string& path) {
  UnLoad();
  error_.clear();
  Log() << LogColour(kColourHeading) << "** Поддержка HackRf, гружу " << path << " ** \n"
        << LogColour(kColourNormal);
  path_ = path;
  const DynLibrary::Result r = lib_.Open(path);
  if (r == DynLibrary::Result::kMissing) {
    Log() << " Нет файла dll на диске ! \n";
    error_ = "нет файла '" + path +
             "' на диске.  Укажите путь к '*libhackrf.so.0' в настройках или положите эту dll "
             "рядом с основной программой.";
    return 1;
  }
  if (r == DynLibrary::Result::kFailed) {
    error_ = "не удалось загрузить '" + path + "', Err=" + std::to_string(lib_.ErrorCode()) +
             ", " + (lib_.Error().empty() ? std::string("?") : lib_.Error());
    Log() << LogColour(kColourError) << error_ << "\n" << LogColour(kColourNormal);
    return -1;
  }
  init_ = reinterpret_cast<InitFn>(Find(lib_, "hackrf_init"));
  exit_ = reinterpret_cast<InitFn>(Find(lib_, "hackrf_exit"));
  device_list_ = reinterpret_cast<ListFn>(Find(lib_, "hackrf_device_list"));
  device_list_free_ = reinterpret_cast<ListFreeFn>(Find(lib_, "hackrf_device_list_free"));
  error_name_ = reinterpret_cast<ErrorNameFn>(Find(lib_, "hackrf_error_name"));
  open_ = Find(lib_, "hackrf_open");
  open_by_serial_ = Find(lib_, "hackrf_open_by_serial");
  start_rx_ = Find(lib_, "hackrf_start_rx");
  if (!init_) {
    error_ = "нет функции hackrf_init, не та dll ?";
  } else if (const int rc = init_(); rc != 0) {
    error_ = StandardError("hackrf_init", rc);
  } else {
    status_ = 1;  // initialised: hackrf_exit is owed from here on
    if (!open_by_serial_ && !open_) {
      error_ = "нет функции hackrf_open_by_serial или хотя бы hackrf_open";
    } else if (!start_rx_) {
      error_ = "нет функции hackrf_start_rx";
    }
  }
  if (!error_.empty()) {
    Log() << LogColour(kColourError) << " " << error_ << "\n" << LogColour(kColourNormal);
    return -1;
  }
  return 0;
}

int HackRfProbe::ListDevices() {
  serials_.clear();
  if (status_ < 1) return 0;
  if (device_list_) {
    DeviceList* list = device_list_();
    if (list) {
      const int n = list->devicecount < 0 ? 0 : (list->devicecount > kMaxDevices ? kMaxDevices : list->devicecount);
      for (int i = 0; i < n; ++i) {
        const char* s = list->serial_numbers ? list->serial_numbers[i] : nullptr;
        serials_.emplace_back(s ? s : "");
      }
      if (device_list_free_) device_list_free_(list);
    }
  } else if (open_) {
    serials_.emplace_back("любой");
  }
  return static_cast<int>(serials_.size());
}

}  // namespace kavu
