#pragma once
// The list of serial ports the user can pick from: the devices present (numbered stably, see
// platform/port_numbering.h), the extra device paths from the setting "m_ExtraPorts" of section
// "OSerialPortSelector" and from the environment variable KAVU_EXTRA_PORTS (both
// colon-separated; numbered from 901 in that order, listed whether or not they exist yet), and
// the network serial bridge (-33, always last). Built fresh whenever it is needed.
#include <functional>
#include <string>
#include <vector>

#include "platform/port_numbering.h"

namespace kavu {

inline constexpr int kNetworkPortNumber = -33;
inline constexpr const char* kNetworkPortText = "сеть - андрод_otg";

struct PortListEntry {
  int number = 0;
  std::string text;  // description; shows the device path
  std::string path;  // device path; empty for the network entry
};

struct PortList {
  static constexpr size_t kMaxEntries = 256;
  static constexpr size_t kTextPoolBytes = 8192;
  std::vector<PortListEntry> entries;  // sorted by number, the network entry last

  const PortListEntry* Find(int number) const;
  // Entries other than the network one.
  int PortCount() const;
};

// Extra device paths: the setting first, then the environment, duplicates dropped.
std::vector<std::string> ExtraPortPaths();

// Builds the list from scanned devices and extra paths (no logging; for tests and the tool).
PortList MakePortList(std::vector<TtyDeviceInfo> devices, const std::vector<std::string>& extras);

// What BuildPortList asks for the devices present; the udev scan unless tests replace it.
using TtyScanner = std::function<std::vector<TtyDeviceInfo>()>;
void SetTtyScannerForTests(TtyScanner scanner);  // null restores the udev scan

// The list of this moment; logs "Вижу N COM-портов, время опроса списка T мс \n".
PortList BuildPortList();
// The device path of a port number now, or empty when there is none (0, -33, an "other" or an
// extra number that is not in the list).
std::string PortPathForNumber(int number);

}  // namespace kavu
