// Mapping of the live picture: waterfall colours, level rows, bin columns and the generator
// marker, checked against values worked out by hand.
#include <gtest/gtest.h>

#include <cmath>

#include "scan/spectrum_geometry.h"

namespace kavu {
namespace {

namespace geo = spectrum_geometry;

TEST(SpectrumGeometry, WaterfallColourFollowsTheFraction) {
  EXPECT_EQ(geo::WaterfallColourOfH(0), 0x000000u);
  EXPECT_EQ(geo::WaterfallColourOfH(-2), 0x000000u);
  EXPECT_EQ(geo::WaterfallColourOfH(NAN), 0x000000u);
  EXPECT_EQ(geo::WaterfallColourOfH(0.5), 0x00007fu);  // blue 127.5 truncated
  EXPECT_EQ(geo::WaterfallColourOfH(1.5), 0x7f00ffu);  // blue full, red 127
  EXPECT_EQ(geo::WaterfallColourOfH(2.5), 0xff7fffu);  // magenta, green 127
  EXPECT_EQ(geo::WaterfallColourOfH(3), 0xffffffu);
  EXPECT_EQ(geo::WaterfallColourOfH(40), 0xffffffu);
  EXPECT_EQ(geo::WaterfallColourOfH(INFINITY), 0xffffffu);
}

TEST(SpectrumGeometry, WaterfallColourOfPowers) {
  // Limits 0 … 30 dB: H = level / 10.
  EXPECT_EQ(geo::WaterfallColour(1, 0, 30), 0x000000u);     // 0 dB
  EXPECT_EQ(geo::WaterfallColour(10, 0, 30), 0x0000ffu);    // 10 dB: H = 1
  EXPECT_EQ(geo::WaterfallColour(100, 0, 30), 0xff00ffu);   // 20 dB: H = 2
  EXPECT_EQ(geo::WaterfallColour(1000, 0, 30), 0xffffffu);  // 30 dB
  EXPECT_EQ(geo::WaterfallColour(0.01, 0, 30), 0x000000u);  // below the scale
  EXPECT_EQ(geo::WaterfallColour(0, 0, 30), 0x000000u);     // log of zero
  EXPECT_EQ(geo::WaterfallColour(NAN, 0, 30), 0x000000u);
  // Default limits −90 … 50 dB, −50 dB: H = 3 × 40 / 140 = 0.857, blue 218.
  EXPECT_EQ(geo::WaterfallColour(1e-5, -90, 50), 0x0000dau);
  // Equal limits saturate instead of dividing by zero.
  EXPECT_EQ(geo::WaterfallColour(2, 0, 0), 0xffffffu);
  EXPECT_EQ(geo::WaterfallColour(1, 0, 0), 0x000000u);
  EXPECT_EQ(geo::WaterfallColour(0.5, 0, 0), 0x000000u);
  EXPECT_EQ(geo::WaterfallColour(0, 0, 0), 0x000000u);
}

TEST(SpectrumGeometry, WidthAndBinMapping) {
  EXPECT_EQ(geo::WaterfallWidth(-5), 16);
  EXPECT_EQ(geo::WaterfallWidth(0), 16);
  EXPECT_EQ(geo::WaterfallWidth(15), 16);
  EXPECT_EQ(geo::WaterfallWidth(16), 16);
  EXPECT_EQ(geo::WaterfallWidth(1000), 1000);
  EXPECT_EQ(geo::WaterfallWidth(2048), 2048);
  EXPECT_EQ(geo::WaterfallWidth(5000), 2048);
  // Display order starts at −r/2 (bin 1024) and ends just below +r/2 (bin 1023).
  EXPECT_EQ(geo::DisplayBin(0), 1024);
  EXPECT_EQ(geo::DisplayBin(1023), 2047);
  EXPECT_EQ(geo::DisplayBin(1024), 0);
  EXPECT_EQ(geo::DisplayBin(2047), 1023);
  EXPECT_EQ(geo::BinColumn(0, 1000), 0);
  EXPECT_EQ(geo::BinColumn(1024, 1000), 500);
  EXPECT_EQ(geo::BinColumn(2047, 1000), 999);
  EXPECT_EQ(geo::BinColumn(1, 1000), 0);
  EXPECT_EQ(geo::BinColumn(3, 1000), 1);  // 3000 / 2048
  EXPECT_EQ(geo::BinColumn(2047, 2048), 2047);
  EXPECT_EQ(geo::BinColumn(2047, 16), 15);
  EXPECT_EQ(geo::BinColumn(127, 16), 0);
  EXPECT_EQ(geo::BinColumn(128, 16), 1);
}

TEST(SpectrumGeometry, LevelsAndRows) {
  EXPECT_DOUBLE_EQ(geo::LevelDb(100), 20);
  EXPECT_EQ(geo::LevelDb(0), -INFINITY);
  EXPECT_TRUE(std::isnan(geo::LevelDb(NAN)));
  EXPECT_DOUBLE_EQ(geo::LevelFraction(-5, -90, 80), 0.5);
  EXPECT_EQ(geo::LevelFraction(-200, -90, 80), 0);
  EXPECT_EQ(geo::LevelFraction(200, -90, 80), 1);
  EXPECT_EQ(geo::LevelFraction(-INFINITY, -90, 80), 0);
  EXPECT_EQ(geo::LevelFraction(NAN, -90, 80), 0);
  // Equal graph limits: a threshold, no division.
  EXPECT_EQ(geo::LevelFraction(10, 10, 10), 0);
  EXPECT_EQ(geo::LevelFraction(10.1, 10, 10), 1);
  // Upper half 300 rows high (middle 300, top 0): rows 299 (lower limit) … 0 (upper limit).
  EXPECT_EQ(geo::SpectrumRow(-90, -90, 80, 0, 300), 299);
  EXPECT_EQ(geo::SpectrumRow(80, -90, 80, 0, 300), 0);
  EXPECT_EQ(geo::SpectrumRow(-5, -90, 80, 0, 300), 150);  // 149.5 rounded
  EXPECT_EQ(geo::SpectrumRow(-INFINITY, -90, 80, 0, 300), 299);
  EXPECT_EQ(geo::SpectrumRow(100, -90, 80, 10, 300), 10);  // above the limit: the graph top
}

TEST(SpectrumGeometry, MarkerPlaceColourAndRange) {
  // Δ = 0.6 MHz at 2.4 MS/s: k = 0, x = (0.25 × 2048 + 1024) at full width, w = ⌊10k / 2.4M × 1024⌋.
  auto m = geo::Marker(144e6, 2.4e6, 144.6e6, 10e3, 2048);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->x, 1536);
  EXPECT_EQ(m->w, 4);
  EXPECT_EQ(m->colour, 1);
  // Δ = +3 MHz: the first alias band above (k = 1), colour entry 2.
  m = geo::Marker(144e6, 2.4e6, 147e6, 10e3, 1000);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->x, 750);
  EXPECT_EQ(m->colour, 2);
  // Δ = −3 MHz: k = −1, x = 512 × 1000 / 2048.
  m = geo::Marker(144e6, 2.4e6, 141e6, 10e3, 1000);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->x, 250);
  EXPECT_EQ(m->colour, 2);
  // Δ = 7.9 MHz at 250 kS/s: k = 32, the colour index stops at the table's last entry.
  m = geo::Marker(144e6, 250e3, 151.9e6, 10e3, 2048);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->colour, 18);
  EXPECT_EQ(m->x, 204);  // (−0.4 × 2048 + 1024)
  // The half width is at least 1 and bounded for an absurd bandwidth.
  EXPECT_EQ(geo::Marker(144e6, 2.4e6, 144e6, 0, 800)->w, 1);
  EXPECT_EQ(geo::Marker(144e6, 2.4e6, 144e6, 1e15, 800)->w, 3200);
  // None 8 MHz or more away, nor for a rate or width that cannot place it.
  EXPECT_FALSE(geo::Marker(144e6, 2.4e6, 152e6, 10e3, 800));
  EXPECT_FALSE(geo::Marker(144e6, 2.4e6, 135.5e6, 10e3, 800));
  EXPECT_FALSE(geo::Marker(144e6, 0, 144.1e6, 10e3, 800));
  EXPECT_FALSE(geo::Marker(144e6, 2.4e6, NAN, 10e3, 800));
  EXPECT_FALSE(geo::Marker(144e6, 2.4e6, 144.1e6, 10e3, 0));
}

}  // namespace
}  // namespace kavu
