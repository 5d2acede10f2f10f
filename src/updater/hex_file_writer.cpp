#include "updater/hex_file_writer.h"

#include <cstdio>

namespace kavu {

std::string WriteHexText(const FirmwareImage& image, uint32_t from) {
  std::string out;
  char piece[16];
  for (uint32_t line = from & ~0xFu; line < kProgramSize; line += 16) {
    bool erased = true;
    for (uint32_t i = line; i < line + 16; ++i) erased = erased && (i < from || image.bytes[i] == 0xFF);
    if (erased) continue;
    const uint32_t start = line < from ? from : line;
    const uint32_t count = line + 16 - start;
    unsigned sum = count + (start >> 8) + (start & 0xFF);
    std::snprintf(piece, sizeof piece, ":%02X%04X00", count, start);
    out += piece;
    for (uint32_t i = start; i < line + 16; ++i) {
      std::snprintf(piece, sizeof piece, "%02X", image.bytes[i]);
      out += piece;
      sum += image.bytes[i];
    }
    std::snprintf(piece, sizeof piece, "%02X\n", (256 - sum % 256) % 256);
    out += piece;
  }
  out += ":00000001FF\n";
  return out;
}

}  // namespace kavu
