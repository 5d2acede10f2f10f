// What keeps the window thread free during whole bench scans, seen from outside: the generators'
// start-up runs on the board's thread (and can be called off), the scan's file is written
// elsewhere yet reported with the scan's end and never lost at exit, and the serial poll logs
// what the board sends unasked without ever reading into a pending run's reply.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "e2e/bench_scan_fixture.h"
#include "results/ant_izm_file.h"
#include "scan/stopped_scan_save.h"
#include "shell/log_console.h"
#include "shell/settings_store.h"
#include "sim/emulated_board.h"
#include "sim/firmware_assumptions.h"
#include "support/temp_dir.h"

namespace kavu::test {
namespace {

using std::chrono::milliseconds;

class PortEvents : public IStationEvents {
 public:
  void PortsChanged() override { ++changes; }
  int changes = 0;
};

class StationWindowThread : public BenchScan {
 protected:
  // Runs the loop for `ms`, gathering the log.
  void RunFor(int ms) {
    loop_.RunUntil([&] { return Gather(); }, milliseconds(ms));
  }
  bool Gather() {
    log_ += Log().TakeCaptured();
    return false;
  }
  size_t Batches() {
    size_t n = 0;
    for (const auto& e : bench_.Board().CommandLog().Entries()) {
      // A group's upload and run (the Si5351's start-up sends batches of its own).
      n += e.code == sim::kCmdBigCmdStore || e.code == sim::kCmdBigCmdExec;
    }
    return n;
  }
  std::string log_;
};

TEST_F(StationWindowThread, GeneratorStartUpRunsOnTheBoardThreadAndCanBeCalledOff) {
  if (!Start("50")) return;
  Log().SetCapture(true);
  Log().TakeCaptured();
  station_->Engine().SetRangeText("140-141 0.5");
  bool started = false, waiting = false;
  loop_.Post([&] {
    started = station_->Engine().StartScan();
    // Returned before the board answered: the scan begins when the initialisation's task comes.
    waiting = station_->Engine().Starting() && station_->Gen().Initialising() &&
              station_->Engine().State() == ScanState::kIdle;
  });
  ASSERT_TRUE(loop_.RunUntil([&] { return Gather() || !events_.ends.empty(); }, milliseconds(30000)));
  log_ += Log().TakeCaptured();
  EXPECT_TRUE(started);
  EXPECT_TRUE(waiting);
  ASSERT_EQ(events_.ends.size(), 1u);
  EXPECT_TRUE(events_.ends[0].ok) << events_.ends[0].error;
  EXPECT_TRUE(events_.ends[0].started);
  EXPECT_EQ(events_.ends[0].points, 3);
  // The start's log in the order the blocking start wrote it.
  const size_t start = log_.find("ЗАПУСК СКАНИРОВАНИЯ");
  const size_t init = log_.find("ИНИЦИАЛИЗАЦИЯ ГЕНЕРАТОРОВ ВЧ");
  const size_t minus = log_.find("Ген -5в делитель");
  ASSERT_NE(start, std::string::npos);
  EXPECT_LT(start, init);
  EXPECT_LT(init, minus);
  EXPECT_NE(minus, std::string::npos);

  // Stopped while the generators are still being set up: the scan is called off, and no group
  // goes to the board afterwards.
  bench_.Board().CommandLog().Clear();
  loop_.Post([&] {
    station_->Engine().StartScan();
    station_->Engine().StopScan();
  });
  ASSERT_TRUE(loop_.RunUntil([&] { return events_.ends.size() == 2; }, milliseconds(5000)));
  EXPECT_TRUE(events_.ends[1].stopped);
  EXPECT_FALSE(events_.ends[1].started);
  EXPECT_FALSE(events_.ends[1].saved);
  ASSERT_TRUE(loop_.RunUntil([&] { return !station_->Gen().Initialising(); }, milliseconds(10000)));
  RunFor(300);
  EXPECT_GT(bench_.Board().CommandLog().Size(), 0u) << "the initialisation went out";
  EXPECT_EQ(Batches(), 0u) << bench_.Board().CommandLog().Text() << log_;
  EXPECT_EQ(events_.ends.size(), 2u);
  EXPECT_EQ(station_->Engine().State(), ScanState::kIdle);
  EXPECT_FALSE(station_->Engine().Starting());
  EXPECT_EQ(station_->Engine().Plan().View().current, -1);

  // So stopped by a stop signal: the scan before (3 points in set 0, its file removed here) is
  // not saved again as this one.
  const auto saved_scans = [&] {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(results_)) {
      if (e.path().filename() != "LastAntIzm_Old.kant") names.push_back(e.path().string());
    }
    return names;
  };
  ASSERT_FALSE(saved_scans().empty());
  for (const std::string& name : saved_scans()) std::filesystem::remove(name);
  ASSERT_EQ(station_->Store().Set(0).Count(), 3);
  ScanEndReport stopped;
  loop_.Post([&] {
    station_->Engine().StartScan();
    stopped = StopScanAndSave(*station_, "scan stopped by SIGTERM", 0);
  });
  ASSERT_TRUE(loop_.RunUntil([&] { return events_.ends.size() == 3; }, milliseconds(5000)));
  EXPECT_FALSE(stopped.started);
  EXPECT_FALSE(stopped.saved);
  EXPECT_TRUE(stopped.save.ok);
  EXPECT_EQ(stopped.points, 0);
  EXPECT_EQ(stopped.error, "scan stopped by SIGTERM");
  EXPECT_EQ(saved_scans(), std::vector<std::string>{});
  ASSERT_TRUE(loop_.RunUntil([&] { return !station_->Gen().Initialising(); }, milliseconds(10000)));
  Log().SetCapture(false);
}

TEST_F(StationWindowThread, ScanFileIsWrittenBeforeTheEndIsReportedAndNotLostAtExit) {
  if (!Start("50")) return;
  const auto end = Scan("140-141 0.5");
  ASSERT_TRUE(end);
  ASSERT_TRUE(end->saved) << end->save.error;
  int32_t count = 0;
  std::vector<AntIzm> points(16);
  std::FILE* f = OpenScanFile(end->save.path, nullptr);
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(ReadAntIzms(f, points.data(), count, 16, nullptr));
  std::fclose(f);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(Settings().GetProfileString("CShowDataWindow", "sFileName0", ""), end->save.path);
  EXPECT_EQ(station_->Store().file_name0, end->save.path);

  // The station stops while the next scan's file is still to be written: the stop waits for it
  // and reports the end with the file.
  const std::string old = results_ + "/LastAntIzm_Old.kant";
  std::remove(end->save.path.c_str());
  station_->Engine().SetRangeText("150-151 0.5");
  const int groups = events_.groupsEnded;
  loop_.Post([&] { station_->Engine().StartScan(); });
  // Right after the task that ended the scan (its group's end), before any other task ran.
  ASSERT_TRUE(loop_.RunUntil(
      [&] {
        return events_.ends.size() > 1 ||
               (events_.groupsEnded > groups && station_->Engine().State() == ScanState::kIdle);
      },
      milliseconds(30000)));
  ASSERT_EQ(events_.ends.size(), 1u) << "the end came before the file was written";
  station_->Stop();
  ASSERT_EQ(events_.ends.size(), 2u);
  ASSERT_TRUE(events_.ends[1].saved) << events_.ends[1].save.error;
  EXPECT_EQ(events_.ends[1].save.path, end->save.path);
  f = OpenScanFile(end->save.path, nullptr);
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(ReadAntIzms(f, points.data(), count, 16, nullptr));
  std::fclose(f);
  ASSERT_EQ(count, 3);
  EXPECT_EQ(points[0].freqHz, 150e6);
  // The first scan became the previous one.
  f = OpenScanFile(old, nullptr);
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(ReadAntIzms(f, points.data(), count, 16, nullptr));
  std::fclose(f);
  ASSERT_EQ(count, 3);
  EXPECT_EQ(points[0].freqHz, 140e6);
}

TEST_F(StationWindowThread, SerialPollLogsUnaskedBytesAndClosesAnUnpluggedPort) {
  PortEvents ports;
  stationOptions_.station_events = &ports;
  if (!Start("50")) return;
  Log().SetCapture(true);
  Log().TakeCaptured();
  std::vector<uint8_t> bytes(200);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
  bench_.Board().SendUnasked(bytes);
  // All of it crosses the line before the window thread polls again.
  std::this_thread::sleep_for(milliseconds(300));
  ASSERT_TRUE(loop_.RunUntil(
      [&] {
        Gather();
        return log_.find("Принято") != std::string::npos;
      },
      milliseconds(2000)));
  std::string expected = "Принято 200 байт: 00";
  for (int i = 1; i < 128; ++i) {
    char piece[8];
    std::snprintf(piece, sizeof piece, ", %02x", i);
    expected += piece;
  }
  expected += ", ...\n";
  EXPECT_NE(log_.find(expected), std::string::npos) << log_;
  log_.clear();
  bench_.Board().SendUnasked({0xAB, 0x05});
  std::this_thread::sleep_for(milliseconds(100));
  RunFor(300);
  EXPECT_NE(log_.find("Принято 2 байт: ab, 05\n"), std::string::npos) << log_;

  // The board goes away: one error box, the port closed, the front end told.
  const int changes = ports.changes;
  bench_.Board().Unplug();
  RunFor(600);
  const std::string box = std::string("Ошибка при запросе данных с выбранного порта\n") + std::strerror(EIO) +
                          "\nПопробуйте выбрать порт заново\n";
  int boxes = 0;
  for (const std::string& t : notice_.Texts()) boxes += t == box;
  EXPECT_EQ(boxes, 1);
  EXPECT_FALSE(station_->Port().IsOpen());
  EXPECT_EQ(station_->View().open_port, 0);
  EXPECT_FALSE(station_->View().generators_switchable);
  EXPECT_GT(ports.changes, changes);
  Log().SetCapture(false);
}

TEST_F(StationWindowThread, PollNeverReadsIntoAPendingRunsReply) {
  // Every run's reply comes 1.5 s late while the poll goes on every 100 ms: each reply still
  // reaches its run, and the poll never saw a byte of it.
  if (!Start("50", {"board_fault=late-reply:5B:-1"})) return;
  Log().SetCapture(true);
  Log().TakeCaptured();
  const auto end = Scan("140-141 0.5");
  const std::string log = Log().TakeCaptured();
  Log().SetCapture(false);
  ASSERT_TRUE(end);
  EXPECT_TRUE(end->ok) << end->error;
  EXPECT_EQ(end->points, 3);
  EXPECT_EQ(station_->Engine().Stats().syncFailures, 0);
  EXPECT_EQ(log.find("Принято"), std::string::npos);
  EXPECT_EQ(log.find("лишние байты"), std::string::npos);
}

}  // namespace
}  // namespace kavu::test
