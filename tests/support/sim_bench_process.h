#pragma once
// `kavusdraa-cli sim-bench ARGS...` in a child process, as a user starts it before the program:
// its standard input is a pipe held here (closing it ends the bench), its standard error goes to
// a file, and the environment it prints is parsed for the programs run next.
#include <sys/types.h>

#include <string>
#include <vector>

namespace kavu::test {

class SimBenchProcess {
 public:
  // Starts the bench and reads its printed environment, waiting up to `timeout_s` for the line
  // that says it is ready. `log_file`: where its standard error goes (empty: /dev/null); `env`:
  // extra "NAME=VALUE" entries for its environment.
  SimBenchProcess(const std::vector<std::string>& args, const std::string& log_file, double timeout_s = 20,
                  const std::vector<std::string>& env = {});
  ~SimBenchProcess();
  SimBenchProcess(const SimBenchProcess&) = delete;
  SimBenchProcess& operator=(const SimBenchProcess&) = delete;

  bool Ready() const { return ready_; }
  // The printed environment as "NAME=VALUE" entries (for RunCommand), and one value by name.
  const std::vector<std::string>& Env() const { return env_; }
  std::string Value(const std::string& name) const;
  // Everything it printed on standard output until ready.
  const std::string& Printed() const { return printed_; }

  // Sends `signal` (0: none) and closes its standard input, then waits up to 10 s for it to end
  // (then kills it). Its exit status, or -1 when it was killed or never ran.
  int Stop(int signal = 0);
  // Kills it at once (SIGKILL), as a crash would; it cleans nothing up.
  void Kill();

 private:
  void CloseInput();

  pid_t pid_ = -1;
  int stdin_fd_ = -1;
  bool ready_ = false;
  std::string printed_;
  std::vector<std::string> env_;
};

}  // namespace kavu::test
