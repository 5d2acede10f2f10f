#include "sim/si5351_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "board/si5351_calc.h"

namespace kavu::sim {
namespace {

void WriteBlock(Si5351Model& m, uint8_t reg, std::vector<uint8_t> bytes) {
  m.Start();
  ASSERT_TRUE(m.Write(Si5351Model::kWriteAddress));
  ASSERT_TRUE(m.Write(reg));
  for (uint8_t b : bytes) ASSERT_TRUE(m.Write(b));
  m.Stop();
}

// Writes the registers the program writes for output i: PLL A by batch, or PLL B directly.
void Program(Si5351Model& m, const Si5351Regs& r, int i, bool pll_b) {
  WriteBlock(m, pll_b ? 34 : 26, {r.pll.begin(), r.pll.end()});
  WriteBlock(m, static_cast<uint8_t>(42 + 8 * i), {r.ms.begin(), r.ms.end()});
  WriteBlock(m, static_cast<uint8_t>(16 + i), {static_cast<uint8_t>(r.clk_control + (pll_b ? 0x20 : 0))});
  WriteBlock(m, pll_b ? 23 : 22, {r.reg22_23});
  WriteBlock(m, 177, {static_cast<uint8_t>(pll_b ? 0x80 : 0x20)});
  WriteBlock(m, 3, {static_cast<uint8_t>(0xFF - (1 << i))});
}

// Largest error the chip's dividers allow for the request: half a step of 2^-19 in the PLL
// (mode 1) or in the output divider, coarsened by the R-divider halvings (mode 0).
double Resolution(const Si5351Config& c, const Si5351Regs& r) {
  const double f = r.requested / r.harmonic;
  const double step = r.mode == 1 ? c.Fx / 4.0 / kSi5351Denominator
                                  : f * f * 128.0 / (c.KMax * c.Fx) / kSi5351Denominator;
  return r.harmonic * step + 1e-6;
}

TEST(Si5351Model, DecodedFrequencyTimesHarmonicMatchesEveryRequest) {
  for (double crystal : {25e6, 27e6}) {
    Si5351Config cfg;
    cfg.FrefHz = crystal;
    cfg.MaxFOutsMHz = {250, 200, 100};
    cfg.CheckAndDerive();
    std::vector<double> freqs{100e3, 1e6, 14.2e6, 50e6, 125e6, 145e6, 250e6, 434e6, 1e9};
    for (double f = 100e3; f <= 1e9; f *= 1.0713) freqs.push_back(f);
    int modes[2] = {0, 0}, harmonics[8] = {};
    for (double f : freqs) {
      for (int i = 0; i < 3; ++i) {
        Si5351Regs r;
        std::string err;
        ASSERT_TRUE(Si5351_CalcF(cfg, f, i, r, err)) << err;
        ++modes[r.mode];
        ++harmonics[std::min(r.harmonic, 7)];
        for (bool pll_b : {false, true}) {
          Si5351Model m(crystal);
          Program(m, r, i, pll_b);
          const Si5351Output o = m.Output(i);
          EXPECT_TRUE(o.on);
          EXPECT_NEAR(o.hz * r.harmonic, f, Resolution(cfg, r))
              << "crystal " << crystal << " f " << f << " out " << i << " mode " << r.mode;
          EXPECT_NEAR(o.hz, r.actual, Resolution(cfg, r) / r.harmonic);
        }
      }
    }
    EXPECT_GT(modes[0], 10);
    EXPECT_GT(modes[1], 10);
    EXPECT_GT(harmonics[3], 0);
    EXPECT_GT(harmonics[5], 0);
    EXPECT_GT(harmonics[7], 0);
  }
}

TEST(Si5351Model, EnableDisableStatesAndPowerDown) {
  Si5351Config cfg;
  cfg.CheckAndDerive();
  Si5351Regs r;
  std::string err;
  ASSERT_TRUE(Si5351_CalcF(cfg, 10e6, 1, r, err));
  Si5351Model m;
  EXPECT_FALSE(m.Output(1).on);  // power-on: powered down, disabled
  Program(m, r, 1, false);
  EXPECT_TRUE(m.Output(1).on);
  WriteBlock(m, 3, {0xFF});
  EXPECT_FALSE(m.Output(1).on);
  EXPECT_NEAR(m.Output(1).hz, 10e6, 1.0);  // configured but held
  WriteBlock(m, 24, {0x0C});               // CLK1 never disabled
  EXPECT_TRUE(m.Output(1).on);
  WriteBlock(m, 24, {0x08});  // CLK1 high impedance when disabled
  EXPECT_FALSE(m.Output(1).on);
  WriteBlock(m, 3, {0xFD});
  WriteBlock(m, 17, {0x8F});  // powered down
  EXPECT_FALSE(m.Output(1).on);
  EXPECT_EQ(m.Output(1).hz, 0.0);
  WriteBlock(m, 17, {0x0F});
  WriteBlock(m, 15, {0x04});  // PLL A from CLKIN, which the board does not have
  EXPECT_EQ(m.Output(1).hz, 0.0);
}

TEST(Si5351Model, I2cAddressingReadBackAndAbsence) {
  Si5351Model m;
  WriteBlock(m, 16, {0x11, 0x22, 0x33});
  EXPECT_EQ(m.Reg(17), 0x22);
  m.Start();
  EXPECT_TRUE(m.Write(0xC0));
  EXPECT_TRUE(m.Write(17));
  m.Stop();
  m.Start();
  EXPECT_TRUE(m.Write(0xC1));
  EXPECT_EQ(m.Read(), 0x22);
  EXPECT_EQ(m.Read(), 0x33);
  m.Stop();
  m.Start();
  EXPECT_FALSE(m.Write(0xC2));  // another address
  EXPECT_FALSE(m.Write(3));
  m.Stop();
  m.SetPresent(false);
  m.Start();
  EXPECT_FALSE(m.Write(0xC0));
  EXPECT_EQ(m.Read(), 0xFF);
  m.Stop();
  EXPECT_EQ(m.Reg(3), 0xFF);
}

}  // namespace
}  // namespace kavu::sim
