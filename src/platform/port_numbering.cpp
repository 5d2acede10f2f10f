#include "platform/port_numbering.h"

#include <algorithm>
#include <charconv>
#include <set>

namespace kavu {
namespace {

struct Family {
  const char* prefix;
  int base;
};
constexpr Family kFamilies[] = {{"ttyS", 1}, {"ttyUSB", 101}, {"ttyACM", 201}, {"rfcomm", 301}};

}  // namespace

int FixedPortNumber(std::string_view sysname) {
  for (const Family& f : kFamilies) {
    const std::string_view prefix(f.prefix);
    if (sysname.size() <= prefix.size() || sysname.substr(0, prefix.size()) != prefix) continue;
    const std::string_view digits = sysname.substr(prefix.size());
    if (digits.size() > 2 || (digits.size() == 2 && digits[0] == '0')) return 0;
    int n = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (ec != std::errc() || end != digits.data() + digits.size()) return 0;
    return f.base + n;
  }
  return 0;
}

std::string FixedPortName(int number) {
  if (number < 1 || number >= kFirstOtherPortNumber) return {};
  const Family& f = kFamilies[(number - 1) / 100];
  return f.prefix + std::to_string((number - 1) % 100);
}

std::vector<NumberedPort> NumberPorts(std::vector<TtyDeviceInfo> devices) {
  std::sort(devices.begin(), devices.end(),
            [](const TtyDeviceInfo& a, const TtyDeviceInfo& b) { return a.sysname < b.sysname; });
  std::vector<NumberedPort> out;
  std::set<std::string> seen;
  int next_other = kFirstOtherPortNumber;
  for (TtyDeviceInfo& d : devices) {
    if (!seen.insert(d.sysname).second) continue;
    int number = FixedPortNumber(d.sysname);
    if (number == 0) {
      if (next_other > kLastOtherPortNumber) continue;
      number = next_other++;
    }
    out.push_back({number, std::move(d.devnode), std::move(d.description)});
  }
  std::sort(out.begin(), out.end(),
            [](const NumberedPort& a, const NumberedPort& b) { return a.number < b.number; });
  return out;
}

std::vector<std::string> SplitPortPaths(std::string_view text) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(':', start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) out.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

}  // namespace kavu
