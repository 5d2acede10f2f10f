#pragma once
// AD9833 generator (direct digital synthesiser, 25 MHz master clock, kind 6) on an SPI chip
// select, SPI mode 2, written word by word. Frequency word FW = F · 2^28 / 25 MHz (28 bits).
// The two frequency registers are used in turn: a new frequency goes into the register not in
// use and the control word then switches the output to it, so the output never runs on a
// half-written word. The toggle (the register in use, 0 after initialisation) is shared by the
// direct setting and the batch steps.
#include <array>
#include <cstdint>
#include <string>

#include "board/gen_chip.h"
#include "board/spi_gen_base.h"

namespace kavu {

// Control word of waveform 0 (sine), 1 (triangle), 2 (square, MSB), without the register select.
uint16_t Ad9833ControlWord(int forma);

// The words for `hz` written into the register not in `toggle`: low half, high half, control.
// Flips `toggle`. False, leaving toggle alone, for a word outside 0..0x0FFFFFFF (NaN included,
// checked before any conversion), with the generator error text in *error_text when given.
bool DDS_ad9833_SetF_ToBuf(double hz, int forma, int& toggle, std::array<uint16_t, 3>& out,
                           std::string* error_text);

// Batch step: 92 w0, 92 w1, 92 w2 (each word high byte first).
class Ad9833BatchSteps : public IGenBatchSteps {
 public:
  Ad9833BatchSteps(const GenDesk& desk, int& toggle) : desk_(&desk), toggle_(&toggle) {}
  BatchStep AppendFrequencyStep(double hz, std::vector<uint8_t>& out, std::string& reason) override;
  // The pause of synchronisation type 0: clock off (0080), then the running control word.
  void AppendOutputOff(std::vector<uint8_t>& out) const override;
  void AppendOutputOn(std::vector<uint8_t>& out) const override;
  uint64_t SaveBatchMemory() const override { return static_cast<uint64_t>(*toggle_); }
  void RestoreBatchMemory(uint64_t m) override { *toggle_ = static_cast<int>(m & 1); }

 private:
  const GenDesk* desk_;
  int* toggle_;
};

class Ad9833Gen : public IGenChip {
 public:
  explicit Ad9833Gen(const SpiGenContext& ctx) : ctx_(ctx), steps_(*ctx.desk, toggle_) {}
  bool Init() override;
  bool SetF(double hz) override { return DDS_ad9833_SetF(ctx_.desk->CorrectedHz(hz)); }
  bool On(bool on) override;
  IGenBatchSteps& BatchSteps() override { return steps_; }

  bool DDS_ad9833_SetF(double hz);
  int Toggle() const { return toggle_; }

 private:
  uint16_t RunningControl() const;

  SpiGenContext ctx_;
  int toggle_ = 0;
  Ad9833BatchSteps steps_;
};

}  // namespace kavu
