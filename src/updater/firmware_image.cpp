#include "updater/firmware_image.h"

#include <algorithm>

namespace kavu {

const SpecialArea* AreaAt(uint32_t address) {
  for (const SpecialArea& a : kSpecialAreas) {
    if (address >= a.address && address - a.address < a.length) return &a;
  }
  return nullptr;
}

void FirmwareImage::Clear() {
  std::fill(bytes.begin(), bytes.end(), uint8_t{0xFF});
  std::fill(defined.begin(), defined.end(), uint8_t{0});
}

}  // namespace kavu
