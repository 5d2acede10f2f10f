#pragma once
// The memory image of the control board's microcontroller as the updater keeps it: 64 KiB of
// program memory, then six special areas, each in a 64-byte slot. A file image and a read image
// have the same layout. Unset bytes are 0xFF (erased flash).
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kavu {

inline constexpr size_t kProgramSize = 0x10000;    // program memory, bytes
inline constexpr size_t kImageSize = 0x10200;      // program memory and the six slots
inline constexpr size_t kAreaSlotSize = 64;
inline constexpr uint32_t kMonitorEnd = 0x400;     // the boot loader ("monitor") lives below
inline constexpr size_t kFlashBlockSize = 32;      // the boot loader reads and writes 32 bytes
inline constexpr int kProgramBlocks = static_cast<int>(kProgramSize / kFlashBlockSize);  // 2048

struct SpecialArea {
  const char* name;   // as shown in the hex display
  uint32_t address;   // chip address
  size_t length;      // bytes used (at most 64)
  size_t slot;        // offset of its slot in the image
};

inline constexpr std::array<SpecialArea, 6> kSpecialAreas{{
    {"User IDs", 0x200000, 16, 0x10000},
    {"Configuration Words", 0x300000, 10, 0x10040},
    {"Device Information Area", 0x3F0000, 64, 0x10080},
    {"Device Configuration Information", 0x3FFF00, 10, 0x100C0},
    {"Revision ID", 0x3FFFFC, 2, 0x10100},
    {"Device ID", 0x3FFFFE, 2, 0x10140},
}};

// The area that holds chip address `address`, or null.
const SpecialArea* AreaAt(uint32_t address);

struct FirmwareImage {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(kImageSize, 0xFF);
  // 1 where the file (or the chip, for a read image) gave the byte; 0 where it is only the
  // erased default. The compare looks at the special areas only where the file defines a byte.
  std::vector<uint8_t> defined = std::vector<uint8_t>(kImageSize, 0);

  void Clear();
  void Set(size_t offset, uint8_t value) {
    bytes[offset] = value;
    defined[offset] = 1;
  }
};

}  // namespace kavu
