// kavusdraa-cli config: showing and setting settings as a user would, in a private settings file.
#include <gtest/gtest.h>

#include "support/run_command.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

TEST(CliConfig, SetShowAndMissing) {
  test::TempDir home;
  const std::vector<std::string> env = {"XDG_CONFIG_HOME=" + home.Path(), "HOME=" + home.Path()};
  const std::string cli = test::CliPath();
  test::CommandResult r = test::RunCommand({cli, "config", "CDlgOptions", "m_ZondN", "4"}, env);
  ASSERT_EQ(r.exit_status, 0) << r.err;
  r = test::RunCommand({cli, "config", "CDlgOptions", "m_ZondN"}, env);
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_EQ(r.out, "4\n");
  r = test::RunCommand({cli, "config", "CDlgOptions", "m_SaveResPath", "/tmp/x y"}, env);
  ASSERT_EQ(r.exit_status, 0) << r.err;
  r = test::RunCommand({cli, "config", "CDlgOptions"}, env);
  EXPECT_NE(r.out.find("m_ZondN=4\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("m_SaveResPath="), std::string::npos) << r.out;
  r = test::RunCommand({cli, "config"}, env);
  EXPECT_NE(r.out.find("[CDlgOptions]"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(home.Path()), std::string::npos) << r.out;
  r = test::RunCommand({cli, "config", "CDlgOptions", "m_Nothing"}, env);
  EXPECT_EQ(r.exit_status, 1);
  r = test::RunCommand({cli, "config", "NoSuchSection"}, env);
  EXPECT_EQ(r.exit_status, 1);
  r = test::RunCommand({cli, "config", "a", "b", "c", "d"}, env);
  EXPECT_EQ(r.exit_status, 2);
  // A key that would read back as a comment is refused for what it is, not as a write failure.
  r = test::RunCommand({cli, "config", "CDlgOptions", ";m_ZondN", "5"}, env);
  EXPECT_EQ(r.exit_status, 2);
  EXPECT_NE(r.err.find("key \";m_ZondN\" cannot be stored"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("cannot write"), std::string::npos) << r.err;
}

TEST(CliConfig, ASettingsFileThatIsAFifoOrAFolderIsNamedAsSuch) {
  test::TempDir home;
  const std::vector<std::string> env = {"XDG_CONFIG_HOME=" + home.Path(), "HOME=" + home.Path()};
  const std::string cli = test::CliPath();
  const std::string dir = home.File("KavuPublicSoft/KavuAntIzmSdr");
  ASSERT_EQ(test::RunCommand({"/bin/mkdir", "-p", dir}).exit_status, 0);
  const std::string file = dir + "/AntIzmSdr_2021.ini";
  for (const char* kind : {"FIFO", "folder"}) {
    const std::string made = std::string(kind) == "FIFO" ? "/usr/bin/mkfifo" : "/bin/mkdir";
    ASSERT_EQ(test::RunCommand({made, file}).exit_status, 0);
    // The child's time-out bounds a read that would wait for a writer to the FIFO.
    test::CommandResult r = test::RunCommand({cli, "config", "CDlgOptions", "m_ZondN"}, env, 30);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_NE(r.err.find(std::string("is a ") + kind), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("no key"), std::string::npos) << r.err;
    r = test::RunCommand({cli, "config", "CDlgOptions", "m_ZondN", "4"}, env, 30);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_NE(r.err.find(std::string("is a ") + kind), std::string::npos) << r.err;
    ASSERT_EQ(test::RunCommand({"/bin/rm", "-r", file}).exit_status, 0);
  }
}

}  // namespace
}  // namespace kavu
