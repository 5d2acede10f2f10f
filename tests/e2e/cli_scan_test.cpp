// `kavusdraa-cli scan` and `kavusdraa-cli demo` as a user runs them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include <signal.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/number_text.h"
#include "support/bench_evidence.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace kavu::test {
namespace {

TEST(CliScan, BenchScanPrintsPointsAndSavesAlsoToFile) {
  TempDir dir;
  const std::string file = dir.Path() + "/copy.kant";
  const CommandResult r = RunCommand(
      {CliPath(), "scan", "--sim", "25-30j", "--range", "140-141 0.5", "--sim-set", "seed=5", "-o", file}, {}, 60);
  ASSERT_EQ(r.exit_status, 0) << r.err;
  const std::vector<ScanRow> rows = ScanRows(r.out);
  ASSERT_EQ(rows.size(), 3u) << r.out;
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_DOUBLE_EQ(rows[i].mhz, 140 + 0.5 * static_cast<double>(i));
    EXPECT_NEAR(rows[i].r, 25, 0.005 * std::hypot(25, 30) + 0.2);
    EXPECT_NEAR(rows[i].x, -30, 0.005 * std::hypot(25, 30) + 0.2);
  }
  EXPECT_NE(r.out.find("Диа 140 - 141 МГц"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("saved: " + file), std::string::npos) << r.out;
  EXPECT_TRUE(std::filesystem::exists(file));
  // The saved copy exports (fresh settings: the same default bridge, no calibration) to the R
  // and X the scan printed.
  const CommandResult e = RunCommand({CliPath(), "export", file, "--format", "csv"},
                                     {"HOME=" + dir.Path(), "XDG_CONFIG_HOME=" + dir.Path() + "/cfg"}, 30);
  ASSERT_EQ(e.exit_status, 0) << e.err;
  std::vector<std::vector<double>> exported;
  size_t at = e.out.find('\n');  // after the header line
  while (at != std::string::npos && at + 1 < e.out.size()) {
    const size_t next = e.out.find('\n', at + 1);
    std::vector<double> v;
    const std::string line = e.out.substr(at + 1, next - at - 1);
    for (size_t p = 0; p <= line.size();) {
      const size_t comma = std::min(line.find(',', p), line.size());
      v.push_back(std::stod(line.substr(p, comma - p)));
      p = comma + 1;
    }
    exported.push_back(v);
    at = next;
  }
  ASSERT_EQ(exported.size(), rows.size()) << e.out;
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_DOUBLE_EQ(exported[i][0], rows[i].mhz * 1e6);
    EXPECT_NEAR(exported[i][1], rows[i].r, 0.0006) << e.out;
    EXPECT_NEAR(exported[i][2], rows[i].x, 0.0006) << e.out;
  }
}

TEST(CliScan, StallsOfTheWholeProcessNeverGiveAWrongPoint) {
  // The process (program and in-process bench) is stopped four times for 0.5 to 2 s during a
  // scan, as a busy single-board computer may be: after each stall the receiver's samples of the
  // stalled time come in a burst, and a group around it may not show the board's timeline. No
  // wrong point may be printed or saved: such groups are measured again, and three in a row end
  // the scan with its error.
  for (const char* seed : {"seed=3", "seed=4"}) {
    SCOPED_TRACE(seed);
    TempDir dir;
    std::atomic<bool> done{false};
    std::thread staller;
    const CommandResult r = RunCommandThen(
        {CliPath(), "scan", "--sim", "50", "--range", "140-160 0.1", "--sim-set", seed},
        {"HOME=" + dir.Path(), "XDG_CONFIG_HOME=" + dir.Path() + "/cfg"}, 180, "ОБНАРУЖЕН СИНХРОИМПУЛЬС", 0.2,
        [&](int pid) {
          staller = std::thread([pid, &done] {
            for (const int ms : {500, 1200, 2000, 800}) {
              if (done.load()) return;
              // The stall is the fault injected; the process is always let go again.
              kill(pid, SIGSTOP);
              std::this_thread::sleep_for(std::chrono::milliseconds(ms));
              kill(pid, SIGCONT);
              std::this_thread::sleep_for(std::chrono::milliseconds(400));
            }
          });
        });
    done = true;
    if (staller.joinable()) staller.join();
    const std::vector<ScanRow> rows = ScanRows(r.out);
    if (r.exit_status == 0) {
      EXPECT_EQ(rows.size(), 201u) << r.err;
    } else {
      EXPECT_EQ(r.exit_status, 1) << r.err;
      EXPECT_NE(r.err.find("подряд"), std::string::npos) << r.err;
    }
    for (const ScanRow& row : rows) {
      EXPECT_NEAR(row.r, 50, 0.005 * 50 + 0.2) << row.mhz << " MHz";
      EXPECT_NEAR(row.x, 0, 0.005 * 50 + 0.2) << row.mhz << " MHz";
    }
  }
}

