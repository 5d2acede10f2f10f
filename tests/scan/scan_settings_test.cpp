// The scan's settings structs through a settings file: every key round-trips, bad values fall
// back, and the keys keep their names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "measure/calibration_setup.h"
#include "platform/user_paths.h"
#include "results/results_store.h"
#include "scan/one_signal_gr_list.h"
#include "scan/options_model.h"
#include "scan/scan_options.h"
#include "support/settings_checks.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

using Keys = std::vector<std::string>;

TEST(ScanSettings, ScanOptionsRoundTripEveryKeyAndClampWhatIsOutside) {
  {
    test::ScopedSettings settings;
    EXPECT_EQ(ScanOptions::Load(), ScanOptions());
    ScanOptions o;
    o.m_Delay1_ms = 1000, o.m_Delay1_CB = 3, o.m_MultyImpsTMax = 8000, o.m_MultyPolosaUsed = 40;
    o.m_MultyPPS = -100000, o.m_MultyPolosaRsp = 0, o.m_PolosaFM = 12345.5, o.m_UpTimeGraphik_ms = 10;
    o.m_UpTimeVodopad_ms = 1000, o.m_TZond10 = 1, o.m_ZondN = 255, o.m_SaveName_IsDate = 1;
    o.m_SaveName_IsSdrMode = 0, o.m_SaveName_IsGenMode = 0, o.m_SaveName_IsKsvMin = 1;
    o.m_SaveName_IsKsvMinFM = 1;
    ASSERT_TRUE(o.Save());
    EXPECT_EQ(test::KeysOf("CDlgOptions"),
              (Keys{"m_Delay1_ms", "m_Delay1_CB", "m_MultyImpsTMax", "m_MultyPolosaUsed", "m_MultyPPS",
                    "m_MultyPolosaRsp", "m_PolosaFM", "m_UpTimeGraphik_ms", "m_UpTimeVodopad_ms", "m_TZond10",
                    "m_ZondN", "m_SaveName_IsDate", "m_SaveName_IsSdrMode", "m_SaveName_IsGenMode",
                    "m_SaveName_IsKsvMin", "m_SaveName_IsKsvMinFM"}));
    EXPECT_EQ(ScanOptions::Load(), o);
    Settings().WriteProfileInt("CDlgOptions", "m_Delay1_ms", 5000);
    Settings().WriteProfileInt("CDlgOptions", "m_ZondN", 0);
    Settings().WriteProfileDouble("CDlgOptions", "m_PolosaFM", 1e9);
    Settings().WriteProfileInt("CDlgOptions", "m_MultyPolosaRsp", -3);
    const ScanOptions r = ScanOptions::Load();
    EXPECT_EQ(r.m_Delay1_ms, 1000);
    EXPECT_EQ(r.m_ZondN, 1);
    EXPECT_EQ(r.m_PolosaFM, 1e7);
    EXPECT_EQ(r.m_MultyPolosaRsp, 1);
  }
  test::ExpectBadValuesFallBack<ScanOptions>(ScanOptions::Bindings(), "CDlgOptions",
                                             [](ScanOptions& o) { o = ScanOptions::Load(); });
}

