// The runner gives each benchmark a process of its own: a memory figure is that benchmark's.
#include <gtest/gtest.h>

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

TEST(BenchIsolationTest, ScanPeakMemoryIsTheScansOwnWhateverRanBefore) {
  // The runner holds 400 MB itself while it runs ring_deliver and then scan: a scan measured in
  // the runner's process, or after ring_deliver in one process, would report at least that.
  // The scan's own peak stays far below it however loaded the host is (about 60 MB idle).
  constexpr double kBallastMb = 400;
  const test::CommandResult both = test::RunCommand({kExe, "ring_deliver", "scan"},
                                                    {"KAVU_BENCH_BALLAST_MB=400"}, 240);
  ASSERT_EQ(both.exit_status, 0) << both.err;
  EXPECT_GT(Figure(both.out, "ring_deliver_ns_per_sample"), 0) << both.out;
  const double scanMb = Figure(both.out, "scan_peak_rss_mb");
  EXPECT_GT(scanMb, 5) << both.out;
  EXPECT_LT(scanMb, kBallastMb * 0.75) << "the runner's memory counted in the scan's\n" << both.out;
}

}  // namespace
}  // namespace kavu::bench
