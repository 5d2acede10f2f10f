// kavusdraa-cli gen against kavusdraa-cli sim-board, run as a user would: the emulated board's
// Si5351 model ends up making the frequency asked for.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "support/run_command.h"
#include "support/sim_board_process.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

TEST(CliGenTest, SetsTheEmulatedBoardsGenerator) {
  test::TempDir dir;
  const std::string link = dir.File("board");
  test::SimBoardProcess sim(link, dir.Path());
  ASSERT_EQ(sim.FirstLine().rfind("device: /dev/pts/", 0), 0u) << sim.FirstLine();
  const std::vector<std::string> env{"KAVU_EXTRA_PORTS=" + link, "XDG_CONFIG_HOME=" + dir.Path()};

  auto r = test::RunCommand({test::CliPath(), "gen", "--port", "901", "--freq", "434"}, env);
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_NE(r.out.find("generator: Si5351A, вых. CLK0\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("harmonic 3, mode 1)"), std::string::npos) << r.out;

  r = test::RunCommand({test::CliPath(), "gen", "--port", "901", "--freq", "0.001"}, env);
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_NE(r.err.find("kavusdraa-cli gen: InitAllGens() - SetGenFManual() вернула ошибку !!!\n"
                       "частота 0.001 МГц вне возможностей Si5351"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(test::ReadFile(dir.Path() + "/KavuPublicSoft/KavuAntIzmSdr/AntIzmSdr_2021.ini")
                .find("m_PortSelect_0"),
            std::string::npos);  // the saved port is left alone without --save

  r = test::RunCommand({test::CliPath(), "gen", "--port", "901", "--freq", "14.2", "--save"}, env);
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_NE(r.out.find("set: 14.200000054 MHz (fundamental 14.200000054 MHz, harmonic 1, mode 0)\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(test::ReadFile(dir.Path() + "/KavuPublicSoft/KavuAntIzmSdr/AntIzmSdr_2021.ini")
                .find("m_PortSelect_0=901"),
            std::string::npos);

  std::string rest;
  sim.Stop(&rest);
  EXPECT_NE(rest.find("si5351_clk0_hz: 14200000.05"), std::string::npos) << rest;
}

TEST(CliGenTest, BadArgumentsAndMissingPort) {
  test::TempDir dir;
  const std::vector<std::string> env{"XDG_CONFIG_HOME=" + dir.Path(),
                                     "KAVU_EXTRA_PORTS=" + dir.File("nothing")};
  EXPECT_EQ(test::RunCommand({test::CliPath(), "gen", "--port", "901"}, env).exit_status, 2);
  EXPECT_EQ(test::RunCommand({test::CliPath(), "gen", "--port", "x", "--freq", "1"}, env).exit_status, 2);
  EXPECT_EQ(test::RunCommand({test::CliPath(), "gen", "--port", "901", "--freq", "-1"}, env).exit_status, 2);
  const auto r = test::RunCommand({test::CliPath(), "gen", "--port", "901", "--freq", "10"}, env);
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_NE(r.err.find("kavusdraa-cli gen: "), std::string::npos) << r.err;
}

}  // namespace
}  // namespace kavu
