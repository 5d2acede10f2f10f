#pragma once
// AD9833 direct digital synthesiser model (25 MHz master clock), SPI mode 2: 16-bit words, high
// byte first, one word per chip-select period (FSYNC). Bits 15..14 of a word: 00 control, 01
// FREQ0, 10 FREQ1, 11 phase. With B28 (control bit 13) a frequency register takes two
// consecutive writes, the 14 low bits then the 14 high bits, and changes when the second
// arrives. Control bits modelled: FSELECT (11, which register drives the output), RESET (8),
// SLEEP1 (7, clock off). The output runs when neither RESET nor SLEEP1 is set. Writing the
// register that drives the output is counted as a glitch (the output jumps in two halves).
#include <array>
#include <cstdint>

#include "sim/spi_chip_model.h"

namespace kavu::sim {

class Ad9833Model : public ISpiChipModel {
 public:
  static constexpr double kClockHz = 25e6;
  const char* Name() const override { return "ad9833"; }
  int Mode() const override { return 2; }
  void Select() override { bytes_ = 0; }
  uint8_t Transfer(uint8_t mosi) override;
  void Deselect() override { bytes_ = 0; }
  SourceState Output() const override;
  int Glitches() const override { return glitches_; }

  uint16_t Control() const { return control_; }
  uint32_t FreqWord(int reg) const { return freq_[reg & 1]; }

 private:
  void Word(uint16_t w);

  uint16_t control_ = 0x0100;  // in reset after power-on
  std::array<uint32_t, 2> freq_{};
  std::array<bool, 2> high_next_{};  // B28: the next write to the register is its high half
  std::array<uint32_t, 2> low_{};
  int bytes_ = 0;
  uint16_t word_ = 0;
  int glitches_ = 0;
};

}  // namespace kavu::sim
