#pragma once
// The text of the updater's hex display: program memory as 4096 lines of sixteen bytes, shown
// as eight 16-bit instruction words (the odd byte first), then each special area. Words and
// area bytes where the two images differ are listed as marked spans (shown in blue).
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "updater/firmware_image.h"

namespace kavu {

struct HexDumpText {
  std::string text;  // lines end in "\n"
  std::vector<std::pair<size_t, size_t>> marked;  // (offset, length) in `text`, in order
};

// `differs`: one flag per image byte (CompareResult::differs), or empty for no marks.
HexDumpText FormatHexDump(const FirmwareImage& shown, const std::vector<uint8_t>& differs);

}  // namespace kavu
