// The R and X diagram's settings through a settings file.
#include "results/rx_diagram_settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/settings_checks.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

TEST(RxDiagramSettings, EveryKeyRoundTripsAndTheWindowDefaultsToTheData) {
  {
    test::ScopedSettings settings;
    RxDiagramSettings d;
    d.Load(Settings(), RxRange{7, 30});
    EXPECT_EQ(d.m_ShowFMin, 7);
    EXPECT_EQ(d.m_ShowFMax, 30);
    d.m_ShowFMin = 0, d.m_ShowFMax = 6600;
    EXPECT_EQ(d, RxDiagramSettings());

    RxDiagramSettings s;
    s.m_Mode = 1, s.m_ColorType = 2, s.m_ShowFMin = 144, s.m_ShowFMax = 146, s.m_IsLo = 1;
    s.sKSVs = "1.2 3", s.sRCabs = "50 75";
    s.Store(Settings());
    EXPECT_EQ(test::KeysOf(kRxSection),
              (std::vector<std::string>{"m_Mode", "m_ColorType", "m_ShowFMin", "m_ShowFMax", "m_IsLo", "sKSVs",
                                        "sRCabs"}));
    RxDiagramSettings r;
    r.Load(Settings(), RxRange{7, 30});
    EXPECT_EQ(r, s);
    Settings().WriteProfileInt(kRxSection, "m_ColorType", 3);
    Settings().WriteProfileInt(kRxSection, "m_IsLo", 9);
    r.Load(Settings(), RxRange{7, 30});
    EXPECT_EQ(r.m_ColorType, 2);
    EXPECT_EQ(r.m_IsLo, 1);
  }
  // With the data's range equal to the bindings' defaults, every bad value reads as its rule.
  test::ExpectBadValuesFallBack<RxDiagramSettings>(RxDiagramSettings::Bindings(), kRxSection,
                                                   [](RxDiagramSettings& s) { s.Load(Settings(), RxRange{0, 6600}); });
}

}  // namespace
}  // namespace kavu
