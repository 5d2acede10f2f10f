#pragma once
// Checks shared by the settings structs' tests: which keys a section holds, and that every
// binding of a struct takes a damaged or out-of-range stored value back to its rule.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "shell/log_console.h"
#include "shell/settings_fields.h"
#include "shell/settings_store.h"
#include "support/temp_dir.h"

namespace kavu::test {

// The keys of `section` in the settings file, in file order.
inline std::vector<std::string> KeysOf(std::string_view section) {
  std::vector<std::string> keys;
  for (const auto& [key, value] : Settings().Keys(section)) keys.push_back(key);
  return keys;
}

// For every binding of `fields` kept in `section`, each in a fresh settings file read by `load`
// (which fills a fresh struct from the process-wide store): a damaged integer or real reads as
// its default and is logged once, naming the key and the default; an integer or real beyond
// either end of its range reads as its rule says.
template <class S>
void ExpectBadValuesFallBack(SettingFields<S> fields, std::string_view section,
                             const std::function<void(S&)>& load) {
  for (const auto& b : fields) {
    std::visit(
        [&](const auto& f) {
          using F = std::decay_t<decltype(f)>;
          if constexpr (std::is_same_v<F, IntSetting<S>> || std::is_same_v<F, RealSetting<S>>) {
            using V = std::decay_t<decltype(f.def)>;
            {
              ScopedSettings settings;
              Settings().WriteProfileString(section, b.key, "12x");
              Log().SetCapture(true);
              Log().TakeCaptured();
              S s;
              load(s);
              const std::string log = Log().TakeCaptured();
              Log().SetCapture(false);
              EXPECT_EQ(f.at(s), f.def) << b.key << " damaged";
              EXPECT_NE(log.find("settings: [" + std::string(section) + "] " + b.key + "=\"12x\" is not one"),
                        std::string::npos)
                  << b.key << ": " << log;
            }
            if (f.range.rule == RangeRule::kKeep) return;
            for (const double beyond : {f.range.lo - 1, f.range.hi + 1}) {
              if (!std::isfinite(beyond) || std::fabs(beyond) > 2e9) continue;
              ScopedSettings settings;
              const V v = static_cast<V>(beyond);
              if constexpr (std::is_same_v<V, int32_t>) {
                Settings().WriteProfileInt(section, b.key, v);
              } else {
                Settings().WriteProfileDouble(section, b.key, v);
              }
              S s;
              load(s);
              EXPECT_EQ(f.at(s), InRange(v, f.def, f.range)) << b.key << " = " << v;
              EXPECT_NE(f.at(s), v) << b.key << " = " << v << " is outside its range";
            }
          }
        },
        b.value);
  }
}

}  // namespace kavu::test
