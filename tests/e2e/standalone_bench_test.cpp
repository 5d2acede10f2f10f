// The virtual bench started on its own (`kavusdraa-cli sim-bench`) and a program started after
// it, using it only through what the bench printed: the serial port link, the bench's socket
// for the simulated receiver library, and the private settings.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "support/bench_evidence.h"
#include "support/run_command.h"
#include "support/sim_bench_process.h"
#include "support/temp_dir.h"

namespace kavu::test {
namespace {

std::string SavedPath(const std::string& out) {
  const size_t at = out.find("saved: ");
  if (at == std::string::npos) return "";
  return out.substr(at + 7, out.find('\n', at) - at - 7);
}

// The instrument's bound on a fixed 75 ohm load: R and X within 0.5 % of |Z| + 0.2 ohm.
void ExpectSeventyFiveOhm(const std::vector<ScanRow>& rows) {
  const double tol = 0.005 * 75 + 0.2;
  for (const ScanRow& row : rows) {
    EXPECT_NEAR(row.r, 75, tol) << row.mhz << " MHz";
    EXPECT_NEAR(row.x, 0, tol) << row.mhz << " MHz";
  }
}

class StandaloneBench : public ::testing::Test {
 protected:
  std::vector<std::string> ProgramEnv(const SimBenchProcess& bench) const {
    std::vector<std::string> env = bench.Env();
    env.push_back("HOME=" + tmp_.File("home"));
    return env;
  }
  std::string BenchLog() const { return ReadFile(tmp_.File("bench.log")); }

