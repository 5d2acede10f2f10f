// Run-time library loading: the search rule, missing and broken files, case-blind plug-in search.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/auto_reset_event.h"
#include "platform/dyn_library.h"
#include "platform/user_paths.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

TEST(DynLibrary, MissingBrokenAndLoadedFiles) {
  test::TempDir dir;
  DynLibrary lib;
  EXPECT_EQ(lib.Open(dir.File("librtlsdr.so.0")), DynLibrary::Result::kMissing);
  EXPECT_FALSE(lib.IsOpen());
  test::WriteFile(dir.File("librtlsdr.so.0"), "this is not a shared object");
  EXPECT_EQ(lib.Open(dir.File("librtlsdr.so.0")), DynLibrary::Result::kFailed);
  EXPECT_FALSE(lib.Error().empty());
  EXPECT_EQ(lib.Open("libkavu-no-such-library.so.7"), DynLibrary::Result::kMissing);
  // The C library is always on the system's library path.
  ASSERT_EQ(lib.Open("libc.so.6"), DynLibrary::Result::kLoaded);
  EXPECT_NE(lib.Symbol("strlen"), nullptr);
  EXPECT_EQ(lib.Symbol("kavu_no_such_symbol"), nullptr);
  lib.Close();
  EXPECT_EQ(lib.Symbol("strlen"), nullptr);
}

TEST(DynLibrary, SearchRuleUsesTheFolderOrTheProgramFolderThenTheSystemPath) {
  EXPECT_EQ(ResolveLibraryPath("/opt/sdr", "librtlsdr.so.0"), "/opt/sdr/librtlsdr.so.0");
  EXPECT_EQ(ResolveLibraryPath("/opt/sdr/", "librtlsdr.so.0"), "/opt/sdr/librtlsdr.so.0");
  EXPECT_EQ(ResolveLibraryPath("C:\\sdr\\", "x.so"), "C:\\sdr/x.so");
  EXPECT_EQ(ResolveLibraryPath("", "libkavu-nowhere.so.1"), "libkavu-nowhere.so.1");
  // The test program's own folder holds its executable: found there first.
  EXPECT_EQ(ResolveLibraryPath("", "receivers_tests_absent.so"), "receivers_tests_absent.so");
  EXPECT_EQ(TrimLibraryFolder("/a/b//"), "/a/b");
}

TEST(DynLibrary, FindsPluginsWithoutRegardToCase) {
  test::TempDir dir;
  for (const char* n : {"ExtIO_A.so", "extio_b.SO", "EXTIO.so", "ExtIO_c.so.txt", "other.so"}) {
    test::WriteFile(dir.File(n), "x");
  }
  const auto found = FindFilesNoCase(dir.Path(), "ExtIO*.so");
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0], "EXTIO.so");
  EXPECT_EQ(found[1], "ExtIO_A.so");
  EXPECT_EQ(found[2], "extio_b.SO");
  EXPECT_TRUE(FindFilesNoCase(dir.File("missing"), "*").empty());
}

TEST(AutoResetEvent, TimesOutWakesAndResets) {
  AutoResetEvent ev;
  EXPECT_FALSE(ev.Wait(5));
  ev.Signal();
  EXPECT_TRUE(ev.Wait(0));
  EXPECT_FALSE(ev.Wait(0));
  std::atomic<int> woke{0};
  std::thread t([&] { woke = ev.Wait(-1) ? 1 : 2; });
  ev.Signal();
  t.join();
  EXPECT_EQ(woke.load(), 1);
}

}  // namespace
}  // namespace kavu
