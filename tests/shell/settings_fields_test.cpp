// Settings bindings: every kind of member through a file, the range rules, partial saves.
#include "shell/settings_fields.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>

#include "shell/log_console.h"
#include "support/settings_checks.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

constexpr const char* kSec = "Toy";

struct Toy {
  int32_t count = 5;      // 1 … 10, clamped
  int32_t mode = 2;       // 0 … 3, else the default
  int32_t divider = 40;   // 0 … 256, else 0
  int32_t box = 1;        // a check box kept as an integer
  int32_t free = -7;      // any value
  double level = 1.5;     // −10 … 10, else the default
  double gain = 0.5;      // 0 … 1, clamped
  bool on = true;
  std::string name = "a";
  std::array<double, 2> hz{100, 200};
  std::array<std::string, 2> files{"x", "y"};
  bool operator==(const Toy&) const = default;
};

void Trim(std::string& t) {
  while (!t.empty() && t.back() == ' ') t.pop_back();
}

constexpr SettingBinding<Toy> kToyFields[] = {
    Bind<&Toy::count>("m_Count", 5, ClampTo(1, 10)),
    Bind<&Toy::mode>("m_Mode", 2, DefaultOutside(0, 3)),
    Bind<&Toy::divider>("m_Divider", 40, LowOutside(0, 256)),
    Bind<&Toy::box>("m_Box", 1, NonZeroIsOne()),
    Bind<&Toy::free>("m_Free", -7),
    Bind<&Toy::level>("m_Level", 1.5, DefaultOutside(-10.0, 10.0)),
    Bind<&Toy::gain>("m_Gain", 0.5, ClampTo(0.0, 1.0)),
    Bind<&Toy::on>("m_On", true),
    Bind<&Toy::name>("m_Name", "a", Trim),
    BindElement<&Toy::hz, 0>("m_Hz1", 100.0),
    BindElement<&Toy::hz, 1>("m_Hz2", 200.0),
    BindElement<&Toy::files, 0>("m_File1", "x"),
    BindElement<&Toy::files, 1>("m_File2", "y"),
};

Toy LoadToy() {
  Toy t;
  LoadSettings(Settings(), kSec, kToyFields, t);
  return t;
}

TEST(SettingsFields, EveryKindOfMemberRoundTripsThroughTheFile) {
  test::ScopedSettings settings;
  EXPECT_EQ(LoadToy(), Toy());  // the bindings' defaults are the struct's
  EXPECT_TRUE(test::KeysOf(kSec).empty());  // loading writes nothing

  Toy t;
  t.count = 9, t.mode = 0, t.divider = 256, t.box = 0, t.free = -2'000'000'000;
  t.level = -9.75, t.gain = 0.125, t.on = false, t.name = "имя с пробелом", t.hz = {1e-3, 7.1e9};
  t.files = {"/tmp/a b.kant", ""};
  ASSERT_TRUE(SaveSettings(Settings(), kSec, kToyFields, t));
  EXPECT_EQ(test::KeysOf(kSec), (std::vector<std::string>{"m_Count", "m_Mode", "m_Divider", "m_Box", "m_Free",
                                                           "m_Level", "m_Gain", "m_On", "m_Name", "m_Hz1",
                                                           "m_Hz2", "m_File1", "m_File2"}));
  SettingsStore other(settings.Path());  // another reader of the file, as a later run
  Toy r;
  LoadSettings(other, kSec, kToyFields, r);
  EXPECT_EQ(r, t);
  EXPECT_EQ(other.GetProfileInt(kSec, "m_On", -1), 0);
  EXPECT_EQ(other.GetRaw(kSec, "m_Gain"), "0.125");
}

