#include "support/bench_evidence.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace kavu::test {

std::vector<std::string> BenchEvidence::With(std::vector<std::string> env) const {
  env.push_back(Env());
  return env;
}

BenchEvidence::~BenchEvidence() {
  if (!::testing::Test::HasFailure()) return;
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  if (!info) return;
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  const std::string folder = std::string(KAVU_BINARY_DIR) + "/e2e-evidence/" + name;
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  std::filesystem::copy(dir_.Path(), folder,
                        std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing, ec);
  if (!ec) std::fprintf(stderr, "bench evidence written to %s\n", folder.c_str());
}

}  // namespace kavu::test
