#include "sim/ad9833_model.h"

namespace kavu::sim {

uint8_t Ad9833Model::Transfer(uint8_t mosi) {
  word_ = static_cast<uint16_t>(word_ << 8 | mosi);
  if (++bytes_ == 2) {
    Word(word_);
    bytes_ = 0;
  }
  return 0xFF;  // the chip has no data output
}

void Ad9833Model::Word(uint16_t w) {
  const int top = w >> 14;
  if (top == 0) {
    control_ = w;
    return;
  }
  if (top == 3) return;  // phase registers: no effect on frequency
  const int reg = top - 1;
  const uint32_t bits = w & 0x3FFF;
  const bool active = ((control_ >> 11) & 1) == reg;
  if (!(control_ & 0x2000)) {  // single 14-bit half, chosen by HLB
    freq_[reg] = (control_ & 0x1000) ? (freq_[reg] & 0x3FFF) | bits << 14
                                     : (freq_[reg] & ~0x3FFFu) | bits;
    if (active) ++glitches_;
    return;
  }
  if (!high_next_[reg]) {
    low_[reg] = bits;
    high_next_[reg] = true;
    return;
  }
  high_next_[reg] = false;
  freq_[reg] = bits << 14 | low_[reg];
  if (active && (control_ & 0x0180) == 0) ++glitches_;
}

SourceState Ad9833Model::Output() const {
  const bool on = (control_ & 0x0180) == 0;
  const uint32_t fw = freq_[(control_ >> 11) & 1];
  return SourceState{fw * kClockHz / 268435456.0, on};
}

}  // namespace kavu::sim
