// The SPI generator chip models on their own: register writes in, generated frequency and
// output state out, as the chips' interfaces define them.
#include <gtest/gtest.h>

#include <initializer_list>

#include "sim/ad9833_model.h"
#include "sim/adf4351_model.h"
#include "sim/board_peripherals.h"
#include "sim/si4432_model.h"
#include "sim/si4463_model.h"
#include "sim/sx1231_model.h"

namespace kavu::sim {
namespace {

// One chip-select period: the bytes in, the bytes the chip drove back.
std::vector<uint8_t> Frame(ISpiChipModel& chip, std::initializer_list<uint8_t> bytes) {
  std::vector<uint8_t> in;
  chip.Select();
  for (uint8_t b : bytes) in.push_back(chip.Transfer(b));
  chip.Deselect();
  return in;
}

TEST(SpiChipModels, Si4432CarrierTxAndReset) {
  Si4432Model m;
  EXPECT_EQ(Frame(m, {0x00, 0xFF})[1], 0x08);
  Frame(m, {0xF5, 0x75, 0xBB, 0x80});  // burst from 75
  EXPECT_DOUBLE_EQ(m.CarrierHz(), 915e6);
  EXPECT_FALSE(m.Output().on);
  Frame(m, {0x87, 0x0B});
  EXPECT_TRUE(m.Output().on);
  EXPECT_EQ(Frame(m, {0x02, 0xFF})[1] & 3, 2);
  Frame(m, {0x87, 0x80});  // software reset
  EXPECT_FALSE(m.Output().on);
  EXPECT_EQ(m.Reg(0x07), 0x01);
  m.SetFault(SpiChipFault::kWrongType);
  EXPECT_NE(Frame(m, {0x00, 0xFF})[1] & 0x1F, 0x08);
}

TEST(SpiChipModels, Sx1231FrfTakesEffectAtItsLastByte) {
  Sx1231Model m;
  EXPECT_EQ(Frame(m, {0x10, 0x00})[1], 0x24);
  Frame(m, {0x87, 0x6C, 0x7A});  // two of three bytes: the old Frf stays
  EXPECT_EQ(m.Frf(), 0xE4C000u);
  Frame(m, {0x89, 0xE1});
  EXPECT_EQ(m.Frf(), 0x6C7AE1u);
  EXPECT_NEAR(m.CarrierHz(), 433.92e6, 61.0);
  Frame(m, {0x81, 0x0C});
  EXPECT_EQ(Frame(m, {0x01, 0x00})[1], 0x0C);
  EXPECT_TRUE(m.Output().on);
  Frame(m, {0x81, 0x08});
  EXPECT_FALSE(m.Output().on);
}

TEST(SpiChipModels, Ad9833HalvesSelectResetSleepAndGlitches) {
  Ad9833Model m;
  EXPECT_FALSE(m.Output().on);  // in reset after power-on
  Frame(m, {0x21, 0x00});
  Frame(m, {0x97, 0x0A});  // FREQ1 low half
  EXPECT_EQ(m.FreqWord(1), 0u);
  Frame(m, {0x82, 0x8F});  // high half
  EXPECT_EQ(m.FreqWord(1), 0xA3D70Au);
  Frame(m, {0x28, 0x08});  // run from FREQ1
  EXPECT_TRUE(m.Output().on);
  EXPECT_NEAR(m.Output().hz, 1e6, 0.1);
  EXPECT_EQ(m.Glitches(), 0);
  Frame(m, {0x97, 0x0A});
  Frame(m, {0x82, 0x8F});  // the register that runs: a glitch
  EXPECT_EQ(m.Glitches(), 1);
  Frame(m, {0x00, 0x80});  // clock off
  EXPECT_FALSE(m.Output().on);
}

std::vector<uint8_t> Word(uint32_t v) {
  return {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
          static_cast<uint8_t>(v)};
}
void Write(Adf4351Model& m, uint32_t v) {
  m.Select();
  for (uint8_t b : Word(v)) m.Transfer(b);
  m.Deselect();
}

TEST(SpiChipModels, Adf4351DoubleBufferedDividerAndRanges) {
  Adf4351Model m(25e6);
  for (uint32_t v : {0x00580005u, 0x00B32004u, 0x0080000Bu, 0x0C006E42u, 0x0800FFF9u, 0x00400000u}) {
    Write(m, v);
  }
  EXPECT_DOUBLE_EQ(m.PfdHz(), 25e6);
  EXPECT_DOUBLE_EQ(m.VcoHz(), 3.2e9);
  EXPECT_EQ(m.Divider(), 8);
  EXPECT_FALSE(m.Output().on);  // output disabled in R4
  Write(m, 0x00D32024u);        // divider 32, output on: waits for R0
  EXPECT_EQ(m.Divider(), 8);
  Write(m, 0x00400000u);
  EXPECT_EQ(m.Divider(), 32);
  EXPECT_TRUE(m.Output().on);
  EXPECT_DOUBLE_EQ(m.Output().hz, 100e6);
  Write(m, 180u << 15);  // VCO 4.5 GHz: out of range, no lock
  EXPECT_TRUE(m.VcoOutOfRange());
  EXPECT_FALSE(m.Output().on);
  m.Select();  // a cut word is not latched
  m.Transfer(0x00);
  m.Deselect();
  EXPECT_EQ(m.Reg(0), 180u << 15);
}

TEST(SpiChipModels, Si4463CommandsCtsAndTx) {
  Si4463Model m;
  Frame(m, {0x01});  // PART_INFO
  auto r = Frame(m, {0x44, 0x00, 0x00, 0x00, 0x00});
  EXPECT_EQ(r[1], 0x00);  // busy for one poll
  EXPECT_EQ(r[2], 0xFF);
  EXPECT_EQ(r[3], 0x11);
  EXPECT_EQ(r[4], 0x44);
  Frame(m, {0x11, 0x20, 0x01, 0x51, 0x08});
  Frame(m, {0x11, 0x40, 0x04, 0x00, 0x33, 0x0B, 0x33, 0x33});
  EXPECT_NEAR(m.PropertyHz(), 786e6, 30.0);
  EXPECT_FALSE(m.Output().on);
  Frame(m, {0x31, 0x00, 0x00});
  EXPECT_TRUE(m.Output().on);
  EXPECT_NEAR(m.Output().hz, 786e6, 30.0);
  Frame(m, {0x12, 0x40, 0x01, 0x00});
  r = Frame(m, {0x44, 0x00, 0x00, 0x00});
  EXPECT_EQ(r[3], 0x33);
  Frame(m, {0x34, 0x03});
  EXPECT_FALSE(m.Output().on);
  m.SetFault(SpiChipFault::kCtsWrong);
  EXPECT_EQ(Frame(m, {0x44, 0x00})[1], 0x7F);
}

TEST(SpiChipModels, PeripheralsRouteByChipSelectAndMode) {
  BoardPeripherals p;
  p.FitSpiChip(1, std::make_unique<Sx1231Model>());
  p.SetSpiMode(0);
  p.SetOutputs(0x07 & ~0x02);  // CS1 low
  EXPECT_EQ(p.SpiTransfer(0x10), 0x00);
  EXPECT_EQ(p.SpiTransfer(0x00), 0x24);
  p.SetOutputs(0x07);
  p.SetOutputs(0x07 & ~0x01);  // CS0: nothing fitted
  EXPECT_EQ(p.SpiTransfer(0x10), 0xFF);
  p.SetOutputs(0x07);
  p.SetSpiMode(3);  // a mode the chip does not understand
  p.SetOutputs(0x07 & ~0x02);
  p.SpiTransfer(0x10);
  EXPECT_EQ(p.SpiTransfer(0x00), 0xFF);
  p.SetOutputs(0x07);
  EXPECT_FALSE(p.SetSpiChipFault(2, SpiChipFault::kWrongType));
  EXPECT_TRUE(p.SetSpiChipFault(1, SpiChipFault::kWrongType));
}

}  // namespace
}  // namespace kavu::sim
