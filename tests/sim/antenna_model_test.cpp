// The bench's antenna loads and Touchstone files, and its impairment settings.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "sim/antenna_model.h"
#include "sim/bench_impairments.h"
#include "sim/touchstone_reader.h"
#include "support/temp_dir.h"

namespace kavu::sim {
namespace {

std::complex<double> Z(const char* text, double hz) {
  std::string error;
  auto m = AntennaModel::Parse(text, &error);
  EXPECT_TRUE(m.has_value()) << text << ": " << error;
  return m ? m->Impedance(hz) : std::complex<double>(NAN, NAN);
}

TEST(AntennaModel, FixedLoadsInEveryNotation) {
  EXPECT_EQ(Z("75", 1e6), std::complex<double>(75, 0));
  EXPECT_EQ(Z("25-30j", 1e6), std::complex<double>(25, -30));
  EXPECT_EQ(Z(" 150+75j ", 1e6), std::complex<double>(150, 75));
  EXPECT_EQ(Z("25-j30", 1e6), std::complex<double>(25, -30));
  EXPECT_EQ(Z("0.5+j2.5", 1e6), std::complex<double>(0.5, 2.5));
  std::string error;
  for (const char* bad : {"", "abc", "25-30", "25--30j", "series:", "series:Q=5", "series:R=-1",
                          "parallel:R=x", "nofile.s1p"}) {
    EXPECT_FALSE(AntennaModel::Parse(bad, &error).has_value()) << bad;
    EXPECT_FALSE(error.empty());
  }
}

TEST(AntennaModel, SeriesAndParallelRlcResonate) {
  const double l = 1e-6, c = 100e-12;
  const double f0 = 1.0 / (2 * std::numbers::pi * std::sqrt(l * c));  // about 15.9 MHz
  const auto zs = Z("series:R=12,L=1u,C=100p", f0);
  EXPECT_NEAR(zs.real(), 12.0, 1e-9);
  EXPECT_NEAR(zs.imag(), 0.0, 1e-6);
  EXPECT_GT(Z("series:R=12,L=1u,C=100p", 2 * f0).imag(), 0);   // inductive above
  EXPECT_LT(Z("series:R=12,L=1u,C=100p", f0 / 2).imag(), 0);   // capacitive below
  const auto zp = Z("parallel:R=200,L=1u,C=100p", f0);
  EXPECT_NEAR(zp.real(), 200.0, 1e-6);
  EXPECT_NEAR(zp.imag(), 0.0, 1e-6);
  EXPECT_NEAR(Z("series:R=5,L=1u", 1e6).imag(), 2 * std::numbers::pi * 1e6 * 1e-6, 1e-9);
  EXPECT_NEAR(Z("parallel:C=1n", 1e6).imag(), -1.0 / (2 * std::numbers::pi * 1e6 * 1e-9), 1e-9);
}

TEST(Touchstone, ReadsEveryParameterAndFormatAndInterpolates) {
  std::string error;
  // S = 0 is Z = R whatever the format; S = 1/3 (real) is 2R.
  auto s = ParseTouchstone1("! made by hand\n# MHz S RI R 50\n1 0 0\n2 0.333333333333 0 ! two\n", &error);
  ASSERT_TRUE(s) << error;
  ASSERT_EQ(s->size(), 2u);
  EXPECT_EQ((*s)[1].hz, 2e6);
  EXPECT_NEAR((*s)[1].z.real(), 100.0, 1e-6);
  EXPECT_NEAR(InterpolateImpedance(*s, 1.5e6).real(), 75.0, 1e-6);
  EXPECT_NEAR(InterpolateImpedance(*s, 0.5e6).real(), 50.0, 1e-9);
  EXPECT_NEAR(InterpolateImpedance(*s, 9e6).real(), 100.0, 1e-6);

  auto db = ParseTouchstone1("#kHz s db r 75\n100 -9.5424250944 180\n", &error);  // |S| = 1/3
  ASSERT_TRUE(db) << error;
  EXPECT_EQ((*db)[0].hz, 1e5);
  EXPECT_NEAR((*db)[0].z.real(), 37.5, 1e-6);  // 75 (1 − 1/3) / (1 + 1/3)
  auto ma = ParseTouchstone1("# GHz S MA\n0.1 1 90\n", &error);  // Z = 50 (1 + j) / (1 − j) = j50
  ASSERT_TRUE(ma) << error;
  EXPECT_NEAR((*ma)[0].z.real(), 0.0, 1e-9);
  EXPECT_NEAR((*ma)[0].z.imag(), 50.0, 1e-9);
  auto zri = ParseTouchstone1("# Hz Z RI R 50\n1000 0.5 -0.6\n", &error);  // normalised
  ASSERT_TRUE(zri) << error;
  EXPECT_EQ((*zri)[0].z, std::complex<double>(25, -30));
  auto y = ParseTouchstone1("# Hz Y RI R 50\n1000 2 0\n", &error);
  ASSERT_TRUE(y) << error;
  EXPECT_NEAR((*y)[0].z.real(), 25.0, 1e-12);

  EXPECT_FALSE(ParseTouchstone1("# MHz S RI\n2 0 0\n1 0 0\n", &error));
  EXPECT_NE(error.find("строка 3"), std::string::npos);
  EXPECT_FALSE(ParseTouchstone1("# MHz S RI\n1 0 0 0 0\n", &error));
  EXPECT_FALSE(ParseTouchstone1("# MHz X RI\n1 0 0\n", &error));
  EXPECT_FALSE(ParseTouchstone1("! nothing\n", &error));
  EXPECT_FALSE(ParseTouchstone1("# MHz S RI\n1 1 0\n", &error));  // S = 1: infinite Z
  // A frequency finite as written but not in Hz.
  EXPECT_FALSE(ParseTouchstone1("# GHz S RI\n1 0 0\n1e300 0 0\n", &error));
  EXPECT_NE(error.find("строка 3: частота не конечна"), std::string::npos) << error;

  test::TempDir dir;
  test::WriteFile(dir.File("ant.S1P"), "# MHz Z RI R 50\n140 1 0\n150 1 1\n");
  auto model = AntennaModel::Parse(dir.File("ant.S1P"), &error);
  ASSERT_TRUE(model) << error;
  EXPECT_NEAR(model->Impedance(145e6).imag(), 25.0, 1e-9);
}

TEST(BenchImpairments, SetByNameAndListed) {
  BenchImpairments b;
  std::string error;
  EXPECT_TRUE(b.SetAssignment("gen_ppm=2", &error)) << error;
  EXPECT_EQ(b.gen_ppm, 2.0);
  EXPECT_TRUE(b.Set("bridge_rt", "58.8", &error));
  EXPECT_EQ(*b.Get("bridge_rt"), 58.8);
  EXPECT_FALSE(b.Set("no_such", "1", &error));
  EXPECT_NE(error.find("no_such"), std::string::npos);
  EXPECT_FALSE(b.Set("ref_lsb", "200", &error));
  EXPECT_FALSE(b.Set("noise_db", "x", &error));
  EXPECT_FALSE(b.SetAssignment("noise_db", &error));
  const std::string list = BenchImpairments::ListText();
  for (const auto& item : BenchImpairments::Items()) {
    EXPECT_NE(list.find(item.name), std::string::npos) << item.name;
  }
  EXPECT_NE(list.find("noise_db       -60"), std::string::npos) << list;
  EXPECT_NE(list.find("bridge_rb      51"), std::string::npos) << list;
}

}  // namespace
}  // namespace kavu::sim
