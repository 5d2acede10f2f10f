#include "sim/simlib_location.h"

#include <cstdlib>
#include <filesystem>

#include "platform/user_paths.h"

namespace kavu::sim {

std::string SimLibFolderFor(const std::string& env_value, const std::string& exe_dir) {
  if (!env_value.empty()) return env_value;
  namespace fs = std::filesystem;
  const fs::path installed = (fs::path(exe_dir) / KAVU_SIMLIB_FROM_BINDIR).lexically_normal();
  std::error_code ec;
  if (fs::is_regular_file(installed / kSimLibFileName, ec)) {
    std::string folder = installed.string();
    if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
  }
  return BuildTreeSimLibFolder();
}

std::string SimLibFolder() {
  const char* env = std::getenv("KAVU_SIMLIB_DIR");
  return SimLibFolderFor(env ? env : "", ExecutableDir());
}

std::string BuildTreeSimLibFolder() { return KAVU_SIMLIB_DIR; }

}  // namespace kavu::sim
