// The R and X diagram's arithmetic: palette entries worked out by hand, the lists as users type
// them, the SWR circles and the read-out texts.
#include <gtest/gtest.h>

#include <cmath>

#include "results/rx_diagram_math.h"

namespace kavu {
namespace {

TEST(RxDiagramMathTest, PaletteEntriesFollowTheFormula) {
  // Entry 0: s = 5 exactly, the one black entry.
  EXPECT_EQ(RxPaletteEntry(0), (RgbColour{0, 0, 0}));
  // Entry 100: v = (1 − 100/1024)·5/6 ≥ 2/3, so blue 254 → 254·190/256 = 188.
  EXPECT_EQ(RxPaletteEntry(100), (RgbColour{0, 0, 188}));
  // Entry 300: s = 3.5352 (v < 2/3): green int(255·√0.4648) = 173 → 128, blue 255 → 189.
  EXPECT_EQ(RxPaletteEntry(300), (RgbColour{0, 128, 189}));
  // Entry 512: s = 2.5, k(π/2) = 0.9: green int(229.5) = 229 → 169, blue int(229.5·√0.5) = 162 → 120.
  EXPECT_EQ(RxPaletteEntry(512), (RgbColour{0, 169, 120}));
  // Entry 1023: s = 5/1024·... ≈ 0.00488, k ≈ 0.8: red 204 → 151, green int(204·0.0699) = 14 → 10.
  EXPECT_EQ(RxPaletteEntry(1023), (RgbColour{151, 10, 0}));
  // Indexes outside the table are clamped.
  EXPECT_EQ(RxPaletteEntry(-5), RxPaletteEntry(0));
  EXPECT_EQ(RxPaletteEntry(5000), RxPaletteEntry(1023));
}

TEST(RxDiagramMathTest, PaletteIndexOfFrequencyAndFileModes) {
  EXPECT_EQ(RxPaletteIndex(kRxColourFrequency, 10, 10, 20, 0, 1), 0);
  EXPECT_EQ(RxPaletteIndex(kRxColourFrequency, 15, 10, 20, 0, 1), 512);
  EXPECT_EQ(RxPaletteIndex(kRxColourFrequency, 20, 10, 20, 0, 1), 1023);
  EXPECT_EQ(RxPaletteIndex(kRxColourFrequency, 99, 10, 20, 0, 1), 1023);
  // Two shown sets: the second set's lowest frequency starts the upper half.
  EXPECT_EQ(RxPaletteIndex(kRxColourFileFrequency, 10, 10, 20, 1, 2), 512);
  EXPECT_EQ(RxPaletteIndex(kRxColourFileFrequency, 15, 10, 20, 0, 2), 256);
  // A window of zero width is never divided by: every point takes its part's first entry.
  EXPECT_EQ(RxPaletteIndex(kRxColourFrequency, 7, 7, 7, 0, 1), 0);
  EXPECT_EQ(RxPaletteIndex(kRxColourFileFrequency, 7, 7, 7, 1, 2), 512);
  EXPECT_EQ(RxPaletteIndex(kRxColourFrequency, NAN, 0, 10, 0, 1), 0);
}

TEST(RxDiagramMathTest, ListsAreReadAsUsersTypeThem) {
  EXPECT_EQ(ParseRxList("1.1 1.3 1.5 2 4"), (std::vector<double>{1.1, 1.3, 1.5, 2, 4}));
  EXPECT_EQ(ParseRxList("1,5  2,25"), (std::vector<double>{1.5, 2.25}));  // comma as decimal point
  EXPECT_EQ(ParseRxList("50-75-300"), (std::vector<double>{50, 75, 300}));  // minus as separator
  EXPECT_EQ(ParseRxList("\t 2 3x 4"), (std::vector<double>{2, 3}));       // stops at "x"
  EXPECT_EQ(ParseRxList("2 abc 4"), (std::vector<double>{2}));
  EXPECT_EQ(ParseRxList("2 nan 4"), (std::vector<double>{2}));  // not a finite number
  EXPECT_EQ(ParseRxList("+3 inf"), (std::vector<double>{3}));
  EXPECT_TRUE(ParseRxList("").empty());
  std::string many;
  for (int i = 1; i <= 20; ++i) many += std::to_string(i) + " ";
  const auto sixteen = ParseRxList(many);
  ASSERT_EQ(sixteen.size(), 16u);
  EXPECT_EQ(sixteen.front(), 1);
  EXPECT_EQ(sixteen.back(), 16);
}

TEST(RxDiagramMathTest, SwrCirclesInBothPlanes) {
  const auto c = RxSwrCircle(2, 50);
  ASSERT_TRUE(c);
  EXPECT_DOUBLE_EQ(c->x, 62.5);
  EXPECT_DOUBLE_EQ(c->radius, 37.5);
  EXPECT_EQ(c->y, 0);
  // Its ends are 25 Ω and 100 Ω, both SWR 2 against 50 Ω.
  EXPECT_DOUBLE_EQ(c->x - c->radius, 25);
  EXPECT_DOUBLE_EQ(c->x + c->radius, 100);
  // About the chart's own z0 the circle is centred at Γ = 0 with radius |Γ| = 1/3.
  const auto g = GammaSwrCircle(2, 50, 50);
  ASSERT_TRUE(g);
  EXPECT_NEAR(g->x, 0, 1e-12);
  EXPECT_NEAR(g->radius, 1.0 / 3, 1e-12);
  // Against another z0 the circle moves off the centre: Γ(25, 75) = −0.5, Γ(100, 75) = 1/7.
  const auto h = GammaSwrCircle(2, 50, 75);
  ASSERT_TRUE(h);
  EXPECT_NEAR(h->x, (-0.5 + 1.0 / 7) / 2, 1e-12);
  EXPECT_NEAR(h->radius, (1.0 / 7 + 0.5) / 2, 1e-12);
  // Values that would divide by zero or mean nothing are skipped.
  for (double s : std::vector<double>{1.0, 0.5, 0.0, -2.0, NAN, INFINITY}) {
    EXPECT_FALSE(RxSwrCircle(s, 50)) << s;
    EXPECT_FALSE(GammaSwrCircle(s, 50, 50)) << s;
  }
  for (double rc : std::vector<double>{0.0, -50.0, NAN}) {
    EXPECT_FALSE(RxSwrCircle(2, rc)) << rc;
    EXPECT_FALSE(GammaSwrCircle(2, rc, 50)) << rc;
  }
  EXPECT_FALSE(GammaSwrCircle(2, 50, 0));
}

TEST(RxDiagramMathTest, RangeAndTitle) {
  EXPECT_EQ(RxTitle(RxDataRange(0, 0, false), false, 50), "Диапазон данных 0 - 6600 МГц");
  const RxRange r = RxDataRange(7.05, 14.2, true);
  EXPECT_EQ(r.lo, 7);
  EXPECT_EQ(r.hi, 15);
  EXPECT_EQ(RxTitle(r, true, 50), "Диапазон данных 7 - 15 МГц, Z0 = 50 Ом");
  EXPECT_EQ(RxTitle(r, true, 75.125), "Диапазон данных 7 - 15 МГц, Z0 = 75.125 Ом");
}

TEST(RxDiagramMathTest, ReadoutTexts) {
  const auto centre = RxReadout({0, 0}, 50);
  ASSERT_EQ(centre.size(), 4u);
  EXPECT_EQ(centre[0], "Г=0.000, 0.000");
  EXPECT_EQ(centre[1], "|Г|=0.000, ксв=1.00");
  EXPECT_EQ(centre[2], "fi=0.000");
  EXPECT_EQ(centre[3], "Z=50.000, 0.000 ");
  // Γ = j/3: |Γ| 0.333, SWR 2, 90°, Z = 50(1 + j/3)/(1 − j/3) = 40 + j30.
  const auto up = RxReadout({0, 1.0 / 3}, 50);
  ASSERT_EQ(up.size(), 4u);
  EXPECT_EQ(up[0], "Г=0.000, 0.333");
  EXPECT_EQ(up[1], "|Г|=0.333, ксв=2.00");
  EXPECT_EQ(up[2], "fi=90.000");
  EXPECT_EQ(up[3], "Z=40.000, 30.000 ");
  EXPECT_TRUE(RxReadout({1, 0}, 50).empty());  // on the rim the SWR is infinite
  EXPECT_TRUE(RxReadout({0.8, 0.8}, 50).empty());
  EXPECT_TRUE(RxReadout({NAN, 0}, 50).empty());
}

TEST(RxDiagramMathTest, SpinAndFittedValueRewriteTheLists) {
  EXPECT_EQ(StepFirstNumber("1.1 1.3 1.5", 1, 1, 99, 1.1), "1.2 1.3 1.5");
  EXPECT_EQ(StepFirstNumber("1,05 2", -3, 1, 99, 1.1), "1.0 2");  // limited to 1
  EXPECT_EQ(StepFirstNumber("99 2", 5, 1, 99, 1.1), "99.0 2");
  EXPECT_EQ(StepFirstNumber("50", 10, 1, 999, 50), "51.0");
  EXPECT_EQ(StepFirstNumber("", 1, 1, 999, 50), "50.1");
  EXPECT_EQ(StepFirstNumber("x", 1, 1, 99, 1.1), "1.2 x");
  // The fitted value stays apart from the list: reading it back gives the value, then the list.
  const std::string swr = PrependToList(2.5, "1.1 1.3");
  EXPECT_EQ(swr, "2.5 1.1 1.3");
  EXPECT_EQ(ParseRxList(swr), (std::vector<double>{2.5, 1.1, 1.3}));
  EXPECT_EQ(ParseRxList(PrependToList(48.123456, "50")), (std::vector<double>{48.123456, 50}));
}

}  // namespace
}  // namespace kavu
