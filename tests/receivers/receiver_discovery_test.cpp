// Receiver discovery, keys and the start-up choice, with no libraries, the system's real
// libraries and the simulated RTL-SDR library.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <gnu/libc-version.h>
#include <unistd.h>

#include <cstring>
#include <memory>

#include "receivers/receiver_set.h"
#include "shell/log_console.h"
#include "shell/settings_store.h"
#include "sim_feed.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

struct RecordingHost : IReceiverSetHost {
  std::vector<double> rates;
  std::vector<ReceiverKind> windows;
  std::vector<std::string> infos;
  void SampleRateChanged(double r) override { rates.push_back(r); }
  void ShowSettingsWindow(ReceiverKind k) override { windows.push_back(k); }
  void ShowInfo(const std::string& t) override { infos.push_back(t); }
  double ReceiverFrequency() override { return 145'000'000.0; }
};

std::vector<std::string> Texts(const ReceiverSet& set) {
  std::vector<std::string> t;
  for (const auto& e : set.Entries()) t.push_back(e.text);
  return t;
}

void PointAllFoldersAt(const std::string& dir) {
  Settings().WriteProfileString("ODlgRtlSdr", "m_PathApiDllRtl", dir);
  Settings().WriteProfileString("OSdrPlayUse", "m_PathApiDll", dir);
  Settings().WriteProfileString("OHackRfUse", "m_PathApiDll", dir);
  Settings().WriteProfileString("OExtIOUse", "m_PathExtIO", dir);
}

TEST(ReceiverEntry, CodesKindsAndKeys) {
  EXPECT_EQ(KindOfCode(3'000'001), ReceiverKind::kHackRf);
  EXPECT_EQ(KindOfCode(2'000'000), ReceiverKind::kRtlSdr);
  EXPECT_EQ(KindOfCode(63), ReceiverKind::kSdrPlay);
  EXPECT_EQ(KindOfCode(1'000'000), ReceiverKind::kExtIO);
  EXPECT_EQ(KindOfCode(-3), ReceiverKind::kExtIO);  // the ranges are tested in this order
  EXPECT_EQ(WindowKindOfCode(-3), ReceiverKind::kRtlSdr);
  EXPECT_EQ(WindowKindOfCode(-4), ReceiverKind::kHackRf);
  EXPECT_EQ(WindowKindOfCode(-2), ReceiverKind::kSdrPlay);
  EXPECT_EQ(ReceiverKey({-3, "Не подключены Rtl-Sdr", 0, ""}), "");
  EXPECT_EQ(ReceiverKey({2'000'001, "Generic RTL2832U", 0, ""}), "RtlSdr Generic RTL2832U");
  EXPECT_EQ(ReceiverKey({3'000'000, "HackRf 0000abcd", 0, ""}), "RtlSdr HackRf 0000abcd");
  EXPECT_EQ(ReceiverKey({1, "RSPduo_123 A", 3, "123"}), "SdrPlay_3_123");
  EXPECT_EQ(ReceiverKey({1'000'000, "ExtIO_x.so", 0, ""}), "ExtIO_plugin ExtIO_x.so");
}

TEST(ReceiverDiscovery, NoLibrariesGivesTheFourPlaceholdersInOrder) {
  test::ScopedSettings settings;
  test::TempDir empty;
  PointAllFoldersAt(empty.Path());
  Settings().WriteProfileString("ODlgSpektr", "m_SelectSdrKey", "RtlSdr Virtual bench");
  SampleRings rings(1024);
  RecordingHost host;
  ReceiverSet set(rings, host);
  set.LoadSettings();
  set.Discover();
  EXPECT_EQ(Texts(set), (std::vector<std::string>{"Нет libsdrplay_api.so.3", "Не найдена librtlsdr.so.0",
                                                  "Не найдено api для HackRf", "Нет ExtIO*.so"}));
  std::vector<int32_t> codes;
  for (const auto& e : set.Entries()) codes.push_back(e.code);
  EXPECT_EQ(codes, (std::vector<int32_t>{-1, -3, -4, -2}));
  EXPECT_EQ(set.AutoSelect(), -1);
  EXPECT_EQ(set.Status().text, ReceiverSet::kNoSelectionText);
  EXPECT_EQ(Settings().GetProfileString("ODlgSpektr", "m_SelectSdrKey", ""), "RtlSdr Virtual bench");

  // Choosing a placeholder explains and opens that kind's settings window.
  EXPECT_FALSE(set.SelectReceiver(1));
  EXPECT_EQ(set.Status().text.rfind("Невозможно использовать Rtl-Sdr, нет файла '", 0), 0u);
  EXPECT_EQ(host.windows.back(), ReceiverKind::kRtlSdr);
  EXPECT_FALSE(set.SelectReceiver(3));
  ASSERT_EQ(host.infos.size(), 1u);
  EXPECT_EQ(host.infos[0], "Не найдены плагины ExtIO*.so, попробуйте настроить путь для поиска");
  EXPECT_EQ(set.StatusTextRtl().rfind("ОШИБКА ЗАГРУЗКИ " + empty.Path() + "/librtlsdr.so.0", 0), 0u);
}

