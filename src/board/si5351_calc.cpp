#include "board/si5351_calc.h"

#include <cmath>
#include <cstdio>

#include "platform/num_convert.h"
#include "platform/number_text.h"

namespace kavu {
namespace {

void Pack(uint32_t p1, uint32_t p2, uint32_t p3, uint32_t r, uint32_t divby4,
          std::array<uint8_t, 8>& b) {
  b[0] = static_cast<uint8_t>(p3 >> 8);
  b[1] = static_cast<uint8_t>(p3);
  b[2] = static_cast<uint8_t>((r & 7) << 4 | (divby4 & 3) << 2 | ((p1 >> 16) & 3));
  b[3] = static_cast<uint8_t>(p1 >> 8);
  b[4] = static_cast<uint8_t>(p1);
  b[5] = static_cast<uint8_t>(((p3 >> 16) & 0x0F) << 4 | ((p2 >> 16) & 0x0F));
  b[6] = static_cast<uint8_t>(p2 >> 8);
  b[7] = static_cast<uint8_t>(p2);
}

// Splits ratio (> 0) into a + c / 2^19 with c rounded, as the chip's fractional dividers take it.
bool SplitRatio(double ratio, uint32_t& a, uint32_t& c) {
  const auto ai = ToUInt32(std::floor(ratio));
  if (!ai) return false;
  const auto ci = ToUInt32((ratio - *ai) * kSi5351Denominator + 0.5);
  if (!ci) return false;
  a = *ai;
  c = *ci;
  return true;
}

std::string OutOfRange(double hz, const std::string& why) {
  return "частота " + FormatG(hz / 1e6, 12) + " МГц вне возможностей Si5351" + why;
}

}  // namespace

bool EncodeSi5351Multisynth(uint32_t a, uint32_t b, uint32_t c, std::array<uint8_t, 8>& block,
                            bool& is_int4) {
  if (c == 0 || c > 0xFFFFF || b > c) return false;
  uint32_t r = 0;
  while (a >= 2048 && r < 7) {
    b = (b >> 1) + ((a & 1) ? (c >> 1) : 0);
    a >>= 1;
    ++r;
  }
  // The multisynth divides by at most 2048; beyond that P1 leaves its 18-bit field.
  if (a > 2048 || (a == 2048 && b > 0)) return false;
  is_int4 = (a == 4);
  if (is_int4) {
    Pack(0, 0, 1, r, 3, block);
    return true;
  }
  const uint64_t b128 = 128ull * b;
  const uint64_t p1 = 128ull * a + b128 / c - 512;
  const uint64_t p2 = b128 % c;
  Pack(static_cast<uint32_t>(p1), static_cast<uint32_t>(p2), c, r, 0, block);
  return true;
}

bool Si5351_CalcF(const Si5351Config& cfg, double hz, int i, Si5351Regs& out, std::string& error) {
  if (i < 0 || i >= Si5351Config::kOutputs) {
    error = "Si5351: нет выхода CLK" + std::to_string(i);
    return false;
  }
  if (!cfg.Fitted() || cfg.KMax <= 0) {
    error = OutOfRange(hz, ", Si5351 не настроена (частота кварца 0)");
    return false;
  }
  if (!std::isfinite(hz) || hz <= 0.0) {
    error = OutOfRange(hz, ", надо больше 0");
    return false;
  }
  Si5351Regs r;
  r.requested = hz;
  r.harmonic = 1;
  r.reg22_23 = 0x8F;
  const double max = cfg.MaxFOutsMHz[static_cast<size_t>(i)] * 1e6;
  double f = hz;
  if (f > max) {
    const auto h = ToInt32(std::ceil(f / max));
    if (!h || *h > 1'000'001) {
      error = OutOfRange(hz, ", слишком высокая гармоника");
      return false;
    }
    r.harmonic = (*h % 2 == 0) ? *h + 1 : *h;
    f = f / r.harmonic;
  }
  uint32_t a = 0, c = 0;
  bool int4 = false;
  const std::string too_low = ", надо от " +
      FormatG(cfg.KMax * cfg.Fx / (2048.0 * 128.0) / 1e6, 12) + " МГц";
  if (f >= cfg.FOut4Min) {
    r.mode = 1;
    if (!SplitRatio(4.0 * f / cfg.Fx, a, c) ||
        !EncodeSi5351Multisynth(a, c, kSi5351Denominator, r.pll, int4) ||
        !EncodeSi5351Multisynth(4, 0, kSi5351Denominator, r.ms, int4)) {
      error = OutOfRange(hz, "");
      return false;
    }
    r.clk_control = 0x0F + 0x40;
    r.actual = cfg.Fx * (a + static_cast<double>(c) / kSi5351Denominator) / 4.0;
  } else {
    r.mode = 0;
    bool pll_int4 = false;
    if (!SplitRatio(4.0 * cfg.FOutMax / f, a, c) ||
        !EncodeSi5351Multisynth(a, c, kSi5351Denominator, r.ms, int4)) {
      error = OutOfRange(hz, too_low);
      return false;
    }
    EncodeSi5351Multisynth(static_cast<uint32_t>(cfg.KMax), 0, kSi5351Denominator, r.pll,
                           pll_int4);
    r.clk_control = int4 ? 0x0F + 0x40 : 0x0F;
    r.actual = cfg.Fx * cfg.KMax / (a + static_cast<double>(c) / kSi5351Denominator);
  }
  out = r;
  return true;
}

}  // namespace kavu
