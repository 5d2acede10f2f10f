#include <gtest/gtest.h>
#include "platform/user_paths.h"
#include <sys/stat.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <atomic>
#include <set>
#include <thread>
#include <unistd.h>

#include "results/ant_izm_file.h"
#include "results/results_store.h"
#include "shell/log_console.h"
#include "shell/settings_store.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

// Independent little-endian encoders: the test builds files the way any writer that follows the
// format would, byte by byte, without the program's own encoder.
void U32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i));
}
void F64At(std::string& rec, size_t off, double v) {
  const auto bits = std::bit_cast<uint64_t>(v);
  for (int i = 0; i < 8; ++i) rec[off + i] = static_cast<char>(bits >> (8 * i));
}
void F32At(std::string& rec, size_t off, float v) {
  const auto bits = std::bit_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) rec[off + i] = static_cast<char>(bits >> (8 * i));
}
std::string Header(uint32_t size, int32_t count) {
  std::string s;
  U32(s, 0x21A47ED1);
  U32(s, 0);
  U32(s, size);
  U32(s, static_cast<uint32_t>(count));
  return s;
}

AntIzm RandomPoint(std::mt19937_64& rng) {
  AntIzm p = EmptyAntIzm();
  auto* b = reinterpret_cast<uint8_t*>(&p);
  for (const auto& f : AntIzmFields()) {
    for (int i = 0; i < (f.kind == AntIzmField::kF64 ? 8 : 4); ++i) b[f.offset + i] = rng() & 0xFF;
  }
  p.pause = PauseNotMeasured();
  return p;
}

class ScanFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Log().SetSink(OLogConsole::Sink::None);
    Settings().WriteProfileString("CDlgOptions", "m_SaveResPath", dir_.File("results"));
  }
  test::TempDir dir_;
  test::ScopedSettings settings_;
  std::unique_ptr<ResultsStore> store_ = std::make_unique<ResultsStore>(70000);
};

TEST_F(ScanFileTest, WriteThenReadGivesTheSameRecordsByteForByteWithTheNote) {
  std::mt19937_64 rng(1);
  std::vector<AntIzm> points;
  for (int i = 0; i < 500; ++i) points.push_back(RandomPoint(rng));
  const std::string note = "Ант. 14 МГц; R=50 Ом — КСВ 1.1 ✓";
  const std::string path = dir_.File("a.kant");
  ASSERT_TRUE(WriteScanFile(path, points.data(), 500, note));
  const std::string bytes = test::ReadFile(path);
  // The note block: magic, 0xAA55, 1, length, then the text in code page 1251 ('?' for the
  // check mark, which the code page lacks).
  const std::string cp_note =
      "\xC0\xED\xF2. 14 \xCC\xC3\xF6; R=50 \xCE\xEC \x97 \xCA\xD1\xC2 1.1 ?";
  ASSERT_EQ(bytes.size(), 16 + 192 * 500 + 16 + 32u);
  EXPECT_EQ(bytes.substr(16 + 192 * 500),
            std::string("\xD1\x7E\xA4\x21\x55\xAA\0\0\x01\0\0\0\x20\0\0\0", 16) + cp_note);
  EXPECT_EQ(bytes.substr(0, 4), "\xD1\x7E\xA4\x21");
  // Gaps at 36, 68 and 124 are written as zeros even when memory held something else there.
  for (int i = 0; i < 500; ++i) {
    for (size_t gap : {36u, 68u, 124u}) {
      EXPECT_EQ(bytes.substr(16 + 192 * i + gap, 4), std::string(4, '\0'));
    }
  }
  ASSERT_TRUE(store_->LoadAntIzmsFile(path, store_->Set(0)));
  ASSERT_EQ(store_->Set(0).Count(), 500);
  EXPECT_EQ(EncodeAntIzms(store_->Set(0).Data(), 500, 0), bytes.substr(0, 16 + 192 * 500));
  EXPECT_EQ(std::bit_cast<uint32_t>(store_->Set(0).At(3).pause), 0xFFC00000u);
  std::FILE* f = std::fopen(path.c_str(), "rb");
  std::fseek(f, 16 + 192 * 500, SEEK_SET);
  EXPECT_EQ(ReadAntIzmsNote(f).value(), "Ант. 14 МГц; R=50 Ом — КСВ 1.1 ?");
  std::fclose(f);
  EXPECT_EQ(store_->Set(0).fromFile, 1);
  EXPECT_NE(store_->Set(0).time, 0u);
}

