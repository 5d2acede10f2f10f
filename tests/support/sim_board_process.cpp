#include "support/sim_board_process.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/run_command.h"

namespace kavu::test {

SimBoardProcess::SimBoardProcess(const std::string& link, const std::string& config_home,
                                 const std::vector<std::string>& extra) {
  const std::string cli = CliPath();
  std::vector<std::string> args{cli, "sim-board", "--quiet", "--link", link};
  args.insert(args.end(), extra.begin(), extra.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int out[2];
  if (::pipe(out) != 0) return;
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(out[1], 1);
    ::close(out[0]);
    if (!config_home.empty()) ::setenv("XDG_CONFIG_HOME", config_home.c_str(), 1);
    ::execv(cli.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  stdout_ = ::fdopen(out[0], "r");
  char line[256];
  if (stdout_ && std::fgets(line, sizeof line, stdout_)) first_line_ = line;
}

SimBoardProcess::~SimBoardProcess() {
  if (pid_ > 0) Stop();
  if (stdout_) std::fclose(stdout_);
}

int SimBoardProcess::Stop(std::string* rest) {
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

}  // namespace kavu::test
