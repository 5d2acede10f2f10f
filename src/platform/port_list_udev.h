#pragma once
// Serial devices present on this machine, from libudev: every device of the "tty" subsystem that
// has a parent device (virtual consoles and pseudo-terminals have none) and a device node.
// 8250-family ports (ttyS) whose UART type is unknown are phantoms the kernel creates for every
// possible legacy port and are left out.
#include <vector>

#include "platform/port_numbering.h"

namespace kavu {

// Never fails: when udev cannot be asked the list is empty.
std::vector<TtyDeviceInfo> ScanTtyDevices();

}  // namespace kavu