TEST(ReceiverDiscovery, BrokenLibraryAndPluginsAreListedWithoutStoppingDiscovery) {
  test::ScopedSettings settings;
  test::TempDir dir;
  PointAllFoldersAt(dir.Path());
  test::WriteFile(dir.File("librtlsdr.so.0"), "not a library");
  test::WriteFile(dir.File("libhackrf.so.0"), "not a library either");
  test::WriteFile(dir.File("extio_one.SO"), "x");
  test::WriteFile(dir.File("ExtIO_Two.so"), "x");
  SampleRings rings(1024);
  RecordingHost host;
  ReceiverSet set(rings, host);
  set.LoadSettings();
  set.Discover();
  EXPECT_EQ(Texts(set), (std::vector<std::string>{"Нет libsdrplay_api.so.3", "Ошибка загрузки librtlsdr.so.0",
                                                  "Ошибка загрузки dll c api для HackRf",
                                                  "ExtIO_Two.so", "extio_one.SO"}));
  EXPECT_EQ(set.Entries()[3].code, kCodeExtIO);
  EXPECT_NE(set.Rtl().ErrorText().find("не удалось загрузить '" + dir.File("librtlsdr.so.0") + "', Err="),
            std::string::npos);
}

// Libraries that load but are not what they claim: every missing function is named, only what
// needs it fails, and the other kinds are still listed.
TEST(ReceiverDiscovery, LibrariesWithoutTheirFunctionsFailOnlyWhereNeeded) {
  test::ScopedSettings settings;
  test::TempDir rtl_dir, hackrf_dir;
  PointAllFoldersAt(rtl_dir.Path());
  Settings().WriteProfileString("OHackRfUse", "m_PathApiDll", hackrf_dir.Path());
  Dl_info info{};
  // gnu_get_libc_version: a function of the C library that no sanitizer's run-time replaces
  // (strlen, say, would be found in the test program itself under one).
  ASSERT_NE(dladdr(reinterpret_cast<void*>(&gnu_get_libc_version), &info), 0);
  ASSERT_EQ(symlink(info.dli_fname, rtl_dir.File("librtlsdr.so.0").c_str()), 0);  // the C library
  ASSERT_EQ(symlink(test::SimFeed::LibraryPath().c_str(), hackrf_dir.File("libhackrf.so.0").c_str()), 0);
  Log().SetCapture(true);
  SampleRings rings(1024);
  RecordingHost host;
  ReceiverSet set(rings, host);
  set.LoadSettings();
  set.Discover();
  const std::string log = Log().TakeCaptured();
  Log().SetCapture(false);
  EXPECT_EQ(Texts(set), (std::vector<std::string>{"Нет libsdrplay_api.so.3", "Не подключены Rtl-Sdr",
                                                  "Ошибка загрузки dll c api для HackRf", "Нет ExtIO*.so"}));
  EXPECT_EQ(set.Rtl().ErrorText(), "не найдена rtlsdr_get_device_count()");
  EXPECT_NE(log.find("Не найдена rtlsdr_read_async\n"), std::string::npos);
  EXPECT_NE(log.find("Не найдена rtlsdr_cancel_async\n"), std::string::npos);
  EXPECT_NE(log.find(" не найдена hackrf_init\n"), std::string::npos);
  EXPECT_EQ(set.HackRf().ErrorText(), "нет функции hackrf_init, не та dll ?");
  EXPECT_FALSE(set.SelectReceiver(1));
  EXPECT_EQ(set.Status().text, "Невозможно использовать Rtl-Sdr, не найдена rtlsdr_get_device_count()");
}

