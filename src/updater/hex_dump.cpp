#include "updater/hex_dump.h"

#include <cstdio>

namespace kavu {

HexDumpText FormatHexDump(const FirmwareImage& shown, const std::vector<uint8_t>& differs) {
  HexDumpText out;
  out.text.reserve(kProgramSize / 16 * 90 + 2048);
  const auto& b = shown.bytes;
  const auto differ = [&](size_t i) { return i < differs.size() && differs[i] != 0; };
  char piece[32];
  for (size_t line = 0; line < kProgramSize; line += 16) {
    std::snprintf(piece, sizeof piece, "%04X    ", static_cast<unsigned>(line));
    out.text += piece;
    for (size_t w = line; w < line + 16; w += 2) {
      std::snprintf(piece, sizeof piece, "%02x%02x  ", b[w + 1], b[w]);
      if (differ(w) || differ(w + 1)) out.marked.emplace_back(out.text.size(), 4);
      out.text += piece;
    }
    out.text += '\n';
  }
  for (const SpecialArea& area : kSpecialAreas) {
    out.text += std::string(area.name) + ": \n";
    std::snprintf(piece, sizeof piece, "%04X    ", static_cast<unsigned>(area.address));
    out.text += piece;
    for (size_t i = area.slot; i < area.slot + area.length; ++i) {
      std::snprintf(piece, sizeof piece, "%02x  ", b[i]);
      if (differ(i)) out.marked.emplace_back(out.text.size(), 2);
      out.text += piece;
    }
    out.text += '\n';
  }
  return out;
}

}  // namespace kavu
