// The board's settings structs through a settings file: every key round-trips, bad values fall
// back, and the keys keep their names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/gen_desk.h"
#include "board/gen_setup.h"
#include "board/si5351_config.h"
#include "support/settings_checks.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

using Keys = std::vector<std::string>;

TEST(BoardSettings, GeneratorSlotsRoundTripEveryKey) {
  test::ScopedSettings settings;
  EXPECT_EQ(GenDesk::Load(1), GenDesk());
  GenDesk d;
  d.m_GenRfmType = 8, d.m_GenPowerRfm22 = 7, d.m_GenPowerRfm69 = 31, d.m_dds_Forma = 2;
  d.m_ADF4351_Pow = 3, d.m_ADF4351_BaseFM = 10e6, d.ppm = -499'999.5, d.RfmFixFM = 433.92e6;
  d.m_GenPowerSI4463 = 127;  // si4463_band is the driver's, never stored
  d.Save(2);
  EXPECT_EQ(test::KeysOf("CDlgOptions_RfmGen2"),
            (Keys{"m_GenRfmType", "m_GenPowerRfm22", "m_GenPowerRfm69", "m_dds_Forma", "m_ADF4351_Pow",
                  "m_ADF4351_BaseFM", "I.ppm", "RfmFixFM", "m_GenPowerSI4463"}));
  EXPECT_EQ(GenDesk::Load(2), d);
  EXPECT_EQ(GenDesk::Load(0), GenDesk());  // each slot its own section

  Settings().WriteProfileInt("CDlgOptions_RfmGen2", "m_GenPowerRfm22", 9);  // clamped
  Settings().WriteProfileInt("CDlgOptions_RfmGen2", "m_GenRfmType", 9);     // no such kind: none
  Settings().WriteProfileDouble("CDlgOptions_RfmGen2", "RfmFixFM", -1);     // swept
  const GenDesk r = GenDesk::Load(2);
  EXPECT_EQ(r.m_GenPowerRfm22, 7);
  EXPECT_EQ(r.m_GenRfmType, 0);
  EXPECT_EQ(r.RfmFixFM, 0.0);
  test::ExpectBadValuesFallBack<GenDesk>(GenDesk::Bindings(), "CDlgOptions_RfmGen1",
                                         [](GenDesk& g) { g = GenDesk::Load(1); });
}

TEST(BoardSettings, GeneratorOptionsAndTheSi5351RoundTripEveryKey) {
  {
    test::ScopedSettings settings;
    EXPECT_EQ(GenSetupOptions::Load(), GenSetupOptions());
    GenSetupOptions o;
    o.m_MinusGenDivider = 256, o.m_SynType = 2;
    ASSERT_TRUE(o.Save());
    // The probing slot and pair count are the scan options' keys, not stored here.
    EXPECT_EQ(test::KeysOf("CDlgOptions"), (Keys{"m_MinusGenDivider", "m_SynType"}));
    EXPECT_EQ(GenSetupOptions::Load(), o);
    Settings().WriteProfileInt("CDlgOptions", "m_MinusGenDivider", 257);  // off, not the default 40
    EXPECT_EQ(GenSetupOptions::Load().m_MinusGenDivider, 0);
  }
  test::ExpectBadValuesFallBack<GenSetupOptions>(GenSetupOptions::Bindings(), "CDlgOptions",
                                                 [](GenSetupOptions& o) { o = GenSetupOptions::Load(); });

  test::ScopedSettings settings;
  Si5351Config defaults;
  defaults.CheckAndDerive();
  EXPECT_EQ(Si5351Config::Load(), defaults);
  Si5351Config c;
  c.FrefHz = 27e6, c.PPM = 12.5, c.OutHz = {0, 10e6, -1e6}, c.MaxFOutsMHz = {200, 300, 21};
  c.CheckAndDerive();
  c.Save();
  EXPECT_EQ(test::KeysOf("CDlgOptions"),
            (Keys{"m_Si5351_FrefHz", "m_Si5351_PPM", "m_Si5351_Out1Hz", "m_Si5351_MaxFOuts_0", "m_Si5351_Out2Hz",
                  "m_Si5351_MaxFOuts_1", "m_Si5351_Out3Hz", "m_Si5351_MaxFOuts_2"}));
  EXPECT_EQ(Si5351Config::Load(), c);
  Settings().WriteProfileDouble("CDlgOptions", "m_Si5351_FrefHz", 80e6);  // refused, reported
  const Si5351Config r = Si5351Config::Load();
  EXPECT_FALSE(r.Fitted());
  EXPECT_EQ(r.FrefHzRefused, 80e6);
  test::ExpectBadValuesFallBack<Si5351Config>(Si5351Config::Bindings(), "CDlgOptions",
                                              [](Si5351Config& s) { s = Si5351Config::Load(); });
}

}  // namespace
}  // namespace kavu
