#include "web/http_text.h"

namespace kavu {

char UpperCp1251(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  if (u >= 'a' && u <= 'z') return static_cast<char>(u - 32);
  if (u >= 0xE0) return static_cast<char>(u - 32);
  if (u == 0xB8) return static_cast<char>(0xA8);
  return c;
}

bool SameTextCp1251(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (UpperCp1251(a[i]) != UpperCp1251(b[i])) return false;
  }
  return true;
}

const char* ContentTypeFor(std::string_view ext) {
  struct Entry {
    const char* ext;
    const char* type;
  };
  static constexpr Entry kTypes[] = {
      {"", "text/html; charset=windows-1251"},      {"html", "text/html; charset=windows-1251"},
      {"htm", "text/html; charset=windows-1251"},   {"htmu", "text/html; charset=utf-8"},
      {"txt", "text/plain; charset=windows-1251"},  {"ico", "image/x-icon"},
      {"jpg", "image/jpeg"},                        {"jpeg", "image/jpeg"},
      {"gif", "image/gif"},                         {"png", "image/png"},
      {"swf", "application/x-shockwave-flash"},     {"js", "text/javascript"},
      {"wasm", "application/wasm"},
  };
  for (const Entry& e : kTypes) {
    if (SameTextCp1251(ext, e.ext)) return e.type;
  }
  return "application/octet-stream";
}

std::string UrlExtension(std::string_view name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || name.size() - dot - 1 > 14) return "";
  return std::string(name.substr(dot + 1));
}

}  // namespace kavu