TEST_F(ScanFileTest, RecordSizesOtherThan192AreReadAsTheFormatSays) {
  std::string small = Header(100, 2);
  for (int i = 0; i < 2; ++i) {
    std::string rec(100, '\x11');
    F64At(rec, 0, 1e6 * (i + 1));
    small += rec;
  }
  test::WriteFile(dir_.File("small.kant"), small);
  ASSERT_TRUE(store_->LoadAntIzmsFile(dir_.File("small.kant"), store_->Set(0)));
  ASSERT_EQ(store_->Set(0).Count(), 2);
  EXPECT_EQ(store_->Set(0).At(1).freqHz, 2e6);
  const auto* b = reinterpret_cast<const uint8_t*>(&store_->Set(0).At(1));
  for (int i = 100; i < 192; ++i) EXPECT_EQ(b[i], 0) << i;
  EXPECT_EQ(b[99], 0x11);

  std::string big = Header(256, 2);
  for (int i = 0; i < 2; ++i) {
    std::string rec(256, '\x22');
    F64At(rec, 0, 5e6 + i);
    F32At(rec, 108, 0.0f);
    big += rec;
  }
  test::WriteFile(dir_.File("big.kant"), big);
  ASSERT_TRUE(store_->LoadAntIzmsFile(dir_.File("big.kant"), store_->Set(0)));
  EXPECT_EQ(store_->Set(0).At(1).freqHz, 5e6 + 1);
  EXPECT_EQ(store_->Set(0).At(1).oAll, std::bit_cast<double>(0x2222222222222222ull));
  EXPECT_EQ(store_->Set(0).hasDuo, 0);
}

TEST_F(ScanFileTest, DamagedHeadersFailAndLeaveAnEmptySetMarkedAsLoaded) {
  struct Case {
    std::string bytes;
    ScanFileStatus status;
  };
  const std::vector<Case> cases = {
      {"\xD1\x7E\xA4", ScanFileStatus::kShortHeader},
      {Header(192, 1).substr(0, 12), ScanFileStatus::kShortHeader},
      {"XXXX" + Header(192, 0).substr(4), ScanFileStatus::kBadMagic},
      {Header(0, 1) + std::string(192, 'a'), ScanFileStatus::kBadRecordSize},
      {Header(4097, 1) + std::string(4097, 'a'), ScanFileStatus::kBadRecordSize},
  };
  for (const auto& c : cases) {
    test::WriteFile(dir_.File("bad.kant"), c.bytes);
    store_->Set(0).Append(EmptyAntIzm());
    const int32_t gen = store_->Set(0).generation;
    ScanFileReport report;
    EXPECT_FALSE(store_->LoadAntIzmsFile(dir_.File("bad.kant"), store_->Set(0), &report));
    EXPECT_EQ(report.status, c.status);
    EXPECT_FALSE(report.Describe().empty());
    EXPECT_EQ(store_->Set(0).Count(), 0);
    EXPECT_EQ(store_->Set(0).fromFile, 1);
    EXPECT_NE(store_->Set(0).generation, gen);
  }
  EXPECT_FALSE(store_->LoadAntIzmsFile(dir_.File("missing.kant"), store_->Set(0)));
  EXPECT_EQ(store_->Set(0).Count(), 0);
}

