// kavusdraa-bench: runs the registered benchmarks (bench_args.h describes the command line).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench_args.h"
#include "bench_process.h"
#include "bench_registry.h"
#include "shell/log_console.h"

int main(int argc, char** argv) {
  using namespace kavu::bench;
  kavu::Log().SetSink(kavu::OLogConsole::Sink::None);
  const std::vector<std::string> names = BenchNames();
  const BenchArgs args = ParseBenchArgs(std::vector<std::string>(argv + 1, argv + argc), names);
  switch (args.action) {
    case BenchArgs::kHelp:
      std::fputs(BenchHelpText(names).c_str(), stdout);
      return 0;
    case BenchArgs::kList:
      for (const std::string& name : names) std::printf("%s\n", name.c_str());
      return 0;
    case BenchArgs::kError:
      std::fprintf(stderr, "kavusdraa-bench: %s\n", args.error.c_str());
      return 2;
    case BenchArgs::kRunHere:
      return RunBenchHere(args.selected.front()) ? 0 : 1;
    case BenchArgs::kRun:
      break;
  }
  // KAVU_BENCH_BALLAST_MB=N: the runner itself holds N MB, touched, while its benchmarks run.
  // Each benchmark runs in a process of its own, so none of its memory figures may show it.
  std::unique_ptr<char[]> ballast;
  if (const char* mb = std::getenv("KAVU_BENCH_BALLAST_MB"); mb != nullptr && std::atol(mb) > 0) {
    const size_t bytes = static_cast<size_t>(std::atol(mb)) << 20;
    ballast = std::make_unique<char[]>(bytes);
    std::memset(ballast.get(), 1, bytes);
  }
  int failed = 0;
  for (const std::string& name : args.selected) {
    // The running program itself, even when its file was rebuilt meanwhile.
    const std::string why = RunBenchInChild("/proc/self/exe", name);
    if (why.empty()) continue;
    std::fprintf(stderr, "kavusdraa-bench: benchmark %s failed (%s)\n", name.c_str(), why.c_str());
    ++failed;
  }
  return failed == 0 ? 0 : 1;
}