// The system's own libraries with no device plugged in: loaded, listed as "not connected",
// and discovery neither crashes nor hangs.
TEST(ReceiverDiscovery, RealSystemLibrariesWithoutDevices) {
  test::ScopedSettings settings;
  test::TempDir empty;
  Settings().WriteProfileString("OSdrPlayUse", "m_PathApiDll", empty.Path());
  Settings().WriteProfileString("OExtIOUse", "m_PathExtIO", empty.Path());
  DynLibrary probe;
  if (probe.Open("librtlsdr.so.0") != DynLibrary::Result::kLoaded ||
      probe.Open("libhackrf.so.0") != DynLibrary::Result::kLoaded) {
    GTEST_SKIP() << "librtlsdr0 and libhackrf0 are not installed (scripts/setup.sh installs them)";
  }
  probe.Close();
  SampleRings rings(1024);
  RecordingHost host;
  ReceiverSet set(rings, host);
  set.LoadSettings();
  set.Discover();
  const auto t = Texts(set);
  ASSERT_EQ(t.size(), 4u);
  EXPECT_EQ(t[0], "Нет libsdrplay_api.so.3");
  EXPECT_EQ(t[1], "Не подключены Rtl-Sdr");
  EXPECT_TRUE(set.Rtl().IsLoaded());
  EXPECT_EQ(set.Rtl().LibraryPath(), "librtlsdr.so.0");
  EXPECT_EQ(t[3], "Нет ExtIO*.so");
  EXPECT_EQ(t[2], "Не подключены HackRf") << set.HackRf().ErrorText();
  EXPECT_EQ(set.AutoSelect(), -1);
  EXPECT_FALSE(set.SelectReceiver(1));
  EXPECT_EQ(set.Status().text,
            "Невозможно использовать Rtl-Sdr, отсутсвуют приемники Rtl-Sdr, подключенные к компу, "
            "rtlsdr_get_device_count вернула 0. После подключения надо перезапустить программу. "
            "Либо можно использовать другие приёмники.");
}

TEST(ReceiverDiscovery, SimulatedLibraryIsListedAndChosenWithTheKeyGuard) {
  test::ScopedSettings settings;
  test::TempDir empty;
  PointAllFoldersAt(empty.Path());
  Settings().WriteProfileString("ODlgRtlSdr", "m_PathApiDllRtl", test::SimFeed::LibraryFolder() + "/");
  Settings().WriteProfileString("ODlgSpektr", "m_SelectSdrKey", "RtlSdr Virtual bench");
  test::SimFeed feed;
  ASSERT_TRUE(feed.Attached());
  // What the settings file on disk says while the device opens.
  std::string key_on_disk_at_open = "(not opened)";
  const std::string path = settings.Path();
  feed.OnLog([&](const std::string& line) {
    if (line == "open") {
      SettingsStore disk(path);
      key_on_disk_at_open = disk.GetProfileString("ODlgSpektr", "m_SelectSdrKey", "(missing)");
    }
  });
  SampleRings rings(1 << 16);
  RecordingHost host;
  {
    ReceiverSet set(rings, host);
    set.LoadSettings();
    set.Discover();
    ASSERT_EQ(set.Entries().size(), 4u);
    EXPECT_EQ(set.Entries()[1].code, kCodeRtlSdr);
    EXPECT_EQ(set.Entries()[1].text, "Virtual bench");
    EXPECT_EQ(set.AutoSelect(), 1);
    EXPECT_EQ(key_on_disk_at_open, "");
    EXPECT_EQ(Settings().GetProfileString("ODlgSpektr", "m_SelectSdrKey", "?"), "RtlSdr Virtual bench");
    EXPECT_EQ(set.Rtl().Status(), 2);
    ASSERT_EQ(host.rates.size(), 1u);
    EXPECT_EQ(host.rates[0], 2'400'000.0);
    EXPECT_EQ(set.Status().colour, StatusColour::kNormal);
    EXPECT_EQ(set.Status().text, "ОТКРЫТ Rtl-Sdr №1 из 1: Virtual bench, 00000001, Kavu, 2.400 МГц [" +
                                     test::SimFeed::LibraryPath() + "]");
    EXPECT_EQ(feed.Center(), 145'000'000u);
    // The user picks the placeholder of another kind: the RTL-SDR is closed first.
    set.UserSelect(2);
    EXPECT_EQ(set.Rtl().Status(), 0);
    EXPECT_EQ(Settings().GetProfileString("ODlgSpektr", "m_SelectSdrKey", "?"), "");
  }
  const auto lines = feed.LogLines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines.back(), "close");
}

}  // namespace
}  // namespace kavu
