#pragma once
// Dates of HTTP heads ("Sun, 06 Nov 1994 08:49:37 GMT") to and from FILETIME values (100-ns
// ticks since 1601-01-01 UTC).
#include <cstdint>
#include <string>

namespace kavu {

// "%s, %02d %s %04d %02d:%02d:%02d GMT". A time that cannot be shown (before 1601 or beyond
// year 30827) gives the text of `fallback` instead; when that fails too, of 1601-01-01.
std::string GmtText(uint64_t file_time, uint64_t fallback = 0);

// Reads "<day name>, <day> <month> <year> <h>:<m>:<s>" (commas and colons count as spaces,
// the month compared case-insensitively with "Jan" .. "Dec"; day 1..31, year 1800..3000, hour,
// minute and second 0..60). The FILETIME of that moment, or 0 when anything is missing or out
// of range.
uint64_t ParseGmt(const std::string& text);

// FILETIME of a Unix time in seconds (never below 0).
uint64_t FileTimeFromUnixSeconds(int64_t seconds);

}  // namespace kavu
