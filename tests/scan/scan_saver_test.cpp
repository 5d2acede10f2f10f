// Scans' files written on the saver's thread: in the order the scans ended, from the points as
// they were at the end (a next scan may already be filling the sets), reported on the window
// thread, and never dropped when the program ends first.
#include "scan/scan_saver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/event_loop.h"
#include "shell/log_console.h"
#include "shell/settings_store.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

class ScanSaverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Log().SetSink(OLogConsole::Sink::None);
    Settings().WriteProfileString("CDlgOptions", "m_SaveResPath", Folder());
  }
  void TearDown() override { Log().SetSink(OLogConsole::Sink::Stdout); }
  std::string Folder() const { return dir_.File("results"); }
  // A new scan with `n` points from `hz` on, as the engine starts and fills one.
  void Scan(int n, double hz) {
    store_.StartNewScanSets(false);
    AntIzm p = EmptyAntIzm();
    for (int i = 0; i < n; ++i) {
      p.freqHz = hz + i;
      store_.Set(0).Append(p);
    }
  }
  // The frequencies a written file holds.
  std::vector<double> Read(const std::string& path) {
    ResultsStore reader(100);
    std::vector<double> f;
    if (!reader.LoadAntIzmsFile(path, reader.Set(0))) return {-1};
    for (int32_t i = 0; i < reader.Set(0).Count(); ++i) f.push_back(reader.Set(0).At(i).freqHz);
    return f;
  }

  test::ScopedSettings settings_;
  test::TempDir dir_;
  ResultsStore store_{100};
  EventLoop loop_;
};

TEST_F(ScanSaverTest, SavesAreWrittenInOrderFromTheirCopiesAndReportedOnTheWindowThread) {
  std::vector<std::string> reported;
  std::vector<std::thread::id> threads;
  std::vector<SaveOutcome> outcomes;
  auto done = [&](const std::string& what) {
    return [&, what](const SaveOutcome& out) {
      store_.CommitScanSave(out);
      reported.push_back(what);
      threads.push_back(std::this_thread::get_id());
      outcomes.push_back(out);
    };
  };
  ScanSaver saver(loop_);
  Scan(3, 1e6);
  saver.Save(store_.PrepareScanSave("первый", std::string("note 1")), done("first"));
  Scan(2, 2e6);
  saver.Save(store_.PrepareScanSave("второй", std::nullopt), done("second"));
  // A third scan whose folder cannot be made: it fails alone, and says so.
  Scan(1, 3e6);
  Settings().WriteProfileString("CDlgOptions", "m_SaveResPath", "/proc/no-such-folder");
  saver.Save(store_.PrepareScanSave("третий", std::nullopt), done("third"));
  // The next scan is under way already; the saves wrote what they copied.
  Scan(5, 4e6);
  EXPECT_TRUE(reported.empty());  // told only when the window thread runs
  ASSERT_TRUE(loop_.RunUntil([&] { return reported.size() == 3; }, std::chrono::seconds(10)));
  EXPECT_EQ(reported, (std::vector<std::string>{"first", "second", "third"}));
  for (const std::thread::id& t : threads) EXPECT_EQ(t, std::this_thread::get_id());
  EXPECT_EQ(saver.Pending(), 0);

  ASSERT_TRUE(outcomes[0].written) << outcomes[0].error;
  EXPECT_EQ(outcomes[0].path, Folder() + "/первый.kant");
  EXPECT_EQ(Read(outcomes[0].path), (std::vector<double>{1e6, 1e6 + 1, 1e6 + 2}));
  ASSERT_TRUE(outcomes[1].written) << outcomes[1].error;
  EXPECT_EQ(Read(outcomes[1].path), (std::vector<double>{2e6, 2e6 + 1}));
  // The second save rotated the first scan into the previous-scan file.
  EXPECT_EQ(Read(Folder() + "/LastAntIzm_Old.kant"), (std::vector<double>{1e6, 1e6 + 1, 1e6 + 2}));
  EXPECT_FALSE(outcomes[2].ok);
  EXPECT_FALSE(outcomes[2].written);
  EXPECT_FALSE(outcomes[2].error.empty());
  // The failed save changed neither the remembered file nor the current set's name.
  EXPECT_EQ(Settings().GetProfileString("CShowDataWindow", "sFileName0", ""), outcomes[1].path);
  EXPECT_EQ(store_.file_name0, outcomes[1].path);
}

TEST_F(ScanSaverTest, SavesStillQueuedAreWrittenWhenTheSaverEnds) {
  int reported = 0;
  std::vector<std::string> names;
  {
    ScanSaver saver(loop_);
    for (int k = 0; k < 4; ++k) {
      Scan(10 + k, 1e6 * (k + 1));
      names.push_back("scan " + std::to_string(k));
      saver.Save(store_.PrepareScanSave(names.back(), std::nullopt), [&](const SaveOutcome&) { ++reported; });
    }
  }
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(Read(Folder() + "/" + names[static_cast<size_t>(k)] + ".kant").size(), static_cast<size_t>(10 + k)) << k;
  }
  EXPECT_EQ(Settings().GetProfileString("CShowDataWindow", "sFileName0", ""), Folder() + "/scan 3.kant");
  loop_.RunPending();
  EXPECT_EQ(reported, 0);  // the owner is gone: nothing is reported to it

  // Flush writes and reports at once, without the window thread's queue.
  ScanSaver saver(loop_);
  Scan(1, 5e6);
  saver.Save(store_.PrepareScanSave("flushed", std::nullopt), [&](const SaveOutcome& out) {
    store_.CommitScanSave(out);
    ++reported;
  });
  saver.Flush();
  EXPECT_EQ(reported, 1);
  EXPECT_EQ(store_.file_name0, Folder() + "/flushed.kant");
  loop_.RunPending();
  EXPECT_EQ(reported, 1);
}

}  // namespace
}  // namespace kavu
