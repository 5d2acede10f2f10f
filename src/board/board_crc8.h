#pragma once
// The check byte of a batch frame: CRC-8 with polynomial 0xD5, most significant bit first. The
// register starts at the low byte of the batch length, folds in the high byte of the length and
// every batch byte; the frame carries the register's complement.
#include <cstddef>
#include <cstdint>

namespace kavu {

// One CRC-8 step (register XOR byte, then eight shifts), from a 256-entry table.
uint8_t BoardCrc8Step(uint8_t reg, uint8_t byte);
// The frame's check byte for a batch of `len` bytes (len = the batch length as sent).
uint8_t BoardCheckByte(const uint8_t* data, uint16_t len);

}  // namespace kavu
