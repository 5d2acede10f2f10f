#pragma once
// A generator chip on one of the emulated board's SPI chip selects: it sees its chip select go
// low and high and the bytes exchanged meanwhile, and tells what its output generates. Models:
// Si4432/31 (Rfm22b/23b), SX1231 (Rfm69), AD9833, ADF4351, Si4463.
//
// A transfer in an SPI mode other than the chip's is not understood: the chip ignores the byte
// and answers 0xFF (the line floats high).
//
// Not thread-safe: the owner (BoardPeripherals) serialises access.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sim/batch_timeline.h"

namespace kavu::sim {

// Faults a chip model can be told to commit.
enum class SpiChipFault {
  kNone,
  kWrongType,  // reports another device type / version / part number
  kCtsStuck,   // Si4463: clear-to-send never comes (reads 00)
  kCtsWrong,   // Si4463: clear-to-send reads 7F (a missing chip)
  kReadBack,   // written configuration registers do not read back (writes are lost)
};
// "wrong-type", "cts-stuck", "cts-wrong", "read-back"; nullopt-like kNone for an unknown name.
SpiChipFault SpiChipFaultFromName(std::string_view name, bool* ok);
const char* SpiChipFaultName(SpiChipFault f);

class ISpiChipModel {
 public:
  virtual ~ISpiChipModel() = default;
  // Bench name ("rfm22", ...), and the SPI mode 0..3 the chip is clocked in.
  virtual const char* Name() const = 0;
  virtual int Mode() const = 0;
  virtual void Select() = 0;
  // One byte exchanged while selected: returns the byte the chip drives.
  virtual uint8_t Transfer(uint8_t mosi) = 0;
  virtual void Deselect() = 0;
  // What the output generates now (fundamental frequency at the pin, Hz).
  virtual SourceState Output() const = 0;
  virtual void SetFault(SpiChipFault f) { fault_ = f; }
  // Retunings that disturbed the running output (AD9833: a write to the active register).
  virtual int Glitches() const { return 0; }

 protected:
  SpiChipFault fault_ = SpiChipFault::kNone;
};

// A chip whose SPI transactions are an address byte (bit 7 set = write) followed by data for
// consecutive registers (Si4432, SX1231): the address and burst handling, the registers left to
// the chip.
class BurstRegisterModel : public ISpiChipModel {
 public:
  void Select() override { addressed_ = false; }
  void Deselect() override { addressed_ = false; }
  uint8_t Transfer(uint8_t mosi) override {
    if (!addressed_) {
      addressed_ = true;
      write_ = mosi & 0x80;
      addr_ = mosi & 0x7F;
      return IdleByte();
    }
    const uint8_t reg = addr_;
    addr_ = (addr_ + 1) & 0x7F;
    if (!write_) return ReadReg(reg);
    WriteReg(reg, mosi);
    return IdleByte();
  }

 protected:
  virtual uint8_t ReadReg(uint8_t reg) const = 0;
  virtual void WriteReg(uint8_t reg, uint8_t v) = 0;
  // What the chip drives while it is written to.
  virtual uint8_t IdleByte() const { return 0xFF; }

 private:
  bool addressed_ = false;
  bool write_ = false;
  uint8_t addr_ = 0;
};

// The chips the bench can fit, with the generator kind the program stores for each.
struct SpiChipKind {
  const char* name;     // "si5351", "rfm22", "rfm23", "rfm69", "ad9833", "adf4351", "si4463"
  int gen_kind;         // m_GenRfmType; 0 for the Si5351 (not an SPI chip)
  const char* meaning;  // one line for sim-list
};
const std::vector<SpiChipKind>& SpiChipKinds();
// A new model of chip `name` (nullptr for an unknown name and for "si5351").
std::unique_ptr<ISpiChipModel> MakeSpiChipModel(std::string_view name);

}  // namespace kavu::sim
