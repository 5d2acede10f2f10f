// kavusdraa-cli plot, run as a user would: a scan file becomes a PNG of the asked size.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "results/ant_izm_file.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

uint32_t Be32(const std::string& s, size_t off) {
  return static_cast<uint32_t>(static_cast<uint8_t>(s[off])) << 24 | static_cast<uint8_t>(s[off + 1]) << 16 |
         static_cast<uint8_t>(s[off + 2]) << 8 | static_cast<uint8_t>(s[off + 3]);
}

class CliPlotTest : public ::testing::Test {
 protected:
  test::CommandResult Cli(std::vector<std::string> args) {
    args.insert(args.begin(), test::CliPath());
    return test::RunCommand(args, {"XDG_CONFIG_HOME=" + dir_.File("cfg"), "QT_QPA_PLATFORM=offscreen"});
  }
  std::string Scan(int points) {
    std::vector<AntIzm> p(static_cast<size_t>(points), EmptyAntIzm());
    for (int i = 0; i < points; ++i) {
      p[static_cast<size_t>(i)].freqHz = 7e6 + 1e4 * i;
      p[static_cast<size_t>(i)].a = -20 + 0.1 * i;
      p[static_cast<size_t>(i)].o = -10;
      p[static_cast<size_t>(i)].phase = 0.01 * i;
    }
    const std::string path = dir_.File("s.kant");
    EXPECT_TRUE(WriteScanFile(path, p.data(), points, std::nullopt));
    return path;
  }
  test::TempDir dir_;
};

