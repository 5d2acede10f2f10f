// The answers of OKavuHttp: files of the web folder, redirects, the error pages, the icon and
// the visitor cookie.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "platform/text_cp1251.h"
#include "results/ant_izms.h"
#include "shell/log_console.h"
#include "web/http_dates.h"
#include "web/http_text.h"
#include "web/log_throttle.h"
#include "web/okavu_http.h"
#include "web/web_folder.h"
#include "web/web_random.h"

namespace kavu {
namespace {

constexpr int64_t kRangeMinSize = 1048576;
constexpr uint64_t kTicksPerSecond = 10000000;

bool IsHex16(const std::string& v) {
  if (v.size() != 16) return false;
  for (char c : v) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// Reads a decimal number at `p` with an overflow guard; false when there is no digit.
bool ReadDecimal(const std::string& s, size_t* p, int64_t* out) {
  size_t i = *p;
  int64_t v = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
    if (v > (INT64_MAX - 9) / 10) return false;
    v = v * 10 + (s[i++] - '0');
  }
  if (i == *p) return false;
  *p = i;
  *out = v;
  return true;
}

}  // namespace

void OKavuHttp::OutVisitorId(bool may_write) {
  // "UserSled=<value>" among "name=value" pairs separated by ';'.
  std::string value;
  size_t pos = 0;
  while (pos <= cookie_.size()) {
    size_t end = cookie_.find(';', pos);
    if (end == std::string::npos) end = cookie_.size();
    std::string pair;
    for (size_t i = pos; i < end; ++i) {
      if (cookie_[i] != ' ') pair += cookie_[i];
    }
    if (pair.rfind("UserSled=", 0) == 0) value = pair.substr(9, 63);
    pos = end + 1;
  }
  if (IsHex16(value) && std::strtoull(value.c_str(), nullptr, 16) != 0) {
    visitorId_ = std::strtoull(value.c_str(), nullptr, 16);
    visitorNew_ = false;
    return;
  }
  visitorId_ = WebRandom64();
  visitorNew_ = true;
  if (!may_write) return;
  char line[160];
  const uint64_t expires = LocalClockAsFileTime() + 363ull * 86400 * kTicksPerSecond;
  std::snprintf(line, sizeof line, "Set-Cookie: UserSled=%016llX; expires=%s; path=/\r\n",
                static_cast<unsigned long long>(visitorId_), GmtText(expires).c_str());
  OutText(line);
}

void OKavuHttp::Out404(const std::string& reason) {
  ResetOutput();
  OutRestartAt(0);
  OutText("HTTP/1.0 404 OK\r\nAASdr\r\nContent-Type: text/html; charset=windows-1251\r\n"
          "Cache-Control: no-cache, must-revalidate\r\n");
  OutVisitorId(true);
  OutText("Connection: close\r\n\r\n<html>\r\n");
  OutText(Utf8ToCp1251("Запрошенная страница не найдена (ошибка 404). Попробуйте поискать на "
                       "<a href=\"/\">главной странице сайта</a><br>\r\n"));
  OutText(Utf8ToCp1251(reason) + "\n</html>\r\n");
}

void OKavuHttp::LogRefusal(const std::string& line) {
  if (!refusals_ || refusals_->Add()) Log() << line;
}

void OKavuHttp::OutRedirect(const std::string& url) {
  Log() << "Выдача перенаправления на заданную страницу\n";
  OutRestartAt(0);
  // The Location is what a browser sends back: UTF-8, escaped; the page text keeps the name.
  OutText("HTTP/1.0 302 Moved Temporarily\r\nAASdr\r\nLocation: /" + EncodeUrlPath(url) +
          "\r\nContent-Type: text/html; charset=windows-1251\r\nCache-Control: no-cache, must-revalidate\r\n");
  OutVisitorId(true);
  OutText("Connection: close\r\n\r\n" + Utf8ToCp1251("<html>Перенаправление на ") + url + "</html>");
}

void OKavuHttp::Out400(const std::string& reason) {
  ResetOutput();
  OutRestartAt(0);
  OutText("HTTP/1.0 400 Bad Request\r\nAASdr\r\nContent-Type: text/html; charset=windows-1251\r\n"
          "Cache-Control: no-cache, must-revalidate\r\nConnection: close\r\n\r\n" +
          Utf8ToCp1251("<html>Ошибка 400: неверный URL, " + reason + "</html>"));
}

void OKavuHttp::Out501() {
  OutRestartAt(0);
  OutText("HTTP/1.0 501 Not Implemented\r\nAASdr\r\nAllow: GET, POST\r\n"
          "Content-Type: text/html; charset=windows-1251\r\nCache-Control: no-cache, must-revalidate\r\n"
          "Connection: close\r\n\r\n" +
          Utf8ToCp1251("<html>Методы, отличные от GET и POST, не поддерживаются!</html>"));
}

void OKavuHttp::OutIcon(const std::vector<uint8_t>& icon) {
  OutRestartAt(0);
  OutText("HTTP/1.0 200 OK\r\nAASdr\r\nContent-Type: image/x-icon\r\nContent-Length: " +
          std::to_string(icon.size()) + "\r\nCache-Control: no-cache, must-revalidate\r\nConnection: close\r\n\r\n");
  SetBinaryOutput(icon.data(), static_cast<int64_t>(icon.size()));
}

// The byte range asked for: 0 none, 1 a range in *first..*last, -1 an impossible one.
int OKavuHttp::OutFileRange(int64_t size, int64_t* first, int64_t* last) {
  if (size < kRangeMinSize || range_.empty()) return 0;
  std::string r = range_;
  if (r.size() < 6 || !SameTextCp1251(r.substr(0, 6), "bytes=")) return 0;
  size_t p = 6;
  if (!ReadDecimal(r, &p, first)) return 0;
  *last = size - 1;
  if (p < r.size() && r[p] == '-') {
    ++p;
    int64_t v = 0;
    if (ReadDecimal(r, &p, &v) && v < size) *last = v;
  }
  return *first > *last ? -1 : 1;
}

void OKavuHttp::OutFile() {
  std::string name, why;
  if (!DecodeUrlName(url_, &name, &why)) {
    LogRefusal("Отклонён URL " + Cp1251ToUtf8(url_) + ": " + why + "\n");
    return Out400(why);
  }
  ResolvedUrl r = ResolveUrl(webFolder_, name);
  if (!r.logLine.empty()) LogRefusal(r.logLine);
  if (!r.error.empty()) return Out404("Ошибка, " + r.error);
  if (r.isFolder) {
    if (r.hasIndex) return OutRedirect(name + "/");
    return Out404("Эта ссылка указывает на каталог. Уточните url");
  }
  if (r.fd < 0) return Out404("Ошибка, не удалось открыть ресурс");
  struct stat st{};
  if (::fstat(r.fd, &st) != 0) {
    ::close(r.fd);
    return Out404("Ошибка, не удалось определить размер файла, SzLo=0, SzHi=0");
  }
  const int64_t size = st.st_size;
  if (size == 0) {
    ::close(r.fd);
    return Out404("Ошибка, файл нулевой длины");
  }
  int64_t first = 0, last = size - 1;
  const int range = OutFileRange(size, &first, &last);
  if (range < 0) {
    ::close(r.fd);
    return Out404("Ошибка, неверный диапазон байт для докачки");
  }
  const uint64_t now = LocalClockAsFileTime();
  const uint64_t mtime = FileTimeFromUnixSeconds(st.st_mtim.tv_sec);
  const std::string date = GmtText(mtime, now);
  const uint64_t file_seconds = ParseGmt(date);
  const uint64_t asked = ParseGmt(ifModifiedSince_);
  if (file_seconds != 0 && asked != 0 && file_seconds < asked + 5 * kTicksPerSecond) {
    ::close(r.fd);
    OutRestartAt(0);
    OutText("HTTP/1.0 304 Not Modified\r\nAASdr\r\nContent-Type: text/html; charset=windows-1251\r\n"
            "Cache-Control: no-cache, must-revalidate\r\n");
    OutVisitorId(false);
    OutText("Connection: close\r\n\r\n<html>\r\n" + Utf8ToCp1251("Файл не изменялся с даты ") + date +
            Utf8ToCp1251(", в запросе указано If-Modified-Since=") + ifModifiedSince_ + "\n</html>\r\n");
    return;
  }
  OutRestartAt(0);
  OutText(range > 0 ? "HTTP/1.0 206 Partial Content\r\n" : "HTTP/1.0 200 OK\r\n");
  OutText("AASdr\r\nContent-Type: " + std::string(ContentTypeFor(r.extension)) + "\r\nAccept-Ranges: bytes\r\n");
  if (range > 0) {
    OutText("Content-Range: bytes " + std::to_string(first) + "-" + std::to_string(last) + "/" +
            std::to_string(size) + "\r\n");
  }
  OutText("Content-Length: " + std::to_string(last - first + 1) +
          "\r\nCache-Control: public, max-age=3600000\r\nLast-modified: " + date + "\r\n");
  OutVisitorId(true);
  OutText("Connection: close\r\n\r\n");
  fileFd_ = r.fd;
  fileOffset_ = first;
  outFileSz_ = last - first + 1;
  fileReads_ = 0;
}

}  // namespace kavu
