#include "bench_registry.h"

#include <cstdio>
#include <utility>

#include "bench_process.h"
#include "platform/number_text.h"

namespace kavu::bench {
namespace {

std::vector<std::pair<std::string, BenchFn>>& All() {
  static std::vector<std::pair<std::string, BenchFn>> all;
  return all;
}

bool& Failed() {
  static bool failed = false;
  return failed;
}

}  // namespace

BenchRegistrar::BenchRegistrar(const char* name, BenchFn fn) { All().emplace_back(name, fn); }

std::vector<std::string> BenchNames() {
  std::vector<std::string> names;
  for (const auto& entry : All()) names.push_back(entry.first);
  return names;
}

bool RunBenchHere(const std::string& name) {
  for (const auto& [n, fn] : All()) {
    if (n != name) continue;
    Failed() = false;
    fn();
    std::fflush(stdout);
    return !Failed();
  }
  return false;
}

void BenchPrint(const std::string& name, double value) {
  std::printf("%s: %s\n", name.c_str(), FormatG(value, 6).c_str());
  std::fflush(stdout);
}

void BenchFailed(const std::string& why) {
  std::fprintf(stderr, "kavusdraa-bench: %s\n", why.c_str());
  Failed() = true;
}

double PeakResidentMb() { return static_cast<double>(PeakResidentKib()) / 1024.0; }

}  // namespace kavu::bench
