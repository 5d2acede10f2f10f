#include "support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "shell/settings_store.h"

namespace kavu::test {

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "kavu-test-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

ScopedSettings::ScopedSettings() : previous_(Settings().Path()) { UseSettingsFile(Path()); }
ScopedSettings::~ScopedSettings() { UseSettingsFile(previous_); }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

}  // namespace kavu::test