TEST_F(ScanFileTest, CountsAreCutToCapacityAndShortFilesKeepTheirCompleteRecords) {
  // A header count of 70,000 loads 65,536 points.
  std::string huge = Header(192, 70000) + std::string(192 * 70000, '\0');
  test::WriteFile(dir_.File("huge.kant"), huge);
  ResultsStore store;  // the program's capacity
  ASSERT_TRUE(store.LoadAntIzmsFile(dir_.File("huge.kant"), store.Set(0)));
  EXPECT_EQ(store.Set(0).Count(), 65536);
  // A negative count reads as 0.
  test::WriteFile(dir_.File("neg.kant"), Header(192, -5));
  ASSERT_TRUE(store.LoadAntIzmsFile(dir_.File("neg.kant"), store.Set(0)));
  EXPECT_EQ(store.Set(0).Count(), 0);
  // A file shorter than its count keeps its complete records and says so.
  std::string cut = Header(192, 10) + std::string(192 * 3 + 50, '\0');
  test::WriteFile(dir_.File("cut.kant"), cut);
  ScanFileReport report;
  ASSERT_TRUE(store.LoadAntIzmsFile(dir_.File("cut.kant"), store.Set(0), &report));
  EXPECT_EQ(store.Set(0).Count(), 3);
  EXPECT_TRUE(report.truncated);
  EXPECT_EQ(report.Describe(), "the file ends after 3 of 10 records");
  // Point indexes are clamped.
  EXPECT_EQ(&store.Set(0).At(-5), &store.Set(0).At(0));
  EXPECT_EQ(&store.Set(0).At(70000), &store.Set(0).At(65535));
}

TEST_F(ScanFileTest, HasDuoComesFromThePhaseDuoFields) {
  auto write = [&](float phase_duo_of_second) {
    std::string f = Header(192, 2);
    for (int i = 0; i < 2; ++i) {
      std::string rec(192, '\0');
      F32At(rec, 108, i == 1 ? phase_duo_of_second : 0.0f);
      f += rec;
    }
    test::WriteFile(dir_.File("duo.kant"), f);
    store_->LoadAntIzmsFile(dir_.File("duo.kant"), store_->Set(0));
    return store_->Set(0).hasDuo.load();
  };
  EXPECT_EQ(write(0.0f), 0);
  EXPECT_EQ(write(-0.0f), 0);
  EXPECT_EQ(write(0.25f), 1);
  EXPECT_EQ(write(NAN), 1);
}

TEST_F(ScanFileTest, NewScanSetsRotateAndEveryResetGetsAFreshGeneration) {
  AntIzm p = EmptyAntIzm();
  p.freqHz = 14e6;
  store_->Set(0).Append(p);
  store_->StartNewScanSets(false);
  EXPECT_EQ(store_->Set(1).Count(), 1);
  EXPECT_EQ(store_->Set(1).At(0).freqHz, 14e6);
  EXPECT_EQ(store_->Set(0).Count(), 0);
  EXPECT_EQ(store_->file_name0, dir_.File("results") + "/NewScanResult.kant");
  // Two starts without points: set 1 is empty with the generation set 0 had before the second.
  const int32_t before = store_->Set(0).generation;
  store_->StartNewScanSets(true);
  EXPECT_EQ(store_->Set(1).Count(), 0);
  EXPECT_EQ(store_->Set(1).generation, before);
  EXPECT_EQ(store_->Set(0).hasDuo, 1);
  // Generations come from one counter: no two resets or loads anywhere give the same value.
  std::set<int32_t> seen;
  for (int i = 0; i < 6; ++i) {
    store_->ResetAntIzms(store_->Set(i));
    EXPECT_TRUE(seen.insert(store_->Set(i).generation).second);
  }
  for (int k = 1; k <= 6; ++k) {
    store_->ResetAntIzms(store_->Slot(k));
    EXPECT_TRUE(seen.insert(store_->Slot(k).generation).second);
  }
}

