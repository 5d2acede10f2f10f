// kavusdraa-cli sim-board and ports, run as a user would: the emulated board's link appears as
// port 901 in the port list.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "support/run_command.h"
#include "support/sim_board_process.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

TEST(CliSimBoardTest, LinkIsListedAsPort901UntilInterrupted) {
  test::TempDir dir;
  const std::string link = dir.File("board");
  test::SimBoardProcess sim(link);
  ASSERT_EQ(sim.FirstLine().rfind("device: /dev/pts/", 0), 0u) << sim.FirstLine();
  struct stat st {};
  ASSERT_EQ(::lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));

  const auto ports = test::RunCommand({test::CliPath(), "ports"},
                                      {"KAVU_EXTRA_PORTS=" + link, "XDG_CONFIG_HOME=" + dir.Path()});
  EXPECT_EQ(ports.exit_status, 0) << ports.err;
  EXPECT_NE(ports.out.find("901\t" + link + "\t" + link + "\n"), std::string::npos) << ports.out;
  EXPECT_NE(ports.out.find("-33\t-\tсеть - андрод_otg\n"), std::string::npos) << ports.out;

  std::string rest;
  EXPECT_EQ(sim.Stop(&rest), 0);
  EXPECT_NE(rest.find("commands: 0\n"), std::string::npos) << rest;
  EXPECT_NE(::lstat(link.c_str(), &st), 0);  // the link is gone with the board
}

TEST(CliSimBoardTest, BadArgumentsAreRefused) {
  const auto r = test::RunCommand({test::CliPath(), "sim-board", "--fault", "melt"});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_NE(r.err.find("--fault needs"), std::string::npos) << r.err;
  const auto p = test::RunCommand({test::CliPath(), "ports", "extra"});
  EXPECT_EQ(p.exit_status, 1);
}

}  // namespace
}  // namespace kavu
