#pragma once
// Stable port numbers for serial devices, so a number kept in the settings finds the same device
// again: ttyS n → 1 + n, ttyUSB n → 101 + n, ttyACM n → 201 + n, rfcomm n → 301 + n (n 0..99);
// any other tty with a parent device gets 401 and up in sorted order of its name (up to 900).
// Numbers from 901 are for extra device paths named in the settings or the environment.
#include <string>
#include <string_view>
#include <vector>

namespace kavu {

inline constexpr int kFirstOtherPortNumber = 401;
inline constexpr int kLastOtherPortNumber = 900;
inline constexpr int kFirstExtraPortNumber = 901;

// A serial device as the system lists it.
struct TtyDeviceInfo {
  std::string sysname;      // "ttyUSB0"
  std::string devnode;      // "/dev/ttyUSB0"
  std::string description;  // human-readable, may be empty
};

struct NumberedPort {
  int number = 0;
  std::string path;
  std::string description;
};

// The fixed number of a device name, or 0 when the name has no fixed number.
int FixedPortNumber(std::string_view sysname);
// The device name of a fixed number ("ttyACM2" for 203), or empty outside 1..400.
std::string FixedPortName(int number);
// Numbers for every device, sorted by number. Devices that would need a number above 900 are
// left out; duplicate names keep the first.
std::vector<NumberedPort> NumberPorts(std::vector<TtyDeviceInfo> devices);
// Splits a colon-separated list of device paths, dropping empty pieces.
std::vector<std::string> SplitPortPaths(std::string_view text);

}  // namespace kavu