TEST_F(ScanFileTest, SavingWritesTheScanAndThePreviousSetAndReportsFailures) {
  AntIzm p = EmptyAntIzm();
  for (int i = 0; i < 3; ++i) {
    p.freqHz = 1e6 * (i + 1);
    store_->Set(0).Append(p);
  }
  store_->StartNewScanSets(false);
  p.freqHz = 7e6;
  store_->Set(0).Append(p);
  const SaveOutcome out = store_->SaveScanResult("Ант 7 МГц", std::string("note"));
  ASSERT_TRUE(out.ok) << out.error;
  EXPECT_EQ(out.path, dir_.File("results") + "/Ант 7 МГц.kant");
  EXPECT_EQ(Settings().GetProfileString("CShowDataWindow", "sFileName0", ""), out.path);
  EXPECT_EQ(test::ReadFile(out.path).size(), 16 + 192 + 16 + 4u);
  EXPECT_EQ(test::ReadFile(dir_.File("results") + "/LastAntIzm_Old.kant").size(), 16 + 192 * 3u);

  // Loading at start brings both back.
  ResultsStore fresh(100);
  fresh.LoadAnts();
  EXPECT_EQ(fresh.Set(0).Count(), 1);
  EXPECT_EQ(fresh.Set(1).Count(), 3);
  fresh.LoadAnts(dir_.File("results") + "/LastAntIzm_Old.kant");
  EXPECT_EQ(fresh.Set(0).Count(), 3);

  // A folder that cannot be written: the save fails, and an existing good file is untouched.
  const std::string good = test::ReadFile(out.path);
  chmod(dir_.File("results").c_str(), 0500);
  if (geteuid() != 0) {
    const SaveOutcome failed = store_->SaveScanResult("Ант 7 МГц", std::nullopt);
    EXPECT_FALSE(failed.ok);
    EXPECT_FALSE(failed.error.empty());
    EXPECT_EQ(test::ReadFile(out.path), good);
  }
  chmod(dir_.File("results").c_str(), 0700);
  Settings().WriteProfileString("CDlgOptions", "m_SaveResPath", "/proc/no-such-folder");
  const SaveOutcome failed = store_->SaveScanResult("x", std::nullopt);
  EXPECT_FALSE(failed.ok);
  EXPECT_FALSE(failed.error.empty());
}

TEST_F(ScanFileTest, AScanWithoutPointsReplacesNothing) {
  AntIzm p = EmptyAntIzm();
  for (int i = 0; i < 5; ++i) {
    p.freqHz = 1e6 * (i + 1);
    store_->Set(0).Append(p);
  }
  store_->StartNewScanSets(false);
  p.freqHz = 9e6;
  store_->Set(0).Append(p);
  const SaveOutcome first = store_->SaveScanResult("Ант", std::string("note"));
  ASSERT_TRUE(first.written) << first.error;
  const std::string old_path = dir_.File("results") + "/LastAntIzm_Old.kant";
  const std::string scan = test::ReadFile(first.path), old = test::ReadFile(old_path);
  ASSERT_EQ(old.size(), 16 + 192 * 5u);

  // The next scan of the same name measures nothing (its receiver stalled at once).
  store_->StartNewScanSets(false);
  const SaveOutcome empty = store_->SaveScanResult("Ант", std::string("note"));
  EXPECT_TRUE(empty.ok);
  EXPECT_FALSE(empty.written);
  EXPECT_TRUE(empty.path.empty());
  EXPECT_EQ(test::ReadFile(first.path), scan);
  EXPECT_EQ(test::ReadFile(old_path), old);
  EXPECT_EQ(Settings().GetProfileString("CShowDataWindow", "sFileName0", ""), first.path);
  EXPECT_EQ(store_->file_name0, dir_.File("results") + "/NewScanResult.kant");

  // A fresh process's first scan has no previous set: the older previous scan stays on disk.
  ResultsStore fresh(100);
  fresh.Set(0).Append(p);
  ASSERT_TRUE(fresh.SaveScanResult("Другой", std::nullopt).written);
  EXPECT_EQ(test::ReadFile(old_path), old);
  // With a previous set of points, it is replaced as always.
  fresh.StartNewScanSets(false);
  fresh.Set(0).Append(p);
  ASSERT_TRUE(fresh.SaveScanResult("Другой", std::nullopt).written);
  EXPECT_EQ(test::ReadFile(old_path).size(), 16 + 192u);
}

