// The SPI generators' register arithmetic and batch steps, without a board: the worked vectors
// and the edges of each chip family.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "board/ad9833_gen.h"
#include "board/adf4351_gen.h"
#include "board/gen_batch.h"
#include "board/gen_power.h"
#include "board/rfm22_gen.h"
#include "board/rfm69_gen.h"
#include "board/si4463_gen.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

using Bytes3 = std::array<uint8_t, 3>;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

class SpiGenCalcTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Log().SetSink(OLogConsole::Sink::None);
    Log().SetCapture(true);
    Log().TakeCaptured();
  }
  void TearDown() override {
    Log().SetCapture(false);
    Log().SetSink(OLogConsole::Sink::Stdout);
  }
};

TEST_F(SpiGenCalcTest, Rfm22CarrierBytesAndRange) {
  Bytes3 r{};
  ASSERT_TRUE(Rfm22_SetF_ToBuf(915e6, r, nullptr));
  EXPECT_EQ(r, (Bytes3{0x75, 0xBB, 0x80}));
  ASSERT_TRUE(Rfm22_SetF_ToBuf(240e6, r, nullptr));
  EXPECT_EQ(r, (Bytes3{0x40, 0x00, 0x00}));
  ASSERT_TRUE(Rfm22_SetF_ToBuf(480e6, r, nullptr));
  EXPECT_EQ(r, (Bytes3{0x60, 0x00, 0x00}));
  ASSERT_TRUE(Rfm22_SetF_ToBuf(434e6, r, nullptr));
  EXPECT_EQ(r, (Bytes3{0x53, 0x64, 0x00}));
  EXPECT_DOUBLE_EQ(Rfm22CarrierHz(r), 434e6);

  std::string text;
  EXPECT_FALSE(Rfm22_SetF_ToBuf(960e6, r, &text));
  EXPECT_EQ(text, "частота 960 МГц вне возможностей Rfm22 / Rfm23, надо 240-960 МГц");
  EXPECT_NE(Log().TakeCaptured().find("CC_Rele_Dlg::Rfm22_SetF_ToBuf() - FM=960 МГц вне диа"),
            std::string::npos);
  EXPECT_FALSE(Rfm22_SetF_ToBuf(239.999999e6, r, nullptr));
  EXPECT_FALSE(Rfm22_SetF_ToBuf(kNaN, r, nullptr));
  EXPECT_FALSE(Rfm22_SetF_ToBuf(1e300, r, nullptr));
  // The direct setting's correction: CS1 about 15 ppm above the batch value.
  EXPECT_NEAR((Rfm22DirectFactor(1) - 1.0) * 1e6, 15.08, 0.01);
  EXPECT_NEAR((Rfm22DirectFactor(0) - 1.0) * 1e6, 10.79, 0.01);
}

TEST_F(SpiGenCalcTest, Rfm69FrequencyWordAndPower) {
  Bytes3 r{};
  ASSERT_TRUE(Rfm69_CalcF(433.92e6, r, nullptr));
  EXPECT_EQ(r, (Bytes3{0x6C, 0x7A, 0xE1}));
  ASSERT_TRUE(Rfm69_CalcF(915e6, r, nullptr));
  EXPECT_EQ(r, (Bytes3{0xE4, 0xC0, 0x00}));
  std::string text;
  EXPECT_FALSE(Rfm69_CalcF(1100e6, r, &text));  // Frf above 0xFFFFFF
  EXPECT_EQ(text, "частота 1100 МГц вне возможностей Rfm69");
  EXPECT_FALSE(Rfm69_CalcF(kNaN, r, nullptr));
  EXPECT_FALSE(Rfm69_CalcF(1e30, r, nullptr));
  EXPECT_FALSE(Rfm69_CalcF(10.0, r, nullptr));  // Frf 0
  EXPECT_FALSE(Rfm69_CalcF(-5e6, r, nullptr));

  EXPECT_EQ(Rfm69PaLevel(3, 5), 0x85);
  EXPECT_EQ(Rfm69PaLevel(4, 5), 0x40 + 16);  // below 16: level 16
  EXPECT_EQ(Rfm69PaLevel(5, 3), 0x60 + 16);
  EXPECT_EQ(Rfm69PaLevel(5, 31), 0x60 + 31);

  GenDesk d;
  d.m_GenRfmType = 4;
  d.m_GenPowerRfm69 = 3;
  EXPECT_EQ(GenPowerDbm(d), -2.0);  // counted as 16
  d.m_GenRfmType = 5;
  EXPECT_EQ(GenPowerDbm(d), 2.0);
  d.m_GenRfmType = 3;
  EXPECT_EQ(GenPowerDbm(d), -15.0);
  d.m_GenRfmType = 1;
  d.m_GenPowerRfm22 = 7;
  EXPECT_EQ(GenPowerDbm(d), 20.0);
  d.m_GenRfmType = 2;
  EXPECT_EQ(GenPowerDbm(d), 13.0);
  d.m_GenRfmType = 7;
  d.m_ADF4351_Pow = 3;
  EXPECT_EQ(GenPowerDbm(d), 5.0);
  d.m_GenRfmType = 8;
  d.m_GenPowerSI4463 = 127;
  EXPECT_NEAR(*GenPowerDbm(d), 22.2 - 285.0 / 132.0, 1e-12);
  d.m_GenRfmType = 6;
  EXPECT_FALSE(GenPowerDbm(d).has_value());
}

