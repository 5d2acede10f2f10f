// The receiver set's start-up keys: every one round-trips through the settings file in its own
// section, and bad values fall back by their binding.
#include "receivers/receiver_settings.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "shell/settings_store.h"
#include "support/settings_checks.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

TEST(ReceiverSettings, EveryKeyRoundTripsInItsSection) {
  test::ScopedSettings settings;
  EXPECT_EQ(ReceiverSettings::Load(Settings()), ReceiverSettings());
  EXPECT_EQ(ReceiverSettings().hackrf_name, "libhackrf.so.0");
  EXPECT_EQ(ReceiverSettings().hysteresis_db, 3);

  ReceiverSettings r;
  r.rtl_folder = "/opt/rtl", r.sdrplay_folder = "/opt/sdr play", r.hackrf_folder = "/opt/hackrf";
  r.hackrf_name = "libhackrf.so.1", r.extio_folder = "/home/u/плагины", r.is_convertor = true;
  r.convertor_shift = -116e6, r.hysteresis_db = 4.5;
  ASSERT_TRUE(r.Save(Settings()));
  // The file format of earlier runs: these sections and key names.
  EXPECT_EQ(test::KeysOf("ODlgRtlSdr"), std::vector<std::string>{"m_PathApiDllRtl"});
  EXPECT_EQ(test::KeysOf("OSdrPlayUse"), std::vector<std::string>{"m_PathApiDll"});
  EXPECT_EQ(test::KeysOf("OHackRfUse"), (std::vector<std::string>{"m_PathApiDll", "m_NameApiDll"}));
  EXPECT_EQ(test::KeysOf("OExtIOUse"), std::vector<std::string>{"m_PathExtIO"});
  EXPECT_EQ(test::KeysOf("CDlgOptions"),
            (std::vector<std::string>{"m_IsConvertor", "m_ConvertorFShift", "m_GisterzisMyAru"}));
  SettingsStore later(settings.Path());  // a later run reading the same file
  EXPECT_EQ(ReceiverSettings::Load(later), r);
}

TEST(ReceiverSettings, BadValuesFallBackAndFoldersAreTrimmed) {
  for (const ReceiverSettings::Section& s : ReceiverSettings::Sections()) {
    test::ExpectBadValuesFallBack<ReceiverSettings>(s.fields, s.name,
                                                    [](ReceiverSettings& r) { r = ReceiverSettings::Load(Settings()); });
  }
  test::ScopedSettings settings;
  SettingsStore& st = Settings();
  st.WriteProfileString("ODlgRtlSdr", "m_PathApiDllRtl", "/opt/rtl//");
  st.WriteProfileString("OExtIOUse", "m_PathExtIO", "C:\\ExtIO\\");
  st.WriteProfileString("OHackRfUse", "m_NameApiDll", "");
  st.WriteProfileDouble("CDlgOptions", "m_GisterzisMyAru", -1);
  st.WriteProfileInt("CDlgOptions", "m_IsConvertor", 1);
  st.WriteProfileDouble("CDlgOptions", "m_ConvertorFShift", std::numeric_limits<double>::infinity());
  ReceiverSettings r = ReceiverSettings::Load(st);
  EXPECT_EQ(r.rtl_folder, "/opt/rtl");
  EXPECT_EQ(r.extio_folder, "C:\\ExtIO");
  EXPECT_EQ(r.hackrf_name, "libhackrf.so.0");
  EXPECT_EQ(r.hysteresis_db, 3);  // below 0: the default
  EXPECT_EQ(r.convertor_shift, 0);  // not a finite number: the default
  st.WriteProfileDouble("CDlgOptions", "m_GisterzisMyAru", 9);
  st.WriteProfileDouble("CDlgOptions", "m_ConvertorFShift", 1e9);
  r = ReceiverSettings::Load(st);
  EXPECT_EQ(r.hysteresis_db, 6);  // above 6 dB: 6 dB
  EXPECT_TRUE(r.is_convertor);
  EXPECT_EQ(r.convertor_shift, 1e9);

  // The same checks on values typed rather than read (the options window's path): one Check.
  r.hysteresis_db = std::numeric_limits<double>::quiet_NaN();
  r.convertor_shift = -std::numeric_limits<double>::infinity();
  r.hackrf_name.clear();
  r.Check();
  EXPECT_EQ(r.hysteresis_db, 3);
  EXPECT_EQ(r.convertor_shift, 0);
  EXPECT_FALSE(r.is_convertor);  // no shift to tune by: no converter
  EXPECT_EQ(r.hackrf_name, "libhackrf.so.0");
  r.hysteresis_db = 7;
  r.Check();
  const ReceiverSettings once = r;
  r.Check();
  EXPECT_EQ(r, once);
  EXPECT_EQ(r.hysteresis_db, 6);
}

}  // namespace
}  // namespace kavu
