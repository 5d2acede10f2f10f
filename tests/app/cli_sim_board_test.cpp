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
#include "support/temp_dir.h"

namespace kavu {
namespace {

// Starts `kavusdraa-cli sim-board --link LINK` and reads its first line.
class SimBoardProcess {
 public:
  explicit SimBoardProcess(const std::string& link) {
    int out[2];
    if (::pipe(out) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], 1);
      ::close(out[0]);
      const std::string cli = test::CliPath();
      ::execl(cli.c_str(), cli.c_str(), "sim-board", "--quiet", "--link", link.c_str(), nullptr);
      ::_exit(127);
    }
    ::close(out[1]);
    stdout_ = ::fdopen(out[0], "r");
    char line[256];
    if (stdout_ && std::fgets(line, sizeof line, stdout_)) first_line_ = line;
  }
  ~SimBoardProcess() {
    if (pid_ > 0) Stop();
    if (stdout_) std::fclose(stdout_);
  }
  // Interrupts it; returns its exit status and the rest of its output.
  int Stop(std::string* rest = nullptr) {
    if (pid_ <= 0) return -1;  // never started: nothing to signal
    ::kill(pid_, SIGINT);
    char line[256];
    while (stdout_ && std::fgets(line, sizeof line, stdout_)) {
      if (rest) *rest += line;
    }
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  const std::string& FirstLine() const { return first_line_; }

 private:
  pid_t pid_ = -1;
  std::FILE* stdout_ = nullptr;
  std::string first_line_;
};

TEST(CliSimBoardTest, LinkIsListedAsPort901UntilInterrupted) {
  test::TempDir dir;
  const std::string link = dir.File("board");
  SimBoardProcess sim(link);
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
