#include <cstdint>
#include <vector>

#include "web/web_server.h"

namespace kavu {
namespace {

void Le(std::vector<uint8_t>& v, uint32_t x, int bytes) {
  for (int i = 0; i < bytes; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}

}  // namespace

// A 16x16 icon, 32 bits per pixel: an SWR dip drawn in blue on white.
std::vector<uint8_t> ProgramIcon() {
  constexpr int kSide = 16;
  std::vector<uint8_t> v;
  Le(v, 0, 2);
  Le(v, 1, 2);
  Le(v, 1, 2);
  const uint32_t image = 40 + kSide * kSide * 4 + kSide * 4;
  v.push_back(kSide);
  v.push_back(kSide);
  v.push_back(0);
  v.push_back(0);
  Le(v, 1, 2);
  Le(v, 32, 2);
  Le(v, image, 4);
  Le(v, 22, 4);
  Le(v, 40, 4);
  Le(v, kSide, 4);
  Le(v, kSide * 2, 4);  // colour and mask
  Le(v, 1, 2);
  Le(v, 32, 2);
  for (int i = 0; i < 6; ++i) Le(v, 0, 4);
  for (int row = 0; row < kSide; ++row) {  // bottom-up
    for (int col = 0; col < kSide; ++col) {
      const int dx = col - 8;
      const int curve = 2 + dx * dx / 5;  // height of the dip above the bottom
      const bool line = row == curve || row == curve + 1;
      v.push_back(line ? 0xC0 : 0xFF);
      v.push_back(line ? 0x30 : 0xFF);
      v.push_back(line ? 0x10 : 0xFF);
      v.push_back(0xFF);
    }
  }
  for (int i = 0; i < kSide * 4; ++i) v.push_back(0);
  return v;
}

}  // namespace kavu
