// `kavusdraa-cli scan` without --range scans the range text the program keeps; --range is for
// that scan only.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/settings_store.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace kavu::test {
namespace {

TEST(CliScanRange, TheStoredRangeTextIsTheDefaultAndRangeIsNotStored) {
  TempDir dir;
  const std::string cfg = dir.Path() + "/cfg";
  const std::string ini = cfg + "/KavuPublicSoft/KavuAntIzmSdr/AntIzmSdr_2021.ini";
  const std::vector<std::string> env = {"HOME=" + dir.Path(), "XDG_CONFIG_HOME=" + cfg};
  {
    SettingsStore store(ini);
    ASSERT_TRUE(store.WriteProfileString("ODlgSpektr", "m_ScanDia", "140,5-141 0,5"));
  }
  CommandResult r = RunCommand({CliPath(), "scan", "--sim", "50"}, env, 90);
  ASSERT_EQ(r.exit_status, 0) << r.err;
  std::vector<ScanRow> rows = ScanRows(r.out);
  ASSERT_EQ(rows.size(), 2u) << r.out;
  EXPECT_DOUBLE_EQ(rows[0].mhz, 140.5);
  EXPECT_DOUBLE_EQ(rows[1].mhz, 141.0);

  r = RunCommand({CliPath(), "scan", "--sim", "50", "--range", "145-145 1"}, env, 90);
  ASSERT_EQ(r.exit_status, 0) << r.err;
  rows = ScanRows(r.out);
  ASSERT_EQ(rows.size(), 1u) << r.out;
  EXPECT_DOUBLE_EQ(rows[0].mhz, 145.0);
  SettingsStore after(ini);
  EXPECT_EQ(after.GetProfileString("ODlgSpektr", "m_ScanDia", ""), "140,5-141 0,5");

  // A text without any range: the program's own error box text, nothing scanned.
  r = RunCommand({CliPath(), "scan", "--sim", "50", "--range", "abc"}, env, 90);
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_NE(r.err.find("Не понятен диапазон частот сканирования!"), std::string::npos) << r.err;
  EXPECT_TRUE(ScanRows(r.out).empty()) << r.out;
}

}  // namespace
}  // namespace kavu::test
