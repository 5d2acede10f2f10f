#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace kavu {
namespace {

std::string Describe(const char* what, const std::string& path) {
  return std::string(what) + " \"" + path + "\": " + std::strerror(errno);
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view content, std::string* error) {
  std::string tmp = path + ".tmp-XXXXXX";
  const int fd = mkstemp(tmp.data());
  if (fd < 0) {
    if (error) *error = Describe("cannot create", tmp);
    return false;
  }
  fchmod(fd, 0644);
  bool ok = WriteAll(fd, content);
  if (!ok && error) *error = Describe("cannot write", tmp);
  if (ok && fsync(fd) != 0) {
    ok = false;
    if (error) *error = Describe("cannot flush", tmp);
  }
  if (close(fd) != 0 && ok) {
    ok = false;
    if (error) *error = Describe("cannot close", tmp);
  }
  if (ok && rename(tmp.c_str(), path.c_str()) != 0) {
    ok = false;
    if (error) *error = Describe("cannot rename onto", path);
  }
  if (!ok) {
    unlink(tmp.c_str());
    return false;
  }
  // Make the rename itself durable.
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  if (const int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dfd >= 0) {
    fsync(dfd);
    close(dfd);
  }
  return true;
}

bool ReadWholeFile(const std::string& path, std::string& content) {
  content.clear();
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buf[65536];
  bool ok = true;
  for (;;) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    if (n == 0) break;
    content.append(buf, static_cast<size_t>(n));
  }
  close(fd);
  return ok;
}

FileLock::FileLock(const std::string& lock_path) {
  fd_ = open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) return;
  while (flock(fd_, LOCK_EX) != 0) {
    if (errno != EINTR) {
      close(fd_);
      fd_ = -1;
      return;
    }
  }
}

FileLock::~FileLock() {
  if (fd_ >= 0) {
    flock(fd_, LOCK_UN);
    close(fd_);
  }
}

}  // namespace kavu
