#pragma once
// Serial devices present on this machine, from libudev: every device of the "tty" subsystem that
// has a parent device (virtual consoles and pseudo-terminals have none) and a device node.
// 8250-family ports (ttyS) whose UART type is unknown are phantoms the kernel creates for every
// possible legacy port and are left out.
#include <string_view>
#include <vector>

#include "platform/port_numbering.h"

namespace kavu {

// True for an 8250-family port (ttyS...) whose sysfs "type" attribute says UART type 0 (unknown);
// `uart_type` may be null (attribute missing: not a phantom).
bool IsPhantomSerialPort(std::string_view sysname, const char* uart_type);

// Never fails: when udev cannot be asked the list is empty.
std::vector<TtyDeviceInfo> ScanTtyDevices();

}  // namespace kavu