std::string SavedLine(const std::string& out, size_t nth = 0) {
  size_t at = out.find("saved: ");
  for (; nth > 0 && at != std::string::npos; --nth) at = out.find("saved: ", at + 1);
  if (at == std::string::npos) return "";
  return out.substr(at + 7, out.find('\n', at) - at - 7);
}

// A scan that fails before its first point saves nothing: neither the file of the same name
// nor the previous scan nor the -o copy is replaced by an empty set.
TEST(CliScan, AScanThatMeasuresNothingReplacesNothing) {
  TempDir home;
  test::BenchEvidence evidence;
  const std::vector<std::string> env = evidence.With({"HOME=" + home.Path()});
  const std::string copy = home.File("copy.kant");
  const std::vector<std::string> scan = {CliPath(), "scan", "--sim", "50", "--range", "140-140.4 0.1", "-o", copy};
  const CommandResult good = RunCommand(scan, env, 60);
  ASSERT_EQ(good.exit_status, 0) << good.err;
  ASSERT_EQ(ScanRows(good.out).size(), 5u) << good.out;
  const std::string saved = SavedLine(good.out);
  ASSERT_EQ(saved.rfind(home.Path() + "/AntIzmSdrData/", 0), 0u) << good.out;
  const std::string scan_bytes = ReadFile(saved), copy_bytes = ReadFile(copy);
  ASSERT_GT(scan_bytes.size(), 16 + 5 * 192u + 16);  // 5 points and the note
  ASSERT_EQ(scan_bytes.substr(12, 4), std::string("\x05\0\0\0", 4));
  EXPECT_EQ(copy_bytes, scan_bytes);
  // An earlier scan kept as the previous one.
  const std::string old = home.Path() + "/AntIzmSdrData/LastAntIzm_Old.kant";
  WriteFile(old, scan_bytes);
  for (const char* fault : {"rx_fault=2", "rx_fault=3", "board_fault=unplug:5B:1"}) {
    std::vector<std::string> args = scan;
    args.insert(args.end(), {"--sim-set", fault});
    const CommandResult r = RunCommand(args, env, 60);
    EXPECT_EQ(r.exit_status, 1) << fault << "\n" << r.err;
    EXPECT_TRUE(ScanRows(r.out).empty()) << fault << "\n" << r.out;
    EXPECT_EQ(r.out.find("saved:"), std::string::npos) << fault << "\n" << r.out;
    EXPECT_EQ(ReadFile(saved), scan_bytes) << fault;
    EXPECT_EQ(ReadFile(copy), copy_bytes) << fault;
    EXPECT_EQ(ReadFile(old), scan_bytes) << fault;
  }
  // A fresh process knows no scan before its own: the previous scan on disk stays.
  const CommandResult again = RunCommand(scan, env, 60);
  ASSERT_EQ(again.exit_status, 0) << again.err;
  EXPECT_EQ(ReadFile(old), scan_bytes);
}

// A results folder that cannot be written does not stop the -o copy.
TEST(CliScan, TheCopyIsWrittenWhenTheResultsFolderIsNot) {
  TempDir home;
  test::BenchEvidence evidence;
  WriteFile(home.File("AntIzmSdrData"), "a file where the folder should be");
  const std::string copy = home.File("copy.kant");
  const CommandResult r = RunCommand(
      {CliPath(), "scan", "--sim", "50", "--range", "140-140.2 0.1", "-o", copy}, evidence.With({"HOME=" + home.Path()}), 60);
  EXPECT_EQ(r.exit_status, 1) << r.err;
  EXPECT_NE(r.err.find("Не удалось сохранить"), std::string::npos) << r.err;
  ASSERT_EQ(ScanRows(r.out).size(), 3u) << r.out;
  EXPECT_EQ(SavedLine(r.out), copy) << r.out;
  const std::string bytes = ReadFile(copy);
  ASSERT_GT(bytes.size(), 16 + 3 * 192u + 16);  // the points, then the note block
  EXPECT_EQ(bytes.substr(12, 4), std::string("\x03\0\0\0", 4));
  EXPECT_EQ(bytes.substr(16 + 3 * 192, 8), std::string("\xD1\x7E\xA4\x21\x55\xAA\0\0", 8));
}

