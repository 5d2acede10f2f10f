// The main window's settings through a private settings file: defaults, round trips, checks.
#include "scan/spektr_settings.h"

#include <gtest/gtest.h>

#include "shell/settings_store.h"
#include "support/settings_checks.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

constexpr const char* kS = "ODlgSpektr";

TEST(SpektrSettings, FirstRunGivesEveryDefault) {
  test::ScopedSettings settings;
  const SpektrSettings s = SpektrSettings::Load();
  EXPECT_EQ(s.m_GrMin, -90);
  EXPECT_EQ(s.m_GrMax, 80);
  EXPECT_EQ(s.m_VdMin, -90);
  EXPECT_EQ(s.m_VdMax, 50);
  EXPECT_EQ(s.m_FM_Sdr, 144e6);
  EXPECT_EQ(s.m_FM_Gen, 234e6);
  EXPECT_EQ(s.m_GenNum, 0);
  EXPECT_EQ(s.m_ScanDia, "140-150 0.5; 425-440 1");
  EXPECT_FALSE(s.m_IsScanCikl);
  EXPECT_EQ(s.m_SelectSdrKey, "");
  EXPECT_TRUE(s.IsCheckRfm22Cfg);
  EXPECT_TRUE(Settings().Keys(kS).empty());  // loading writes nothing
}

TEST(SpektrSettings, EveryKeyRoundTripsThroughTheFile) {
  test::ScopedSettings settings;
  SpektrSettings s;
  s.m_GrMin = -120;
  s.m_GrMax = 10;
  s.m_VdMin = -100;
  s.m_VdMax = -20;
  s.m_FM_Sdr = 7.1e6;
  s.m_FM_Gen = 433.92e6;
  s.m_GenNum = 2;
  s.m_ScanDia = "1,8-2 N11; 1-30 L5";
  s.m_IsScanCikl = true;
  s.m_SelectSdrKey = "RtlSdr Virtual bench";
  s.IsCheckRfm22Cfg = false;
  s.Save();
  // Another reader of the same file (a later run) sees the same values.
  SettingsStore other(settings.Path());
  EXPECT_EQ(other.GetProfileInt(kS, "m_GrMin", 0), -120);
  EXPECT_EQ(other.GetProfileDouble(kS, "m_FM_Gen", 0), 433.92e6);
  EXPECT_EQ(other.GetProfileInt(kS, "m_IsScanCikl", 0), 1);
  const SpektrSettings r = SpektrSettings::Load();
  EXPECT_EQ(r.m_GrMin, -120);
  EXPECT_EQ(r.m_GrMax, 10);
  EXPECT_EQ(r.m_VdMin, -100);
  EXPECT_EQ(r.m_VdMax, -20);
  EXPECT_EQ(r.m_FM_Sdr, 7.1e6);
  EXPECT_EQ(r.m_FM_Gen, 433.92e6);
  EXPECT_EQ(r.m_GenNum, 2);
  EXPECT_EQ(r.m_ScanDia, "1,8-2 N11; 1-30 L5");
  EXPECT_TRUE(r.m_IsScanCikl);
  EXPECT_EQ(r.m_SelectSdrKey, "RtlSdr Virtual bench");
  EXPECT_FALSE(r.IsCheckRfm22Cfg);
  EXPECT_EQ(r, s);  // every member
  EXPECT_EQ(test::KeysOf(kS),
            (std::vector<std::string>{"m_GrMin", "m_GrMax", "m_VdMin", "m_VdMax", "m_FM_Sdr", "m_FM_Gen", "m_GenNum",
                                      "m_ScanDia", "m_IsScanCikl", "m_SelectSdrKey", "IsCheckRfm22Cfg"}));
  test::ExpectBadValuesFallBack<SpektrSettings>(SpektrSettings::Bindings(), kS,
                                                [](SpektrSettings& w) { w = SpektrSettings::Load(); });
}

TEST(SpektrSettings, RangeTextIsUsedUpTo8000CharactersAndStoredWhole) {
  test::ScopedSettings settings;
  // Cyrillic letters take two bytes: the cut counts characters, never splits one.
  std::string text = "140-150 0.5;";
  while (text.size() < 7990) text += ' ';
  for (int i = 0; i < 50; ++i) text += "ш";
  SpektrSettings s;
  s.SaveScanDia(text);
  const size_t used_chars = 7990 + 10;
  EXPECT_EQ(s.m_ScanDia.size(), 7990 + 2 * (used_chars - 7990));
  EXPECT_EQ(Settings().GetProfileString(kS, "m_ScanDia", ""), text);  // the edit's text, whole
  const SpektrSettings r = SpektrSettings::Load();
  EXPECT_EQ(r.m_ScanDia, s.m_ScanDia);
  EXPECT_EQ(r.m_ScanDia.substr(r.m_ScanDia.size() - 2), "ш");

  const std::string short_text = "425-440 1";
  EXPECT_EQ(SpektrSettings::UsedScanDia(short_text), short_text);
  // Writing an empty text keeps the key: it reads back empty, not as the default.
  s.SaveScanDia("");
  EXPECT_EQ(SpektrSettings::Load().m_ScanDia, "");
}

TEST(SpektrSettings, FrequencyEditsAndBadStoredValues) {
  test::ScopedSettings settings;
  SpektrSettings s;
  EXPECT_EQ(s.SaveFM_SdrText("7,1"), 7.1e6);
  EXPECT_EQ(s.SaveFM_GenText("abc"), 144.123e6);
  EXPECT_EQ(SpektrSettings::Load().m_FM_Sdr, 7.1e6);
  EXPECT_EQ(SpektrSettings::Load().m_FM_Gen, 144.123e6);

  // Negative, absurd or non-numeric frequencies in the file fall back to the defaults.
  Settings().WriteProfileDouble(kS, "m_FM_Sdr", -5e6);
  Settings().WriteProfileString(kS, "m_FM_Gen", "nonsense");
  SpektrSettings r = SpektrSettings::Load();
  EXPECT_EQ(r.m_FM_Sdr, 144e6);
  EXPECT_EQ(r.m_FM_Gen, 234e6);
  Settings().WriteProfileDouble(kS, "m_FM_Sdr", 1e12);
  EXPECT_EQ(SpektrSettings::Load().m_FM_Sdr, 144e6);
  s.SaveFM_Gen(-1.0);  // a negative frequency is never stored
  EXPECT_EQ(Settings().GetProfileDouble(kS, "m_FM_Gen", 0), 234e6);

  // Any non-zero flag is on; limits are kept as typed.
  Settings().WriteProfileInt(kS, "m_IsScanCikl", 7);
  s.SaveGraphLimits(-60, -60);
  r = SpektrSettings::Load();
  EXPECT_TRUE(r.m_IsScanCikl);
  EXPECT_EQ(r.m_GrMin, -60);
  EXPECT_EQ(r.m_GrMax, -60);
}

}  // namespace
}  // namespace kavu
