// kavusdraa-cli plot, run as a user would: a scan file becomes a PNG of the asked size.
#include <gtest/gtest.h>

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
  };
  for (const auto& c : cases) {
    const auto r = Cli(c.args);
    EXPECT_EQ(r.exit_status, 1) << c.says;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
  }
}

}  // namespace
}  // namespace kavu
