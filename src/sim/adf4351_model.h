#pragma once
// ADF4351 wide-band synthesiser model, SPI mode 3: 32-bit words, most significant byte first,
// latched when the chip select goes high; bits 2..0 name the register R0..R5.
//
// Decoded: R0 INT (30..15) and FRAC (14..3); R1 MOD (14..3); R2 R counter (23..14), reference
// doubler (25), reference ÷2 (24), double buffering (13); R4 output divider select (22..20), RF
// output enable (5), output power (4..3). With double buffering the divider written in R4 takes
// effect at the next R0 write, as on the chip. VCO = (INT + FRAC / MOD) · F_PFD with
// F_PFD = reference · (1 + doubler) / (R · (1 + ÷2)); the output is VCO / 2^divider.
// The VCO must lie within 2.2..4.4 GHz and F_PFD at most 32 MHz (fractional mode): outside,
// the range flags are set and the output does not lock (off).
#include <array>
#include <cstdint>

#include "sim/spi_chip_model.h"

namespace kavu::sim {

class Adf4351Model : public ISpiChipModel {
 public:
  explicit Adf4351Model(double reference_hz = 25e6) : ref_hz_(reference_hz) {}
  const char* Name() const override { return "adf4351"; }
  int Mode() const override { return 3; }
  void Select() override { bytes_ = 0; }
  uint8_t Transfer(uint8_t mosi) override;
  void Deselect() override;
  SourceState Output() const override;

  uint32_t Reg(int r) const { return regs_[static_cast<size_t>(r) % 6]; }
  double PfdHz() const;
  double VcoHz() const;
  int Divider() const { return 1 << divider_sel_; }
  bool VcoOutOfRange() const;
  bool PfdOutOfRange() const { return PfdHz() > 32e6 || PfdHz() <= 0.0; }
  int Writes() const { return writes_; }

 private:
  double ref_hz_;
  std::array<uint32_t, 6> regs_{};
  int divider_sel_ = 0;  // in effect
  int bytes_ = 0;
  uint32_t word_ = 0;
  int writes_ = 0;
};

}  // namespace kavu::sim
