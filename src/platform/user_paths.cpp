#include "platform/user_paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace kavu {

std::string HomeDir() {
  if (const char* h = std::getenv("HOME"); h && h[0] == '/') return h;
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/') {
    return pw->pw_dir;
  }
  return "/tmp";
}

std::string ConfigDir() {
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && x[0] == '/') return x;
  return HomeDir() + "/.config";
}

bool MakeDirs(const std::string& path) {
  if (path.empty()) return false;
  for (size_t pos = 1; pos <= path.size(); ++pos) {
    if (pos == path.size() || path[pos] == '/') {
      const std::string part = path.substr(0, pos);
      if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
  }
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ExecutableDir() {
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  std::string p(buf, static_cast<size_t>(n));
  const size_t slash = p.rfind('/');
  return slash == std::string::npos ? "." : (slash == 0 ? "/" : p.substr(0, slash));
}

}  // namespace kavu
