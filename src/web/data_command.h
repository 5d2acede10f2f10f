#pragma once
// The data commands of the web page (the body of a POST to "KavuAASdr/AntIzm.dat"):
//   "S <c><text>"  cyclic flag (c != '0') and scan range text
//   "0"            five little-endian int32: generation and count of sets 0 and 1, error count
//   "1 <set> <i>"  float32 triples (Hz, R, X) of set 0 from point i while the answer fits, or
//                  of set 1 from point i, at most 20,000 of them
//   "2", "3"       start a scan, pause / resume
//   "4"            the console mirror
//   "5"            one byte cyclic flag, then the range text (code page 1251)
#include <cstdint>
#include <string>
#include <string_view>

#include "web/web_analyzer.h"

namespace kavu {

struct DataCommand {
  enum Kind { kUnknown, kSetRange, kNumbers, kRangeUnchanged } kind = kUnknown;
  int numbers = 0;  // how many of command, set, first were read
  int32_t command = 0, set = 0, first = 0;
  bool cyclic = false;
  std::string rangeText;  // UTF-8
};

// Reads a command body. Numbers are decimal with an optional sign; one that does not fit in
// 32 bits ends the reading.
DataCommand ParseDataCommand(std::string_view body);

// The reply bytes for `body` (without the answer head); `room` is how many bytes the answer may
// take. Actions are posted to `analyzer`; `console` supplies the console mirror for command 4.
std::string DataCommandReply(std::string_view body, IWebAnalyzer& analyzer, size_t room,
                             std::string (*console)());

}  // namespace kavu