TEST_F(SpiGenCalcTest, FileNameTextOfEachGenerator) {
  GenDesks d{};
  const int kinds[] = {1, 2, 4, 6, 7, 8};
  const char* const texts[] = {" rfm22b", " rfm23b", " rfm69", " dds_ad9833", " ADF4351+5дБм", " si4463"};
  for (size_t i = 0; i < 6; ++i) {
    d[1].m_GenRfmType = kinds[i];
    d[1].m_ADF4351_Pow = 3;
    EXPECT_EQ(GenFileNameText(101, d, true), texts[i]);
  }
  EXPECT_EQ(GenFileNameText(101, d, false), " si4463");
  d[1].m_GenRfmType = 7;
  EXPECT_EQ(GenFileNameText(101, d, false), " ADF4351");
  d[1].m_ADF4351_Pow = 0;
  EXPECT_EQ(GenFileNameText(101, d, true), " ADF4351+-4дБм");
  EXPECT_EQ(GenFileNameText(0, d, true), " si5351");
  EXPECT_EQ(GenFileNameText(2, d, true), " si5351-2");
  EXPECT_EQ(GenFileNameText(100, d, true), "");  // slot 0 empty
  EXPECT_EQ(GenFileNameText(-111, d, true), "");
}

TEST_F(SpiGenCalcTest, Ad9833WordsToggleAndRange) {
  int toggle = 0;
  std::array<uint16_t, 3> w{};
  ASSERT_TRUE(DDS_ad9833_SetF_ToBuf(1e6, 0, toggle, w, nullptr));
  EXPECT_EQ(w, (std::array<uint16_t, 3>{0x970A, 0x828F, 0x2808}));
  EXPECT_EQ(toggle, 1);
  ASSERT_TRUE(DDS_ad9833_SetF_ToBuf(1e6, 1, toggle, w, nullptr));
  EXPECT_EQ(w, (std::array<uint16_t, 3>{0x570A, 0x428F, 0x200A}));  // FREQ0, triangle
  EXPECT_EQ(toggle, 0);
  ASSERT_TRUE(DDS_ad9833_SetF_ToBuf(0.0, 2, toggle, w, nullptr));
  EXPECT_EQ(w, (std::array<uint16_t, 3>{0x8000, 0x8000, 0x2828}));
  ASSERT_TRUE(DDS_ad9833_SetF_ToBuf(24.99999990e6, 0, toggle, w, nullptr));  // FW 0x0FFFFFFF
  EXPECT_EQ(w[0] & 0x3FFF, 0x3FFF);
  EXPECT_EQ(w[1] & 0x3FFF, 0x3FFF);
  const int before = toggle;
  std::string text;
  EXPECT_FALSE(DDS_ad9833_SetF_ToBuf(25e6, 0, toggle, w, &text));
  EXPECT_EQ(text, "частота 25 МГц вне возможностей DDS_ad9833, надо от 0 до 12.5 МГц");
  EXPECT_FALSE(DDS_ad9833_SetF_ToBuf(kNaN, 0, toggle, w, nullptr));
  EXPECT_FALSE(DDS_ad9833_SetF_ToBuf(1e20, 0, toggle, w, nullptr));
  EXPECT_FALSE(DDS_ad9833_SetF_ToBuf(-1e6, 0, toggle, w, nullptr));
  EXPECT_EQ(toggle, before);
}

