// The graph-selection panel's keys: each spelled once in its table, and every one round-trips
// through the settings file as a later run reads it.
#include "results/graph_panel_settings.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "shell/settings_store.h"
#include "support/settings_checks.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

TEST(GraphPanelSettingsKeys, EveryKeyIsUniqueAndRoundTripsThroughTheFile) {
  test::ScopedSettings settings;
  const GraphPanelSettings defaults;
  GraphPanelSettings p;
  for (const auto& k : GraphPanelSettings::CheckKeys()) {
    p.*k.field = k.tristate ? 2 : (defaults.*k.field ? 0 : 1);  // each differs from its default
  }
  for (size_t i = 1; i < p.m_IsFile.size(); ++i) p.m_IsFile[i] = static_cast<int32_t>(i % 2);
  for (const auto& k : GraphPanelSettings::NumberKeys()) {
    const double v = k.lo + (k.hi - k.lo) * 0.375;
    p.*k.field = v;
    ASSERT_NE(v, k.def) << k.key;
    ASSERT_EQ(GraphPanelSettings::SanitiseLoaded(k, v), v) << k.key;
  }
  p.Store(Settings());

  // Every key once: two table rows with one key would overwrite each other.
  std::set<std::string> keys;
  for (const auto& key : test::KeysOf(kPanelSection)) EXPECT_TRUE(keys.insert(key).second) << key;
  EXPECT_EQ(keys.size(), GraphPanelSettings::CheckKeys().size() + 6 + GraphPanelSettings::NumberKeys().size());

  SettingsStore later(settings.Path());
  GraphPanelSettings r;
  r.Load(later);
  for (const auto& k : GraphPanelSettings::CheckKeys()) EXPECT_EQ(r.*k.field, p.*k.field) << k.key;
  for (const auto& k : GraphPanelSettings::NumberKeys()) EXPECT_EQ(r.*k.field, p.*k.field) << k.key;
  EXPECT_EQ(r.m_IsFile, p.m_IsFile);
}

}  // namespace
}  // namespace kavu
