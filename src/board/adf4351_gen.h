#pragma once
// ADF4351 generator (wide-band PLL synthesiser, kind 7) on an SPI chip select, SPI mode 3, each
// register written as a one-element batch (4-byte SPI transfer) run at once. The VCO runs at
// 2.2..4.4 GHz and an output divider 1..64 brings it down to 34.375 MHz; above 4.4 GHz the
// output's third harmonic is used (a VCO of F / 3, so at most 13.2 GHz).
#include <array>
#include <cstdint>
#include <string>

#include "board/gen_chip.h"
#include "board/spi_gen_base.h"

namespace kavu {

// The six register values (each with its register number in bits 2..0) and the phase detector
// frequency, Hz.
struct MyADF4351 {
  std::array<uint32_t, 6> R{};
  double F_PFD = 25e6;

  // Fractional-N set-up for `reference_hz` and output power 0..3 (output off, divider ÷8).
  void TestCreateFractional(double reference_hz, int power);
  // R0 and R4 for `hz` (R4 with the divider replaced, output enable kept). False when no divider
  // brings the VCO into 2.2..4.4 GHz or INT falls outside 75..65535 (NaN and ±inf included).
  bool SetF(double hz, uint32_t& r0, uint32_t& r4) const;
  // R4 with the output enabled or disabled.
  uint32_t R4WithOutput(bool on) const { return (R[4] & ~0x23u) | (on ? 0x20u : 0u) | 4u; }
};

// Batch step: 94 R0 (high byte first), or the end of the group when the divider would change.
class Adf4351BatchSteps : public IGenBatchSteps {
 public:
  Adf4351BatchSteps(const GenDesk& desk, const MyADF4351& adf) : desk_(&desk), adf_(&adf) {}
  BatchStep AppendFrequencyStep(double hz, std::vector<uint8_t>& out, std::string& reason) override;
  void AppendOutputOff(std::vector<uint8_t>& out) const override;
  void AppendOutputOn(std::vector<uint8_t>& out) const override;

 private:
  const GenDesk* desk_;
  const MyADF4351* adf_;
};

// Appends 94 and `v` high byte first.
void AppendAdf4351Reg(uint32_t v, std::vector<uint8_t>& out);

class Adf4351Gen : public IGenChip {
 public:
  explicit Adf4351Gen(const SpiGenContext& ctx) : ctx_(ctx), steps_(*ctx.desk, adf_) {
    adf_.TestCreateFractional(ctx.desk->m_ADF4351_BaseFM, ctx.desk->m_ADF4351_Pow);
  }
  bool Init() override;
  bool SetF(double hz) override { return ADF4351_SetF(ctx_.desk->CorrectedHz(hz)); }
  bool On(bool on) override { return ADF4351_On(on); }
  IGenBatchSteps& BatchSteps() override { return steps_; }

  // Writes R4 first when the divider changes, then R0.
  bool ADF4351_SetF(double hz);
  bool ADF4351_On(bool on);
  bool ADF4351_WriteReg(uint32_t v);
  const MyADF4351& Registers() const { return adf_; }

 private:
  SpiGenContext ctx_;
  MyADF4351 adf_;
  Adf4351BatchSteps steps_;
};

}  // namespace kavu
