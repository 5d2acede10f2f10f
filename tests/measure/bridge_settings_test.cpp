// The bridge settings' keys: every one round-trips through the settings file, bad values fall back
// by their binding, and what the graph-selection panel stores is what the impedance code reads.
#include "measure/bridge_settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "measure/results_point_source.h"
#include "results/graph_panel_settings.h"
#include "shell/settings_store.h"
#include "support/settings_checks.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

// A struct whose every member differs from its default and lies inside its range.
BridgeSettings Unusual() {
  BridgeSettings b;
  b.rt = 68, b.rb = 47, b.rd = 470, b.rg = 33, b.cs_pf = 1000, b.z0 = 75, b.cable_m = -2.5;
  b.trans_len = 2, b.use_duo_ampl = 1, b.use_duo_faza = 1;
  return b;
}

TEST(BridgeSettingsBindings, EveryKeyRoundTripsAndBadValuesFallBack) {
  {
    test::ScopedSettings settings;
    const BridgeSettings b = Unusual();
    ASSERT_NE(b, BridgeSettings());
    ASSERT_TRUE(SaveSettings(Settings(), BridgeSettings::kSection, BridgeSettings::Bindings(), b));
    EXPECT_EQ(test::KeysOf(BridgeSettings::kSection),
              (std::vector<std::string>{"m_Most1", "m_Most2", "m_Most3", "m_Most4", "m_Most5", "m_RCable",
                                        "m_LenCable", "m_IsTransLen", "m_UseDuoAmpl", "m_UseDuoFaza"}));
    EXPECT_EQ(LoadBridgeSettings(), b);
  }
  test::ExpectBadValuesFallBack<BridgeSettings>(BridgeSettings::Bindings(), BridgeSettings::kSection,
                                                [](BridgeSettings& b) { b = LoadBridgeSettings(); });
}

TEST(BridgeSettingsBindings, ThePanelStoresWhatTheBridgeReads) {
  // Same keys, defaults and limits on both sides: a key spelled differently by the panel would
  // leave the bridge at its default here.
  test::ScopedSettings settings;
  GraphPanelSettings panel;
  const BridgeSettings b = Unusual();
  panel.m_Most1 = b.rt, panel.m_Most2 = b.rb, panel.m_Most3 = b.rd, panel.m_Most4 = b.rg, panel.m_Most5 = b.cs_pf;
  panel.m_RCable = b.z0, panel.m_LenCable = b.cable_m;
  panel.m_IsTransLen = b.trans_len, panel.m_UseDuoAmpl = b.use_duo_ampl, panel.m_UseDuoFaza = b.use_duo_faza;
  panel.Store(Settings());
  EXPECT_EQ(LoadBridgeSettings(), b);
  EXPECT_EQ(BridgeFromPanel(panel), b);

  // Both read a value outside the limits as the same default.
  for (const auto& k : GraphPanelSettings::NumberKeys()) {
    if (k.lo > k.hi) continue;
    Settings().WriteProfileDouble(kPanelSection, k.key, k.hi + 1);
  }
  GraphPanelSettings reread;
  reread.Load(Settings());
  EXPECT_EQ(LoadBridgeSettings(), BridgeFromPanel(reread));
  EXPECT_EQ(LoadBridgeSettings().rt, 56);
}

}  // namespace
}  // namespace kavu
