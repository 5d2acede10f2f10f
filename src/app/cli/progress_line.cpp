#include "app/cli/progress_line.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>

namespace kavu::cli {
namespace {
constexpr const char* kClearLine = "\r\033[K";
}  // namespace

ProgressLine::ProgressLine() {
  if (!isatty(STDERR_FILENO)) return;
  int p[2];
  if (pipe2(p, O_CLOEXEC) != 0) return;
  std::fflush(stderr);
  terminal_ = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
  if (terminal_ < 0 || dup2(p[1], STDERR_FILENO) < 0) {
    if (terminal_ >= 0) close(terminal_);
    terminal_ = -1;
    close(p[0]);
    close(p[1]);
    return;
  }
  close(p[1]);
  pipe_read_ = p[0];
  thread_ = std::thread([this] { Pump(); });
}

ProgressLine::~ProgressLine() { Finish(); }

void ProgressLine::WriteRaw(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(terminal_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

void ProgressLine::Show(const std::string& text) {
  if (!Active()) return;
  std::lock_guard lock(mutex_);
  status_ = text;
  if (partial_.empty()) WriteRaw(kClearLine + status_);
}

void ProgressLine::Pump() {
  char buf[4096];
  for (;;) {
    const ssize_t n = read(pipe_read_, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    std::lock_guard lock(mutex_);
    partial_.append(buf, static_cast<size_t>(n));
    const size_t end = partial_.rfind('\n');
    if (end == std::string::npos) continue;
    WriteRaw(kClearLine + partial_.substr(0, end + 1));
    partial_.erase(0, end + 1);
    if (partial_.empty()) WriteRaw(status_);
  }
  std::lock_guard lock(mutex_);
  if (!partial_.empty()) WriteRaw(kClearLine + partial_ + "\n");
  partial_.clear();
}

void ProgressLine::Finish() {
  if (!Active()) return;
  std::fflush(stderr);
  dup2(terminal_, STDERR_FILENO);  // closes the pipe's last writer: the thread reads to its end
  thread_.join();
  close(pipe_read_);
  WriteRaw(kClearLine);
  close(terminal_);
  terminal_ = pipe_read_ = -1;
}

std::string ProgressText(int measured, int planned, double elapsed_s) {
  char buf[160];
  int n = std::snprintf(buf, sizeof buf, "точек %d из %d, прошло %.0f с", measured, planned, std::floor(elapsed_s));
  if (measured > 0 && planned > measured && n > 0) {
    const double left = elapsed_s * (planned - measured) / measured;
    std::snprintf(buf + n, sizeof buf - static_cast<size_t>(n), ", осталось ~%.0f с", std::ceil(left));
  }
  return buf;
}

}  // namespace kavu::cli
