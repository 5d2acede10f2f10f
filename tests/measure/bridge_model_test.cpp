// The bridge model both ways, the cable and Γ/SWR.
#include "measure/bridge_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace kavu {
namespace {

double RelErr(Complex got, Complex want) { return std::abs(got - want) / std::abs(want); }

TEST(BridgeModel, BalancedBridgeReadsTheLowerResistor) {
  const BridgeSettings s;  // defaults: Rt 56, Rb 51, Rd 330, Rg 24, no Cs, Z0 50
  const Complex z = SolveBridgeRatio(s, 1.0, 14e6);
  EXPECT_NEAR(z.real(), 51.0, 1e-12);
  EXPECT_NEAR(z.imag(), 0.0, 1e-12);
  EXPECT_NEAR(std::abs(Gamma(z, s.z0)), 1.0 / 101.0, 1e-15);
  EXPECT_NEAR(Swr(z, s.z0), 1.02, 1e-12);
  // With a separating capacitor the balance still reads Rb: both arms carry the same branch.
  BridgeSettings c = s;
  c.cs_pf = 1000;
  EXPECT_LT(RelErr(SolveBridgeRatio(c, 1.0, 1e6), 51.0), 1e-12);
}

TEST(BridgeModel, SeparatingCapacitorReactance) {
  BridgeSettings s;
  EXPECT_EQ(SeparatingReactance(s, 1e6), 0.0);
  s.cs_pf = 1000;  // 1 nF at 1 MHz: −159.154943 Ω
  EXPECT_NEAR(SeparatingReactance(s, 1e6), -159.15494309189535, 1e-9);
  const Complex rx(50.0, -159.15494309189535);
  const Complex z1 = DetectorBranch(s, 1e6);
  EXPECT_LT(RelErr(z1, 330.0 + 24.0 * rx / (24.0 + rx)), 1e-14);
  s.cs_pf = -5;  // not a capacitor: no reactance
  EXPECT_EQ(SeparatingReactance(s, 1e6), 0.0);
}

TEST(BridgeModel, ForwardThenInverseReturnsTheLoad) {
  std::vector<Complex> loads;
  for (double r : {1.0, 3.3, 10.0, 24.0, 50.0, 75.0, 200.0, 1000.0, 4700.0, 10000.0}) {
    for (double x : {-2000.0, -300.0, -20.0, 0.0, 7.5, 150.0, 3000.0}) loads.emplace_back(r, x);
  }
  loads.emplace_back(0.0, 40.0);   // a pure reactance
  loads.emplace_back(0.0, -40.0);
  std::vector<BridgeSettings> bridges(4);
  bridges[1].cs_pf = 100;
  bridges[2].cs_pf = 33000;
  bridges[3] = {68, 75, 510, 50, 1000, 75, 0, 0, 0, 0};
  int checked = 0;
  for (const BridgeSettings& s : bridges) {
    for (double f : {1.0e5, 1.8e6, 14.2e6, 144e6, 1.2e9}) {
      for (Complex z : loads) {
        const Complex rho = ExpectedRatio(s, z, f);
        const Complex back = SolveBridgeRatio(s, rho, f);
        ASSERT_LT(RelErr(back, z), 1e-9) << "z=" << z << " f=" << f << " cs=" << s.cs_pf;
        ++checked;
      }
    }
  }
  EXPECT_EQ(checked, 4 * 5 * 72);
}

TEST(BridgeModel, ForwardModelOfKnownLoads) {
  const BridgeSettings s;
  EXPECT_LT(RelErr(ExpectedRatio(s, 51.0, 1e6), 1.0), 1e-15);
  EXPECT_EQ(ExpectedRatio(s, 0.0, 1e6), Complex(0.0));
  EXPECT_EQ(SolveBridgeRatio(s, 0.0, 1e6), Complex(0.0));  // a short reads 0 Ω, not NaN
  // The ratio of an open is the node with only the detector branch: Z1/(Z1+Rt) ÷ the O node.
  const double z1 = 330 + 24.0 * 50 / 74;
  const double zb = 51 * z1 / (51 + z1);
  const double open = (z1 / (z1 + 56)) / (zb / (zb + 56));
  EXPECT_LT(RelErr(ExpectedRatio(s, 1e300, 1e6), open), 1e-12);
}

TEST(CableModel, NoLengthLeavesTheImpedance) {
  BridgeSettings s;
  const Complex z(12.5, -33.0);
  EXPECT_EQ(CableTransform(s, z, 7e6), z);
  s.z0 = 75;
  EXPECT_EQ(CableTransform(s, z, 7e6), z);
}

TEST(CableModel, MatchedLoadStaysMatched) {
  BridgeSettings s;
  for (double z0 : {50.0, 75.0, 300.0}) {
    s.z0 = z0;
    for (double d : {0.1, 1.37, 12.0}) {
      s.cable_m = d;
      for (double f : {1e6, 29.7e6, 433e6}) EXPECT_LT(RelErr(CableTransform(s, z0, f), z0), 1e-12);
    }
  }
}

TEST(CableModel, QuarterWaveLineInvertsTheImpedance) {
  BridgeSettings s;
  s.cable_m = 1.0;
  const double f = kLightSpeed / 4.0;  // f·d = c/4
  for (Complex z : {Complex(25, 0), Complex(100, 40), Complex(3, -60)}) {
    const Complex want = 50.0 * 50.0 / z;
    EXPECT_LT(RelErr(CableTransform(s, z, f), want), 1e-9) << z;
    // Just beside the quarter wave the value tends to the same limit.
    EXPECT_LT(RelErr(CableTransform(s, z, f * (1 + 1e-9)), want), 1e-6) << z;
  }
}

TEST(CableModel, RemovesALineMeasuredThrough) {
  // Z seen at the input of a lossless line of electrical length d ending in ZL; the transform
  // takes the measured input impedance back to the load at the far end.
  BridgeSettings s;
  s.cable_m = 2.3;
  const double f = 21.1e6;
  const double bl = 2 * std::numbers::pi * f * s.cable_m / kLightSpeed;
  const Complex zl(33, 17), j(0, 1);
  const Complex zin = s.z0 * (zl + j * s.z0 * std::tan(bl)) / (s.z0 + j * zl * std::tan(bl));
  EXPECT_LT(RelErr(CableTransform(s, zin, f), zl), 1e-12);
  // A half-wave line repeats the load.
  s.cable_m = kLightSpeed / (2 * f);
  EXPECT_LT(RelErr(CableTransform(s, zl, f), zl), 1e-9);
}

TEST(GammaSwr, ValuesAndCeiling) {
  EXPECT_EQ(Gamma(50.0, 50.0), Complex(0.0));
  EXPECT_DOUBLE_EQ(Swr(50.0, 50.0), 1.0);
  EXPECT_NEAR(Swr(100.0, 50.0), 2.0, 1e-12);
  EXPECT_NEAR(Swr(25.0, 50.0), 2.0, 1e-12);
  const Complex g = Gamma(Complex(0, 50), 50.0);  // pure reactance: |Γ| = 1
  EXPECT_NEAR(std::abs(g), 1.0, 1e-15);
  EXPECT_EQ(Swr(Complex(0, 50), 50.0), kSwrCeiling);
  EXPECT_EQ(Swr(-10.0, 50.0), kSwrCeiling);  // |Γ| > 1
  EXPECT_TRUE(std::isnan(Swr(Complex(std::nan(""), 0), 50.0)));
}

}  // namespace
}  // namespace kavu