TEST_F(SpiGenCalcTest, Adf4351RegistersDividerAndHarmonic) {
  MyADF4351 adf;
  adf.TestCreateFractional(25e6, 0);
  EXPECT_DOUBLE_EQ(adf.F_PFD, 25e6);
  EXPECT_EQ(adf.R[2], 0x0C006E42u);
  EXPECT_EQ(adf.R[4], 0x00B32004u);  // B = 50, divider 8, output off
  uint32_t r0 = 0, r4 = 0;
  ASSERT_TRUE(adf.SetF(100e6, r0, r4));
  EXPECT_EQ(r0, 0x00400000u);  // INT 128, FRAC 0
  EXPECT_EQ(r4, 0x00D32004u);  // divider 32
  ASSERT_TRUE(adf.SetF(34.375e6, r0, r4));
  EXPECT_EQ((r4 >> 20) & 7, 6u);
  EXPECT_EQ(r0 >> 15, 88u);
  EXPECT_FALSE(adf.SetF(34.374e6, r0, r4));
  ASSERT_TRUE(adf.SetF(5e9, r0, r4));  // third harmonic: 1.6667 GHz x 2
  EXPECT_EQ((r4 >> 20) & 7, 1u);
  EXPECT_EQ(r0 >> 15, 133u);
  ASSERT_TRUE(adf.SetF(4.4e9, r0, r4));
  EXPECT_EQ((r4 >> 20) & 7, 0u);
  // A VCO above 4.4 GHz is out of the chip's range, even on the third harmonic.
  EXPECT_FALSE(adf.SetF(13.3e9, r0, r4));
  EXPECT_FALSE(adf.SetF(kNaN, r0, r4));
  EXPECT_FALSE(adf.SetF(-1.0, r0, r4));
  EXPECT_FALSE(adf.SetF(std::numeric_limits<double>::infinity(), r0, r4));
  adf.TestCreateFractional(100e6, 2);  // R = 4
  EXPECT_DOUBLE_EQ(adf.F_PFD, 25e6);
  EXPECT_EQ((adf.R[2] >> 14) & 0x3FF, 4u);
  EXPECT_EQ((adf.R[4] >> 3) & 3, 2u);
  EXPECT_EQ(adf.R4WithOutput(true) & 0x23, 0x20u);
}

TEST_F(SpiGenCalcTest, Si4463BandTableAndHarmonics) {
  Si4463Freq f;
  ASSERT_TRUE(SI4463_CalcSetF(786e6, f));
  EXPECT_EQ(f.bytes, (std::array<uint8_t, 4>{0x33, 0x0B, 0x33, 0x33}));
  EXPECT_EQ(f.band, 0x08);
  ASSERT_TRUE(SI4463_CalcSetF(434e6, f));
  EXPECT_EQ(f.bytes, (std::array<uint8_t, 4>{0x38, 0x0E, 0xEE, 0xEE}));
  EXPECT_EQ(f.band, 0x0A);
  ASSERT_TRUE(SI4463_CalcSetF(1136e6, f));
  EXPECT_EQ(f.harmonic, 1);
  ASSERT_TRUE(SI4463_CalcSetF(1136e6 + 1, f));
  EXPECT_EQ(f.harmonic, 2);
  EXPECT_NEAR(f.fundamental_hz, 568e6, 1.0);
  EXPECT_EQ(f.band, 0x09);
  ASSERT_TRUE(SI4463_CalcSetF(150e6, f));
  EXPECT_EQ(f.band, 0x0D);
  EXPECT_FALSE(SI4463_CalcSetF(1e6, f));  // floor(x) = 0
  EXPECT_FALSE(SI4463_CalcSetF(kNaN, f));
  EXPECT_FALSE(SI4463_CalcSetF(0.0, f));
}

