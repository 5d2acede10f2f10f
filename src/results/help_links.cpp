#include "results/help_links.h"

#include <unistd.h>

#include <filesystem>

#include "shell/settings_store.h"

namespace kavu {

std::string HelpButtonSuffix() { return "B"; }

std::string HelpF1Suffix(int context_type, int control_id, int context_id, int x, int y) {
  return "HI&" + std::to_string(context_type) + "," + std::to_string(control_id) + "," +
         std::to_string(context_id) + ";" + std::to_string(x) + "," + std::to_string(y);
}

std::vector<std::string> ReadmeCandidates() {
  std::vector<std::string> out;
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    const auto dir = exe.parent_path();
    out.push_back((dir / "README.md").string());
    out.push_back((dir.parent_path() / "share/doc/kavusdraa/README.md").string());
    out.push_back((dir.parent_path().parent_path().parent_path() / "README.md").string());  // build/src/app
  }
  return out;
}

std::string HelpAddress(const std::string& base, const std::string& topic, const std::string& suffix) {
  if (!base.empty()) {
    std::string b = base;
    while (!b.empty() && b.back() == '/') b.pop_back();
    return b + "/KavuSdrAA/Prog1/Help/" + topic + "/" + suffix;
  }
  for (const auto& path : ReadmeCandidates()) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec)) {
      return "file://" + std::filesystem::weakly_canonical(path, ec).string();
    }
  }
  return "";
}

std::string HelpBase() { return Settings().GetProfileString("Help", "m_HelpBase", ""); }

}  // namespace kavu
