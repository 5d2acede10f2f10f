#pragma once
// The Si5351 driver: start-up of the chip with its fixed outputs (PLL B, direct I2C commands),
// setting the swept output (PLL A, by a batch run at once) and the output enable register.
// Si5351Gen adapts one swept output (generator list code 0..2) to IGenChip.
//
// Fixed outputs share PLL B: each direct write rewrites it, so in the fractional-PLL mode the
// last output written sets PLL B for all of them. Si5351_Init warns in red when the fixed
// outputs need different PLL B settings, naming the outputs and what they will really make.
#include <string>

#include "board/board_protocol.h"
#include "board/gen_chip.h"
#include "board/gen_state.h"
#include "board/si5351_batch.h"

namespace kavu {

class OSi5351 {
 public:
  OSi5351(OBoardProtocol& board, Si5351State& state, GenState& gen)
      : board_(&board), state_(&state), gen_(&gen) {}

  Si5351State& State() { return *state_; }

  // Writes one output: directly on PLL B (single I2C commands; true when the block, multisynth,
  // control and register 23 writes succeeded), or on PLL A by a 30-byte batch run at once (the
  // current generator frequency becomes harmonic x actual).
  bool Si5351_WriteFProc(const Si5351Regs& regs, bool direct, int i);
  // Sets the swept output i to `hz`; the registers become the last written state. A frequency
  // the chip cannot make puts the reason into the generator error text.
  bool Si5351_SetF(double hz, int i);
  // Start-up sequence; `selected` is the generator list's selected data (-1 when none).
  bool Si5351_Init(int selected);
  // Register 3: on = only output i enabled, off = all disabled. True when the write succeeded.
  bool Si5351_OutputEnable(int i, bool on);

 private:
  void WarnSharedPllB(int selected);

  OBoardProtocol* board_;
  Si5351State* state_;
  GenState* gen_;
};

class Si5351Gen : public IGenChip {
 public:
  Si5351Gen(OSi5351& si, int output) : si_(&si), output_(output), steps_(si.State(), output) {}
  // The chip's start-up runs once for all outputs (OSi5351::Si5351_Init from InitAllGens).
  bool Init() override { return true; }
  bool SetF(double hz) override { return si_->Si5351_SetF(hz, output_); }
  bool On(bool on) override { return si_->Si5351_OutputEnable(output_, on); }
  IGenBatchSteps& BatchSteps() override { return steps_; }

 private:
  OSi5351* si_;
  int output_;
  Si5351BatchSteps steps_;
};

}  // namespace kavu
