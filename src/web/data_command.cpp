#include "web/data_command.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "platform/text_cp1251.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

constexpr size_t kMaxRangeText = 8000;
constexpr int32_t kPreviousSetMax = 20000;

bool ReadInt(std::string_view s, size_t* pos, int32_t* out) {
  size_t i = *pos;
  while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  const size_t digits = i;
  int64_t v = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
    v = v * 10 + (s[i++] - '0');
    if (v > static_cast<int64_t>(INT32_MAX) + 1) return false;
  }
  if (i == digits) return false;
  v = negative ? -v : v;
  if (v > INT32_MAX || v < INT32_MIN) return false;
  *out = static_cast<int32_t>(v);
  *pos = i;
  return true;
}

bool ValidUtf8(std::string_view s) {
  size_t pos = 0;
  while (pos < s.size()) {
    if (DecodeUtf8(s, pos) == U'\uFFFD') return false;
  }
  return true;
}

void PutLe32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void PutFloat(std::string& out, float f) {
  uint32_t bits = 0;
  std::memcpy(&bits, &f, 4);
  PutLe32(out, bits);
}

}  // namespace

DataCommand ParseDataCommand(std::string_view body) {
  DataCommand c;
  if (body.size() >= 2 && body[0] == 'S' && body[1] == ' ') {
    if (body.size() < 3) {
      c.kind = DataCommand::kRangeUnchanged;
      return c;
    }
    c.kind = DataCommand::kSetRange;
    c.cyclic = body[2] != '0';
    std::string_view text = body.substr(std::min<size_t>(3, body.size()));
    text = text.substr(0, kMaxRangeText);
    // The page sends UTF-8; anything else is read as code page 1251.
    c.rangeText = ValidUtf8(text) ? std::string(text) : Cp1251ToUtf8(text);
    return c;
  }
  size_t pos = 0;
  int32_t* fields[] = {&c.command, &c.set, &c.first};
  for (int32_t* f : fields) {
    if (!ReadInt(body, &pos, f)) break;
    ++c.numbers;
  }
  if (c.numbers > 0) c.kind = DataCommand::kNumbers;
  return c;
}

std::string DataCommandReply(std::string_view body, IWebAnalyzer& a, size_t room, std::string (*console)()) {
  const DataCommand c = ParseDataCommand(body);
  std::string out;
  if (c.kind == DataCommand::kRangeUnchanged) return out;
  if (c.kind == DataCommand::kSetRange) {
    a.PostRange(c.cyclic, c.rangeText);
    return out;
  }
  if (c.kind == DataCommand::kNumbers) {
    if (c.command == 0) {
      const auto [s0, s1] = a.States();
      PutLe32(out, static_cast<uint32_t>(s0.generation));
      PutLe32(out, static_cast<uint32_t>(s0.count));
      PutLe32(out, static_cast<uint32_t>(s1.generation));
      PutLe32(out, static_cast<uint32_t>(s1.count));
      PutLe32(out, static_cast<uint32_t>(a.ErrorCount()));
      return out;
    }
    if (c.command == 1 && c.numbers == 3 && (c.set == 0 || c.set == 1)) {
      // As many as fit in the answer; of the previous set at most kPreviousSetMax.
      int64_t max = static_cast<int64_t>(room / 12);
      if (c.set == 1) max = std::min<int64_t>(max, kPreviousSetMax);
      if (c.first < 0 || max <= 0) return out;
      std::vector<WebPoint> points;
      a.Points(c.set, c.first, static_cast<int32_t>(std::min<int64_t>(max, INT32_MAX)), points);
      out.reserve(points.size() * 12);
      for (const WebPoint& p : points) {
        PutFloat(out, p.freq_hz);
        PutFloat(out, p.r);
        PutFloat(out, p.x);
      }
      return out;
    }
    if (c.command == 2) {
      a.PostStartScan();
      return out;
    }
    if (c.command == 3) {
      a.PostPauseOrContinue();
      return out;
    }
    if (c.command == 4) return console ? console() : out;
    if (c.command == 5) {
      out += a.Cyclic() ? '\1' : '\0';
      out += Utf8ToCp1251(a.RangeText());
      return out;
    }
  }
  Log() << "Непонятный запрос от АА p=" << Cp1251ToUtf8(body.substr(0, 200)) << "\n";
  return out;
}

}  // namespace kavu
