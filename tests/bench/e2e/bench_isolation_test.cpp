// The runner gives each benchmark a process of its own: a memory figure is that benchmark's.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdlib>

#include "support/run_command.h"

namespace kavu::bench {
namespace {

const std::string kExe = KAVU_BENCH_EXE;

// The value of the `name: value` line, or -1 when there is none.
double Figure(const std::string& out, const std::string& name) {
  const std::string text = "\n" + out;
  const size_t at = text.find("\n" + name + ": ");
  return at == std::string::npos ? -1 : std::strtod(text.c_str() + at + name.size() + 3, nullptr);
}

TEST(BenchIsolationTest, ScanPeakMemoryIsTheSameAfterAHungrierBenchmark) {
  // ring_deliver first, alone: the largest child so far is it (ctest runs this test in a fresh
  // process), its peak in MB.
  const test::CommandResult ring = test::RunCommand({kExe, "--here", "ring_deliver"}, {}, 120);
  ASSERT_EQ(ring.exit_status, 0) << ring.err;
  rusage children{};
  getrusage(RUSAGE_CHILDREN, &children);
  const double ringMb = static_cast<double>(children.ru_maxrss) / 1024.0;

  const test::CommandResult alone = test::RunCommand({kExe, "scan"}, {}, 120);
  ASSERT_EQ(alone.exit_status, 0) << alone.err;
  const double aloneMb = Figure(alone.out, "scan_peak_rss_mb");
  ASSERT_GT(aloneMb, 0) << alone.out;
  // Otherwise this test could not tell a shared process from separate ones: pick another.
  ASSERT_GT(ringMb, aloneMb * 1.25 + 5) << "ring_deliver no longer uses more memory than scan";

  const test::CommandResult both = test::RunCommand({kExe, "ring_deliver", "scan"}, {}, 240);
  ASSERT_EQ(both.exit_status, 0) << both.err;
  EXPECT_GT(Figure(both.out, "ring_deliver_ns_per_sample"), 0) << both.out;
  const double afterMb = Figure(both.out, "scan_peak_rss_mb");
  EXPECT_GT(afterMb, aloneMb * 0.75) << both.out;
  EXPECT_LT(afterMb, aloneMb * 1.25 + 5) << "ring_deliver's " << ringMb << " MB counted\n" << both.out;
}

}  // namespace
}  // namespace kavu::bench
