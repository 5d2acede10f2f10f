#pragma once
// Si4463 generator (transceiver with a 30 MHz crystal, kind 8) on an SPI chip select, SPI mode 0,
// driven by the chip's commands with the clear-to-send handshake: short commands travel as
// one-element batches run at once, replies are read by direct SPI transfers (READ_CMD_BUFF).
// A continuous-wave transmitter from about 142 MHz to 1136 MHz; above that a fundamental of
// F / N is set so that its N-th harmonic is the wanted frequency.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "board/gen_chip.h"
#include "board/spi_gen_base.h"

namespace kavu {

struct Si4463Freq {
  std::array<uint8_t, 4> bytes{};  // INTE, FRAC[23:16], FRAC[15:8], FRAC[7:0]
  int band = 0;                    // band code written to MODEM_CLKGEN_BAND (0x08..0x0D)
  int harmonic = 1;                // N: the fundamental is F / N
  double fundamental_hz = 0.0;
};
// The frequency plan for `hz`. False for a frequency out of reach (NaN, ≤ 0, or a fundamental
// whose floor(x) falls outside 1..255), checked before any conversion.
bool SI4463_CalcSetF(double hz, Si4463Freq& out);

// Batch step: 93 34 03 00, FE, 98 11 40 04 00 + 4 bytes, FE, 92 31 00, FE; the end of the group
// when the band would change.
class Si4463BatchSteps : public IGenBatchSteps {
 public:
  explicit Si4463BatchSteps(const GenDesk& desk) : desk_(&desk) {}
  BatchStep AppendFrequencyStep(double hz, std::vector<uint8_t>& out, std::string& reason) override;
  // The pause of synchronisation type 0: CHANGE_STATE to READY, then START_TX.
  void AppendOutputOff(std::vector<uint8_t>& out) const override {
    out.insert(out.end(), {0x93, 0x34, 0x03, 0x00, 0xFE});
  }
  void AppendOutputOn(std::vector<uint8_t>& out) const override {
    out.insert(out.end(), {0x92, 0x31, 0x00, 0xFE});
  }

 private:
  const GenDesk* desk_;
};

class Si4463Gen : public IGenChip {
 public:
  static constexpr int kCtsTimeoutMs = 2000;
  explicit Si4463Gen(const SpiGenContext& ctx) : ctx_(ctx), steps_(*ctx.desk) {}
  bool Init() override;
  bool SetF(double hz) override { return SI4463_SetF(ctx_.desk->CorrectedHz(hz)); }
  bool On(bool on) override;
  IGenBatchSteps& BatchSteps() override { return steps_; }

  bool SI4463_SendCmd(const std::vector<uint8_t>& cmd);
  // Waits for clear-to-send and reads `n` reply bytes into *reply (may be nullptr for n = 0).
  bool SI4463_WaitRes(uint8_t* reply, int n);
  bool SI4463_ReadFast(std::array<uint8_t, 4>* out = nullptr);
  bool SI4463_SetProperty(uint8_t group, uint8_t first, const std::vector<uint8_t>& values);
  bool SI4463_GetProperty(uint8_t group, uint8_t first, int count);
  bool SI4463_SetF(double hz);

 private:
  bool Command(const std::vector<uint8_t>& cmd, uint8_t* reply = nullptr, int n = 0);
  bool StartTx();
  bool InitProperties();

  SpiGenContext ctx_;
  Si4463BatchSteps steps_;
};

}  // namespace kavu
