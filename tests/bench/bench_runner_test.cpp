// kavusdraa-bench run as a user would: its listing, its errors and its child processes.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>

#include "bench_process.h"
#include "support/run_command.h"

namespace kavu::bench {
namespace {

const std::string kExe = KAVU_BENCH_EXE;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(BenchRunnerTest, ListHelpAndUnknownNamesAgreeOnEveryBenchmark) {
  const test::CommandResult list = test::RunCommand({kExe, "--list"});
  ASSERT_EQ(list.exit_status, 0) << list.err;
  const std::vector<std::string> names = Lines(list.out);
  for (const char* expected : {"scan", "fft", "chain", "serial_wait", "window_stall", "web"}) {
    EXPECT_NE(std::find(names.begin(), names.end(), expected), names.end()) << expected << "\n" << list.out;
  }
  const test::CommandResult help = test::RunCommand({kExe, "--help"});
  EXPECT_EQ(help.exit_status, 0) << help.err;
  EXPECT_NE(help.out.find("kavusdraa-bench [NAME...]"), std::string::npos) << help.out;
  const test::CommandResult unknown = test::RunCommand({kExe, "scan", "no_such_bench"});
  EXPECT_EQ(unknown.exit_status, 2);
  EXPECT_TRUE(unknown.out.empty()) << "a benchmark ran: " << unknown.out;
  EXPECT_NE(unknown.err.find("\"no_such_bench\""), std::string::npos) << unknown.err;
  for (const std::string& name : names) {
    EXPECT_NE(help.out.find("\n  " + name + "\n"), std::string::npos) << name;
    EXPECT_NE(unknown.err.find(name), std::string::npos) << name << ": " << unknown.err;
  }
  const test::CommandResult two = test::RunCommand({kExe, "--here", "scan", "fft"});
  EXPECT_EQ(two.exit_status, 2);
  EXPECT_NE(two.err.find("exactly one"), std::string::npos) << two.err;
}

TEST(BenchRunnerTest, AChildThatFailsOrCannotStartIsReported) {
  // The runner's child is `EXE --here NAME`: a name that is none is a usage error there.
  EXPECT_EQ(RunBenchInChild(kExe, "no_such_bench"), "exit status 2");
  EXPECT_EQ(RunBenchInChild("/nonexistent/kavusdraa-bench", "scan"), "could not start /nonexistent/kavusdraa-bench");
}

TEST(BenchRunnerTest, PeakResidentMemoryFollowsTouchedPages) {
  const long before = PeakResidentKib();
  ASSERT_GT(before, 0);
  // More than the peak so far, so the peak must rise whatever this process held before.
  const size_t bytes = static_cast<size_t>(before) * 1024 + (32u << 20);
  const auto block = std::make_unique<char[]>(bytes);
  volatile char* pages = block.get();
  for (size_t i = 0; i < bytes; i += 4096) pages[i] = 1;  // every page written: resident
  EXPECT_GE(PeakResidentKib(), static_cast<long>(bytes / 1024)) << "before " << before;
}

}  // namespace
}  // namespace kavu::bench