TEST_F(ScanFileTest, AScanSavedOverThePreviousSetsFileEndsHoldingThePreviousSet) {
  // The scan and the previous set are written side by side only when they are different files:
  // under the previous set's name, directly or through a link, the previous set is written last.
  AntIzm p = EmptyAntIzm();
  for (int i = 0; i < 3; ++i) {
    p.freqHz = 1e6 * (i + 1);
    store_->Set(0).Append(p);
  }
  const std::string old_path = dir_.File("results") + "/LastAntIzm_Old.kant";
  ASSERT_TRUE(store_->SaveScanResult("first", std::nullopt).written);
  ASSERT_EQ(symlink("LastAntIzm_Old.kant", (dir_.File("results") + "/link.kant").c_str()), 0);
  int points = 2;  // never the previous set's count, so the two cannot be mistaken
  for (const char* name : {"LastAntIzm_Old", "link"}) {
    store_->StartNewScanSets(false);
    for (int i = 0; i < points; ++i) {
      p.freqHz = 7e6 + i;
      store_->Set(0).Append(p);
    }
    points += 2;
    const SaveOutcome out = store_->SaveScanResult(name, std::nullopt);
    ASSERT_TRUE(out.ok) << name << ": " << out.error;
    EXPECT_EQ(test::ReadFile(old_path).size(), 16 + 192u * static_cast<size_t>(store_->Set(1).Count())) << name;
  }
  struct stat st {};
  ASSERT_EQ(lstat((dir_.File("results") + "/link.kant").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST_F(ScanFileTest, ANegativeHeaderCountReadsTheRecordsThatFollowAndSaysSo) {
  std::string bytes = Header(192, -3);
  for (int i = 0; i < 4; ++i) {
    std::string rec(192, '\0');
    F64At(rec, 0, 1e6 * (i + 1));
    bytes += rec;
  }
  bytes += EncodeAntIzmsNote("примечание");
  test::WriteFile(dir_.File("neg.kant"), bytes);
  ScanFileReport report;
  ASSERT_TRUE(store_->LoadAntIzmsFile(dir_.File("neg.kant"), store_->Slot(1), &report));
  ASSERT_EQ(store_->Slot(1).Count(), 4);  // the note block is not taken for a record
  EXPECT_EQ(store_->Slot(1).At(3).freqHz, 4e6);
  EXPECT_EQ(report.header_count, -3);
  EXPECT_NE(report.Describe().find("-3 is negative"), std::string::npos) << report.Describe();
  EXPECT_NE(report.Describe().find("4 records"), std::string::npos) << report.Describe();
  std::FILE* f = OpenScanFile(dir_.File("neg.kant"), nullptr);
  ASSERT_NE(f, nullptr);
  int32_t count = 0;
  ASSERT_TRUE(ReadAntIzms(f, store_->Slot(2).Data(), count, 100));
  EXPECT_EQ(ReadAntIzmsNote(f).value_or(""), "примечание");
  std::fclose(f);
}

TEST_F(ScanFileTest, OnlyRegularFilesAreReadAndNothingBlocks) {
  ASSERT_EQ(mkfifo(dir_.File("fifo").c_str(), 0600), 0);
  std::string error;
  EXPECT_EQ(OpenScanFile(dir_.File("fifo"), &error), nullptr);  // returns at once, no writer needed
  EXPECT_NE(error.find("is a FIFO"), std::string::npos) << error;
  EXPECT_EQ(OpenScanFile(dir_.Path(), &error), nullptr);
  EXPECT_NE(error.find("is a folder"), std::string::npos) << error;
  EXPECT_EQ(OpenScanFile(dir_.File("missing"), &error), nullptr);
  EXPECT_NE(error.find("cannot open"), std::string::npos) << error;
  ScanFileReport report;
  EXPECT_FALSE(store_->LoadAntIzmsFile(dir_.File("fifo"), store_->Slot(1), &report));
  EXPECT_NE(report.Describe().find("is a FIFO"), std::string::npos) << report.Describe();
  // The program started with a FIFO as its file starts with an empty set.
  store_->LoadAnts(dir_.File("fifo"));
  EXPECT_EQ(store_->Set(0).Count(), 0);
  // A link to a scan file reads as the file.
  AntIzm p = EmptyAntIzm();
  ASSERT_TRUE(WriteScanFile(dir_.File("a.kant"), &p, 1, std::nullopt));
  ASSERT_EQ(symlink("a.kant", dir_.File("link.kant").c_str()), 0);
  EXPECT_TRUE(store_->LoadAntIzmsFile(dir_.File("link.kant"), store_->Slot(1)));
  EXPECT_EQ(store_->Slot(1).Count(), 1);
}

TEST_F(ScanFileTest, WritesNeverReplaceAnythingButARegularFile) {
  ASSERT_EQ(mkfifo(dir_.File("fifo").c_str(), 0600), 0);
  AntIzm p = EmptyAntIzm();
  std::string error;
  EXPECT_FALSE(WriteScanFile(dir_.File("fifo"), &p, 1, std::nullopt, &error));
  EXPECT_NE(error.find("is a FIFO"), std::string::npos) << error;
  struct stat st {};
  ASSERT_EQ(lstat(dir_.File("fifo").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_FALSE(WriteScanFile("/dev/null", &p, 1, std::nullopt, &error));
  ASSERT_EQ(lstat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  // A link to a regular file: the file is replaced, the link stays.
  test::WriteFile(dir_.File("target.kant"), "old");
  ASSERT_EQ(symlink(dir_.File("target.kant").c_str(), dir_.File("link.kant").c_str()), 0);
  ASSERT_TRUE(WriteScanFile(dir_.File("link.kant"), &p, 1, std::nullopt, &error)) << error;
  ASSERT_EQ(lstat(dir_.File("link.kant").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(test::ReadFile(dir_.File("target.kant")).size(), 16 + 192u);
}

// A reader on another thread (the web server, a window) while the scan appends and the window
// thread rewrites the header fields: run under the thread sanitizer this shows no race.
TEST_F(ScanFileTest, HeaderFieldsAndPointsReadSafelyWhileAScanAppends) {
  AntIzms& set = store_->Set(0);
  store_->ResetAntIzms(set);
  std::atomic<bool> done{false};
  std::atomic<int64_t> bad{0};
  std::thread reader([&] {
    while (!done.load()) {
      const int32_t n = set.Count();
      if (n > 0 && set.At(n - 1).freqHz != 1e6 + (n - 1)) ++bad;
      const int32_t duo = set.hasDuo, from = set.fromFile;
      if ((duo != 0 && duo != 1) || from != 0) ++bad;
      const uint64_t t = set.time;
      if (t != 0 && t < 1000) ++bad;
    }
  });
  AntIzm p = EmptyAntIzm();
  for (int i = 0; i < 20000; ++i) {
    p.freqHz = 1e6 + i;
    set.Append(p);
    set.hasDuo = i % 2;
    set.time = static_cast<uint64_t>(1000 + i);
  }
  done = true;
  reader.join();
  EXPECT_EQ(bad.load(), 0);
  EXPECT_EQ(set.Count(), 20000);
}

TEST(ResultsFolder, EmptyMeansTheDefaultAndRelativeMeansUnderHome) {
  test::ScopedSettings scoped;
  const std::string home = HomeDir();
  ASSERT_FALSE(home.empty());
  EXPECT_EQ(ResultsStore::ResultsFolder(), home + "/AntIzmSdrData");
  struct Case {
    const char* stored;
    std::string want;
  } cases[] = {
      {"", home + "/AntIzmSdrData"},  // never "/"
      {"scans", home + "/scans"},
      {"a/b", home + "/a/b"},
      {"/srv/scans", "/srv/scans"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(Settings().WriteProfileString("CDlgOptions", "m_SaveResPath", c.stored));
    EXPECT_EQ(ResultsStore::ResultsFolder(), c.want) << '"' << c.stored << '"';
  }
}

}  // namespace
}  // namespace kavu
