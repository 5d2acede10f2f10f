#pragma once
// Intel HEX records for tests, with their checksums computed here (not by the code under test).
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kavu::test {

inline std::string HexRecord(unsigned address, unsigned type, const std::vector<uint8_t>& data) {
  char piece[16];
  std::snprintf(piece, sizeof piece, ":%02X%04X%02X", static_cast<unsigned>(data.size()), address, type);
  std::string line = piece;
  unsigned sum = static_cast<unsigned>(data.size()) + (address >> 8) + (address & 0xFF) + type;
  for (uint8_t b : data) {
    std::snprintf(piece, sizeof piece, "%02X", b);
    line += piece;
    sum += b;
  }
  std::snprintf(piece, sizeof piece, "%02X\n", (256 - sum % 256) % 256);
  return line + piece;
}

inline std::string EndRecord() { return ":00000001FF\n"; }

}  // namespace kavu::test