TEST(SettingsFields, BadValuesFollowTheirRuleAndDamagedOnesAreLogged) {
  test::ExpectBadValuesFallBack<Toy>(kToyFields, kSec, [](Toy& t) { t = LoadToy(); });

  test::ScopedSettings settings;
  for (const auto& [key, text] : {std::pair{"m_Count", "99"}, {"m_Mode", "-1"}, {"m_Divider", "300"},
                                  {"m_Box", "-5"}, {"m_Free", "123456"}, {"m_Level", "1e300"},
                                  {"m_Gain", "-3"}, {"m_On", "7"}, {"m_Name", "b  "}, {"m_Hz1", "nan"}}) {
    Settings().WriteProfileString(kSec, key, text);
  }
  const Toy t = LoadToy();
  EXPECT_EQ(t.count, 10);
  EXPECT_EQ(t.mode, 2);
  EXPECT_EQ(t.divider, 0);
  EXPECT_EQ(t.box, 1);
  EXPECT_EQ(t.free, 123456);
  EXPECT_EQ(t.level, 1.5);
  EXPECT_EQ(t.gain, 0.0);
  EXPECT_TRUE(t.on);
  EXPECT_EQ(t.name, "b");
  EXPECT_EQ(t.hz[0], 100.0);  // not a finite number: the default

  // The rules themselves, at and beyond the ends; a real that is not finite gives the default.
  EXPECT_EQ(InRange(1, 5, ClampTo(1, 10)), 1);
  EXPECT_EQ(InRange(0, 5, ClampTo(1, 10)), 1);
  EXPECT_EQ(InRange(11, 5, DefaultOutside(1, 10)), 5);
  EXPECT_EQ(InRange(10, 5, DefaultOutside(1, 10)), 10);
  EXPECT_EQ(InRange(-1, 40, LowOutside(0, 256)), 0);
  EXPECT_EQ(InRange(0, 1, NonZeroIsOne()), 0);
  EXPECT_EQ(InRange(-1, 3, DefaultBelowClampAbove(0, 6)), 3);
  EXPECT_EQ(InRange(7, 3, DefaultBelowClampAbove(0, 6)), 6);
  EXPECT_EQ(InRange(0, 3, DefaultBelowClampAbove(0, 6)), 0);
  EXPECT_EQ(InRange(-0.5, 3.0, DefaultBelowClampAbove(0, 6)), 3.0);
  EXPECT_EQ(InRange(6.5, 3.0, DefaultBelowClampAbove(0, 6)), 6.0);
  EXPECT_EQ(InRange(INT32_MIN, 9, SettingRange{}), INT32_MIN);
  EXPECT_EQ(InRange(std::numeric_limits<double>::infinity(), 2.0, ClampTo(0, 5)), 2.0);
  EXPECT_EQ(InRange(-0.5, 2.0, ClampTo(0, 5)), 0.0);
  EXPECT_TRUE(std::isnan(InRange(NAN, 2.0, SettingRange{})));  // no range: kept as it is
}

TEST(SettingsFields, PartialSavesWriteOnlyWhatChangedOrWasNamed) {
  test::ScopedSettings settings;
  Toy before;
  ASSERT_TRUE(SaveSettings(Settings(), kSec, kToyFields, before));
  // Another writer changes two keys; a save against `before` leaves what it did not change.
  Settings().WriteProfileInt(kSec, "m_Count", 3);
  Settings().WriteProfileInt(kSec, "m_Mode", 1);
  Toy now = before;
  now.mode = 3, now.files[1] = "z";
  ASSERT_TRUE(SaveSettings(Settings(), kSec, kToyFields, now, &before));
  Toy r = LoadToy();
  EXPECT_EQ(r.count, 3);
  EXPECT_EQ(r.mode, 3);
  EXPECT_EQ(r.files[1], "z");

  // One member alone; a member without a binding is refused.
  now.free = 77, now.level = -1;
  ASSERT_TRUE(SaveMember<&Toy::free>(Settings(), kSec, kToyFields, now));
  r = LoadToy();
  EXPECT_EQ(r.free, 77);
  EXPECT_EQ(r.level, 1.5);
  EXPECT_FALSE(SaveMember<&Toy::free>(Settings(), kSec, std::span(kToyFields).first(4), now));

  // Values set in code follow the same rules as values read back.
  now.count = 0, now.divider = 999, now.name = "c ";
  CheckSettings(kToyFields, now);
  EXPECT_EQ(now.count, 1);
  EXPECT_EQ(now.divider, 0);
  EXPECT_EQ(now.name, "c");

  // A default known only at run time.
  Toy defaults;
  defaults.free = 5, defaults.name = "run";
  Toy t;
  test::ScopedSettings empty;
  LoadSettings(Settings(), kSec, kToyFields, t, &defaults);
  EXPECT_EQ(t.free, 5);
  EXPECT_EQ(t.name, "run");
}

}  // namespace
}  // namespace kavu
