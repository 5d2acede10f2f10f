// The main window's numbers and texts, with worked figures.
#include "scan/ui/spektr_texts.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kavu {
namespace {

TEST(SpektrTexts, SpinStepsAreATenthOfAMegahertzAndNeverBelow2500Hz) {
  EXPECT_DOUBLE_EQ(SpinStepFrequency(144e6, 1), 144.1e6);
  EXPECT_DOUBLE_EQ(SpinStepFrequency(144e6, -3), 143.7e6);
  EXPECT_DOUBLE_EQ(SpinStepFrequency(150000, -1), 50000);
  EXPECT_DOUBLE_EQ(SpinStepFrequency(3000, -1), 2500);
  EXPECT_DOUBLE_EQ(SpinStepFrequency(NAN, 1), 102500);  // a value that is no number starts at the floor
}

TEST(SpektrTexts, DoubleClickFrequencyIsTheClickedBinRoundedDownToKilohertz) {
  // The middle is the receiver frequency; the edges are half the rate away.
  EXPECT_DOUBLE_EQ(DoubleClickFrequency(0.5, 2.4e6, 144e6), 144e6);
  EXPECT_DOUBLE_EQ(DoubleClickFrequency(0.75, 2.4e6, 144e6), 144.6e6);
  EXPECT_DOUBLE_EQ(DoubleClickFrequency(0.0, 2.4e6, 144e6), 142.8e6);
  // 0.3 of 2048 bins at 2.048 MS/s: 409.6 kHz below 100.0004 MHz = 99.5908004 MHz -> 99.590 MHz.
  EXPECT_DOUBLE_EQ(DoubleClickFrequency(0.3, 2.048e6, 100.0004e6), 99.590e6);
  // Outside the picture, or not a number: clamped; never below 0 Hz.
  EXPECT_DOUBLE_EQ(DoubleClickFrequency(1.7, 2.4e6, 144e6), 145.2e6);
  EXPECT_DOUBLE_EQ(DoubleClickFrequency(NAN, 2.4e6, 144e6), 144e6);
  EXPECT_DOUBLE_EQ(DoubleClickFrequency(0.0, 2.4e6, 100e3), 0);
}

TEST(SpektrTexts, FrequencyEditTextIsTrimmedMegahertz) {
  EXPECT_EQ(MhzEditText(144.1e6), "144.1 МГц");
  EXPECT_EQ(MhzEditText(144e6), "144 МГц");
  EXPECT_EQ(MhzEditText(144123456.789), "144.123456789 МГц");
}

TEST(SpektrTexts, ResultLinesShowTheLastPointThenEveryRange) {
  MeasuredPoint p;
  p.f = 145e6;
  p.r = 50.1234;
  p.x = -3.5;
  p.swr = 1.0712;
  ScanRange ranges[2];
  ranges[0].start = 140e6;
  ranges[0].end = 150e6;
  ranges[0].step = 0.5e6;
  ranges[1].start = 425e6;
  ranges[1].end = 440e6;
  ranges[1].step = 1e6;
  const auto lines = ResultLines(p, ranges, 2);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "f=145.000, Z=(50.123, -3.500), КСВ=1.07  ");
  EXPECT_EQ(lines[1], RangeSummaryLine(ranges[0]) + "    ");
  EXPECT_EQ(lines[2].rfind("Диа 425 - 440 МГц", 0), 0u) << lines[2];
  // No point measured yet: the summaries alone.
  p.f = -1;
  EXPECT_EQ(ResultLines(p, ranges, 2).size(), 2u);
  EXPECT_TRUE(ResultLines(p, ranges, 0).empty());
}

TEST(SpektrTexts, ReceiveStatusLine) {
  ReceiveFigures f;
  f.rate_sps = 2.4e6;
  f.max_block = 16384;
  f.peak_a = 0.25f;
  f.rtl = true;
  f.gain_db = 29.7;
  EXPECT_EQ(ReceiveStatusText(f), "Поток 2.400 МВыб/с, блок 16384 (3.4 мс); Пик 0.25, G=29.7");
  f.has_b = true;
  f.peak_b = 0.5f;
  f.has_spectrum = true;
  f.spectrum_min_db = -71.6;
  f.spectrum_max_db = 12.2;
  f.direct_mode = 2;
  EXPECT_EQ(ReceiveStatusText(f), "Поток 2.400 МВыб/с, блок 16384 (3.4 мс); Пик 0.25/0.5, спектр [-72 - 12] дб, InQ");
  f.direct_mode = 1;
  f.rtl = true;
  EXPECT_NE(ReceiveStatusText(f).find(", InI"), std::string::npos);
  // A HackRF: its LNA, the amplifier when on, its VGA.
  ReceiveFigures h;
  h.rate_sps = 20e6;
  h.max_block = 131072;
  h.peak_a = 60;
  h.hackrf = true;
  h.lna = 16;
  h.vga = 14;
  EXPECT_EQ(ReceiveStatusText(h), "Поток 20.000 МВыб/с, блок 131072 (3.3 мс); Пик 60, lna=16 vga=14");
  h.amp = true;
  EXPECT_EQ(ReceiveStatusText(h), "Поток 20.000 МВыб/с, блок 131072 (3.3 мс); Пик 60, lna=16amp vga=14");
  // A receiver that counts its blocks in samples (a plug-in): 16384 at 2 MS/s.
  ReceiveFigures plugin;
  plugin.rate_sps = 2e6;
  plugin.max_block = 16384;
  plugin.peak_a = 1;
  EXPECT_EQ(ReceiveStatusText(plugin), "Поток 2.000 МВыб/с, блок 16384 (8.2 мс); Пик 1");
  // An SDRplay in dual-tuner mode (blocks in samples): both peaks, its gain reduction and LNA state.
  ReceiveFigures d;
  d.rate_sps = 2e6;
  d.max_block = 2016;
  d.peak_a = 120;
  d.peak_b = 300;
  d.has_b = true;
  d.sdrplay = true;
  d.grdb = 40;
  d.sdr_lna = 3;
  EXPECT_EQ(ReceiveStatusText(d), "Поток 2.000 МВыб/с, блок 2016 (1.0 мс); Пик 120/300, gRdB=40, lna=3");
  // Nothing received yet: no division by a zero rate.
  ReceiveFigures none;
  EXPECT_EQ(ReceiveStatusText(none), "Поток 0.000 МВыб/с, блок 0 (0.0 мс); Пик 0");
}

}  // namespace
}  // namespace kavu
