// kavusdraa-cli service against kavusdraa-cli sim-board, run as a user would.
#include <gtest/gtest.h>

#include <string>

#include "support/run_command.h"
#include "support/sim_board_process.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

TEST(CliServiceTest, TestsOfTheServiceMenuOnTheEmulatedBoard) {
  test::TempDir dir;
  const std::string link = dir.File("board");
  test::SimBoardProcess sim(link, dir.Path());
  ASSERT_EQ(sim.FirstLine().rfind("device: /dev/pts/", 0), 0u) << sim.FirstLine();
  const std::vector<std::string> env{"KAVU_EXTRA_PORTS=" + link, "XDG_CONFIG_HOME=" + dir.Path()};
  const std::string cli = test::CliPath();

  auto r = test::RunCommand({cli, "service", "--port", "901", "i2c-scan"}, env);
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out, "acknowledged: C0\n");
  r = test::RunCommand({cli, "service", "--port", "901", "cs-off"}, env);
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_NE(r.out.find("timer reads: 10\n"), std::string::npos) << r.out;
  r = test::RunCommand({cli, "service", "--port", "901", "spi-byte"}, env);
  EXPECT_EQ(r.out, "sent C1, received FF\n");
  r = test::RunCommand({cli, "service", "--port", "901", "pwm", "on"}, env);
  EXPECT_EQ(r.exit_status, 0) << r.err;
  r = test::RunCommand({cli, "service", "--port", "901", "calibr"}, env);
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("V0=", 0), 0u) << r.out;

  EXPECT_EQ(test::RunCommand({cli, "service", "--port", "901", "cs", "7"}, env).exit_status, 2);
  EXPECT_EQ(test::RunCommand({cli, "service", "--port", "901"}, env).exit_status, 2);
  EXPECT_EQ(test::RunCommand({cli, "service", "--port", "907", "i2c-scan"}, env).exit_status, 1);
}

}  // namespace
}  // namespace kavu
