#pragma once
// `kavusdraa-cli sim-board --quiet --link LINK` in a child process, as a user would start it.
#include <sys/types.h>

#include <cstdio>
#include <string>
#include <vector>

namespace kavu::test {

class SimBoardProcess {
 public:
  // Starts the board and reads its first line ("device: /dev/pts/N"). A non-empty `config_home`
  // becomes the child's XDG_CONFIG_HOME; `extra` are further sim-board arguments.
  explicit SimBoardProcess(const std::string& link, const std::string& config_home = "",
                           const std::vector<std::string>& extra = {});
  ~SimBoardProcess();
  SimBoardProcess(const SimBoardProcess&) = delete;
  SimBoardProcess& operator=(const SimBoardProcess&) = delete;

  // Interrupts it; returns its exit status (-1 when it never started or did not exit normally)
  // and, when asked, the rest of its output.
  int Stop(std::string* rest = nullptr);
  const std::string& FirstLine() const { return first_line_; }

 private:
  pid_t pid_ = -1;
  std::FILE* stdout_ = nullptr;
  std::string first_line_;
};

}  // namespace kavu::test
