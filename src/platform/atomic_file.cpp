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

std::string KindText(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

std::string NotRegular(const std::string& path, mode_t mode) {
  const std::string kind = KindText(mode);
  return "\"" + path + "\" is " + (kind.rfind("not", 0) == 0 ? kind : kind + ", not a regular file");
}

}  // namespace

std::string ResolveWriteTarget(const std::string& path) {
  std::string at = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
    std::string link(4096, '\0');
    const ssize_t n = readlink(at.c_str(), link.data(), link.size());
    if (n <= 0) return at;
    link.resize(static_cast<size_t>(n));
    const size_t slash = at.rfind('/');
    at = link[0] == '/' || slash == std::string::npos ? link : at.substr(0, slash + 1) + link;
  }
  return at;
}

std::string OutputPathProblem(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return "";
  return NotRegular(path, st.st_mode);
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

int OpenRegularFile(const std::string& path, std::string* error) {
  // Non-blocking so that opening a FIFO without a writer returns at once.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (error) *error = Describe("cannot open", path);
    return -1;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    if (error) *error = NotRegular(path, st.st_mode);
    close(fd);
    return -1;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

bool WriteFileAtomically(const std::string& given_path, std::string_view content, std::string* error) {
  const std::string path = ResolveWriteTarget(given_path);
  if (const std::string problem = OutputPathProblem(path); !problem.empty()) {
    if (error) *error = problem;
    return false;
  }
  std::string tmp = path + ".tmp-XXXXXX";
  const int fd = mkstemp(tmp.data());
  if (fd < 0) {
    if (error) *error = Describe("cannot create", tmp);
    return false;
  }
  struct stat old {};
  fchmod(fd, stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644);  // a replaced file keeps its mode
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
  const int fd = OpenRegularFile(path);
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
