// Impedance of stored points: settings as the panel keeps them, second-input corrections, the
// cable modes, and the calibration set-ups in the settings.
#include "measure/impedance_computer.h"

#include <gtest/gtest.h>

#include <cmath>

#include "measure/bridge_settings.h"
#include "measure/calibration_setup.h"
#include "shell/log_console.h"
#include "shell/settings_store.h"
#include "support/point_with_ratio.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

TEST(BridgeSettingsLoad, DefaultsRangesAndStoredValues) {
  test::ScopedSettings scoped;
  BridgeSettings s = LoadBridgeSettings();
  EXPECT_EQ(s.rt, 56);
  EXPECT_EQ(s.rb, 51);
  EXPECT_EQ(s.rd, 330);
  EXPECT_EQ(s.rg, 24);
  EXPECT_EQ(s.cs_pf, 0);
  EXPECT_EQ(s.z0, 50);
  EXPECT_EQ(s.cable_m, 0);
  EXPECT_EQ(s.trans_len, 0);
  SettingsStore& st = Settings();
  st.WriteProfileDouble("CDlg_SelectGraph", "m_Most1", 68);
  st.WriteProfileDouble("CDlg_SelectGraph", "m_Most2", 1);        // below 5: the default
  st.WriteProfileDouble("CDlg_SelectGraph", "m_Most3", 9999);     // above 5100: the default
  st.WriteProfileString("CDlg_SelectGraph", "m_Most4", "abc");    // not a number: the default
  st.WriteProfileDouble("CDlg_SelectGraph", "m_Most5", 33000);
  st.WriteProfileDouble("CDlg_SelectGraph", "m_RCable", 75);
  st.WriteProfileDouble("CDlg_SelectGraph", "m_LenCable", -1.25);
  st.WriteProfileInt("CDlg_SelectGraph", "m_IsTransLen", 2);
  st.WriteProfileInt("CDlg_SelectGraph", "m_UseDuoFaza", 1);
  s = LoadBridgeSettings();
  EXPECT_EQ(s.rt, 68);
  EXPECT_EQ(s.rb, 51);
  EXPECT_EQ(s.rd, 330);
  EXPECT_EQ(s.rg, 24);
  EXPECT_EQ(s.cs_pf, 33000);
  EXPECT_EQ(s.z0, 75);
  EXPECT_EQ(s.cable_m, -1.25);
  EXPECT_EQ(s.trans_len, 2);
  EXPECT_EQ(s.use_duo_faza, 1);
  EXPECT_EQ(s.use_duo_ampl, 0);
}

TEST(ImpedanceComputer, BalancedPointAndCableModes) {
  BridgeSettings s;
  AntIzms set(16);
  set.Append(test::PointWithRatio(50e6, 1.0, -40));
  const Complex z51 = ImpedanceComputer(s, nullptr).ComputeZ(set, 0, -1);
  EXPECT_NEAR(z51.real(), 51, 1e-12);
  EXPECT_NEAR(z51.imag(), 0, 1e-12);
  // d = 0: no change whatever the mode says.
  EXPECT_EQ(ImpedanceComputer(s, nullptr).ComputeZ(set, 0, 1), z51);
  s.cable_m = kLightSpeed / (4 * 50e6);  // a quarter wave at 50 MHz: 51 Ω becomes 2500/51
  const Complex quarter = 2500.0 / z51;
  const ImpedanceComputer off(s, nullptr);
  EXPECT_EQ(off.ComputeZ(set, 0, -1), z51);  // m_IsTransLen 0
  EXPECT_EQ(off.ComputeZ(set, 0, 0), z51);
  EXPECT_LT(std::abs(off.ComputeZ(set, 0, 1) - quarter), 1e-6);
  s.trans_len = 1;
  const ImpedanceComputer on(s, nullptr);
  EXPECT_LT(std::abs(on.ComputeZ(set, 0, -1) - quarter), 1e-6);
  EXPECT_EQ(on.ComputeZ(set, 0, 0), z51);
  // Rows carry frequency, Z, Γ and SWR.
  const auto rows = on.Rows(set, -1);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].freq_hz, 50e6);
  EXPECT_LT(std::abs(rows[0].gamma - (rows[0].z - 50.0) / (rows[0].z + 50.0)), 1e-15);
  EXPECT_NEAR(rows[0].swr, 51.0 / 50.0, 1e-6);
  // The index is clamped into the store, never outside it.
  EXPECT_NO_FATAL_FAILURE(on.ComputeZ(set, 1 << 20, 0));
  EXPECT_NO_FATAL_FAILURE(on.ComputeZ(set, -5, 0));
}

