#include "support/run_command.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <optional>
#include <sstream>

namespace kavu::test {

[[noreturn]] void ExecWith(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
  for (const auto& e : env) putenv(strdup(e.c_str()));
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  execv(args[0], args.data());
  _exit(127);
}

std::string CliPath() { return std::string(KAVU_BINARY_DIR) + "/src/app/kavusdraa-cli"; }

CommandResult RunCommand(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                         double timeout_s) {
  return RunCommandThen(argv, env, timeout_s, "", 0, nullptr);
}

CommandResult RunCommandSignalled(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                                  double timeout_s, int signal, const std::string& when_err_has, double delay_s) {
  return RunCommandThen(argv, env, timeout_s, when_err_has, delay_s,
                        [signal](int pid) { kill(static_cast<pid_t>(pid), signal); });
}

CommandResult RunCommandThen(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                             double timeout_s, const std::string& when_err_has, double delay_s,
                             const std::function<void(int pid)>& action) {
  CommandResult r;
  bool signalled = !action;
  std::optional<std::chrono::steady_clock::time_point> send_at;
  int out_pipe[2], err_pipe[2];
  if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0) return r;
  const pid_t pid = fork();
  if (pid < 0) return r;
  if (pid == 0) {
    // A group of its own, joined to this process: when the group this test runs in loses its
    // last member with a parent outside it (a shell that started the tests and went on), the
    // system hangs up every member of that group that is stopped at the time — a test that
    // stops its child on purpose would see it end with SIGHUP.
    setpgid(0, 0);
    const int null = open("/dev/null", O_RDONLY);
    dup2(null, 0);
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    close(out_pipe[0]);
    close(err_pipe[0]);
    ExecWith(argv, env);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<int>(timeout_s * 1000));
  pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&r.out, &r.err};
  int open_fds = 2;
  bool killed = false;
  while (open_fds > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) {
      kill(pid, SIGKILL);
      killed = true;
      break;
    }
    if (!signalled && send_at && std::chrono::steady_clock::now() >= *send_at) {
      action(pid);
      signalled = true;
    }
    if (poll(fds, 2, static_cast<int>(send_at && !signalled ? std::min<int64_t>(left, 20) : left)) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
      char buf[65536];
      const ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        sinks[i]->append(buf, static_cast<size_t>(n));
        if (!signalled && !send_at && r.err.find(when_err_has) != std::string::npos) {
          send_at = std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<int>(delay_s * 1000));
        }
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_fds;
      }
    }
  }
  for (auto& f : fds) {
    if (f.fd >= 0) close(f.fd);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  r.exit_status = (!killed && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
  return r;
}

std::vector<ScanRow> ScanRows(const std::string& out) {
  std::vector<ScanRow> rows;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    ScanRow r;
    if (std::sscanf(line.c_str(), "%lf\t%lf\t%lf\t%lf", &r.mhz, &r.r, &r.x, &r.swr) == 4) rows.push_back(r);
  }
  return rows;
}

std::string RunOnTerminal(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                          const std::string& out_file) {
  int master = -1, slave = -1;
  if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return "";
  const pid_t pid = fork();
  if (pid == 0) {
    setsid();
    const int null = open("/dev/null", O_RDONLY);
    const int out = open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(null, 0);
    dup2(out, 1);
    dup2(slave, 2);
    close(master);
    ExecWith(argv, env);
  }
  close(slave);
  std::string text;
  char buf[4096];
  for (;;) {
    pollfd p{master, POLLIN, 0};
    if (poll(&p, 1, 60000) <= 0) break;  // a minute without output: give up
    const ssize_t n = read(master, buf, sizeof buf);
    if (n <= 0) break;  // EIO once the child and its terminal are gone
    text.append(buf, static_cast<size_t>(n));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  close(master);
  return text;
}

}  // namespace kavu::test
