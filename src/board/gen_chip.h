#pragma once
// The small interface every generator chip family offers to the generator set-up and to the
// frequency-batch builder. One implementation per family, one file per family:
//   si5351_gen.h      Si5351 outputs CLK0..CLK2 (generator list codes 0..2)
//   rfm22_gen.h       Rfm22b / Rfm23b (kinds 1, 2)      } on the SPI chip selects CS0..CS2
//   rfm69_gen.h       Rfm69 (kinds 3, 4, 5)             } (generator list codes 100..102,
//   ad9833_gen.h      AD9833 (kind 6)                   }  one GenDesk per slot, the common
//   adf4351_gen.h     ADF4351 (kind 7)                  }  context in spi_gen_base.h)
//   si4463_gen.h      Si4463 (kind 8)                   }
//
// Adding a family:
//   1. Write <family>_gen.h/.cpp with a class deriving from IGenChip. Its constructor takes what
//      it needs (the board protocol, the slot's GenDesk, the generator error text to fill).
//   2. Init() runs the chip's start-up sequence; SetF() sets a frequency by direct commands;
//      On() switches the output. Each returns false after logging its own message; a frequency
//      outside the chip's range also puts "частота ... вне возможностей <chip> ..." into the
//      generator error text.
//   3. BatchSteps() gives an IGenBatchSteps (best a separate pure class, testable without a
//      board) whose AppendFrequencyStep() appends the batch elements that retune the chip (SPI elements
//      0x90 + n, I2C elements 0xA0 + n, 0xFE waits), without any delay or probing element: the
//      builder adds those. Return kEndGroup (appending nothing) when the chip cannot reach the
//      frequency inside a batch (a band or divider change that needs direct commands): the
//      group then ends before it and the next group starts with SetF.
//   4. AppendOutputOff()/AppendOutputOn() give the elements that switch the output off and on
//      again for the synchronisation pause of type 0 ("Выключение генератора"); leave them
//      empty when the board's pause markers suffice.
//   5. Add the kind to the factory in gen_setup.cpp (MakeChip) and to the kind table in
//      gen_desk.cpp.
// All calls come from the window thread.
#include <cstdint>
#include <string>
#include <vector>

namespace kavu {

enum class BatchStep {
  kAppended,  // the step's elements were appended (possibly none, when nothing changes)
  kEndGroup,  // the frequency needs a direct setting: end the group before it, no message
  kFailed,    // the calculation failed: `reason` says why, the batch is refused
};

// The batch side of a chip family: pure, nothing is sent. `hz` as the user asked for it.
class IGenBatchSteps {
 public:
  virtual ~IGenBatchSteps() = default;
  virtual BatchStep AppendFrequencyStep(double hz, std::vector<uint8_t>& out,
                                        std::string& reason) = 0;
  virtual void AppendOutputOff(std::vector<uint8_t>& out) const = 0;
  virtual void AppendOutputOn(std::vector<uint8_t>& out) const = 0;
  // What the chip will hold once the elements appended so far have run, for steps that depend
  // on it (the AD9833's register in use). The builder saves it before each step and gives it
  // back when it drops that step (buffer full, group ended) or the whole batch.
  virtual uint64_t SaveBatchMemory() const { return 0; }
  virtual void RestoreBatchMemory(uint64_t) {}
};

class IGenChip {
 public:
  virtual ~IGenChip() = default;

  // Start-up sequence of the chip, once per generator initialisation.
  virtual bool Init() = 0;
  // Sets frequency `hz` (as the user asked for it; a chip applies its own ppm correction) by
  // direct commands, or by a batch run at once.
  virtual bool SetF(double hz) = 0;
  // Switches the output on or off.
  virtual bool On(bool on) = 0;
  // The chip's batch contributions, for the frequency batch of a scan group.
  virtual IGenBatchSteps& BatchSteps() = 0;
};

}  // namespace kavu
