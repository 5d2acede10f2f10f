// kavusdraa-bench [PREFIX]: runs every registered benchmark whose name starts with PREFIX.
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "bench_registry.h"
#include "platform/number_text.h"
#include "shell/log_console.h"

namespace kavu::bench {
namespace {
std::vector<std::pair<const char*, BenchFn>>& All() {
  static std::vector<std::pair<const char*, BenchFn>> all;
  return all;
}
}  // namespace

BenchRegistrar::BenchRegistrar(const char* name, BenchFn fn) { All().emplace_back(name, fn); }

void BenchPrint(const std::string& name, double value) {
  std::printf("%s: %s\n", name.c_str(), FormatG(value, 6).c_str());
  std::fflush(stdout);
}

}  // namespace kavu::bench

int main(int argc, char** argv) {
  kavu::Log().SetSink(kavu::OLogConsole::Sink::None);
  const std::string prefix = argc > 1 ? argv[1] : "";
  int ran = 0;
  for (const auto& [name, fn] : kavu::bench::All()) {
    if (std::strncmp(name, prefix.c_str(), prefix.size()) != 0) continue;
    fn();
    ++ran;
  }
  if (ran == 0) {
    std::fprintf(stderr, "kavusdraa-bench: no benchmark matches \"%s\"\n", prefix.c_str());
    return 1;
  }
  return 0;
}
