#pragma once
// The batch elements that program the Si5351's swept output (PLL A), and the last written state
// the frequency steps of a batch are compared against. Pure: nothing is sent from here.
#include <cstdint>
#include <vector>

#include "board/gen_chip.h"
#include "board/si5351_calc.h"

namespace kavu {

// The 30-byte batch that writes `regs` to output i and resets PLL A, run at once by
// Si5351_WriteFProc: A9 1A <PLL block> A9 <42+8i> <MS block> A2 <16+i> <CLK control>
// A2 16 <reg 22/23> A2 B1 20 FF.
std::vector<uint8_t> Si5351FullBatch(const Si5351Regs& regs, int i);

// Appends one frequency step of a batch for output i: the register groups of `next` that differ
// from `last` (PLL block to 26, MS block to 42 + 8i, CLK control to 16 + i, register 22/23 to
// 22), each as an I2C element A0 + (count + 1), register, bytes; then the PLL A reset A2 B1 20.
// Returns false, appending nothing, when the harmonic or mode differs from `last`: such a step
// cannot be made inside a batch. On success `last` becomes `next`.
bool AppendSi5351Step(const Si5351Regs& next, int i, Si5351Regs& last, std::vector<uint8_t>& out);

// The elements that disable every Si5351 output (A2 03 FF) and enable output i only
// (A2 03 <FF - 2^i>).
void AppendSi5351AllOff(std::vector<uint8_t>& out);
void AppendSi5351OnlyOn(int i, std::vector<uint8_t>& out);

// What the program knows about the Si5351: its settings and the last written state of the swept
// output (zero at start; replaced by every direct setting and every batch step).
struct Si5351State {
  Si5351Config cfg;
  Si5351Regs last;
};

// Batch steps for swept output `output` (0..2).
class Si5351BatchSteps : public IGenBatchSteps {
 public:
  Si5351BatchSteps(Si5351State& state, int output) : state_(&state), output_(output) {}
  BatchStep AppendFrequencyStep(double hz, std::vector<uint8_t>& out,
                                std::string& reason) override;
  void AppendOutputOff(std::vector<uint8_t>& out) const override { AppendSi5351AllOff(out); }
  void AppendOutputOn(std::vector<uint8_t>& out) const override {
    AppendSi5351OnlyOn(output_, out);
  }

 private:
  Si5351State* state_;
  int output_;
};

}  // namespace kavu
