#include "results/ant_izm_file.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/text_cp1251.h"

namespace kavu {
namespace {

bool ReadU32(std::FILE* f, uint32_t& v) {
  uint8_t b[4];
  if (std::fread(b, 1, 4, f) != 4) return false;
  v = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
      static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
  return true;
}

void PutU32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

std::string ScanFileReport::Describe() const {
  switch (status) {
    case ScanFileStatus::kNotOpened:
      return open_error;
    case ScanFileStatus::kShortHeader:
      return "the file is shorter than the 16-byte header";
    case ScanFileStatus::kBadMagic:
      return "wrong magic: not a scan-result file";
    case ScanFileStatus::kBadRecordSize:
      return "record size " + std::to_string(record_size) + " is outside 1..4096";
    case ScanFileStatus::kOk:
      break;
  }
  if (header_count < 0) {
    return "the header's point count " + std::to_string(header_count) + " is negative; read the " +
           std::to_string(records_read) + " records that follow it";
  }
  if (truncated) {
    return "the file ends after " + std::to_string(records_read) + " of " +
           std::to_string(header_count) + " records";
  }
  if (header_count > records_read) {
    return "header count " + std::to_string(header_count) + " cut to " + std::to_string(records_read);
  }
  return "";
}

std::FILE* OpenScanFile(const std::string& path, std::string* error) {
  const int fd = OpenRegularFile(path, error);
  if (fd < 0) return nullptr;
  std::FILE* f = fdopen(fd, "rb");
  if (!f) {
    if (error) *error = "cannot open \"" + path + "\": " + std::strerror(errno);
    close(fd);
  }
  return f;
}

bool ScanFileHoldsPoints(const std::string& path) {
  std::FILE* f = OpenScanFile(path, nullptr);
  if (!f) return false;
  uint32_t magic = 0, reserved = 0, size = 0, n = 0;
  const bool ok = ReadU32(f, magic) && magic == kAntIzmMagic && ReadU32(f, reserved) && ReadU32(f, size) &&
                  ReadU32(f, n) && n != 0;
  std::fclose(f);
  return ok;
}

bool ReadAntIzms(std::FILE* f, AntIzm* points, int32_t& count, int32_t cap,
                 ScanFileReport* report) {
  ScanFileReport local;
  ScanFileReport& r = report ? *report : local;
  r = ScanFileReport{};
  count = 0;
  uint32_t magic = 0, reserved = 0, size = 0, n_raw = 0;
  const bool have_magic = ReadU32(f, magic);
  if (have_magic && magic != kAntIzmMagic) {
    r.status = ScanFileStatus::kBadMagic;
    return false;
  }
  if (!have_magic || !ReadU32(f, reserved) || !ReadU32(f, size) || !ReadU32(f, n_raw)) {
    r.status = ScanFileStatus::kShortHeader;
    return false;
  }
  r.record_size = size;
  if (size < 1 || size > static_cast<uint32_t>(kAntIzmMaxRecordSize)) {
    r.status = ScanFileStatus::kBadRecordSize;
    return false;
  }
  const auto n_signed = static_cast<int32_t>(n_raw);
  r.header_count = n_signed;
  // A negative count: as many records as follow, up to the capacity.
  const int32_t n = n_signed < 0 ? std::max<int32_t>(cap, 0) : std::clamp<int32_t>(n_signed, 0, std::max<int32_t>(cap, 0));
  std::vector<uint8_t> scratch(size);
  int32_t read = 0;
  while (read < n) {
    const long at = std::ftell(f);
    const size_t got = std::fread(scratch.data(), 1, size, f);
    if (n_signed < 0 && size >= 8 && got >= 8 && scratch[0] == 0xD1 && scratch[1] == 0x7E && scratch[2] == 0xA4 &&
        scratch[3] == 0x21 && scratch[4] == 0x55 && scratch[5] == 0xAA && scratch[6] == 0 && scratch[7] == 0) {
      std::fseek(f, at, SEEK_SET);  // the note block, not a record
      break;
    }
    if (got != size) {
      r.truncated = n_signed >= 0;
      break;
    }
    points[read++] = DecodeAntIzm(scratch.data(), size);
  }
  r.records_read = read;
  count = read;
  return true;
}

std::optional<std::string> ReadAntIzmsNote(std::FILE* f) {
  uint32_t magic = 0, tag = 0, one = 0, len = 0;
  if (!ReadU32(f, magic) || magic != kAntIzmMagic || !ReadU32(f, tag) || tag != kAntIzmNoteTag ||
      !ReadU32(f, one) || !ReadU32(f, len) || len > (64u << 20)) {
    return {};
  }
  std::string text(len, '\0');
  if (len > 0 && std::fread(text.data(), 1, len, f) != len) return {};
  return Cp1251ToUtf8(text);
}

std::string EncodeAntIzms(const AntIzm* points, int32_t count, int32_t reserved) {
  count = std::max<int32_t>(count, 0);
  std::string out;
  out.reserve(16 + 192 * static_cast<size_t>(count));
  PutU32(out, kAntIzmMagic);
  PutU32(out, static_cast<uint32_t>(reserved));
  PutU32(out, 192);
  PutU32(out, static_cast<uint32_t>(count));
  uint8_t rec[192];
  for (int32_t i = 0; i < count; ++i) {
    EncodeAntIzm(points[i], rec);
    out.append(reinterpret_cast<const char*>(rec), sizeof rec);
  }
  return out;
}

std::string EncodeAntIzmsNote(std::string_view utf8_note) {
  const std::string text = Utf8ToCp1251(utf8_note);
  std::string out;
  PutU32(out, kAntIzmMagic);
  PutU32(out, kAntIzmNoteTag);
  PutU32(out, 1);
  PutU32(out, static_cast<uint32_t>(text.size()));
  out += text;
  return out;
}

bool WriteScanFile(const std::string& path, const AntIzm* points, int32_t count,
                   const std::optional<std::string>& utf8_note, std::string* error) {
  std::string bytes = EncodeAntIzms(points, count, 0);
  if (utf8_note) bytes += EncodeAntIzmsNote(*utf8_note);
  return WriteFileAtomically(path, bytes, error);
}

}  // namespace kavu
