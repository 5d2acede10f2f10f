#pragma once
// Frequency calculation for the Si5351: which register values make output i generate a frequency.
// Pure computation; nothing here talks to the board.
//
// Two modes, chosen by the fundamental F (the requested frequency, or requested / harmonic when
// the request lies above the output's maximum):
//   mode 1 (F >= FOut4Min): fractional PLL at 4 * F, output multisynth dividing by 4;
//   mode 0 (F <  FOut4Min): integer PLL at KMax * Fx (close to 1 GHz), fractional output divider,
//                            ratios of 2048 and more split into the R divider (up to /128).
// The lowest frequency the output divider can make is KMax * Fx / (2048 * 128), about 3.8 kHz;
// lower requests are refused (their divider would not fit the 18-bit field).
#include <array>
#include <cstdint>
#include <string>

#include "board/si5351_config.h"

namespace kavu {

// The result of one frequency calculation.
struct Si5351Regs {
  std::array<uint8_t, 8> pll{};  // PLL feedback multisynth parameters, register order
  std::array<uint8_t, 8> ms{};   // output multisynth parameters, register order
  uint8_t clk_control = 0;       // CLKx control: 0x0F, + 0x40 for an integer-mode multisynth
  uint8_t reg22_23 = 0;          // value for the unused CLK6/CLK7 control registers: 0x8F
  double requested = 0.0;        // Hz, as asked for
  double actual = 0.0;           // Hz, the fundamental the registers give
  int harmonic = 0;              // odd N; the fundamental is requested / N
  int mode = 0;                  // 1 = fractional PLL with divider 4; 0 = integer PLL
};

// The denominator every calculation uses (2^19).
inline constexpr uint32_t kSi5351Denominator = 524288;

// Packs multisynth a + b / c into the 8-byte parameter block. Ratios of 2048 and more are halved
// into the R divider (at most 7 times). Returns false (block untouched) when the ratio still
// does not fit the multisynth after that; `is_int4` tells whether the ratio is exactly 4.
bool EncodeSi5351Multisynth(uint32_t a, uint32_t b, uint32_t c, std::array<uint8_t, 8>& block,
                            bool& is_int4);

// The registers that make output `i` (0..2) generate `hz`. False, with a user-facing text in
// `error` ("частота ... вне возможностей Si5351 ..."), when no Si5351 is fitted, the frequency
// is not a positive finite number, or it lies below the output divider's range.
bool Si5351_CalcF(const Si5351Config& cfg, double hz, int i, Si5351Regs& out, std::string& error);

}  // namespace kavu
