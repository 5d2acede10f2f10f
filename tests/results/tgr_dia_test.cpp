#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "results/tgr_dia.h"

namespace kavu {
namespace {

TGrDia Axis(double lo, double hi, double full_lo, double full_hi, int format = 0) {
  TGrDia a;
  a.SetFormat(format);
  a.m_Full0 = full_lo;
  a.m_Full1 = full_hi;
  a.m_Show0 = lo;
  a.m_Show1 = hi;
  return a;
}

TEST(TGrDiaGrid, StepChoiceTable) {
  struct Case {
    int format;
    double delta_min;
    double step;
    int exponent;
    int dop;
  } cases[] = {
      {0, 0.37, 0.5, 0, 2},     {0, 0.07, 0.1, -1, 1},  {0, 3, 5, 1, 2},
      {0, 0.0011, 0.002, -2, 5}, {1, 150, 200, 3, 5},   {2, 0.37 / TGrDia::kRadToDeg, 0.5, 0, 2},
      {4, 25, 30, 2, 2},         {4, 45, 60, 2, 1},     {4, 100, 120, 3, 5},
      {4, 1000, 1200, 4, 3},     {4, 5000, 7200, 5, 5}, {4, 3000, 3600, 4, 1}, {5, 8, 10, 1, 1},
  };
  for (const Case& c : cases) {
    TGrDia a = Axis(0, 10000, 0, 10000, c.format);
    a.Setka_Create(c.delta_min);
    SCOPED_TRACE("format " + std::to_string(c.format) + " delta " + std::to_string(c.delta_min));
    EXPECT_NEAR(a.m_Setka_Step, c.step, 1e-9 * c.step);
    EXPECT_EQ(a.m_Setka_StepBase_I, c.exponent);
    EXPECT_EQ(a.m_Setka_DopN, c.dop);
  }
}

TEST(TGrDiaGrid, LinesAndClasses) {
  TGrDia a = Axis(0, 10, 0, 10);
  a.Setka_Create(0.37);
  EXPECT_EQ(a.Setka_GetN(), 21);
  EXPECT_EQ(a.m_Setka_LoBase, 0);
  EXPECT_EQ(a.m_Setka_IBase, 0);
  EXPECT_EQ(a.m_Setka_BigN, 10);
  for (int i = 0; i < 21; ++i) {
    double v;
    const int cls = a.Setka_GetValue(i, v);
    EXPECT_DOUBLE_EQ(v, i * 0.5);
    const int want = (i % 2) ? -1 : ((i == 0 || i == 20) ? 1 : 0);
    EXPECT_EQ(cls, want) << i;
  }
  // A negative range: the phase of the first line follows floor, not truncation.
  TGrDia n = Axis(-7.2, -2.1, -10, 0);
  n.Setka_Create(0.37);
  EXPECT_EQ(n.m_Setka_LoBase, -7.0);
  EXPECT_EQ(n.Setka_GetN(), 10);  // -7.0 … -2.5
  double v;
  EXPECT_EQ(n.Setka_GetValue(0, v), 0);  // -7.0: main line
  EXPECT_EQ(n.Setka_GetValue(1, v), -1); // -6.5
  TGrDia t = Axis(-10.2, -9.9, -20, 0);
  t.Setka_Create(0.37);
  EXPECT_EQ(t.Setka_GetValue(0, v), 1);  // -10 is a higher-level line
}

TEST(TGrDiaGrid, EmptyOrInvalidGivesNoLines) {
  TGrDia empty;
  empty.Setka_Create(0.5);
  EXPECT_EQ(empty.Setka_GetN(), 0);
  TGrDia a = Axis(0, 10, 0, 10);
  for (double bad : {0.0, -1.0, double(NAN), double(INFINITY)}) {
    a.Setka_Create(bad);
    EXPECT_EQ(a.Setka_GetN(), 0) << bad;
  }
  // Values far beyond the step's resolution: 64-bit indices, no wrapped grid.
  TGrDia huge = Axis(1e30, 1e30 + 1e20, 0, 1e31);
  huge.Setka_Create(1e-5);
  EXPECT_EQ(huge.Setka_GetN(), 0);
  TGrDia big = Axis(5e12, 5e12 + 100, 0, 1e13);
  big.Setka_Create(10);
  EXPECT_EQ(big.Setka_GetN(), 11);
  double v;
  EXPECT_EQ(big.Setka_GetValue(0, v), 1);
  EXPECT_DOUBLE_EQ(v, 5e12);
}

TEST(TGrDiaLabels, FormatsTable) {
  struct Case {
    int format;
    double v;
    int p;
    const char* text;
  } cases[] = {
      {1, 1234567, 0, "1 234 567"},
      {1, -1234.5, -1, "-1 234.5"},
      {1, -123, 0, "-123"},
      {1, 123.25, -2, "123.25"},
      {0, 1234567, 0, "1234567"},
      {0, 2.5, -3, "2.5"},
      {0, 3, -2, "3"},
      {0, -0.0001, 0, "0"},
      {0, 2e10, 0, "2.000000000e+10"},
      {4, 3900, 3, "1 ч 5 мин"},
      {4, 3725.5, -1, "1:02:05.5"},
      {4, 3600, 3, "1 ч"},
      {4, 300, 2, "5 мин"},
      {4, 65, 0, "1:05"},
      {4, 7.25, -2, "7.25"},
      {4, 0, 0, "0"},
      {4, 90000, 3, "1 ч"},  // whole days dropped
      {5, 86400 + 3725, 0, "1:02:05"},
      {3, 0.5 * TGrDia::kRadToArcSec, 2, "28° 38' 52\""},
      {3, M_PI / 180 * TGrDia::kRadToArcSec, 2, "1° "},
      {3, -90.0, 0, "-1' 30\""},
      {2, 45.5, -1, "45.5"},
      {7, 12.5, -1, "12.5"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TGrDia::FormatLabel(c.format, c.v, c.p), c.text) << c.format << " " << c.v;
  }
}

TEST(TGrDiaLabels, GridTextUsesDisplayUnitsAndAuxiliaryDigits) {
  TGrDia a = Axis(0, M_PI / 2, -M_PI, M_PI, 2);  // degrees with tenths
  a.Setka_Create(10 / TGrDia::kRadToDeg);
  double v;
  std::string text;
  a.Setka_GetText(1, v, text);
  EXPECT_NEAR(v * TGrDia::kRadToDeg, 10, 1e-9);
  EXPECT_EQ(text, "10");
  TGrDia b = Axis(0, 10, 0, 10);
  b.Setka_Create(0.37);
  EXPECT_EQ(b.Setka_GetText(1, v, text), -1);
  EXPECT_EQ(text, "0.5");  // one more digit on an auxiliary line
  EXPECT_EQ(b.Setka_GetText(2, v, text), 0);
  EXPECT_EQ(text, "1");
}

TEST(TGrDiaFormats, NamesAndSetter) {
  TGrDia a;
  std::string name;
  EXPECT_EQ(a.GetFormatCount(), 8);
  EXPECT_EQ(a.GetFormatName(3, name), 1);
  EXPECT_EQ(name, "градусы:мин:сек");
  EXPECT_EQ(a.GetFormatName(8, name), 0);
  EXPECT_EQ(name, "не знаю, ошибка");
  a.EnableFormat(5, 0);
  EXPECT_EQ(a.GetFormatName(5, name), 0);
  a.SetFormat(9);
  EXPECT_EQ(a.GetFormat(), 0);
  a.SetFormat(4);
  EXPECT_EQ(a.GetFormat(), 4);
}

TEST(TGrDiaNormalise, Rules) {
  TGrDia a = Axis(5, 5 + 1e-13, 0, 10);
  a.Normalise(false);
  EXPECT_NEAR(a.m_Show1 - a.m_Show0, 1e-9, 1e-15);
  EXPECT_NEAR((a.m_Show0 + a.m_Show1) / 2, 5, 1e-12);  // centred on itself
  TGrDia s = Axis(8, 12, 0, 10);  // partly outside: shifted, not shrunk
  s.Normalise(false);
  EXPECT_EQ(s.m_Show0, 6);
  EXPECT_EQ(s.m_Show1, 10);
  EXPECT_EQ(s.m_IsFull, 0);
  TGrDia w = Axis(-5, 15, 0, 10);  // wider than the full range: clipped
  w.Normalise(false);
  EXPECT_EQ(w.m_Show0, 0);
  EXPECT_EQ(w.m_Show1, 10);
  EXPECT_EQ(w.m_IsFull, 1);
  TGrDia f = Axis(2, 3, 0, 10);
  f.m_IsFull = 1;
  f.Normalise(true);  // follows the full range
  EXPECT_EQ(f.m_Show0, 0);
  EXPECT_EQ(f.m_Show1, 10);
  TGrDia m = Axis(2, 3, 0, 10);
  m.m_IsFull = 0;
  m.m_Must0 = 1;
  m.m_Must1 = 2.5;
  m.m_MinSpan = 4;
  m.Normalise(true);
  EXPECT_DOUBLE_EQ(m.m_Show0, 0);
  EXPECT_DOUBLE_EQ(m.m_Show1, 4);
  TGrDia e;  // nothing at all: stays empty, no NaN
  e.Normalise(true);
  EXPECT_FALSE(e.ShowValid());
  EXPECT_FALSE(e.BarFromRange(false).enabled);
}

TEST(TGrDiaScroll, BarMappingRoundTrip) {
  TGrDia a = Axis(2, 4, 0, 10);
  a.m_IsFull = 0;
  AxisScrollBar bar = a.BarFromRange(false);
  EXPECT_TRUE(bar.enabled);
  EXPECT_EQ(bar.page, 200000001);
  EXPECT_EQ(bar.pos, 200000000);
  EXPECT_EQ(a.BarFromRange(true).pos, 600000000);
  a.RangeFromBar(500000000, false);
  EXPECT_DOUBLE_EQ(a.m_Show0, 5);
  EXPECT_DOUBLE_EQ(a.m_Show1, 7);
  a.RangeFromBar(0, true);  // vertical: top shows the upper end
  EXPECT_DOUBLE_EQ(a.m_Show1, 10);
  a.Scroll(kScrollTop, 0, false);
  EXPECT_DOUBLE_EQ(a.m_Show0, 0);
  a.Scroll(kScrollPageDown, 0, false);
  EXPECT_NEAR(a.m_Show0, 2, 1e-6);
  a.Scroll(kScrollLineDown, 0, false);
  EXPECT_NEAR(a.m_Show0, 2.1, 1e-6);
  a.Scroll(kScrollBottom, 0, false);
  EXPECT_DOUBLE_EQ(a.m_Show1, 10);
  a.Scroll(kScrollCentre, 0, false);
  EXPECT_DOUBLE_EQ(a.m_Show0, 4);
  a.m_IsAuto = 1;
  a.Scroll(kScrollThumbTrack, 0, false);
  EXPECT_EQ(a.m_IsAuto, 0);
  EXPECT_DOUBLE_EQ(a.m_Show0, 0);
}

TEST(TGrDiaZoom, InOutLimitsAndLog) {
  TGrDia a = Axis(0, 10, 0, 10);
  a.m_IsAuto = 1;
  a.Zoom(-1, 5);
  EXPECT_NEAR(a.m_Show1 - a.m_Show0, 10 / 1.1, 1e-12);
  EXPECT_EQ(a.m_IsAuto, 0);
  for (int i = 0; i < 2000; ++i) a.Zoom(-10, 5);  // zoom to the limit: 1e-10 of the magnitude
  EXPECT_NEAR(a.m_Show1 - a.m_Show0, 1e-9, 1e-12);
  EXPECT_TRUE(std::isfinite(a.m_Show0));
  for (int i = 0; i < 100; ++i) a.Zoom(10, 5);
  EXPECT_EQ(a.m_Show0, 0);
  EXPECT_EQ(a.m_Show1, 10);
  TGrDia l = Axis(1, 100, 1, 1000);
  l.m_IsLog = 1;
  l.Zoom(std::log(10.0) / std::log(1.1), 10);  // factor 10 in logarithms around 10
  EXPECT_NEAR(l.m_Show0, 1, 1e-9);
  EXPECT_NEAR(l.m_Show1, 1000, 1e-6);
  TGrDia z = Axis(0, 100, 0, 1000);  // a log axis touching 0 maps linearly
  z.m_IsLog = 1;
  EXPECT_FALSE(z.UsesLog());
  z.Zoom(-1, 50);
  EXPECT_NEAR(z.m_Show1 - z.m_Show0, 100 / 1.1, 1e-9);
}

}  // namespace
}  // namespace kavu
