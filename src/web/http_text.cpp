#include "web/http_text.h"

#include <cstring>

#include "platform/text_cp1251.h"

namespace kavu {
namespace {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// True when `text` is well-formed UTF-8 (DecodeUtf8 marks malformed input with U+FFFD, so an
// U+FFFD is accepted only where the text really holds its three bytes).
bool IsStrictUtf8(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t start = pos;
    if (DecodeUtf8(text, pos) == 0xFFFD && text.substr(start, pos - start) != "\xEF\xBF\xBD") return false;
  }
  return true;
}

bool HasHighBytes(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  }
  return false;
}

}  // namespace

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

bool DecodeUrlName(std::string_view url, std::string* name, std::string* error) {
  std::string bytes;
  bytes.reserve(url.size());
  for (size_t i = 0; i < url.size(); ++i) {
    if (url[i] != '%') {
      bytes += url[i];
      continue;
    }
    const int hi = i + 2 < url.size() ? HexDigitValue(url[i + 1]) : -1;
    const int lo = hi >= 0 ? HexDigitValue(url[i + 2]) : -1;
    if (lo < 0) {
      *error = "неверная %-последовательность в позиции " + std::to_string(i);
      return false;
    }
    const auto b = static_cast<unsigned char>(hi * 16 + lo);
    if (b < 0x20 || b == 0x7F || b == '/' || b == '\\') {
      *error = "недопустимый байт %" + std::string(url.substr(i + 1, 2)) + " в имени";
      return false;
    }
    bytes += static_cast<char>(b);
    i += 2;
  }
  *name = HasHighBytes(bytes) && IsStrictUtf8(bytes) ? Utf8ToCp1251(bytes) : bytes;
  return true;
}

std::string EncodeUrlPath(std::string_view cp1251) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  static constexpr const char* kKept = "-._~!$'()*+,;=:@/";
  std::string out;
  for (char c : Cp1251ToUtf8(cp1251)) {
    const auto b = static_cast<unsigned char>(c);
    const bool plain = (b >= '0' && b <= '9') || (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') ||
                       (b != 0 && std::strchr(kKept, c) != nullptr);
    if (plain) {
      out += c;
    } else {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    }
  }
  return out;
}

}  // namespace kavu