// Ctrl-C or SIGTERM ends the scan like a failure: points printed and saved, the bench cleaned up.
TEST(CliScan, AStopSignalKeepsThePointsAndCleansUp) {
  for (const int sig : {SIGINT, SIGTERM}) {
    TempDir home;
    test::BenchEvidence evidence;
    const std::string copy = home.File("copy.kant");
    // Signalled 1.5 s after the first group's sync pulse is found (the group's points take
    // about 0.15 s from there), not at a fixed time after the start, which a slow host may
    // spend setting up the generators.
    const CommandResult r = RunCommandSignalled(
        {CliPath(), "scan", "--sim", "50", "--range", "140-200 0.01", "-o", copy},
        evidence.With({"HOME=" + home.Path()}), 60, sig, "ОБНАРУЖЕН СИНХРОИМПУЛЬС", 1.5);
    EXPECT_EQ(r.exit_status, 128 + sig) << r.err;
    const std::vector<ScanRow> rows = ScanRows(r.out);
    ASSERT_GT(rows.size(), 0u) << r.out << r.err;
    EXPECT_LT(rows.size(), 6001u);
    for (size_t i = 0; i < rows.size(); ++i) EXPECT_NEAR(rows[i].mhz, 140 + 0.01 * static_cast<double>(i), 1e-9);
    // The summary names the range measured, not the one planned.
    const std::string summary = "Диа 140 - " + FormatTrimmed(rows.back().mhz, 6) + " МГц, шаг 0.01 МГц";
    EXPECT_NE(r.out.find("\n" + summary), std::string::npos) << summary << "\n" << r.out.substr(r.out.rfind("MHz") + 3);
    EXPECT_EQ(r.out.find("Диа 140 - 200 МГц"), std::string::npos);
    const std::string saved = SavedLine(r.out);
    ASSERT_EQ(saved.rfind(home.Path() + "/AntIzmSdrData/", 0), 0u) << r.out;
    EXPECT_GE(std::filesystem::file_size(saved), 16 + 192 * rows.size());
    EXPECT_EQ(SavedLine(r.out, 1), copy) << r.out;
    EXPECT_EQ(ReadFile(copy), ReadFile(saved));
    // The bench's private folder, named in the log, is gone.
    const size_t at = r.err.find("/tmp/kavu-bench-");
    ASSERT_NE(at, std::string::npos) << r.err;
    const std::string folder = r.err.substr(at, std::string("/tmp/kavu-bench-XXXXXX").size());
    EXPECT_FALSE(std::filesystem::exists(folder)) << folder;
  }
}

TEST(CliScan, ThePlanIsSaidUpFront) {
  TempDir home;
  test::BenchEvidence evidence;
  const std::vector<std::string> env = evidence.With({"HOME=" + home.Path()});
  std::string ranges;
  for (int f = 140; f < 140 + 33; ++f) ranges += std::to_string(f) + "-" + std::to_string(f) + " 1; ";
  const CommandResult r = RunCommand({CliPath(), "scan", "--sim", "50", "--range", ranges}, env, 90);
  ASSERT_EQ(r.exit_status, 0) << r.err;
  const std::vector<ScanRow> rows = ScanRows(r.out);
  ASSERT_EQ(rows.size(), 32u) << r.out;
  EXPECT_DOUBLE_EQ(rows.back().mhz, 171);
  const std::string warning = "warning: the range text has more than 32 ranges; only the first 32 are scanned";
  ASSERT_NE(r.err.find(warning), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find(warning), r.err.rfind(warning));
  // 99,001 planned points: said before the scan measures, which is then stopped.
  const CommandResult big = RunCommandSignalled({CliPath(), "scan", "--sim", "50", "--range", "1-100 0.001"}, env, 60,
                                                SIGINT, "the scan stops when the set is full", 0);
  EXPECT_EQ(big.exit_status, 130) << big.err;
  EXPECT_NE(big.err.find("warning: the ranges plan more than 65536 points"), std::string::npos) << big.err;
  EXPECT_EQ(r.err.find("points, all a result set holds"), std::string::npos) << r.err;
}

