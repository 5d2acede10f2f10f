// kavusdraa-cli info and points, run as a user would, on files written byte by byte here.
#include <gtest/gtest.h>

#include <bit>
#include <algorithm>
#include <cmath>
#include <sstream>

#include <sys/stat.h>

#include "support/run_command.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

void U32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i));
}
void Put(std::string& rec, size_t off, uint64_t bits, int n) {
  for (int i = 0; i < n; ++i) rec[off + i] = static_cast<char>(bits >> (8 * i));
}

std::string ScanFile(int count_in_header, int records, bool with_note) {
  std::string f;
  U32(f, 0x21A47ED1);
  U32(f, 0);
  U32(f, 192);
  U32(f, static_cast<uint32_t>(count_in_header));
  for (int i = 0; i < records; ++i) {
    std::string rec(192, '\0');
    Put(rec, 0, std::bit_cast<uint64_t>(14.0e6 + 1e5 * i), 8);                   // freqHz
    Put(rec, 16, std::bit_cast<uint64_t>(-20.5), 8);                             // a
    Put(rec, 32, i == 0 ? std::bit_cast<uint32_t>(-80.25f) : 0x7FC00001u, 4);    // pause (a NaN)
    Put(rec, 72, std::bit_cast<uint64_t>(-0.1 * i), 8);                          // phase
    Put(rec, 96, 0, 4);                                                          // reserved96
    Put(rec, 104, static_cast<uint32_t>(-3), 4);                                 // overloads
    Put(rec, 184, std::bit_cast<uint64_t>(-std::nan("")), 8);                    // oAll: a NaN
    f += rec;
  }
  if (with_note) {
    U32(f, 0x21A47ED1);
    U32(f, 0xAA55);
    U32(f, 1);
    U32(f, 7);
    f += "\xCA\xD1\xC2 1.5";  // "КСВ 1.5" in code page 1251
  }
  return f;
}

class CliFilesTest : public ::testing::Test {
 protected:
  test::CommandResult Cli(std::vector<std::string> args) {
    args.insert(args.begin(), test::CliPath());
    return test::RunCommand(args, {"XDG_CONFIG_HOME=" + dir_.File("cfg")});
  }
  test::TempDir dir_;
};

TEST_F(CliFilesTest, InfoShowsHeaderCountFrequenciesAndTheNote) {
  test::WriteFile(dir_.File("a.kant"), ScanFile(3, 3, true));
  const auto r = Cli({"info", dir_.File("a.kant")});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  for (const char* line : {"record_size: 192\n", "points: 3\n", "hasDuo: 0\n",
                           "first_freq_hz: 14000000\n", "last_freq_hz: 14200000\n",
                           "note: КСВ 1.5\n"}) {
    EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
  }
}

TEST_F(CliFilesTest, PointsPrintsEveryRecordAsCsvWithNanForEveryNaN) {
  test::WriteFile(dir_.File("a.kant"), ScanFile(2, 2, false));
  const auto r = Cli({"points", dir_.File("a.kant")});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  std::istringstream in(r.out);
  std::string header, first, second, extra;
  std::getline(in, header);
  std::getline(in, first);
  std::getline(in, second);
  EXPECT_FALSE(std::getline(in, extra));
  EXPECT_EQ(header,
            "freqHz,aDuo,a,maxADuo,maxA,pause,oDuo,o,maxODuo,maxO,pauseBpf,phase,gainDuo,gain,"
            "reserved96,overloadsDuo,overloads,phaseDuo,delay,ppm,pauseAll,aDuoBpf,aBpf,oDuoBpf,"
            "oBpf,aDuoAll,aAll,oDuoAll,oAll");
  EXPECT_EQ(first, "14000000,0,-20.5,0,0,-80.25,0,0,0,0,0,-0,0,0,0,0,-3,0,0,0,0,0,0,0,0,0,0,0,nan");
  EXPECT_EQ(second,
            "14100000,0,-20.5,0,0,nan,0,0,0,0,0,-0.10000000000000001,0,0,0,0,-3,0,0,0,0,0,0,0,0,0,"
            "0,0,nan");
}