TEST(ScanSettings, CalibrationSetUpsAndTheSwitchRoundTripEveryKey) {
  {
    test::ScopedSettings settings;
    EXPECT_EQ(LoadCalibrationSetup(4), CalibrationSetup());
    EXPECT_EQ(LoadCalibrationSwitch(), CalibrationSwitch());
    CalibrationSetup c;
    c.cal_type = 1, c.aper2 = 150, c.is_med = 1, c.is_korr_ao = 0, c.is_korr_a = 1;
    c.names = {"/data/50 Ом.kant", "кз.kant", ""};
    c.loads_ohm = {75, 0.5, 120000};
    ASSERT_TRUE(SaveCalibrationSetup(4, c));
    EXPECT_EQ(test::KeysOf("Calibrate4"),
              (Keys{"m_CalType", "m_Aper2", "m_IsMed", "m_IsKorrAO", "m_IsKorrA", "m_Cal1Name", "m_Cal1R",
                    "m_Cal2Name", "m_Cal2R", "m_Cal3Name", "m_Cal3R"}));
    EXPECT_EQ(LoadCalibrationSetup(4), c);
    EXPECT_EQ(LoadCalibrationSetup(3), CalibrationSetup());

    // Against `before` only the changed keys are written: the third name, set by another
    // writer meanwhile, stays.
    Settings().WriteProfileString("Calibrate4", "m_Cal3Name", "other.kant");
    CalibrationSetup changed = c;
    changed.aper2 = 3;
    ASSERT_TRUE(SaveCalibrationSetup(4, changed, &c));
    const CalibrationSetup r = LoadCalibrationSetup(4);
    EXPECT_EQ(r.aper2, 3);
    EXPECT_EQ(r.names[2], "other.kant");

    CalibrationSwitch sw;
    sw.is_cal = false, sw.var_cal = 5;
    ASSERT_TRUE(SaveCalibrationSwitch(sw));
    EXPECT_EQ(test::KeysOf("CDlgCalibrate"), (Keys{"m_IsCal", "m_VarCal"}));
    EXPECT_EQ(LoadCalibrationSwitch(), sw);
    Settings().WriteProfileInt("CDlgCalibrate", "m_VarCal", 6);
    EXPECT_EQ(LoadCalibrationSwitch().var_cal, 0);
  }
  test::ExpectBadValuesFallBack<CalibrationSetup>(CalibrationSetup::Bindings(), "Calibrate2",
                                                  [](CalibrationSetup& c) { c = LoadCalibrationSetup(2); });
  test::ExpectBadValuesFallBack<CalibrationSwitch>(CalibrationSwitch::Bindings(), "CDlgCalibrate",
                                                   [](CalibrationSwitch& w) { w = LoadCalibrationSwitch(); });
}

TEST(ScanSettings, OneSignalBoxesRoundTripEveryKey) {
  {
    test::ScopedSettings settings;
    OneSignalChoice c;
    c.Load();
    EXPECT_EQ(c, OneSignalChoice());
    for (auto& [key, value] : c.Fields()) *value = 1 - *value;
    c.Save();
    EXPECT_EQ(test::KeysOf(OneSignalChoice::kSection),
              (Keys{"m_IsA", "m_IsAFiltrAmpl", "m_IsB", "m_IsIn", "m_IsPf", "m_IsIn2", "m_IsFaza"}));
    OneSignalChoice r;
    r.Load();
    EXPECT_EQ(r, c);
    EXPECT_EQ(r.m_IsA, 0);
    EXPECT_EQ(r.m_IsIn2, 1);
    EXPECT_EQ(std::string(r.Fields()[3].first), "m_IsIn");
    EXPECT_EQ(r.Fields()[3].second, &r.m_IsIn);
  }
  test::ExpectBadValuesFallBack<OneSignalChoice>(OneSignalChoice::Bindings(), OneSignalChoice::kSection,
                                                 [](OneSignalChoice& c) { c.Load(); });
}

TEST(ScanSettings, TheOptionsWindowsSlotAndTheResultsFolderRoundTrip) {
  {
    test::ScopedSettings settings;
    EXPECT_EQ(OptionsWindowState::Load().m_GenRfmCS, 0);
    OptionsWindowState w;
    w.m_GenRfmCS = 2;
    ASSERT_TRUE(w.Save());
    EXPECT_EQ(test::KeysOf("CDlgOptions"), Keys{"m_GenRfmCS"});
    EXPECT_EQ(OptionsWindowState::Load().m_GenRfmCS, 2);
    Settings().WriteProfileInt("CDlgOptions", "m_GenRfmCS", 3);  // no such slot: slot 0
    EXPECT_EQ(OptionsWindowState::Load().m_GenRfmCS, 0);

    // The results folder's one owner: the default under the home folder, an absolute folder as
    // given, a relative one under the home folder, and an empty choice keeps the folder.
    EXPECT_EQ(ResultsStore::ResultsFolder(), HomeDir() + "/AntIzmSdrData");
    ResultsStore::SetResultsFolder("/srv/scans");
    EXPECT_EQ(test::KeysOf("CDlgOptions"), (Keys{"m_GenRfmCS", "m_SaveResPath"}));
    EXPECT_EQ(ResultsStore::ResultsFolder(), "/srv/scans");
    ResultsStore::SetResultsFolder("");
    EXPECT_EQ(ResultsStore::ResultsFolder(), "/srv/scans");
    ResultsStore::SetResultsFolder("scans");
    EXPECT_EQ(ResultsStore::ResultsFolder(), HomeDir() + "/scans");
  }
  test::ExpectBadValuesFallBack<OptionsWindowState>(OptionsWindowState::Bindings(), "CDlgOptions",
                                                    [](OptionsWindowState& w) { w = OptionsWindowState::Load(); });
}

}  // namespace
}  // namespace kavu