TEST(CliScan, OnATerminalOneProgressLineStaysBelowTheLog) {
  TempDir home;
  test::BenchEvidence evidence;
  const std::string screen = RunOnTerminal({CliPath(), "scan", "--sim", "50", "--range", "140-141 0.05"},
                                           evidence.With({"HOME=" + home.Path()}), home.File("out.txt"));
  EXPECT_EQ(ScanRows(ReadFile(home.File("out.txt"))).size(), 21u);
  EXPECT_NE(screen.find("точек 21 из 21, прошло"), std::string::npos) << screen;
  EXPECT_NE(screen.find(" из 21, прошло "), std::string::npos) << screen;
  EXPECT_NE(screen.find(" с, осталось ~"), std::string::npos) << screen;
  // The log's lines first clear the progress line ("\r\x1b[K"), which is drawn again after them:
  // on the terminal a log line starts on a line of its own, whether the progress line was drawn
  // just before it or the lines came together (written after one clear).
  const size_t total = screen.find("ОБЩЕЕ ВРЕМЯ СКАН");
  ASSERT_NE(total, std::string::npos) << screen;
  const size_t line_start = screen.rfind('\n', total);
  ASSERT_NE(line_start, std::string::npos) << screen;
  std::string shown_before = screen.substr(line_start + 1, total - line_start - 1);
  if (const size_t cleared = shown_before.rfind("\r\x1b[K"); cleared != std::string::npos) {
    shown_before.erase(0, cleared + 4);
  }
  EXPECT_EQ(shown_before, "") << screen.substr(line_start, total - line_start + 40);
  EXPECT_NE(screen.find("\r\x1b[K"), std::string::npos) << screen;
  const size_t line_end = screen.find('\n', total);
  EXPECT_NE(screen.find("точек 21 из 21", line_end), std::string::npos);
  // Not on a terminal: no progress line at all.
  const CommandResult plain = RunCommand({CliPath(), "scan", "--sim", "50", "--range", "140-140.1 0.05"},
                                         evidence.With({"HOME=" + home.Path()}), 60);
  ASSERT_EQ(plain.exit_status, 0) << plain.err;
  EXPECT_EQ(plain.err.find("точек "), std::string::npos) << plain.err;
}

TEST(CliScan, BadArgumentsAndBadLoad) {
  CommandResult r = RunCommand({CliPath(), "scan", "--sim", "banana"}, {}, 30);
  EXPECT_EQ(r.exit_status, 2);
  EXPECT_NE(r.err.find("--sim"), std::string::npos) << r.err;
  r = RunCommand({CliPath(), "scan", "--sim", "50", "--rate", "123"}, {}, 30);
  EXPECT_EQ(r.exit_status, 2);
  EXPECT_NE(r.err.find("2400000"), std::string::npos) << r.err;
  r = RunCommand({CliPath(), "scan", "--sim", "50", "--sim-set", "nonsense=1"}, {}, 30);
  EXPECT_EQ(r.exit_status, 2);
  r = RunCommand({CliPath(), "scan", "--sim", "50", "--range", "abc"}, {}, 30);
  EXPECT_EQ(r.exit_status, 1);
  r = RunCommand({CliPath(), "scan", "--sim", "50", "-o", "/dev/null"}, {}, 30);  // refused before scanning
  EXPECT_EQ(r.exit_status, 2);
  EXPECT_NE(r.err.find("-o: refusing to write: \"/dev/null\" is a device"), std::string::npos) << r.err;
  EXPECT_TRUE(ScanRows(r.out).empty());
  r = RunCommand({CliPath(), "scan", "--sim-set", "list"}, {}, 30);
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_NE(r.out.find("noise_db"), std::string::npos);
}

TEST(CliScan, DemoMeasuresTheBuiltInAntenna) {
  TempDir home;
  const CommandResult r = RunCommand({CliPath(), "demo"}, {"HOME=" + home.Path()}, 60);
  ASSERT_EQ(r.exit_status, 0) << r.err;
  const std::vector<ScanRow> rows = ScanRows(r.out);
  ASSERT_EQ(rows.size(), 21u + 16u) << r.out;
  // Series 50 Ω, 100 nH, 12.05 pF.
  for (const ScanRow& row : rows) {
    const double w = 2 * M_PI * row.mhz * 1e6;
    const double x = w * 100e-9 - 1 / (w * 12.05e-12);
    // The second range is measured on the generator's third harmonic at an SWR near 25: a
    // sanity check there (4 % of |Z| + 2 ohm), the instrument's bound in the first range.
    const double tol = row.mhz < 200 ? 0.005 * std::hypot(50, x) + 0.2 : 0.04 * std::hypot(50, x) + 2;
    EXPECT_NEAR(row.r, 50, tol) << row.mhz;
    EXPECT_NEAR(row.x, x, tol) << row.mhz;
  }
  EXPECT_NE(r.out.find("Мин. КСВ 1 на 145 МГц"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("saved: " + home.Path() + "/AntIzmSdrData/"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace kavu::test
