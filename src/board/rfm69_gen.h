#pragma once
// Rfm69CW / Rfm69HC(W) generator (SX1231 transceiver, kinds 3, 4, 5) on an SPI chip select, SPI
// mode 0: a carrier of Frf · 61.03515625 Hz (32 MHz crystal / 2^19), Frf the 24-bit value of
// registers 07..09 (one burst from 07). Output power in register 11 (PaLevel): kind 3 uses PA0
// with levels 0..31, kinds 4 (PA1) and 5 (PA1 + PA2) levels 16..31 only.
#include <array>
#include <cstdint>
#include <string>

#include "board/gen_chip.h"
#include "board/spi_gen_base.h"

namespace kavu {

// Frf bytes (high first) for `hz`. False for a value outside 1..0xFFFFFF (NaN included; checked
// before any conversion), with the generator error text in *error_text when given.
bool Rfm69_CalcF(double hz, std::array<uint8_t, 3>& out, std::string* error_text);
// The carrier Frf gives, Hz.
double Rfm69CarrierHz(uint32_t frf);
// Register 11 for `kind` 3..5 and the stored power 0..31.
uint8_t Rfm69PaLevel(int kind, int power);

// Batch step: 94 87 Frf[23:16] Frf[15:8] Frf[7:0].
class Rfm69BatchSteps : public IGenBatchSteps {
 public:
  explicit Rfm69BatchSteps(const GenDesk& desk) : desk_(&desk) {}
  BatchStep AppendFrequencyStep(double hz, std::vector<uint8_t>& out, std::string& reason) override;
  // The pause of synchronisation type 0: RegOpMode synthesiser (08), then transmit (0C).
  void AppendOutputOff(std::vector<uint8_t>& out) const override {
    out.insert(out.end(), {0x92, 0x81, 0x08});
  }
  void AppendOutputOn(std::vector<uint8_t>& out) const override {
    out.insert(out.end(), {0x92, 0x81, 0x0C});
  }

 private:
  const GenDesk* desk_;
};

class Rfm69Gen : public IGenChip {
 public:
  explicit Rfm69Gen(const SpiGenContext& ctx) : ctx_(ctx), steps_(*ctx.desk) {}
  bool Init() override;
  bool SetF(double hz) override { return Rfm69_SetF(ctx_.desk->CorrectedHz(hz)); }
  bool On(bool on) override { return Rfm69_On(on); }
  IGenBatchSteps& BatchSteps() override { return steps_; }

  bool Rfm69_SetF(double hz);
  bool Rfm69_On(bool on);

 private:
  SpiGenContext ctx_;
  Rfm69BatchSteps steps_;
};

}  // namespace kavu
