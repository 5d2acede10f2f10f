#include "updater/hex_file_reader.h"

#include <cstdarg>
#include <cstdio>

#include "shell/log_console.h"

namespace kavu {
namespace {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

struct Record {
  int count = 0;
  uint32_t address = 0;
  int type = 0;
  std::vector<uint8_t> data;
};

// Decodes the text after ':'; an empty string on success, else why the record is damaged.
std::string DecodeRecord(std::string_view hex, Record& r) {
  while (!hex.empty() && (hex.back() == '\r' || hex.back() == ' ' || hex.back() == '\t')) {
    hex.remove_suffix(1);
  }
  for (char c : hex) {
    if (HexDigit(c) < 0) return Format("недопустимый символ '%c' в записи", c >= ' ' ? c : '?');
  }
  if (hex.size() < 10 || hex.size() % 2 != 0) return "запись короче заголовка или нечётной длины";
  std::vector<uint8_t> bytes(hex.size() / 2);
  for (size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<uint8_t>(HexDigit(hex[2 * i]) << 4 | HexDigit(hex[2 * i + 1]));
  }
  r.count = bytes[0];
  if (bytes.size() != static_cast<size_t>(r.count) + 5) {
    return Format("число байт %d не совпадает с длиной записи (%zu)", r.count, bytes.size() - 5);
  }
  unsigned sum = 0;
  for (uint8_t b : bytes) sum += b;
  if (sum % 256 != 0) return "неверная контрольная сумма";
  r.address = static_cast<uint32_t>(bytes[1] << 8 | bytes[2]);
  r.type = bytes[3];
  r.data.assign(bytes.begin() + 4, bytes.end() - 1);
  if (r.type == 2) return "запись типа 2 (сегментный адрес) не поддерживается";
  if (r.type == 4 && r.count != 2) return "запись типа 4 должна содержать 2 байта";
  return {};
}

class Reader {
 public:
  HexReadResult result;

  void Data(const Record& r) {
    const uint32_t a = base_ + r.address;
    if (a < kProgramSize) {
      for (size_t i = 0; i < r.data.size(); ++i) {
        if (a + i < kProgramSize) {
          result.image.Set(a + i, r.data[i]);
          ++result.program_bytes;
        } else {
          Line(kColourNormal, Format("Adr = %X вне диапазона \n", static_cast<unsigned>(a + i)));
        }
      }
      return;
    }
    std::string bytes;
    for (size_t i = 0; i < r.data.size(); ++i) {
      const uint32_t at = a + static_cast<uint32_t>(i);
      if (const SpecialArea* area = AreaAt(at)) result.image.Set(area->slot + at - area->address, r.data[i]);
      bytes += Format("%02X  ", r.data[i]);
    }
    Line(kColourBanner, Format("Adr = %X высокий, sz = %d\n", a, r.count));
    Line(kColourNormal, bytes + "\n");
  }

  void Base(const Record& r) {
    const unsigned upper = static_cast<unsigned>(r.data[0] << 8 | r.data[1]);
    base_ = upper << 16;
    Line(kColourNotice, Format("BASE adr = %X\n", upper));
  }

  // Copies the vectors at `from` to `from` + 0x400; false when a destination byte held data.
  bool MoveVector(uint32_t from) {
    auto& b = result.image.bytes;
    bool empty = true;
    for (uint32_t i = 0; i < 4; ++i) empty = empty && b[from + i] == 0xFF;
    if (empty) {
      Line(kColourNormal, Format(" adr=%X..%X пусто, adr=%X..%X оставлены как в файле\n", from, from + 3,
                                 from + kMonitorEnd, from + kMonitorEnd + 3));
      return true;
    }
    bool kept = true;
    for (uint32_t i = 0; i < 4; ++i) {
      const uint32_t to = from + kMonitorEnd + i;
      Line(kColourNormal, Format(" adr=%X d=%X <- %X\n", to, b[to], b[from + i]));
      if (b[to] != 0xFF) kept = false;
      result.image.Set(to, b[from + i]);
    }
    return kept;
  }

  void Line(int colour, std::string text) { result.log.push_back({colour, std::move(text)}); }

 private:
  uint32_t base_ = 0;
};

}  // namespace

HexReadResult ReadHexText(std::string_view text) {
  Reader reader;
  reader.Line(kColourNormal, "Читаю HEX - файл \n");
  int line_no = 0;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++line_no;
    if (line.empty() || line[0] != ':') continue;
    Record r;
    const std::string why = DecodeRecord(line.substr(1), r);
    if (!why.empty()) {
      HexReadResult refused;
      refused.log = std::move(reader.result.log);
      refused.error = "строка " + std::to_string(line_no) + ": " + why;
      refused.log.push_back({kColourError, "HEX - файл не принят, " + refused.error + "\n"});
      return refused;
    }
    reader.Line(kColourNormal, Format("Adr=%X Sz=%d type=%X\n", r.address, r.count, r.type));
    if (r.type == 0) reader.Data(r);
    if (r.type == 4) reader.Base(r);
  }
  HexReadResult& result = reader.result;
  reader.Line(kColourNormal, Format("Прочитано %d байт \n", result.program_bytes));
  reader.Line(kColourNotice,
              "Модификация под дуратский XC8 v2 - ссылки на Irg перемещаю с ORG 0 на ORG 0x400 \n");
  const bool kept_low = reader.MoveVector(0x0008);
  const bool kept_high = reader.MoveVector(0x0018);
  if (!kept_low || !kept_high) {
    result.box = UpdaterBox{"ВНИМАНИЕ!",
                            "При перемещении ссылок на Irg с ORG 0 на ORG 0x400 были затёрты данные",
                            BoxIcon::kError};
  }
  result.ok = true;
  return std::move(result);
}

}  // namespace kavu
