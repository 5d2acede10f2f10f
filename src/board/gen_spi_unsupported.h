#pragma once
// Stand-in for the SPI generator kinds whose drivers are not in this version (Rfm22/23, Rfm69,
// AD9833, ADF4351, Si4463): every operation fails with a clear text instead of pretending, and
// a batch step is refused. Replaced kind by kind as the drivers arrive (see gen_chip.h).
#include <string>

#include "board/gen_chip.h"
#include "board/gen_state.h"

namespace kavu {

class GenSpiUnsupported : public IGenChip, private IGenBatchSteps {
 public:
  GenSpiUnsupported(int kind, GenState& gen) : kind_(kind), gen_(&gen) {}
  bool Init() override;
  bool SetF(double hz) override;
  bool On(bool on) override;
  IGenBatchSteps& BatchSteps() override { return *this; }

  // The text every operation reports.
  std::string Text() const;

 private:
  BatchStep AppendFrequencyStep(double hz, std::vector<uint8_t>& out,
                                std::string& reason) override;
  void AppendOutputOff(std::vector<uint8_t>&) const override {}
  void AppendOutputOn(std::vector<uint8_t>&) const override {}

  int kind_;
  GenState* gen_;
};

}  // namespace kavu
