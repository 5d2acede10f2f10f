#include "board/port_list.h"

#include <cstdlib>
#include <mutex>

#include "platform/port_list_udev.h"
#include "shell/kavu_timer.h"
#include "shell/log_console.h"
#include "shell/settings_store.h"

namespace kavu {
namespace {

std::mutex g_scanner_mutex;
TtyScanner g_scanner;

std::vector<TtyDeviceInfo> Scan() {
  TtyScanner scanner;
  {
    std::lock_guard lock(g_scanner_mutex);
    scanner = g_scanner;
  }
  return scanner ? scanner() : ScanTtyDevices();
}

std::string EntryText(const std::string& description, const std::string& path) {
  return description.empty() ? path : description + " (" + path + ")";
}

}  // namespace

const PortListEntry* PortList::Find(int number) const {
  for (const PortListEntry& e : entries) {
    if (e.number == number) return &e;
  }
  return nullptr;
}

int PortList::PortCount() const {
  int n = 0;
  for (const PortListEntry& e : entries) n += e.number > 0 ? 1 : 0;
  return n;
}

std::vector<std::string> ExtraPortPaths() {
  std::vector<std::string> out;
  const auto add = [&out](std::string_view text) {
    for (std::string& p : SplitPortPaths(text)) {
      bool seen = false;
      for (const std::string& q : out) seen = seen || q == p;
      if (!seen) out.push_back(std::move(p));
    }
  };
  add(Settings().GetProfileString("OSerialPortSelector", "m_ExtraPorts", ""));
  if (const char* env = std::getenv("KAVU_EXTRA_PORTS")) add(env);
  return out;
}

PortList MakePortList(std::vector<TtyDeviceInfo> devices, const std::vector<std::string>& extras) {
  PortList list;
  size_t pool = 0;
  const auto add = [&](int number, std::string text, std::string path) {
    if (list.entries.size() >= PortList::kMaxEntries) return;
    if (pool + text.size() + 1 > PortList::kTextPoolBytes) return;
    pool += text.size() + 1;
    list.entries.push_back({number, std::move(text), std::move(path)});
  };
  for (NumberedPort& p : NumberPorts(std::move(devices))) {
    std::string text = EntryText(p.description, p.path);
    add(p.number, std::move(text), std::move(p.path));
  }
  int number = kFirstExtraPortNumber;
  for (const std::string& path : extras) add(number++, path, path);
  if (list.entries.size() < PortList::kMaxEntries) {
    list.entries.push_back({kNetworkPortNumber, kNetworkPortText, ""});
  }
  return list;
}

void SetTtyScannerForTests(TtyScanner scanner) {
  std::lock_guard lock(g_scanner_mutex);
  g_scanner = std::move(scanner);
}

PortList BuildPortList() {
  CKavuTimer1 timer;
  PortList list = MakePortList(Scan(), ExtraPortPaths());
  Log() << "Вижу " << list.PortCount() << " COM-портов, время опроса списка "
        << timer.Elapsed() * 1000.0 << " мс \n";
  return list;
}

std::string PortPathForNumber(int number) {
  if (number <= 0) return {};
  if (number < kFirstOtherPortNumber) return "/dev/" + FixedPortName(number);
  const PortList list = MakePortList(number < kFirstExtraPortNumber ? Scan() : std::vector<TtyDeviceInfo>{},
                                     ExtraPortPaths());
  const PortListEntry* e = list.Find(number);
  return e ? e->path : std::string();
}

}  // namespace kavu
