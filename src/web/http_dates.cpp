#include "web/http_dates.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

namespace kavu {
namespace {

constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kUnixEpochSeconds = 11644473600;  // 1601-01-01 to 1970-01-01
constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int64_t* y, int* m, int* d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *y = yoe + era * 400 + (*m <= 2);
}

bool Format(uint64_t file_time, std::string* out) {
  const uint64_t seconds = file_time / kTicksPerSecond;
  const int64_t unix_seconds = static_cast<int64_t>(seconds) - kUnixEpochSeconds;
  const int64_t days = (unix_seconds >= 0 ? unix_seconds : unix_seconds - 86399) / 86400;
  const int64_t in_day = unix_seconds - days * 86400;
  int64_t year = 0;
  int month = 0, day = 0;
  CivilFromDays(days, &year, &month, &day);
  if (year < 1601 || year > 30827) return false;
  const int weekday = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  char text[64];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[weekday], day, kMonths[month - 1],
                static_cast<int>(year), static_cast<int>(in_day / 3600), static_cast<int>(in_day / 60 % 60),
                static_cast<int>(in_day % 60));
  *out = text;
  return true;
}

}  // namespace

uint64_t FileTimeFromUnixSeconds(int64_t seconds) {
  const int64_t s = seconds + kUnixEpochSeconds;
  return s <= 0 ? 0 : static_cast<uint64_t>(s) * kTicksPerSecond;
}

std::string GmtText(uint64_t file_time, uint64_t fallback) {
  std::string out;
  if (Format(file_time, &out) || Format(fallback, &out)) return out;
  Format(0, &out);
  return out;
}

uint64_t ParseGmt(const std::string& text) {
  std::string t = text.substr(0, 127);
  for (char& c : t) {
    if (c == ',' || c == ':') c = ' ';
  }
  char day_name[32] = {}, month_name[32] = {};
  int day = 0, year = 0, hour = 0, minute = 0, second = 0;
  if (std::sscanf(t.c_str(), "%31s %d %31s %d %d %d %d", day_name, &day, month_name, &year, &hour, &minute,
                  &second) != 7) {
    return 0;
  }
  int month = 0;
  for (int i = 0; i < 12; ++i) {
    if (::strcasecmp(month_name, kMonths[i]) == 0) month = i + 1;
  }
  if (month == 0 || day < 1 || day > 31 || year < 1800 || year > 3000) return 0;
  if (hour < 0 || hour > 60 || minute < 0 || minute > 60 || second < 0 || second > 60) return 0;
  const int64_t unix_seconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
  return FileTimeFromUnixSeconds(unix_seconds);
}

}  // namespace kavu
