#pragma once
// The scan-result file (".kant"): one set per file, little-endian, no alignment.
//   0  magic 0x21A47ED1 (bytes D1 7E A4 21)
//   4  reserved (written 0, ignored when reading)
//   8  record size in bytes (written 192; read 1 .. 4096)
//   12 point count N (signed)
//   16 N records, in scan order
//   then, optionally, the note block: magic, 0xAA55, 1, length L, L bytes of code page 1251 text.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "results/ant_izm.h"

namespace kavu {

inline constexpr uint32_t kAntIzmMagic = 0x21A47ED1u;
inline constexpr uint32_t kAntIzmNoteTag = 0xAA55u;
inline constexpr int32_t kAntIzmMaxRecordSize = 4096;

enum class ScanFileStatus { kOk, kNotOpened, kShortHeader, kBadMagic, kBadRecordSize };

struct ScanFileReport {
  ScanFileStatus status = ScanFileStatus::kOk;
  int32_t header_count = 0;   // as the header says
  int32_t records_read = 0;   // complete records read
  uint32_t record_size = 0;
  bool truncated = false;     // the file ended before header_count (capped) records
  std::string open_error;     // kNotOpened: why
  // One line saying what is wrong (empty when the file is sound): a failure, or for a file that
  // was read, a truncated file, a negative header count or a count cut to the set's capacity.
  std::string Describe() const;
};

// Opens a scan file for reading. Anything but a regular file (or a link to one) is refused at
// once, without blocking: "\"PATH\" is a folder, not a regular file", "... is a FIFO, ...".
// nullptr with *error set when it cannot be used.
std::FILE* OpenScanFile(const std::string& path, std::string* error);

// Reads one set from the stream's current position into points[0 .. cap). On success `count`
// holds the number of complete records read (a file that ends early keeps its complete records);
// a record shorter than 192 bytes leaves the later fields 0, bytes beyond 192 are skipped.
// A count above `cap` is cut to `cap`. A negative count (a damaged header) reads the complete
// records that follow, up to `cap` and the note block, and is reported. Fails (count 0) on a
// file shorter than the header, a wrong magic, or a record size of 0 or above 4096.
bool ReadAntIzms(std::FILE* f, AntIzm* points, int32_t& count, int32_t cap,
                 ScanFileReport* report = nullptr);

// True when `path` is a readable scan file whose header counts at least one point.
bool ScanFileHoldsPoints(const std::string& path);

// Reads the note block that may follow the records (the stream positioned right after them);
// returns the note converted to UTF-8, or nothing when there is no well-formed block.
std::optional<std::string> ReadAntIzmsNote(std::FILE* f);

// The header and records, byte for byte as written.
std::string EncodeAntIzms(const AntIzm* points, int32_t count, int32_t reserved);
// The note block for a UTF-8 note (written as code page 1251; characters it lacks become '?').
std::string EncodeAntIzmsNote(std::string_view utf8_note);

// Writes a whole scan file atomically (temporary file, flush, rename): a good file is never
// replaced by a half-written one. False with *error set when it could not be written whole.
bool WriteScanFile(const std::string& path, const AntIzm* points, int32_t count,
                   const std::optional<std::string>& utf8_note, std::string* error = nullptr);

}  // namespace kavu
