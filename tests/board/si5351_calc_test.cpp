#include "board/si5351_calc.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kavu {
namespace {

using Block = std::array<uint8_t, 8>;

Si5351Config Crystal(double fref, double ppm = 0.0) {
  Si5351Config c;
  c.FrefHz = fref;
  c.PPM = ppm;
  c.CheckAndDerive();
  return c;
}

Si5351Regs Calc(const Si5351Config& c, double hz, int out = 0) {
  Si5351Regs r;
  std::string err;
  EXPECT_TRUE(Si5351_CalcF(c, hz, out, r, err)) << hz << ": " << err;
  return r;
}

TEST(Si5351Calc, WorkedRegisterBlocksFor25MHzCrystal) {
  const Si5351Config c = Crystal(25e6);
  Si5351Regs r = Calc(c, 14.2e6);
  EXPECT_EQ(r.mode, 0);
  EXPECT_EQ(r.pll, (Block{0x00, 0x00, 0x00, 0x12, 0x00, 0x80, 0x00, 0x00}));
  EXPECT_EQ(r.ms, (Block{0x00, 0x00, 0x00, 0x21, 0x36, 0x80, 0xAD, 0x00}));
  EXPECT_EQ(r.clk_control, 0x0F);
  EXPECT_EQ(r.reg22_23, 0x8F);
  EXPECT_NEAR(r.actual, 14.2e6, 0.2);  // ratio 70 in steps of 2^-19

  r = Calc(c, 145e6);
  EXPECT_EQ(r.mode, 1);
  EXPECT_EQ(r.pll, (Block{0x00, 0x00, 0x00, 0x09, 0x99, 0x84, 0xCD, 0x00}));
  EXPECT_EQ(r.ms, (Block{0x00, 0x01, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00}));
  EXPECT_EQ(r.clk_control, 0x4F);

  r = Calc(c, 434e6);
  EXPECT_EQ(r.harmonic, 3);
  EXPECT_EQ(r.mode, 1);
  EXPECT_NEAR(r.actual, 144.667e6, 1e3);
  EXPECT_DOUBLE_EQ(r.requested, 434e6);

  r = Calc(c, 100e3);
  EXPECT_EQ(r.mode, 0);
  EXPECT_EQ((r.ms[2] >> 4) & 7, 3);
  EXPECT_EQ(r.ms, (Block{0x00, 0x00, 0x32, 0x6F, 0x00, 0x80, 0x00, 0x00}));
}

TEST(Si5351Calc, DerivedLimitsPerCrystal) {
  struct Row { double fref; int kmax; double four_min_mhz, max_mhz; };
  for (const Row& row : {Row{25e6, 40, 125, 250}, Row{27e6, 38, 128.25, 256.5},
                         Row{30e6, 34, 127.5, 255}, Row{32e6, 32, 128, 256}}) {
    const Si5351Config c = Crystal(row.fref);
    EXPECT_EQ(c.KMax, row.kmax) << row.fref;
    EXPECT_NEAR(c.FOut4Min, row.four_min_mhz * 1e6, 1e-3);
    EXPECT_NEAR(c.FOutMax, row.max_mhz * 1e6, 1e-3);
  }
}

TEST(Si5351Calc, NoCrystalGivesZeroLimitsAndRefusesFrequencies) {
  for (double fref : {0.0, 20e6, 70e6, double(NAN), double(INFINITY)}) {
    Si5351Config c = Crystal(fref);
    c.OutHz = {10e6, -5.0, 0.0};
    c.CheckAndDerive();
    EXPECT_EQ(c.FrefHz, 0.0);
    EXPECT_EQ(c.KMax, 0);
    EXPECT_EQ(c.FOut4Min, 0.0);
    EXPECT_EQ(c.FOutMax, 0.0);
    EXPECT_FALSE(c.Fitted());
    EXPECT_EQ(c.OutHz[0], 0.0);  // a fixed frequency is clamped to FOutMax = 0
    EXPECT_EQ(c.OutHz[1], -1e6);
    Si5351Regs r;
    std::string err;
    EXPECT_FALSE(Si5351_CalcF(c, 14.2e6, 0, r, err));
    EXPECT_NE(err.find("вне возможностей Si5351"), std::string::npos) << err;
  }
}

TEST(Si5351Calc, SettingChecks) {
  Si5351Config c = Crystal(25e6, 300'000.0);
  EXPECT_EQ(c.PPM, 0.0);
  c.MaxFOutsMHz = {5, 400, 100};
  c.OutHz = {400e6, 260e6, NAN};
  c.CheckAndDerive();
  EXPECT_EQ(c.MaxFOutsMHz, (std::array<int32_t, 3>{20, 350, 100}));
  EXPECT_EQ(c.OutHz[0], 0.0);         // above 350 MHz
  EXPECT_EQ(c.OutHz[1], c.FOutMax);   // above FOutMax
  EXPECT_EQ(c.OutHz[2], 0.0);
  const Si5351Config p = Crystal(25e6, 100.0);
  EXPECT_NEAR(p.Fx, 25e6 / 1.0001, 1e-6);
}

TEST(Si5351Calc, HarmonicAndModeEdges) {
  const Si5351Config c = Crystal(25e6);
  EXPECT_EQ(Calc(c, 250e6).harmonic, 1);
  EXPECT_EQ(Calc(c, 250e6 + 1).harmonic, 3);
  EXPECT_EQ(Calc(c, 125e6).mode, 1);
  EXPECT_EQ(Calc(c, 125e6 - 1).mode, 0);
  EXPECT_EQ(Calc(c, 1000e6).harmonic, 5);  // 4 rounded up to odd
  EXPECT_EQ(Calc(c, 1000e6, 2).harmonic, 5);
  Si5351Config low = c;
  low.MaxFOutsMHz[1] = 100;
  low.CheckAndDerive();
  const Si5351Regs r = Calc(low, 150e6, 1);
  EXPECT_EQ(r.harmonic, 3);
  EXPECT_EQ(r.mode, 0);  // 50 MHz fundamental lies below FOut4Min
}

TEST(Si5351Calc, TooLowForTheDividerIsRefusedWithTheGeneratorText) {
  const Si5351Config c = Crystal(25e6);
  EXPECT_EQ(Calc(c, 4000.0).mode, 0);  // 1e9 / 4000 = 250000 = 1953 * 128: still fits
  Si5351Regs r;
  std::string err;
  EXPECT_FALSE(Si5351_CalcF(c, 3000.0, 0, r, err));
  EXPECT_EQ(err, "частота 0.003 МГц вне возможностей Si5351, надо от 0.00381469726562 МГц");
  EXPECT_FALSE(Si5351_CalcF(c, 0.0, 0, r, err));
  EXPECT_FALSE(Si5351_CalcF(c, -1.0, 0, r, err));
  EXPECT_FALSE(Si5351_CalcF(c, NAN, 0, r, err));
  EXPECT_FALSE(Si5351_CalcF(c, 14e6, 3, r, err));
}

TEST(Si5351Calc, EncoderSplitsLargeRatiosIntoTheRDivider) {
  Block b{};
  bool int4 = true;
  ASSERT_TRUE(EncodeSi5351Multisynth(4096, 0, 524288, b, int4));
  EXPECT_FALSE(int4);
  EXPECT_EQ((b[2] >> 4) & 7, 2);  // 4096 = 1024 * 4: halved while 2048 or more
  ASSERT_TRUE(EncodeSi5351Multisynth(4, 0, 524288, b, int4));
  EXPECT_TRUE(int4);
  EXPECT_EQ(b, (Block{0x00, 0x01, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00}));
  EXPECT_FALSE(EncodeSi5351Multisynth(2048 * 128 + 1, 0, 524288, b, int4));
  EXPECT_FALSE(EncodeSi5351Multisynth(10, 1, 0, b, int4));
}

}  // namespace
}  // namespace kavu
