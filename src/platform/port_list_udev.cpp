#include "platform/port_list_udev.h"

#include <libudev.h>

#include <cstring>
#include <string>

namespace kavu {
namespace {

const char* Property(udev_device* dev, const char* key) {
  const char* v = udev_device_get_property_value(dev, key);
  return v && *v ? v : nullptr;
}

// "FT232R USB UART" (with the vendor when known), the driver's name, or empty.
std::string Describe(udev_device* dev, udev_device* parent) {
  std::string model;
  if (const char* v = Property(dev, "ID_MODEL_FROM_DATABASE")) {
    model = v;
  } else if (const char* m = Property(dev, "ID_MODEL")) {
    model = m;  // udev writes blanks as '_' here
    for (char& c : model) c = c == '_' ? ' ' : c;
  }
  if (!model.empty()) {
    if (const char* vendor = Property(dev, "ID_VENDOR_FROM_DATABASE")) {
      model = std::string(vendor) + " " + model;
    }
    return model;
  }
  // The nearest driver that says something: newer kernels put "port" and "ctrl" devices of the
  // serial core between a ttyS and its hardware.
  for (udev_device* d = parent; d != nullptr; d = udev_device_get_parent(d)) {
    const char* driver = udev_device_get_driver(d);
    if (driver && *driver && std::strcmp(driver, "port") != 0 && std::strcmp(driver, "ctrl") != 0) {
      return driver;
    }
  }
  return {};
}

}  // namespace

bool IsPhantomSerialPort(std::string_view sysname, const char* uart_type) {
  return sysname.substr(0, 4) == "ttyS" && uart_type != nullptr && std::strcmp(uart_type, "0") == 0;
}

std::vector<TtyDeviceInfo> ScanTtyDevices() {
  std::vector<TtyDeviceInfo> out;
  udev* u = udev_new();
  if (!u) return out;
  udev_enumerate* e = udev_enumerate_new(u);
  if (e && udev_enumerate_add_match_subsystem(e, "tty") >= 0 && udev_enumerate_scan_devices(e) >= 0) {
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e)) {
      udev_device* dev = udev_device_new_from_syspath(u, udev_list_entry_get_name(entry));
      if (!dev) continue;
      udev_device* parent = udev_device_get_parent(dev);  // owned by dev
      const char* node = udev_device_get_devnode(dev);
      const char* sysname = udev_device_get_sysname(dev);
      if (parent && node && sysname && !IsPhantomSerialPort(sysname, udev_device_get_sysattr_value(dev, "type"))) {
        out.push_back({sysname, node, Describe(dev, parent)});
      }
      udev_device_unref(dev);
    }
  }
  if (e) udev_enumerate_unref(e);
  udev_unref(u);
  return out;
}

}  // namespace kavu
