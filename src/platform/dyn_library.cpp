#include "platform/dyn_library.h"

#include <dirent.h>
#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cctype>

#include "platform/user_paths.h"

namespace kavu {

DynLibrary::~DynLibrary() { Close(); }

DynLibrary::Result DynLibrary::Open(const std::string& path) {
  Close();
  path_ = path;
  error_.clear();
  error_code_ = 0;
  const bool has_slash = path.find('/') != std::string::npos;
  if (has_slash && !LibraryFileExists(path)) {
    error_ = "no such file";
    error_code_ = ENOENT;
    return Result::kMissing;
  }
  dlerror();
  errno = 0;
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_) return Result::kLoaded;
  error_code_ = errno;
  const char* e = dlerror();
  error_ = e ? e : "?";
  // A bare name the loader found nowhere counts as a missing file.
  if (!has_slash && error_.find("No such file") != std::string::npos) return Result::kMissing;
  return Result::kFailed;
}

void DynLibrary::Close() {
  if (handle_) dlclose(handle_);
  handle_ = nullptr;
}

void* DynLibrary::Symbol(const char* name) const {
  if (!handle_) return nullptr;
  return dlsym(handle_, name);
}

std::string TrimLibraryFolder(std::string_view folder) {
  while (!folder.empty() && (folder.back() == '/' || folder.back() == '\\') && folder.size() > 1) {
    folder.remove_suffix(1);
  }
  return std::string(folder);
}

std::string ResolveLibraryPath(std::string_view folder, std::string_view name) {
  const std::string dir = TrimLibraryFolder(folder);
  if (!dir.empty()) return (dir == "/" ? "" : dir) + "/" + std::string(name);
  const std::string own = ExecutableDir() + "/" + std::string(name);
  if (LibraryFileExists(own)) return own;
  return std::string(name);
}

bool LibraryFileExists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

namespace {
char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool MatchNoCase(std::string_view pat, std::string_view text) {
  size_t p = 0, t = 0, star = std::string_view::npos, mark = 0;
  while (t < text.size()) {
    if (p < pat.size() && (pat[p] == '?' || Lower(pat[p]) == Lower(text[t]))) {
      ++p;
      ++t;
    } else if (p < pat.size() && pat[p] == '*') {
      star = p++;
      mark = t;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      t = ++mark;
    } else {
      return false;
    }
  }
  while (p < pat.size() && pat[p] == '*') ++p;
  return p == pat.size();
}
}  // namespace

std::vector<std::string> FindFilesNoCase(const std::string& folder, std::string_view pattern) {
  std::vector<std::string> out;
  DIR* d = opendir(folder.empty() ? "." : folder.c_str());
  if (!d) return out;
  while (const dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == ".." || !MatchNoCase(pattern, name)) continue;
    if (LibraryFileExists((folder.empty() ? "." : folder) + "/" + name)) out.push_back(name);
  }
  closedir(d);
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace kavu
