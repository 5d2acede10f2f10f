#include "sim/si5351_model.h"

#include <cmath>

namespace kavu::sim {

void Si5351Model::Reset() {
  regs_.fill(0);
  regs_[3] = 0xFF;
  for (int k = 16; k <= 23; ++k) regs_[static_cast<size_t>(k)] = 0x80;
  phase_ = Phase::Idle;
  have_pointer_ = false;
  pointer_ = 0;
}

void Si5351Model::Start() {
  phase_ = present_ ? Phase::Address : Phase::Ignored;
}

bool Si5351Model::Write(uint8_t byte) {
  switch (phase_) {
    case Phase::Address:
      if (byte == kWriteAddress) {
        phase_ = Phase::Writing;
        have_pointer_ = false;
        return true;
      }
      if (byte == kReadAddress) {
        phase_ = Phase::Reading;
        return true;
      }
      phase_ = Phase::Ignored;
      return false;
    case Phase::Writing:
      if (!have_pointer_) {
        pointer_ = byte;
        have_pointer_ = true;
      } else {
        regs_[pointer_++] = byte;  // the register pointer wraps at 255 like the chip's
      }
      return true;
    default:
      return false;
  }
}

uint8_t Si5351Model::Read() {
  if (phase_ != Phase::Reading) return 0xFF;  // nobody drives the bus
  return regs_[pointer_++];
}

void Si5351Model::Stop() { phase_ = Phase::Idle; }

double Si5351Model::MultisynthRatio(int base) const {
  const auto r = [&](int i) { return static_cast<uint32_t>(regs_[static_cast<size_t>(base + i)]); };
  const uint32_t p3 = (r(5) >> 4) << 16 | r(0) << 8 | r(1);
  const uint32_t p1 = (r(2) & 3) << 16 | r(3) << 8 | r(4);
  const uint32_t p2 = (r(5) & 0x0F) << 16 | r(6) << 8 | r(7);
  if (p3 == 0) return 0.0;
  return (p1 + 512.0 + static_cast<double>(p2) / p3) / 128.0;
}

double Si5351Model::PllHz(int pll) const {
  // Register 15 bits 2 (PLL A) and 3 (PLL B) select CLKIN instead of the crystal; the board has
  // no CLKIN, so such a PLL runs from nothing.
  if (regs_[15] & (pll == 0 ? 0x04 : 0x08)) return 0.0;
  const double ratio = MultisynthRatio(pll == 0 ? 26 : 34);
  return ratio > 0.0 ? crystal_hz_ * ratio : 0.0;
}

Si5351Output Si5351Model::Output(int k) const {
  if (k < 0 || k >= kOutputs) return {};
  const uint8_t ctrl = regs_[static_cast<size_t>(16 + k)];
  const bool powered = (ctrl & 0x80) == 0;
  const bool from_multisynth = ((ctrl >> 2) & 3) == 3;
  const int disable_state = (regs_[24] >> (2 * k)) & 3;
  const bool enabled = (regs_[3] & (1u << k)) == 0 || disable_state == 3;
  if (!powered || !from_multisynth) return {};

  const int base = 42 + 8 * k;
  const uint8_t b2 = regs_[static_cast<size_t>(base + 2)];
  const int r_div = (b2 >> 4) & 7;
  double ratio = ((b2 >> 2) & 3) == 3 ? 4.0 : MultisynthRatio(base);
  const double vco = PllHz((ctrl & 0x20) ? 1 : 0);
  // The chip's multisynth divides by 4, 6 or 8 ... 2048; anything below 4 gives no clock.
  if (vco <= 0.0 || ratio < 4.0 || !std::isfinite(ratio)) return {};
  Si5351Output out;
  out.hz = vco / ratio / static_cast<double>(1u << r_div);
  out.on = enabled;
  return out;
}

}  // namespace kavu::sim
