// Registering *.kant with the desktop in a temporary XDG data folder: the real tools
// (update-mime-database, update-desktop-database, xdg-mime) in an environment of the test's own.
#include "results/kant_file_type.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/desktop_file_type.h"
#include "platform/tool_process.h"
#include "platform/user_paths.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

std::vector<std::string> FilesIn(const std::string& dir, const std::string& suffix) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (const dirent* e = readdir(d)) {
      const std::string n = e->d_name;
      if (n.size() > suffix.size() && n.compare(n.size() - suffix.size(), suffix.size(), suffix) == 0) {
        names.push_back(n);
      }
    }
    closedir(d);
  }
  return names;
}

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// A desktop of the test's own: user folders in `home`, system data in `home`/system (empty
// unless a test puts a MIME database there), no desktop environment named, so xdg-mime takes
// its generic path.
struct Desktop {
  test::TempDir home;
  std::string data = home.File("data"), config = home.File("config"), system = home.File("system");
  std::vector<std::string> Env(const std::string& path = "/usr/bin:/bin") const {
    return {"HOME=" + home.Path(), "XDG_DATA_HOME=" + data, "XDG_CONFIG_HOME=" + config,
            "XDG_DATA_DIRS=" + system, "PATH=" + path};
  }
};

TEST(KantFileType, RegisteringTwiceLeavesOneTypeAndOneEntryWithTheNewExec) {
  Desktop desk;
  FileTypeRegistration r = RegisterDesktopFileType(KantFileType("/opt/old place/kavusdraa"), desk.Env());
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_FALSE(r.type_existed);
  EXPECT_EQ(r.mime_type, kKantMimeType);
  EXPECT_EQ(ExistingTypeOfGlob("*.kant", desk.Env()), kKantMimeType);
  EXPECT_EQ(ExistingTypeOfGlob("*.KANT", desk.Env()), kKantMimeType) << "the pattern is not case-sensitive";

  r = RegisterDesktopFileType(KantFileType("/usr/local/bin/kavusdraa"), desk.Env());
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_TRUE(r.type_existed);  // the first registration's own type, kept
  EXPECT_EQ(r.mime_type, kKantMimeType);
  EXPECT_EQ(FilesIn(desk.data + "/mime/packages", ".xml").size(), 1u);
  EXPECT_EQ(Count(test::ReadFile(desk.data + "/mime/globs2"), ":*.kant"), 1);
  const std::vector<std::string> entries = FilesIn(desk.data + "/applications", ".desktop");
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0], kKantDesktopId);
  const std::string entry = test::ReadFile(r.desktop_file);
  EXPECT_NE(entry.find("\nExec=\"/usr/local/bin/kavusdraa\" %f\n"), std::string::npos) << entry;
  EXPECT_EQ(entry.find("old place"), std::string::npos) << entry;
  EXPECT_NE(entry.find(std::string("\nMimeType=") + kKantMimeType + ";\n"), std::string::npos) << entry;
  const ToolRun valid = RunTool("desktop-file-validate", {r.desktop_file}, desk.Env(), 30000);
  EXPECT_TRUE(valid.Ok()) << valid.error;
  const std::string defaults = test::ReadFile(desk.config + "/mimeapps.list");
  EXPECT_EQ(Count(defaults, std::string(kKantMimeType) + "=" + kKantDesktopId), 1) << defaults;
  EXPECT_NE(KantRegistrationText(r).find("прошло успешно"), std::string::npos);
}

TEST(KantFileType, AnExistingTypeOfKantFilesIsKept) {
  Desktop desk;
  ASSERT_TRUE(MakeDirs(desk.system + "/mime"));
  test::WriteFile(desk.system + "/mime/globs2",
                  "# made by hand\n40:application/x-other-scan:*.kant\n50:text/plain:*.txt\n");
  const FileTypeRegistration r = RegisterDesktopFileType(KantFileType("/usr/bin/kavusdraa"), desk.Env());
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_TRUE(r.type_existed);
  EXPECT_EQ(r.mime_type, "application/x-other-scan");
  EXPECT_TRUE(FilesIn(desk.data + "/mime/packages", ".xml").empty()) << "no second type defined";
  EXPECT_NE(test::ReadFile(r.desktop_file).find("\nMimeType=application/x-other-scan;\n"), std::string::npos);
  EXPECT_NE(test::ReadFile(desk.config + "/mimeapps.list").find(std::string("application/x-other-scan=") + kKantDesktopId),
            std::string::npos);
  EXPECT_NE(KantRegistrationText(r).find("сохранён"), std::string::npos);
}

TEST(KantFileType, AMissingToolIsNamed) {
  Desktop desk;
  const std::string bin = desk.home.File("bin");
  ASSERT_TRUE(MakeDirs(bin));
  // Nothing on PATH: the first tool is missing, and the error names it (the files are written).
  FileTypeRegistration r = RegisterDesktopFileType(KantFileType("/usr/bin/kavusdraa"), desk.Env(bin));
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.failed, "update-mime-database");
  EXPECT_NE(r.error.find("update-mime-database не найдена"), std::string::npos) << r.error;
  EXPECT_NE(KantRegistrationText(r).find("update-mime-database"), std::string::npos);
  // The MIME tool there, the desktop database's tool not: that one is named.
  ASSERT_EQ(symlink("/usr/bin/update-mime-database", (bin + "/update-mime-database").c_str()), 0);
  r = RegisterDesktopFileType(KantFileType("/usr/bin/kavusdraa"), desk.Env(bin));
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.failed, "update-desktop-database");
  // A data folder that cannot be made (a file in its place) names the folder.
  Desktop blocked;
  test::WriteFile(blocked.data, "a file where the folder should be");
  r = RegisterDesktopFileType(KantFileType("/usr/bin/kavusdraa"), blocked.Env());
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.failed.find(blocked.data), std::string::npos) << r.failed;
}

TEST(KantFileType, ExecQuotesThePathForADesktopEntry) {
  EXPECT_EQ(DesktopExec("/opt/a b/kavusdraa"), "\"/opt/a b/kavusdraa\" %f");
  // Inside the quotes " ` $ \ take a backslash; the entry's own escape doubles every backslash.
  EXPECT_EQ(DesktopExec("/x/\"q\"/$HOME/`b`/c\\d"), "\"/x/\\\\\"q\\\\\"/\\\\$HOME/\\\\`b\\\\`/c\\\\\\\\d\" %f");
  EXPECT_EQ(DesktopExec("/x/100%/p"), "\"/x/100%%/p\" %f");
  EXPECT_EQ(DesktopExec("/x/new\nline"), "");
  // The MIME package written is the installed one, which defines the type named here.
  const DesktopFileType t = KantFileType("/p");
  EXPECT_NE(t.mime_xml.find(std::string("type=\"") + kKantMimeType + "\""), std::string::npos);
  EXPECT_NE(t.mime_xml.find("<glob pattern=\"*.kant\"/>"), std::string::npos);
}

}  // namespace
}  // namespace kavu