TEST_F(CliPlotTest, WritesAPngOfTheAskedSize) {
  const std::string scan = Scan(100);
  const auto r = Cli({"plot", scan, "-o", dir_.File("s.png"), "--size", "640x360", "--graphs", "r,X,ksv"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  const std::string png = ReadAll(dir_.File("s.png"));
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_EQ(Be32(png, 16), 640u);  // IHDR width and height
  EXPECT_EQ(Be32(png, 20), 360u);
}

TEST_F(CliPlotTest, DrawsTheRxDiagramInBothModes) {
  const std::string scan = Scan(100);
  const auto rx = Cli({"plot", scan, "-o", dir_.File("rx.png"), "--size", "500x400", "--rx"});
  ASSERT_EQ(rx.exit_status, 0) << rx.err;
  const auto chart = Cli({"plot", scan, "-o", dir_.File("chart.png"), "--size", "500x400", "--chart"});
  ASSERT_EQ(chart.exit_status, 0) << chart.err;
  const std::string a = ReadAll(dir_.File("rx.png")), b = ReadAll(dir_.File("chart.png"));
  ASSERT_GT(a.size(), 24u);
  ASSERT_GT(b.size(), 24u);
  EXPECT_EQ(b.substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_EQ(Be32(b, 16), 500u);
  EXPECT_EQ(Be32(b, 20), 400u);
  EXPECT_NE(a, b);  // two different pictures of the same points
  const auto both = Cli({"plot", scan, "-o", dir_.File("x.png"), "--rx", "--chart"});
  EXPECT_EQ(both.exit_status, 1);
  EXPECT_NE(both.err.find("exclude"), std::string::npos) << both.err;
}

TEST_F(CliPlotTest, RefusesBadRequestsWithAReason) {
  const std::string scan = Scan(10);
  struct Case {
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {{"plot", scan}, "-o"},
      {{"plot", scan, "-o", dir_.File("x.png"), "--graphs", "swr"}, "unknown quantity"},
      {{"plot", scan, "-o", dir_.File("x.png"), "--size", "10x10"}, "size"},
      {{"plot", scan, "-o", dir_.File("x.png"), "--size", "big"}, "WxH"},
      {{"plot", dir_.File("missing.kant"), "-o", dir_.File("x.png")}, "missing.kant"},
      {{"plot", scan, "-o", dir_.File("no/dir/x.png")}, "cannot write"},
      // Lists and sizes that used to be half-read or silently ignored.
      {{"plot", scan, "-o", dir_.File("x.png"), "--graphs", ",,,"}, "empty name"},
      {{"plot", scan, "-o", dir_.File("x.png"), "--graphs", ""}, "empty name"},
      {{"plot", scan, "-o", dir_.File("x.png"), "--graphs", "r,,x"}, "empty name"},
      {{"plot", scan, "-o", dir_.File("x.png"), "--size", "800x600x3"}, "WxH"},
      {{"plot", scan, "-o", dir_.File("x.png"), "--size", "1e3x600"}, "WxH"},
      {{"plot", scan, "-o", dir_.File("x.png"), "--graphs", "r", "--rx"}, "give one of the two"},
      {{"plot", scan, "--chart", "-o", dir_.File("x.png"), "--graphs", "r"}, "give one of the two"},
      {{"plot", scan, "-o", dir_.File("x.png"), "--size"}, "needs a value"},
  };
  for (const auto& c : cases) {
    const auto r = Cli(c.args);
    EXPECT_EQ(r.exit_status, 1) << c.says;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
  }
}

TEST_F(CliPlotTest, SaysWhyAnInputCannotBeDrawn) {
  const std::string fifo = dir_.File("in.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_EQ(mkdir(dir_.File("folder.kant").c_str(), 0700), 0);
  std::ofstream(dir_.File("magic.kant"), std::ios::binary) << std::string(64, 'x');
  std::ofstream(dir_.File("short.kant"), std::ios::binary) << "\xD1\x7E";
  const std::string empty = dir_.File("empty.kant");
  ASSERT_TRUE(WriteScanFile(empty, nullptr, 0, std::nullopt));
  struct Case {
    std::string file;
    const char* says;
  } cases[] = {
      {dir_.File("missing.kant"), "No such file"},
      {fifo, "is a FIFO"},  // refused without waiting for a writer
      {dir_.File("folder.kant"), "is a folder"},
      {dir_.File("magic.kant"), "wrong magic"},
      {dir_.File("short.kant"), "shorter than the 16-byte header"},
      {empty, "no points"},
  };
  for (const auto& c : cases) {
    const auto r = Cli({"plot", c.file, "-o", dir_.File("x.png")});
    EXPECT_EQ(r.exit_status, 1) << c.file;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << c.file << ": " << r.err;
    if (std::string(c.says) != "no points") {
      EXPECT_EQ(r.err.find("no points"), std::string::npos) << r.err;
    }
  }
  EXPECT_FALSE(std::ifstream(dir_.File("x.png")).good());
}

TEST_F(CliPlotTest, NeverOverwritesTheScanNorWritesAnythingButAFile) {
  const std::string scan = Scan(20);
  const std::string before = ReadAll(scan);
  const std::string link = dir_.File("link.kant");
  ASSERT_EQ(symlink(scan.c_str(), link.c_str()), 0);
  const std::string fifo = dir_.File("out.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_EQ(mkdir(dir_.File("out.png").c_str(), 0700), 0);
  struct Case {
    std::string in, out;
    const char* says;
  } cases[] = {
      {scan, scan, "it is the scan file"},
      {scan, link, "it is the scan file"},   // through a link to the scan
      {link, scan, "it is the scan file"},   // the scan named through a link
      {scan, fifo, "is a FIFO"},             // refused without opening it: a writer would block
      {scan, "/dev/null", "is a device"},
      {scan, dir_.File("out.png"), "is a folder"},
  };
  for (const auto& c : cases) {
    // The child's own time-out is the bound: a hang fails here instead of stalling the suite.
    const auto r = test::RunCommand({test::CliPath(), "plot", c.in, "-o", c.out},
                                    {"XDG_CONFIG_HOME=" + dir_.File("cfg"), "QT_QPA_PLATFORM=offscreen"}, 30);
    EXPECT_EQ(r.exit_status, 1) << c.out;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << c.out << ": " << r.err;
    EXPECT_NE(r.err.find("refusing to write"), std::string::npos) << r.err;
  }
  EXPECT_EQ(ReadAll(scan), before);
  struct stat st {};
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));

  // A link to a picture is written through; the link stays and no temporary file is left.
  const std::string old_png = dir_.File("old.png");
  std::ofstream(old_png) << "old";
  const std::string png_link = dir_.File("pic.png");
  ASSERT_EQ(symlink(old_png.c_str(), png_link.c_str()), 0);
  const auto r = Cli({"plot", scan, "-o", png_link, "--size", "300x200"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(ReadAll(old_png).substr(0, 8), "\x89PNG\r\n\x1a\n");
  ASSERT_EQ(lstat(png_link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  const auto ls = test::RunCommand({"/bin/ls", dir_.Path()});
  EXPECT_EQ(ls.out.find(".tmp-"), std::string::npos) << ls.out;
}

}  // namespace
}  // namespace kavu
