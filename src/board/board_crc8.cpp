#include "board/board_crc8.h"

#include <array>

namespace kavu {
namespace {

constexpr std::array<uint8_t, 256> MakeTable() {
  std::array<uint8_t, 256> table{};
  for (int i = 0; i < 256; ++i) {
    uint8_t reg = static_cast<uint8_t>(i);
    for (int bit = 0; bit < 8; ++bit) {
      reg = (reg & 0x80) ? static_cast<uint8_t>((reg << 1) ^ 0xD5) : static_cast<uint8_t>(reg << 1);
    }
    table[static_cast<size_t>(i)] = reg;
  }
  return table;
}
constexpr std::array<uint8_t, 256> kTable = MakeTable();

}  // namespace

uint8_t BoardCrc8Step(uint8_t reg, uint8_t byte) { return kTable[reg ^ byte]; }

uint8_t BoardCheckByte(const uint8_t* data, uint16_t len) {
  uint8_t reg = static_cast<uint8_t>(len & 0xFF);
  reg = BoardCrc8Step(reg, static_cast<uint8_t>(len >> 8));
  for (uint16_t i = 0; i < len; ++i) reg = BoardCrc8Step(reg, data[i]);
  return static_cast<uint8_t>(~reg);
}

}  // namespace kavu
