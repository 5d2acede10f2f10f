// `kavusdraa-cli scan --sim-set rx=extio-...`: the bench's simulated plug-in chosen from the
// command line, the receivers listed by sim-list, and an unknown receiver refused.
#include <gtest/gtest.h>

#include <cmath>

#include "support/run_command.h"
#include "support/temp_dir.h"

namespace kavu::test {
namespace {

TEST(CliScanExtIO, ScansThroughThePluginNamedOnTheCommandLine) {
  TempDir dir;
  const std::vector<std::string> env = {"HOME=" + dir.Path(), "XDG_CONFIG_HOME=" + dir.Path() + "/cfg"};
  const CommandResult r = RunCommand({CliPath(), "scan", "--sim", "150+75j", "--range", "145-146 0.5",
                                      "--sim-set", "rx=extio-uchar", "--sim-set", "seed=4"},
                                     env, 60);
  ASSERT_EQ(r.exit_status, 0) << r.err;
  const std::vector<ScanRow> rows = ScanRows(r.out);
  ASSERT_EQ(rows.size(), 3u) << r.out;
  const double tol = 0.005 * std::hypot(150, 75) + 0.2;
  for (const ScanRow& row : rows) {
    EXPECT_NEAR(row.r, 150, tol) << row.mhz;
    EXPECT_NEAR(row.x, 75, tol) << row.mhz;
  }
  EXPECT_NE(r.out.find("ExtIO_KavuSim"), std::string::npos) << r.out;  // the saved file's name

  const CommandResult bad = RunCommand({CliPath(), "scan", "--sim", "50", "--sim-set", "rx=extio-int24"}, env, 30);
  EXPECT_EQ(bad.exit_status, 2);
  EXPECT_NE(bad.err.find("rx: неизвестный приёмник 'extio-int24', ожидалось rtlsdr hackrf extio-int16 extio-float "
                         "extio-uchar"),
            std::string::npos)
      << bad.err;

  const CommandResult list = RunCommand({CliPath(), "sim-list"}, env, 30);
  ASSERT_EQ(list.exit_status, 0) << list.err;
  for (const char* name : {"rtlsdr", "extio-int16", "extio-float", "extio-uchar"}) {
    EXPECT_NE(list.out.find(std::string("  ") + name + " "), std::string::npos) << name << "\n" << list.out;
  }
}

}  // namespace
}  // namespace kavu::test