TEST_F(CliFilesTest, BrokenFilesExitWithOneLineSayingWhy) {
  struct Case {
    std::string name, bytes, why;
  };
  std::string bad_magic = ScanFile(1, 1, false);
  bad_magic[0] = 'X';
  std::string size0 = ScanFile(1, 1, false);
  size0[8] = 0;
  size0[9] = 0;
  std::string size_big = ScanFile(1, 1, false);
  size_big[8] = 0x01;
  size_big[9] = 0x10;  // 4097
  const std::vector<Case> cases = {
      {"magic.kant", bad_magic, "wrong magic"},
      {"size0.kant", size0, "record size 0 is outside 1..4096"},
      {"size4097.kant", size_big, "record size 4097 is outside 1..4096"},
      {"short.kant", ScanFile(1, 0, false).substr(0, 10), "shorter than the 16-byte header"},
  };
  for (const auto& c : cases) {
    test::WriteFile(dir_.File(c.name), c.bytes);
    for (const char* cmd : {"info", "points"}) {
      const auto r = Cli({cmd, dir_.File(c.name)});
      EXPECT_EQ(r.exit_status, 1) << c.name;
      EXPECT_EQ(r.out, "") << c.name;
      EXPECT_NE(r.err.find(c.why), std::string::npos) << c.name << ": " << r.err;
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
  }
  const auto missing = Cli({"info", dir_.File("nope.kant")});
  EXPECT_EQ(missing.exit_status, 1);
  EXPECT_NE(missing.err.find("cannot open"), std::string::npos);
}

TEST_F(CliFilesTest, AFileWithFewerRecordsThanItsCountGivesThemWithAWarning) {
  test::WriteFile(dir_.File("cut.kant"), ScanFile(5, 2, false) + "partial");
  const auto r = Cli({"points", dir_.File("cut.kant")});
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 3);
  EXPECT_NE(r.err.find("warning"), std::string::npos);
  EXPECT_NE(r.err.find("2 of 5 records"), std::string::npos) << r.err;
}

TEST_F(CliFilesTest, ANegativeCountGivesTheRecordsWithAWarning) {
  test::WriteFile(dir_.File("neg.kant"), ScanFile(-1, 3, true));
  const auto r = Cli({"info", dir_.File("neg.kant")});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_NE(r.out.find("points: 3\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("note: КСВ 1.5\n"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("warning"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("-1 is negative"), std::string::npos) << r.err;
  const auto p = Cli({"points", dir_.File("neg.kant")});
  EXPECT_EQ(std::count(p.out.begin(), p.out.end(), '\n'), 4) << p.out;
}

// Reading never waits on a FIFO and never takes a folder for a short file.
TEST_F(CliFilesTest, AnythingButARegularFileIsRefusedAtOnce) {
  ASSERT_EQ(mkfifo(dir_.File("fifo").c_str(), 0600), 0);
  for (const char* cmd : {"info", "points"}) {
    auto r = Cli({cmd, dir_.File("fifo")});  // RunCommand's limit ends a hang with -1
    EXPECT_EQ(r.exit_status, 1) << cmd;
    EXPECT_NE(r.err.find("is a FIFO, not a regular file"), std::string::npos) << r.err;
    r = Cli({cmd, dir_.Path()});
    EXPECT_EQ(r.exit_status, 1) << cmd;
    EXPECT_NE(r.err.find("is a folder, not a regular file"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("16-byte header"), std::string::npos) << r.err;
  }
  const auto e = Cli({"export", dir_.File("fifo"), "--format", "csv"});
  EXPECT_EQ(e.exit_status, 1);
  EXPECT_NE(e.err.find("is a FIFO"), std::string::npos) << e.err;
  // sample-file writes only regular files.
  const auto s = Cli({"sample-file", dir_.File("fifo")});
  EXPECT_EQ(s.exit_status, 1);
  EXPECT_NE(s.err.find("refusing to write"), std::string::npos) << s.err;
  struct stat st {};
  ASSERT_EQ(lstat(dir_.File("fifo").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(CliFilesTest, HelpForTheToolAndEachCommand) {
  const auto tool = Cli({"--help"});
  EXPECT_EQ(tool.exit_status, 0);
  EXPECT_NE(tool.out.find("info"), std::string::npos);
  EXPECT_NE(tool.out.find("points"), std::string::npos);
  for (const char* cmd : {"info", "points"}) {
    const auto r = Cli({cmd, "--help"});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_NE(r.out.find(std::string("Usage: kavusdraa-cli ") + cmd), std::string::npos);
  }
  EXPECT_EQ(Cli({"frobnicate"}).exit_status, 2);
  EXPECT_EQ(Cli({"info"}).exit_status, 1);
}

}  // namespace
}  // namespace kavu