TEST_F(SpiGenCalcTest, BatchStepsOfEachFamily) {
  GenDesk d;
  std::vector<uint8_t> out;
  std::string reason;
  Rfm22BatchSteps rfm22(d);
  EXPECT_EQ(rfm22.AppendFrequencyStep(915e6, out, reason), BatchStep::kAppended);
  EXPECT_EQ(out, (std::vector<uint8_t>{0x94, 0xF5, 0x75, 0xBB, 0x80}));
  out.clear();
  Rfm69BatchSteps rfm69(d);
  EXPECT_EQ(rfm69.AppendFrequencyStep(433.92e6, out, reason), BatchStep::kAppended);
  EXPECT_EQ(out, (std::vector<uint8_t>{0x94, 0x87, 0x6C, 0x7A, 0xE1}));
  out.clear();
  EXPECT_EQ(rfm69.AppendFrequencyStep(2e9, out, reason), BatchStep::kFailed);
  EXPECT_EQ(reason, " вызов Rfm22_SetF_ToBuf() вернул ошибку\n");

  int toggle = 0;
  Ad9833BatchSteps dds(d, toggle);
  EXPECT_EQ(dds.AppendFrequencyStep(1e6, out, reason), BatchStep::kAppended);
  EXPECT_EQ(out, (std::vector<uint8_t>{0x92, 0x97, 0x0A, 0x92, 0x82, 0x8F, 0x92, 0x28, 0x08}));
  out.clear();

  MyADF4351 adf;
  adf.TestCreateFractional(25e6, 0);
  uint32_t r0 = 0, r4 = 0;
  ASSERT_TRUE(adf.SetF(100e6, r0, r4));
  adf.R[4] = r4;
  Adf4351BatchSteps pll(d, adf);
  EXPECT_EQ(pll.AppendFrequencyStep(110e6, out, reason), BatchStep::kAppended);
  EXPECT_EQ(out.size(), 5u);
  EXPECT_EQ(out[0], 0x94);
  out.clear();
  EXPECT_EQ(pll.AppendFrequencyStep(200e6, out, reason), BatchStep::kEndGroup);  // divider 16
  EXPECT_TRUE(out.empty());
  pll.AppendOutputOff(out);
  EXPECT_EQ(out, (std::vector<uint8_t>{0x94, 0x00, 0xD3, 0x20, 0x04}));

  out.clear();
  d.si4463_band = 0x08;
  Si4463BatchSteps si(d);
  EXPECT_EQ(si.AppendFrequencyStep(786e6, out, reason), BatchStep::kAppended);
  EXPECT_EQ(out, (std::vector<uint8_t>{0x93, 0x34, 0x03, 0x00, 0xFE, 0x98, 0x11, 0x40, 0x04, 0x00,
                                       0x33, 0x0B, 0x33, 0x33, 0xFE, 0x92, 0x31, 0x00, 0xFE}));
  out.clear();
  EXPECT_EQ(si.AppendFrequencyStep(434e6, out, reason), BatchStep::kEndGroup);
}

// A batch cut back by the buffer leaves the AD9833's register toggle where the last step that
// stays in the batch left it, so the next direct setting writes the register not in use.
TEST_F(SpiGenCalcTest, Ad9833ToggleFollowsTheBatchThatIsKept) {
  GenDesk d;
  int toggle = 0;
  Ad9833BatchSteps dds(d, toggle);
  BatchTimingInputs in;
  in.buffer_size = 60;  // prologue + two steps
  std::vector<double> f = {1e6, 1.1e6, 1.2e6, 1.3e6, 1.4e6};
  FrequencyBatch b;
  std::string error;
  ASSERT_TRUE(MyBigCmdCreate(in, f, dds, b, error)) << error;
  ASSERT_GT(b.count, 1);
  ASSERT_LT(b.count, 5);
  EXPECT_EQ(toggle, (b.count - 1) % 2);  // one flip per step kept
  toggle = 1;
  f = {1e6, 2e6, 30e6};  // the third cannot be made: the whole batch is refused
  EXPECT_FALSE(MyBigCmdCreate(BatchTimingInputs{}, f, dds, b, error));
  EXPECT_EQ(toggle, 1);
}

}  // namespace
}  // namespace kavu
