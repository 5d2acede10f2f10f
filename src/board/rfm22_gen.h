#pragma once
// Rfm22b / Rfm23b generator (Si4432 / Si4431 transceiver, kinds 1 and 2) on an SPI chip select,
// SPI mode 0: an unmodulated carrier from 240 to 960 MHz.
//
// Carrier registers 75..77 (one burst from 75): 0x40 + 0x20·hbsel + fb, fc high, fc low, for a
// carrier of 10 MHz · (hbsel + 1) · (fb + 24 + fc / 64000). The direct setting corrects for a
// fixed crystal error of these modules (about 15 ppm on CS1, 11 ppm elsewhere); batch steps use
// the frequency as given.
#include <array>
#include <cstdint>
#include <string>

#include "board/gen_chip.h"
#include "board/spi_gen_base.h"

namespace kavu {

// The three carrier register bytes for `hz`. False (after a red log line starting with
// `prefix`) for hz outside 240..960 MHz (NaN included), and then the generator error text goes
// to *error_text when given.
bool Rfm22_SetF_ToBuf(double hz, std::array<uint8_t, 3>& out, std::string* error_text,
                      const char* prefix = "CC_Rele_Dlg::Rfm22_SetF_ToBuf() - FM=");
// The carrier the bytes give, Hz.
double Rfm22CarrierHz(const std::array<uint8_t, 3>& regs);
// The direct setting's crystal correction for chip select `slot`.
double Rfm22DirectFactor(int slot);

// Batch step of kinds 1..5 with the Rfm22 burst: 94 F5 b0 b1 b2.
class Rfm22BatchSteps : public IGenBatchSteps {
 public:
  explicit Rfm22BatchSteps(const GenDesk& desk) : desk_(&desk) {}
  BatchStep AppendFrequencyStep(double hz, std::vector<uint8_t>& out, std::string& reason) override;
  // The pause of synchronisation type 0: transmitter off (register 07 = 03) and on (0B).
  void AppendOutputOff(std::vector<uint8_t>& out) const override {
    out.insert(out.end(), {0x92, 0x87, 0x03});
  }
  void AppendOutputOn(std::vector<uint8_t>& out) const override {
    out.insert(out.end(), {0x92, 0x87, 0x0B});
  }

 private:
  const GenDesk* desk_;
};

class Rfm22Gen : public IGenChip {
 public:
  // Whether to ask when the module does not answer as an Rfm22/23 (default 1): kept in the main
  // window's settings, which bind the same key.
  static constexpr const char* kAskSection = "ODlgSpektr";
  static constexpr const char* kAskKey = "IsCheckRfm22Cfg";

  explicit Rfm22Gen(const SpiGenContext& ctx) : ctx_(ctx), steps_(*ctx.desk) {}
  bool Init() override;
  bool SetF(double hz) override { return Rfm22_SetF(ctx_.desk->CorrectedHz(hz)); }
  bool On(bool on) override { return Rfm22_On(on); }
  IGenBatchSteps& BatchSteps() override { return steps_; }

  // `hz` already corrected by the slot's ppm.
  bool Rfm22_SetF(double hz);
  bool Rfm22_On(bool on);

 private:
  bool AskDeviceType();
  bool WriteAll(std::initializer_list<std::pair<uint8_t, uint8_t>> regs);

  SpiGenContext ctx_;
  Rfm22BatchSteps steps_;
};

}  // namespace kavu