  TempDir tmp_;
  BenchEvidence evidence_;  // the bench's logs, kept when a test fails
  const std::string dir_ = tmp_.File("bench");
};

TEST_F(StandaloneBench, ProgramStartedLaterScansThroughTheBenchsPortAndSocket) {
  SimBenchProcess bench({"--sim", "75", "--dir", dir_}, tmp_.File("bench.log"), 20, {evidence_.Env()});
  ASSERT_TRUE(bench.Ready()) << bench.Printed() << BenchLog();
  EXPECT_EQ(bench.Env().size(), 3u) << bench.Printed();
  EXPECT_EQ(bench.Value("KAVU_EXTRA_PORTS"), dir_ + "/board-tty");
  EXPECT_EQ(bench.Value("KAVU_SIM_BENCH"), dir_ + "/bench.sock");
  EXPECT_EQ(bench.Value("XDG_CONFIG_HOME"), dir_ + "/config");
  struct stat st {};
  ASSERT_EQ(::stat(dir_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  // No --sim: the program finds port 901 and the receiver "Virtual bench" in the settings.
  const CommandResult r = RunCommand({CliPath(), "scan", "--range", "140-141 0.1"}, ProgramEnv(bench), 60);
  ASSERT_EQ(r.exit_status, 0) << r.err << BenchLog();
  const std::vector<ScanRow> rows = ScanRows(r.out);
  ASSERT_EQ(rows.size(), 11u) << r.out;
  for (size_t i = 0; i < rows.size(); ++i) EXPECT_NEAR(rows[i].mhz, 140 + 0.1 * static_cast<double>(i), 1e-9);
  ExpectSeventyFiveOhm(rows);
  EXPECT_EQ(SavedPath(r.out).rfind(tmp_.File("home") + "/AntIzmSdrData/", 0), 0u) << r.out;

  // A second program after the first is served too.
  const CommandResult again = RunCommand({CliPath(), "scan", "--range", "145-145.2 0.1"}, ProgramEnv(bench), 60);
  ASSERT_EQ(again.exit_status, 0) << again.err << BenchLog();
  EXPECT_EQ(ScanRows(again.out).size(), 3u) << again.out;

  // A program with a bench of its own (--sim) keeps to it, even with the variables set.
  const CommandResult own = RunCommand({CliPath(), "scan", "--sim", "50", "--range", "145-145.1 0.1"},
                                       ProgramEnv(bench), 60);
  ASSERT_EQ(own.exit_status, 0) << own.err;
  ASSERT_EQ(ScanRows(own.out).size(), 2u) << own.out;
  for (const ScanRow& row : ScanRows(own.out)) EXPECT_NEAR(row.r, 50, 0.005 * 50 + 0.2);

  // Closing its input ends it cleanly, its folder removed.
  EXPECT_EQ(bench.Stop(), 0);
  EXPECT_FALSE(std::filesystem::exists(dir_));
  const std::string log = BenchLog();
  EXPECT_NE(log.find("receiver connected"), std::string::npos) << log;
  EXPECT_NE(log.find("receiver: start"), std::string::npos) << log;
  size_t connections = 0;
  for (size_t at = log.find("receiver connected"); at != std::string::npos; at = log.find("receiver connected", at + 1)) {
    ++connections;
  }
  EXPECT_EQ(connections, 2u) << log;
}

TEST_F(StandaloneBench, TheSimulatedPluginInTheProgramIsFedThroughTheSocket) {
  SimBenchProcess bench({"--sim", "75", "--sim-set", "rx=extio-float", "--dir", dir_}, tmp_.File("bench.log"), 20,
                        {evidence_.Env()});
  ASSERT_TRUE(bench.Ready()) << bench.Printed() << BenchLog();
  EXPECT_EQ(bench.Value("KAVU_SIMEXTIO_TYPE"), "7");
  const CommandResult r = RunCommand({CliPath(), "scan", "--range", "140-140.2 0.1"}, ProgramEnv(bench), 60);
  ASSERT_EQ(r.exit_status, 0) << r.err << BenchLog();
  const std::vector<ScanRow> rows = ScanRows(r.out);
  ASSERT_EQ(rows.size(), 3u) << r.out;
  ExpectSeventyFiveOhm(rows);
  EXPECT_NE(SavedPath(r.out).find("/ExtIO_KavuSim"), std::string::npos) << r.out;
  EXPECT_EQ(bench.Stop(), 0);
  const std::string log = BenchLog();
  EXPECT_NE(log.find("receiver connected"), std::string::npos) << log;
  EXPECT_NE(log.find("receiver: StartHW "), std::string::npos) << log;
}

// The simulated HackRF library takes the bench's signed 8-bit samples through the socket: the
// program opens the listed board, scans at the rate the bench chose, and gets the load's points.
TEST_F(StandaloneBench, TheSimulatedHackRfInTheProgramIsFedThroughTheSocket) {
  SimBenchProcess bench({"--sim", "75", "--sim-set", "rx=hackrf", "--dir", dir_}, tmp_.File("bench.log"), 20,
                        {evidence_.Env()});
  ASSERT_TRUE(bench.Ready()) << bench.Printed() << BenchLog();
  const CommandResult r = RunCommand({CliPath(), "scan", "--range", "140-140.2 0.1"}, ProgramEnv(bench), 60);
  ASSERT_EQ(r.exit_status, 0) << r.err << BenchLog();
  const std::vector<ScanRow> rows = ScanRows(r.out);
  ASSERT_EQ(rows.size(), 3u) << r.out;
  ExpectSeventyFiveOhm(rows);
  EXPECT_NE(r.err.find("HackRf"), std::string::npos) << r.err;
  EXPECT_EQ(bench.Stop(), 0);
  const std::string log = BenchLog();
  EXPECT_NE(log.find("receiver connected"), std::string::npos) << log;
  EXPECT_NE(log.find("receiver: start 0"), std::string::npos) << log;
}

// The program loads the last scan at start, as the desktop program does: after each scan the
// previous one is kept as LastAntIzm_Old.kant, never an empty set.
TEST_F(StandaloneBench, EachScanKeepsTheOneBeforeAsThePreviousScan) {
  SimBenchProcess bench({"--sim", "75", "--dir", dir_}, tmp_.File("bench.log"), 20, {evidence_.Env()});
  ASSERT_TRUE(bench.Ready()) << bench.Printed() << BenchLog();
  const std::string old = tmp_.File("home") + "/AntIzmSdrData/LastAntIzm_Old.kant";
  const CommandResult first = RunCommand({CliPath(), "scan", "--range", "140-140.3 0.1"}, ProgramEnv(bench), 60);
  ASSERT_EQ(first.exit_status, 0) << first.err << BenchLog();
  const std::string first_file = SavedPath(first.out);
  ASSERT_FALSE(first_file.empty()) << first.out;
  const std::string first_bytes = ReadFile(first_file);
  const CommandResult second = RunCommand({CliPath(), "scan", "--range", "145-145.1 0.1"}, ProgramEnv(bench), 60);
  ASSERT_EQ(second.exit_status, 0) << second.err << BenchLog();
  // The previous scan holds the first scan's four points (its note is not repeated there).
  const std::string old_bytes = ReadFile(old);
  ASSERT_EQ(old_bytes.size(), 16 + 4 * 192u);
  EXPECT_EQ(old_bytes.substr(16), first_bytes.substr(16, 4 * 192));
  const CommandResult info = RunCommand({CliPath(), "info", old}, ProgramEnv(bench), 30);
  EXPECT_NE(info.out.find("first_freq_hz: 140000000\n"), std::string::npos) << info.out;
}

// While another program holds the bench's receiver, a program is told so, not asked to choose
// another receiver.
TEST_F(StandaloneBench, ABusyBenchIsNamedAsTheReason) {
  SimBenchProcess bench({"--sim", "75", "--dir", dir_}, tmp_.File("bench.log"), 20, {evidence_.Env()});
  ASSERT_TRUE(bench.Ready()) << bench.Printed() << BenchLog();
  const int other = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(other, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  const std::string path = bench.Value("KAVU_SIM_BENCH");
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
  ASSERT_EQ(::connect(other, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  for (int k = 0; k < 100 && BenchLog().find("receiver connected") == std::string::npos; ++k) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  const CommandResult r = RunCommand({CliPath(), "scan", "--range", "140-140.2 0.1"}, ProgramEnv(bench), 60);
  ::close(other);
  EXPECT_EQ(r.exit_status, 1) << r.err;
  EXPECT_NE(r.err.find("serves one program at a time and may be busy with another"), std::string::npos) << r.err;
  EXPECT_TRUE(ScanRows(r.out).empty()) << r.out;
}

TEST_F(StandaloneBench, EndsOnSignalsAndRefusesBadArgumentsLeavingNothingBehind) {
  {
    SimBenchProcess bench({"--sim", "25-30j", "--dir", dir_, "--sim-set", "noise_db=-40"}, tmp_.File("bench.log"));
    ASSERT_TRUE(bench.Ready()) << bench.Printed() << BenchLog();
    EXPECT_TRUE(std::filesystem::is_socket(bench.Value("KAVU_SIM_BENCH")));
    EXPECT_EQ(bench.Stop(SIGTERM), 0);
    EXPECT_FALSE(std::filesystem::exists(dir_));
  }
  CommandResult r = RunCommand({CliPath(), "sim-bench", "--sim", "banana", "--dir", dir_}, {}, 30);
  EXPECT_EQ(r.exit_status, 2) << r.err;
  EXPECT_NE(r.err.find("--sim"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir_));
  r = RunCommand({CliPath(), "sim-bench", "--sim-set", "nonsense=1", "--dir", dir_}, {}, 30);
  EXPECT_EQ(r.exit_status, 2) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir_));
  // An existing folder is neither used nor removed.
  std::filesystem::create_directory(dir_);
  WriteFile(dir_ + "/keep", "x");
  r = RunCommand({CliPath(), "sim-bench", "--dir", dir_}, {}, 30);
  EXPECT_EQ(r.exit_status, 1) << r.err;
  EXPECT_TRUE(std::filesystem::exists(dir_ + "/keep"));
}

TEST_F(StandaloneBench, BenchKilledMidScanEndsTheScanWithAnErrorAndKeepsItsPoints) {
  SimBenchProcess bench({"--sim", "75", "--dir", dir_}, tmp_.File("bench.log"), 20, {evidence_.Env()});
  ASSERT_TRUE(bench.Ready()) << bench.Printed() << BenchLog();
  std::chrono::steady_clock::time_point killed{};
  // Once the scan has found its first group's sync pulse (its points are being measured), let it
  // measure for a second, then the bench dies. 6001 points: far more than a second's worth.
  const CommandResult r = RunCommandThen({CliPath(), "scan", "--range", "140-200 0.01"}, ProgramEnv(bench), 60,
                                         "ОБНАРУЖЕН СИНХРОИМПУЛЬС", 1.0, [&](int) {
                                           killed = std::chrono::steady_clock::now();
                                           bench.Kill();
                                         });
  const auto ended = std::chrono::steady_clock::now();
  ASSERT_NE(killed, std::chrono::steady_clock::time_point{}) << "the scan never found a sync pulse\n" << r.err;
  EXPECT_EQ(r.exit_status, 1) << r.err;
  EXPECT_LT(ended - killed, std::chrono::seconds(5));
  // The bench's death shows first at the board's port or at the receiver (its stream, or a tuning
  // that fails): either is named.
  const bool named = r.err.find("Плата анализатора") != std::string::npos ||
                     r.err.find("Приёмник") != std::string::npos ||
                     r.err.find("не удалось настроить приёмник") != std::string::npos;
  EXPECT_TRUE(named) << r.err;
  const std::vector<ScanRow> rows = ScanRows(r.out);
  EXPECT_GT(rows.size(), 0u) << r.out << r.err;
  EXPECT_LT(rows.size(), 6001u);
  for (size_t i = 0; i < rows.size(); ++i) EXPECT_NEAR(rows[i].mhz, 140 + 0.01 * static_cast<double>(i), 1e-9);
  ExpectSeventyFiveOhm(rows);
  const std::string saved = SavedPath(r.out);
  ASSERT_FALSE(saved.empty()) << r.out;
  // A 16-byte header and a 192-byte record per point, at least.
  EXPECT_GE(std::filesystem::file_size(saved), 16 + 192 * rows.size());
}

}  // namespace
}  // namespace kavu::test
