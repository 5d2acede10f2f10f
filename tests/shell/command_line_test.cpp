#include "shell/command_line.h"

#include <gtest/gtest.h>

#include "shell/log_console.h"
#include "shell/settings_store.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

class CommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Log().SetSink(OLogConsole::Sink::None);
    Log().SetCapture(true);
    Settings().WriteProfileString("ODlgSpektr", "m_SelectSdrKey", "rtl:0");
  }
  void TearDown() override {
    Log().SetCapture(false);
    SetAvxDisabledByCommandLine(false);
  }
  std::string Key() { return Settings().GetProfileString("ODlgSpektr", "m_SelectSdrKey", "?"); }
  test::ScopedSettings settings_;
};

TEST_F(CommandLineTest, NoArgumentsIsNormalModeWithTheKeyKept) {
  const auto o = ParseCommandLine({});
  EXPECT_TRUE(o.file_name.empty());
  EXPECT_FALSE(o.clear_receiver_key);
  EXPECT_EQ(Key(), "rtl:0");
}

TEST_F(CommandLineTest, DashNAndExactlySlashNClearTheReceiverKey) {
  for (const char* opt : {"-n", "/n"}) {
    Settings().WriteProfileString("ODlgSpektr", "m_SelectSdrKey", "rtl:0");
    const auto o = ParseCommandLine({opt});
    EXPECT_TRUE(o.clear_receiver_key) << opt;
    EXPECT_EQ(Key(), "") << opt;
  }
  const std::string log = Log().TakeCaptured();
  EXPECT_NE(log.find("аргумент cmd i=1 = -n\nУказан ключ отключения автовыбора sdr-приёмника \n"),
            std::string::npos) << log;
}

TEST_F(CommandLineTest, OtherDashOptionsAreLoggedAsUnknownAndIgnored) {
  const auto o = ParseCommandLine({"-N", "-nn", "-x", ""});
  EXPECT_FALSE(o.clear_receiver_key);
  EXPECT_TRUE(o.file_name.empty());
  EXPECT_EQ(Key(), "rtl:0");
  const std::string log = Log().TakeCaptured();
  EXPECT_NE(log.find("аргумент cmd i=1 = -N\n видимо это неизвестный ключ, пока игнорирую"),
            std::string::npos);
  EXPECT_EQ(log.find("i=4"), std::string::npos);  // the empty argument is skipped
}

TEST_F(CommandLineTest, AbsolutePathsAreFileNamesAndTheLastOneWins) {
  const auto o = ParseCommandLine({"/home/u/a.kant", "/N", "/home/u/b.kant"});
  EXPECT_EQ(o.file_name, "/home/u/b.kant");
  EXPECT_FALSE(o.clear_receiver_key);
  const auto single = ParseCommandLine({"/nothing-else.kant"});
  EXPECT_EQ(single.file_name, "/nothing-else.kant");
}

TEST_F(CommandLineTest, FileTogetherWithDashNClearsTheKeyAndStillOpensTheFile) {
  const auto o = ParseCommandLine({"scan.kant", "-n"});
  EXPECT_EQ(o.file_name, "scan.kant");
  EXPECT_TRUE(o.clear_receiver_key);
  EXPECT_EQ(Key(), "");
}

TEST_F(CommandLineTest, AvxDisableIsNeverAFileName) {
  EXPECT_FALSE(AvxDisabledByCommandLine());
  const auto o = ParseCommandLine({"/tmp/x.kant", "xAVX_Disablex", "/AVX_Disable"});
  EXPECT_TRUE(o.avx_disable);
  EXPECT_TRUE(AvxDisabledByCommandLine());
  EXPECT_EQ(o.file_name, "/tmp/x.kant");
}

TEST_F(CommandLineTest, DemoAndSimChooseTheVirtualBench) {
  auto o = ParseCommandLine({"--demo"});
  EXPECT_TRUE(o.demo);
  EXPECT_TRUE(o.sim_load.empty());
  EXPECT_TRUE(o.file_name.empty());
  // The load after --sim is its value, never a scan file, even when it looks like one.
  o = ParseCommandLine({"--sim", "series:R=50,L=100n,C=12.05p", "/tmp/a.kant"});
  EXPECT_FALSE(o.demo);
  EXPECT_EQ(o.sim_load, "series:R=50,L=100n,C=12.05p");
  EXPECT_EQ(o.file_name, "/tmp/a.kant");
  EXPECT_TRUE(o.error.empty());
  o = ParseCommandLine({"--sim", "a.s1p"});
  EXPECT_EQ(o.sim_load, "a.s1p");
  EXPECT_TRUE(o.file_name.empty());
  // --sim without its value is an error, not a bench with no antenna.
  o = ParseCommandLine({"--sim"});
  EXPECT_TRUE(o.sim_load.empty());
  EXPECT_NE(o.error.find("--sim needs"), std::string::npos) << o.error;
}

}  // namespace
}  // namespace kavu
