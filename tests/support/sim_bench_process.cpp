#include "support/sim_bench_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <sstream>
#include <thread>

#include "support/run_command.h"

namespace kavu::test {
namespace {

// "export NAME='VALUE'" (single quotes with '\'' inside) to "NAME=VALUE"; empty if not that.
std::string ParseExport(const std::string& line) {
  const std::string prefix = "export ";
  const size_t eq = line.find('=');
  if (line.rfind(prefix, 0) != 0 || eq == std::string::npos) return "";
  std::string value;
  bool quoted = false;
  for (size_t k = eq + 1; k < line.size(); ++k) {
    const char c = line[k];
    if (c == '\'') {
      quoted = !quoted;
    } else if (c == '\\' && !quoted && k + 1 < line.size()) {
      value += line[++k];
    } else {
      value += c;
    }
  }
  return line.substr(prefix.size(), eq - prefix.size()) + "=" + value;
}

}  // namespace

SimBenchProcess::SimBenchProcess(const std::vector<std::string>& args, const std::string& log_file,
                                 double timeout_s, const std::vector<std::string>& env) {
  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0) return;
  if (::pipe2(out, O_CLOEXEC) != 0) {
    ::close(in[0]);
    ::close(in[1]);
    return;
  }
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    const int err = ::open(log_file.empty() ? "/dev/null" : log_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (err >= 0) ::dup2(err, 2);
    for (const std::string& e : env) ::putenv(::strdup(e.c_str()));
    const std::string cli = CliPath();
    std::vector<char*> argv{const_cast<char*>(cli.c_str()), const_cast<char*>("sim-bench")};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  stdin_fd_ = in[1];
  if (pid_ < 0) {
    ::close(out[0]);
    return;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<int>(timeout_s * 1000));
  while (printed_.find("# bench ready") == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd p{out[0], POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    char buf[1024];
    const ssize_t n = ::read(out[0], buf, sizeof buf);
    if (n <= 0) break;
    printed_.append(buf, static_cast<size_t>(n));
  }
  // Its later output is not read: it prints nothing more on standard output.
  ::close(out[0]);
  std::istringstream lines(printed_);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("# bench ready", 0) == 0) ready_ = true;
    const std::string entry = ParseExport(line);
    if (!entry.empty()) env_.push_back(entry);
  }
}

SimBenchProcess::~SimBenchProcess() { Stop(); }

std::string SimBenchProcess::Value(const std::string& name) const {
  for (const std::string& e : env_) {
    if (e.rfind(name + "=", 0) == 0) return e.substr(name.size() + 1);
  }
  return "";
}

void SimBenchProcess::CloseInput() {
  if (stdin_fd_ >= 0) ::close(stdin_fd_);
  stdin_fd_ = -1;
}

int SimBenchProcess::Stop(int signal) {
  // With a signal, its input stays open until it has ended: the signal alone must end it.
  if (pid_ > 0 && signal != 0) ::kill(pid_, signal);
  if (signal == 0) CloseInput();
  int status = 0;
  bool ended = false;
  for (int k = 0; pid_ > 0 && k < 1000 && !ended; ++k) {
    ended = ::waitpid(pid_, &status, WNOHANG) == pid_;
    if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (pid_ > 0 && !ended) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status, 0);
  }
  pid_ = -1;
  CloseInput();
  return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void SimBenchProcess::Kill() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  pid_ = -1;
  CloseInput();
}

}  // namespace kavu::test