TEST(ImpedanceComputer, SecondInputCorrections) {
  BridgeSettings s;
  s.cs_pf = 470;
  const double f = 7.1e6;
  const Complex z(33, -18);
  const Complex rho = ExpectedRatio(s, z, f);
  AntIzms set(4);
  AntIzm p = test::PointWithRatio(f, rho, -40);
  // The main channel's level ratio is 3 dB high, as is the second input's; the main phase is
  // wrong, the second input's phase right.
  p.a += 3;
  p.aDuo = -10;
  p.oDuo = -13;
  p.phase += 0.4;
  p.phaseDuo = static_cast<float>(-std::arg(rho));
  set.Append(p);
  set.hasDuo = 1;
  s.use_duo_ampl = 1;
  s.use_duo_faza = 1;
  const Complex got = ImpedanceComputer(s, nullptr).ComputeZ(set, 0, 0);
  EXPECT_LT(std::abs(got - z) / std::abs(z), 1e-6);  // the float phase limits the precision
  // Without second-input data in the set the choices do nothing.
  set.hasDuo = 0;
  const Complex raw = ImpedanceComputer(s, nullptr).ComputeZ(set, 0, 0);
  EXPECT_GT(std::abs(raw - z), 1.0);
  BridgeSettings plain = s;
  plain.use_duo_ampl = plain.use_duo_faza = 0;
  EXPECT_EQ(raw, ImpedanceComputer(plain, nullptr).ComputeZ(set, 0, 0));
  // Only the amplitude: the phase error stays.
  set.hasDuo = 1;
  s.use_duo_faza = 0;
  const Complex amp_only = ImpedanceComputer(s, nullptr).BridgeSolve(set, 0, true);
  EXPECT_GT(std::abs(amp_only - z), 1.0);
  EXPECT_NEAR(std::abs(ExpectedRatio(s, amp_only, f)), std::abs(rho), 1e-12);
}

TEST(CalibrationSetups, SavedAndLoadedPerNumber) {
  test::ScopedSettings scoped;
  const CalibrationSetup def = LoadCalibrationSetup(3);
  EXPECT_EQ(def.cal_type, 0);
  EXPECT_EQ(def.aper2, 11);
  EXPECT_EQ(def.is_korr_ao, 1);
  EXPECT_EQ(def.is_korr_a, 0);
  EXPECT_EQ(def.loads_ohm[0], 50);
  EXPECT_EQ(def.loads_ohm[1], 0);
  EXPECT_EQ(def.loads_ohm[2], 999999);
  CalibrationSetup s;
  s.cal_type = 1;
  s.aper2 = 40;
  s.is_korr_a = 1;
  s.names = {"/a/50.kant", "/a/кз.kant", "/a/хх.kant"};
  s.loads_ohm = {75, 10, 200};
  ASSERT_TRUE(SaveCalibrationSetup(5, s));
  const CalibrationSetup back = LoadCalibrationSetup(5);
  EXPECT_EQ(back.cal_type, 1);
  EXPECT_EQ(back.aper2, 40);
  EXPECT_EQ(back.is_korr_a, 1);
  EXPECT_EQ(back.names, s.names);
  EXPECT_EQ(back.loads_ohm, s.loads_ohm);
  EXPECT_EQ(Settings().GetProfileString("Calibrate5", "m_Cal2Name", ""), "/a/кз.kant");
  EXPECT_EQ(LoadCalibrationSetup(0).cal_type, 0);  // other set-ups untouched
  // Stored values out of range read as the defaults.
  Settings().WriteProfileInt("Calibrate1", "m_CalType", 7);
  Settings().WriteProfileInt("Calibrate1", "m_Aper2", 151);
  Settings().WriteProfileDouble("Calibrate1", "m_Cal1R", 0.5);
  Settings().WriteProfileDouble("Calibrate1", "m_Cal3R", 2e6);
  const CalibrationSetup bad = LoadCalibrationSetup(1);
  EXPECT_EQ(bad.cal_type, 0);
  EXPECT_EQ(bad.aper2, 11);
  EXPECT_EQ(bad.loads_ohm[0], 50);
  EXPECT_EQ(bad.loads_ohm[2], 999999);
  EXPECT_EQ(CalibrationSection(9), "Calibrate5");
  // The switch: on and set-up 0 by default.
  CalibrationSwitch sw = LoadCalibrationSwitch();
  EXPECT_TRUE(sw.is_cal);
  EXPECT_EQ(sw.var_cal, 0);
  ASSERT_TRUE(SaveCalibrationSwitch({false, 5}));
  sw = LoadCalibrationSwitch();
  EXPECT_FALSE(sw.is_cal);
  EXPECT_EQ(sw.var_cal, 5);
  Calibration cal(16);
  cal.LoadFromSettings();
  EXPECT_EQ(cal.Number(), 5);
  EXPECT_EQ(cal.Setup().names, s.names);
  EXPECT_FALSE(cal.IsCal());
}

TEST(BridgeSettingsLoad, ACableBeyondTenKilometresFallsBackWithALogLine) {
  test::ScopedSettings scoped;
  SettingsStore& st = Settings();
  Log().SetCapture(true);
  for (const double len : {1e308, -1e308, 10'000.5, -20'000.0}) {
    st.WriteProfileDouble("CDlg_SelectGraph", "m_LenCable", len);
    st.WriteProfileInt("CDlg_SelectGraph", "m_IsTransLen", 1);
    Log().TakeCaptured();
    const BridgeSettings s = LoadBridgeSettings();
    const std::string log = Log().TakeCaptured();
    EXPECT_EQ(s.cable_m, 0) << len;
    EXPECT_NE(log.find("m_LenCable"), std::string::npos) << log;
    // With the fallback every point of a scan has a finite impedance again.
    AntIzms set(4);
    set.Append(test::PointWithRatio(7e6, 1.3, -40));
    const Complex z = ImpedanceComputer(s, nullptr).ComputeZ(set, 0, -1);
    EXPECT_TRUE(std::isfinite(z.real()) && std::isfinite(z.imag())) << len;
  }
  for (const double len : {10'000.0, -10'000.0, 3.5}) {
    st.WriteProfileDouble("CDlg_SelectGraph", "m_LenCable", len);
    EXPECT_EQ(LoadBridgeSettings().cable_m, len);
  }
  Log().SetCapture(false);
}

}  // namespace
}  // namespace kavu
