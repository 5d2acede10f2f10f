#include "web/web_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cwctype>

#include "platform/text_cp1251.h"
#include "platform/user_paths.h"
#include "web/http_text.h"

namespace kavu {
namespace {

bool AllowedByte(unsigned char c) {
  if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
  if (c >= 0xC0 || c == 0xA8 || c == 0xB8) return true;  // А..я, Ё, ё
  switch (c) {
    case ' ': case '!': case '#': case '$': case '\'': case '-': case '.': case '@': case '_': case '~':
      return true;
    default:
      return false;
  }
}

std::u32string Folded(const std::string& utf8) {
  std::u32string out;
  size_t pos = 0;
  while (pos < utf8.size()) {
    char32_t c = DecodeUtf8(utf8, pos);
    if (c >= U'A' && c <= U'Z') c += 32;
    if (c >= U'А' && c <= U'Я') c += 32;
    if (c == U'Ё') c = U'ё';
    out += c;
  }
  return out;
}

// Opens `path` for reading only when it is a regular file reached without symbolic links.
int OpenRegular(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st{};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

std::string DefaultWebFolder() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  const std::string base = (xdg && xdg[0] == '/') ? std::string(xdg) : HomeDir() + "/.local/share";
  return base + "/kavusdraa/SdrAntAAHttp";
}

std::string FindNameIgnoringCase(const std::string& folder, const std::string& name) {
  struct stat st{};
  if (::lstat((folder + "/" + name).c_str(), &st) == 0) return name;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return "";
  const std::u32string want = Folded(name);
  std::string found;
  while (dirent* e = ::readdir(dir)) {
    if (Folded(e->d_name) == want) {
      found = e->d_name;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

ResolvedUrl ResolveUrl(const std::string& folder, const std::string& url) {
  ResolvedUrl r;
  r.error = "Недопустимый URL";
  std::string name = url;
  bool folder_index = false;  // "name/": the index page of sub-folder "name"
  if (url.empty()) {
    name = "index.html";
  } else {
    size_t run = 0;
    bool not_only_dots = false;
    while (run < url.size() && AllowedByte(static_cast<unsigned char>(url[run]))) {
      not_only_dots |= url[run] != '.';
      ++run;
    }
    if (run < url.size() && url[run] == '/') {
      if (run == 0 || run + 1 != url.size()) return r;  // deeper paths are refused
      folder_index = true;
      name = url.substr(0, run);
    } else if (run < url.size()) {
      r.logLine = "Неопознанная часть после идентификатора: " + Cp1251ToUtf8(url.substr(run)) + "\n";
      return r;
    }
    if (!not_only_dots || run > 250) {
      r.logLine = "Это не корректный идентификатор, s=" + Cp1251ToUtf8(url) + "! \n";
      return r;
    }
    if (url == "index.html") {
      r.error = "Такой url зарезервирован";
      return r;
    }
    if (url[0] == '.') {  // hidden: treated as missing
      r.error.clear();
      r.extension = UrlExtension(url);
      return r;
    }
  }
  r.error.clear();
  r.extension = url.empty() || folder_index ? "html" : UrlExtension(url);
  const std::string actual = FindNameIgnoringCase(folder, Cp1251ToUtf8(name));
  if (actual.empty()) return r;
  const std::string path = folder + "/" + actual;
  struct stat st{};
  if (::lstat(path.c_str(), &st) != 0) return r;
  if (S_ISDIR(st.st_mode)) {
    const std::string index = FindNameIgnoringCase(path, "index.html");
    if (folder_index && !index.empty()) {
      r.fd = OpenRegular(path + "/" + index);
      return r;
    }
    r.isFolder = true;
    r.hasIndex = !index.empty();
    return r;
  }
  if (folder_index) {  // "file.txt/" names nothing
    r.error = "Недопустимый URL";
    return r;
  }
  if (!S_ISREG(st.st_mode)) {
    r.error = "Недопустимый URL, путь подозрительный!";
    r.logLine = "Путь не совпадает с полным путем: \n" + path + "\n";
    return r;
  }
  r.fd = OpenRegular(path);
  return r;
}

}  // namespace kavu
