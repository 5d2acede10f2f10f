#include "board/gen_list.h"

#include <gtest/gtest.h>

#include "shell/settings_store.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

Si5351Config Si(double fref, std::array<double, 3> roles) {
  Si5351Config c;
  c.FrefHz = fref;
  c.OutHz = roles;
  c.CheckAndDerive();
  return c;
}

std::vector<std::string> Texts(const GenList& l) {
  std::vector<std::string> t;
  for (const auto& i : l.Items()) t.push_back(i.text + "=" + std::to_string(i.data));
  return t;
}

TEST(GenList, EntriesInOrderAndSelection) {
  GenDesks d{};
  d[0].m_GenRfmType = 3;
  d[1].m_GenRfmType = 7;
  d[1].RfmFixFM = 100e6;  // fixed source: not listed
  d[2].m_GenRfmType = 6;
  GenList l;
  l.Build(Si(25e6, {0.0, 10e6, 0.0}), d, 3);
  EXPECT_EQ(Texts(l), (std::vector<std::string>{"Si5351A, вых. CLK0=0", "Si5351A, вых. CLK2=2",
                                                "Rfm69CW на RB0=100", "ad9833 dds=102"}));
  EXPECT_EQ(l.GetGenNum(), 102);
  l.Build(Si(25e6, {0.0, -1.0, 0.0}), d, 5);  // stored index out of range -> first
  EXPECT_EQ(l.GetGenNum(), 0);
  EXPECT_TRUE(l.SelectData(100));
  EXPECT_EQ(l.Selected(), 2);
  EXPECT_FALSE(l.SelectData(101));
}

TEST(GenList, NothingConfiguredAndNoCrystal) {
  GenList l;
  l.Build(Si(0.0, {0.0, 0.0, 0.0}), GenDesks{}, 0);
  EXPECT_EQ(Texts(l), (std::vector<std::string>{"настройте сперва=-111"}));
  EXPECT_EQ(l.GetGenNum(), kGenNothingConfigured);
  GenList empty;
  EXPECT_EQ(empty.GetGenNum(), -1);
}

TEST(GenList, SelectionIsSavedAndDesksAreCheckedOnLoad) {
  test::ScopedSettings settings;
  SettingsStore& s = Settings();
  s.WriteProfileInt("CDlgOptions_RfmGen1", "m_GenRfmType", 9);
  s.WriteProfileInt("CDlgOptions_RfmGen2", "m_GenRfmType", 8);
  s.WriteProfileInt("CDlgOptions_RfmGen2", "m_GenPowerRfm22", 9);
  s.WriteProfileInt("CDlgOptions_RfmGen2", "m_GenPowerRfm69", -4);
  s.WriteProfileInt("CDlgOptions_RfmGen2", "m_dds_Forma", 3);
  s.WriteProfileDouble("CDlgOptions_RfmGen2", "m_ADF4351_BaseFM", 5e6);
  s.WriteProfileDouble("CDlgOptions_RfmGen2", "I.ppm", 600'000.0);
  s.WriteProfileDouble("CDlgOptions_RfmGen2", "RfmFixFM", -3.0);
  s.WriteProfileInt("CDlgOptions_RfmGen2", "m_GenPowerSI4463", 128);
  const GenDesks d = LoadGenDesks();
  EXPECT_EQ(d[1].m_GenRfmType, 0);
  EXPECT_EQ(d[2].m_GenRfmType, 8);
  EXPECT_EQ(d[2].m_GenPowerRfm22, 7);
  EXPECT_EQ(d[2].m_GenPowerRfm69, 0);
  EXPECT_EQ(d[2].m_dds_Forma, 0);
  EXPECT_EQ(d[2].m_ADF4351_BaseFM, 25e6);
  EXPECT_EQ(d[2].ppm, 0.0);
  EXPECT_EQ(d[2].RfmFixFM, 0.0);
  EXPECT_EQ(d[2].m_GenPowerSI4463, 0);
  EXPECT_EQ(d[2].si4463_band, kSi4463BandUnknown);
  EXPECT_STREQ(GenKind(8).list_text, "si4463");
  EXPECT_EQ(GenKind(6).spi_mode, 2);
  EXPECT_EQ(GenKind(42).list_text, nullptr);

  GenDesk p;
  p.ppm = 10.0;
  EXPECT_DOUBLE_EQ(p.CorrectedHz(100e6), 100e6 + 1000.0);

  GenList l;
  s.WriteProfileInt("ODlgSpektr", "m_GenNum", 1);
  l.BuildFromSettings(Si(25e6, {0.0, 0.0, -1.0}), d);
  EXPECT_EQ(l.GetGenNum(), 1);
  EXPECT_TRUE(l.Select(2));
  EXPECT_EQ(s.GetProfileInt("ODlgSpektr", "m_GenNum", 0), 2);
  EXPECT_FALSE(l.Select(3));
}

}  // namespace
}  // namespace kavu
