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

TEST_F(CommandLineTest, WebTakesAnAddressAndAPortForThisRunOnly) {
  auto o = ParseCommandLine({"--demo", "--web", "127.0.0.1:8890"});
  EXPECT_TRUE(o.web);
  EXPECT_EQ(o.web_address, "127.0.0.1");
  EXPECT_EQ(o.web_port, 8890);
  EXPECT_TRUE(o.demo);
  EXPECT_TRUE(o.error.empty()) << o.error;
  // A port alone: every address; 0: a free port; a host name is resolved when the server starts.
  o = ParseCommandLine({"--web", "8888"});
  EXPECT_TRUE(o.web);
  EXPECT_EQ(o.web_address, "");
  EXPECT_EQ(o.web_port, 8888);
  o = ParseCommandLine({"--web", "localhost:0", "/tmp/a.kant"});
  EXPECT_EQ(o.web_address, "localhost");
  EXPECT_EQ(o.web_port, 0);
  EXPECT_EQ(o.file_name, "/tmp/a.kant");  // the value is never taken for a file, nor the file for it
  // Nothing of it reaches the settings: the options' server keys stay as they were.
  EXPECT_EQ(Settings().GetProfileInt("CDlgOptions", "m_IsHttpServer", -7), -7);
  EXPECT_EQ(Settings().GetProfileInt("CDlgOptions", "m_HttpServerPort", -7), -7);
  o = ParseCommandLine({});
  EXPECT_FALSE(o.web);
}

TEST_F(CommandLineTest, AMalformedWebValueIsAClearError) {
  const struct {
    const char* value;
    const char* says;
  } cases[] = {
      {"65536", "PORT 0..65535"},       {"-1", "PORT 0..65535"},      {"80a", "PORT 0..65535"},
      {"127.0.0.1:", "PORT 0..65535"},  {"", "PORT 0..65535"},        {"+80", "PORT 0..65535"},
      {"999999999999", "PORT 0..65535"}, {":8080", "address before ':' is empty"},
      {"::1:8080", "IPv4 only"},        {"[::1]:8080", "IPv4 only"}, {"a b:80", "space or a control"},
  };
  for (const auto& c : cases) {
    const auto o = ParseCommandLine({"--web", c.value});
    EXPECT_FALSE(o.web) << c.value;
    EXPECT_NE(o.error.find(c.says), std::string::npos) << c.value << ": " << o.error;
    EXPECT_TRUE(o.web_address.empty()) << c.value;
  }
  const std::string long_host(241, 'h');
  EXPECT_NE(ParseCommandLine({"--web", long_host + ":80"}).error.find("longer than 240"), std::string::npos);
  EXPECT_TRUE(ParseCommandLine({"--web", std::string(240, 'h') + ":80"}).web);
  // Without its value: an error, said in red in the log too.
  const auto o = ParseCommandLine({"--web"});
  EXPECT_FALSE(o.web);
  EXPECT_NE(o.error.find("--web needs [ADDRESS:]PORT"), std::string::npos) << o.error;
  EXPECT_NE(Log().TakeCaptured().find("--web needs [ADDRESS:]PORT"), std::string::npos);
}

TEST_F(CommandLineTest, HelpIsAskedForAnywhereAndNamesEveryOption) {
  EXPECT_TRUE(HelpRequested({"--demo", "--help"}));
  EXPECT_TRUE(HelpRequested({"-h"}));
  EXPECT_FALSE(HelpRequested({"--demo", "-n", "help.kant"}));
  EXPECT_TRUE(VersionRequested({"--demo", "--version"}));
  EXPECT_FALSE(VersionRequested({"--demo", "-v", "--versions", "version.kant"}));
  const std::string help = CommandLineHelp();
  for (const char* option : {"-n", "--demo", "--sim LOAD", "--web [ADDRESS:]PORT", "AVX_Disable", "--help",
                             "--version", "SIGTERM"}) {
    EXPECT_NE(help.find(option), std::string::npos) << option;
  }
  EXPECT_EQ(help.back(), '\n');
}

}  // namespace
}  // namespace kavu
