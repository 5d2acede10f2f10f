#include "shell/settings_store.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <clocale>
#include <cmath>
#include <random>

#include "shell/log_console.h"
#include "shell/settings_binding.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

TEST(SettingsStore, ValuesRoundTripVerbatimIncludingAwkwardText) {
  test::TempDir dir;
  SettingsStore store(dir.File("sub/dir/s.ini"));
  EXPECT_EQ(store.GetProfileString("ODlgSpektr", "m_ScanDia", "140-150 0.5; 425-440 1"),
            "140-150 0.5; 425-440 1");
  const std::string awkward = "  a;b#c = d\\n\nline2\r\t end  ";
  ASSERT_TRUE(store.WriteProfileString("ODlgSpektr", "m_ScanDia", "140-150 0.5; 425-440 1"));
  ASSERT_TRUE(store.WriteProfileString("S", "awkward", awkward));
  ASSERT_TRUE(store.WriteProfileString("S", "empty", ""));
  ASSERT_TRUE(store.WriteProfileInt("S", "n", -90));
  EXPECT_EQ(store.GetProfileString("ODlgSpektr", "m_ScanDia", ""), "140-150 0.5; 425-440 1");
  EXPECT_EQ(store.GetProfileString("S", "awkward", ""), awkward);
  EXPECT_EQ(store.GetProfileString("S", "empty", "default"), "");
  EXPECT_EQ(store.GetProfileInt("S", "n", 0), -90);
  EXPECT_EQ(store.GetProfileInt("S", "missing", 17), 17);
  EXPECT_EQ(store.GetProfileInt("S", "awkward", 5), 5);

  // A second store on the same file sees everything (another process would too).
  SettingsStore again(dir.File("sub/dir/s.ini"));
  EXPECT_EQ(again.GetProfileString("S", "awkward", ""), awkward);
  const std::string text = test::ReadFile(dir.File("sub/dir/s.ini"));
  EXPECT_NE(text.find("m_ScanDia=140-150 0.5; 425-440 1\n"), std::string::npos) << text;

  std::string longest;
  for (int i = 0; i < 9000; ++i) longest += (i % 2) ? "ж" : "z";
  ASSERT_TRUE(store.WriteProfileString("S", "long", longest));
  const std::string back = store.GetProfileString("S", "long", "");
  EXPECT_EQ(back, longest.substr(0, 4096 * 3));  // 8,192 characters: 4,096 of each kind
}

TEST(SettingsStore, RealsRoundTripBitForBitAndNonFiniteReadsAsDefault) {
  test::TempDir dir;
  SettingsStore store(dir.File("s.ini"));
  std::mt19937_64 rng(7);
  for (int i = 0; i < 200; ++i) {
    double v = std::bit_cast<double>(rng());
    if (!std::isfinite(v)) continue;
    ASSERT_TRUE(store.WriteProfileDouble("R", "v", v));
    EXPECT_EQ(std::bit_cast<uint64_t>(store.GetProfileDouble("R", "v", 0.0)),
              std::bit_cast<uint64_t>(v));
  }
  for (double v : {0.1, -0.0, 5e-324, 1.7976931348623157e308, 144e6}) {
    store.WriteProfileDouble("R", "v", v);
    EXPECT_EQ(std::bit_cast<uint64_t>(store.GetProfileDouble("R", "v", 1.0)),
              std::bit_cast<uint64_t>(v));
  }
  store.WriteProfileDouble("R", "v", NAN);
  EXPECT_EQ(store.GetProfileDouble("R", "v", 3.5), 3.5);
  for (const char* stored : {"nan", "inf", "-inf", "1e400", "2.5abc", "", "abc"}) {
    store.WriteProfileString("R", "t", stored);
    EXPECT_EQ(store.GetProfileDouble("R", "t", 3.5), 3.5) << stored;
  }
}

TEST(SettingsStore, ADamagedFileReadsAsDefaultsAndIsRepairedByTheNextWrite) {
  test::TempDir dir;
  test::WriteFile(dir.File("s.ini"),
                  "garbage before any section\n[A]\nno equals sign\n=novalue\nk=1\n[B\nx=2\n"
                  "\x01\x02\xff binary junk\n");
  SettingsStore store(dir.File("s.ini"));
  EXPECT_EQ(store.GetProfileInt("A", "k", 0), 1);
  EXPECT_EQ(store.GetProfileInt("A", "x", 0), 2);  // "[B" is not a section header
  ASSERT_TRUE(store.WriteProfileInt("C", "y", 3));
  EXPECT_EQ(store.GetProfileInt("A", "k", 0), 1);
  EXPECT_EQ(store.GetProfileInt("C", "y", 0), 3);
  EXPECT_FALSE(store.WriteProfileInt("C", "bad=key", 1));
}

TEST(SettingsStore, RealEditsParseWithAPointInARussianLocale) {
  ASSERT_NE(std::setlocale(LC_ALL, "ru_RU.UTF-8"), nullptr)
      << "the ru_RU.UTF-8 locale must be installed (scripts/setup.sh generates it)";
  test::ScopedSettings settings;
  EXPECT_EQ(SaveRealEditText("T", "m_R", "2.5", 1.0, 0.0, 10.0), 2.5);
  EXPECT_EQ(Settings().GetProfileDouble("T", "m_R", 0.0), 2.5);
  EXPECT_EQ(FormatEditReal(2.5), "2.5");
  EXPECT_EQ(SaveMHzEditText("T", "m_FM_Gen", "7,1"), 7.1e6);
  std::setlocale(LC_ALL, "C");
}

TEST(SettingsBinding, EditsListsAndChecksFollowTheSharedRules) {
  test::ScopedSettings settings;
  // Real edit: default, range, clamping, unparsable and non-finite text.
  EXPECT_EQ(LoadRealEdit("T", "m_X", 50.0, 1.0, 100.0), 50.0);
  Settings().WriteProfileDouble("T", "m_X", 500.0);
  EXPECT_EQ(LoadRealEdit("T", "m_X", 50.0, 1.0, 100.0), 50.0);  // out of range: the default
  EXPECT_EQ(SaveRealEditText("T", "m_X", "250", 50.0, 1.0, 100.0), 100.0);
  EXPECT_EQ(SaveRealEditText("T", "m_X", "letters", 50.0, 1.0, 100.0), 50.0);
  EXPECT_EQ(SaveRealEditText("T", "m_X", "nan", 50.0, 1.0, 100.0), 50.0);
  EXPECT_EQ(SaveRealEditText("T", "m_X", "inf", 50.0, 1.0, 100.0), 50.0);
  EXPECT_EQ(FormatEditReal(140.5), "140.5");
  EXPECT_EQ(FormatEditReal(144.0), "144");
  // Frequency edits in MHz.
  EXPECT_EQ(SaveMHzEditText("ODlgSpektr", "m_FM_Gen", "7,1"), 7.1e6);
  EXPECT_EQ(Settings().GetProfileDouble("ODlgSpektr", "m_FM_Gen", 0), 7.1e6);
  EXPECT_EQ(ParseMHzEditText("letters"), 144.123e6);
  // Lists, integers and checks.
  Settings().WriteProfileInt("T", "m_List", 9);
  EXPECT_EQ(LoadListIndex("T", "m_List", 1, 5), 0);
  Settings().WriteProfileInt("T", "m_List", -1);
  EXPECT_EQ(LoadListIndex("T", "m_List", 1, 5), 0);
  Settings().WriteProfileInt("T", "m_List", 4);
  EXPECT_EQ(LoadListIndex("T", "m_List", 1, 5), 4);
  EXPECT_EQ(SaveIntEditText("ODlgSpektr", "m_GrMin", " -95 dB"), -95);
  EXPECT_EQ(Settings().GetProfileInt("ODlgSpektr", "m_GrMin", 0), -95);
  EXPECT_TRUE(LoadCheck("T", "m_Check", true));
  SaveCheck("T", "m_Check", false);
  EXPECT_FALSE(LoadCheck("T", "m_Check", true));
}

// A child writes as fast as it can and is killed at random instants: the file must always parse
// and hold the old or the new value of every key, never a damaged file.
TEST(SettingsDurability, KillingAWriterAtAnyInstantLeavesTheOldOrTheNewFile) {
  test::TempDir dir;
  const std::string path = dir.File("s.ini");
  SettingsStore seed(path);
  ASSERT_TRUE(seed.WriteProfileString("D", "stable", "keep me"));
  std::mt19937 rng(42);
  for (int round = 0; round < 25; ++round) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      SettingsStore child(path);
      for (int i = 0;; ++i) {
        child.WriteProfileInt("D", "counter", i);
        child.WriteProfileString("D", "text", std::string(1000 + i % 3000, 'a' + i % 26));
      }
    }
    usleep(1000 + rng() % 20000);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    std::string text;
    text = test::ReadFile(path);
    SettingsStore reader(path);
    EXPECT_EQ(reader.GetProfileString("D", "stable", ""), "keep me") << "round " << round;
    const std::string t = reader.GetProfileString("D", "text", "");
    if (!t.empty()) {
      EXPECT_EQ(t, std::string(t.size(), t[0])) << "round " << round;
    }
    EXPECT_GE(reader.GetProfileInt("D", "counter", 0), 0);
    ASSERT_FALSE(text.empty()) << "round " << round;  // the seeded file is never lost
    EXPECT_EQ(text.back(), '\n');
  }
}

TEST(SettingsStore, AByteOrderMarkAndATwiceNamedSectionLoseNothing) {
  test::TempDir dir;
  const std::string path = dir.File("s.ini");
  // An editor saved the file with a byte-order mark, and a section was pasted in twice.
  test::WriteFile(path, "\xEF\xBB\xBF[First]\na=1\n\n[Second]\nb=2\nc=3\n[Third]\nd=4\n[Second]\nb=22\ne=5\n");
  SettingsStore store(path);
  EXPECT_EQ(store.GetProfileInt("First", "a", 0), 1);
  EXPECT_EQ(store.GetProfileInt("Second", "b", 0), 22);  // the later line wins, as within a section
  EXPECT_EQ(store.GetProfileInt("Second", "c", 0), 3);
  EXPECT_EQ(store.GetProfileInt("Second", "e", 0), 5);
  ASSERT_TRUE(store.WriteProfileInt("Second", "b", 7));
  ASSERT_TRUE(store.WriteProfileInt("Second", "c", 8));
  SettingsStore again(path);
  EXPECT_EQ(again.GetProfileInt("First", "a", 0), 1);  // the first section survived the write
  EXPECT_EQ(again.GetProfileInt("Second", "b", 0), 7);
  EXPECT_EQ(again.GetProfileInt("Second", "c", 0), 8);
  EXPECT_EQ(again.GetProfileInt("Second", "e", 0), 5);
  EXPECT_EQ(again.GetProfileInt("Third", "d", 0), 4);
  const std::string text = test::ReadFile(path);
  EXPECT_EQ(text.find("[Second]"), text.rfind("[Second]")) << text;
  EXPECT_EQ(text.find("\xEF\xBB\xBF"), std::string::npos) << text;
}

TEST(SettingsStore, KeysThatWouldNotReadBackAreRefusedWithAReason) {
  test::TempDir dir;
  SettingsStore store(dir.File("s.ini"));
  for (const char* key : {";note", "#x", "[y]", "a=b", " lead", "trail ", "two\nlines", ""}) {
    EXPECT_FALSE(SettingsStore::NameProblem("S", key).empty()) << key;
    EXPECT_FALSE(store.WriteProfileString("S", key, "v")) << key;
  }
  EXPECT_NE(SettingsStore::NameProblem("S", ";note").find("\";note\""), std::string::npos);
  EXPECT_FALSE(SettingsStore::NameProblem("a]b", "k").empty());
  EXPECT_FALSE(SettingsStore::NameProblem(" S", "k").empty());
  EXPECT_TRUE(SettingsStore::NameProblem("CDlgOptions", "m_a;b#c").empty());
  ASSERT_TRUE(store.WriteProfileString("S", "m_a;b#c", "v"));
  EXPECT_EQ(SettingsStore(dir.File("s.ini")).GetProfileString("S", "m_a;b#c", ""), "v");
}

TEST(SettingsStore, AWriteGroupWritesTheFileOnceWhenItEnds) {
  test::TempDir dir;
  const std::string path = dir.File("s.ini");
  SettingsStore store(path);
  ASSERT_TRUE(store.WriteProfileInt("S", "kept", 1));
  const std::string before = test::ReadFile(path);
  {
    SettingsStore::WriteGroup outer(store);
    EXPECT_TRUE(store.WriteProfileInt("S", "a", 1));
    EXPECT_TRUE(store.WriteProfileInt("S", "a", 2));  // the newer value wins
    {
      SettingsStore::WriteGroup inner(store);
      EXPECT_TRUE(store.WriteProfileString("T", "b", "x y"));
      EXPECT_TRUE(inner.End());  // an inner group waits for the outer one
    }
    EXPECT_FALSE(store.WriteProfileInt("S", "=bad", 1));  // names are still checked at once
    EXPECT_EQ(store.GetProfileInt("S", "a", 0), 2);       // reads see what is pending
    EXPECT_EQ(store.GetProfileString("T", "b", ""), "x y");
    EXPECT_EQ(test::ReadFile(path), before);              // the file is untouched meanwhile
    // Another process writes a key of its own meanwhile: the group's write keeps it.
    SettingsStore other(path);
    ASSERT_TRUE(other.WriteProfileInt("S", "theirs", 7));
    EXPECT_TRUE(outer.End());
  }
  SettingsStore reread(path);
  EXPECT_EQ(reread.GetProfileInt("S", "a", 0), 2);
  EXPECT_EQ(reread.GetProfileString("T", "b", ""), "x y");
  EXPECT_EQ(reread.GetProfileInt("S", "theirs", 0), 7);
  EXPECT_EQ(reread.GetProfileInt("S", "kept", 0), 1);
  EXPECT_FALSE(reread.GetRaw("S", "=bad"));
  // A group whose file cannot be written says so and loses its writes, not the file.
  const std::string blocked = dir.File("blocked");
  test::WriteFile(blocked, "");
  SettingsStore unwritable(blocked + "/s.ini");  // a file where its folder should be
  SettingsStore::WriteGroup g(unwritable);
  EXPECT_TRUE(unwritable.WriteProfileInt("S", "a", 1));
  EXPECT_FALSE(g.End());
  EXPECT_FALSE(g.Ok());
  EXPECT_EQ(unwritable.GetProfileInt("S", "a", 5), 5);
}

TEST(SettingsStore, ALinkToTheFileIsWrittenThrough) {
  test::TempDir dir;
  const std::string real = dir.File("real/s.ini");
  SettingsStore seed(real);
  ASSERT_TRUE(seed.WriteProfileString("S", "old", "1"));
  ASSERT_EQ(symlink("real/s.ini", dir.File("link.ini").c_str()), 0);
  SettingsStore store(dir.File("link.ini"));
  ASSERT_TRUE(store.WriteProfileString("S", "new", "2"));
  struct stat st {};
  ASSERT_EQ(lstat(dir.File("link.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(SettingsStore(real).GetProfileString("S", "new", ""), "2");
  EXPECT_EQ(SettingsStore(real).GetProfileString("S", "old", ""), "1");
}

TEST(SettingsDurability, TwoProcessesWritingDifferentKeysKeepBoth) {
  test::TempDir dir;
  const std::string path = dir.File("s.ini");
  constexpr int kWrites = 60;
  pid_t pids[2];
  for (int p = 0; p < 2; ++p) {
    pids[p] = fork();
    ASSERT_GE(pids[p], 0);
    if (pids[p] == 0) {
      SettingsStore store(path);
      for (int i = 0; i < kWrites; ++i) store.WriteProfileInt(p ? "B" : "A", "k" + std::to_string(i), i);
      _exit(0);
    }
  }
  for (pid_t pid : pids) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  SettingsStore reader(path);
  for (int i = 0; i < kWrites; ++i) {
    EXPECT_EQ(reader.GetProfileInt("A", "k" + std::to_string(i), -1), i);
    EXPECT_EQ(reader.GetProfileInt("B", "k" + std::to_string(i), -1), i);
  }
}

TEST(SettingsStore, DefaultPathFollowsXdgConfigHome) {
  const char* old = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = old ? old : "";
  setenv("XDG_CONFIG_HOME", "/tmp/xdg-test", 1);
  EXPECT_EQ(DefaultSettingsPath(), "/tmp/xdg-test/KavuPublicSoft/KavuAntIzmSdr/AntIzmSdr_2021.ini");
  setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
  EXPECT_TRUE(DefaultSettingsPath().ends_with("/.config/KavuPublicSoft/KavuAntIzmSdr/AntIzmSdr_2021.ini"));
  if (old) setenv("XDG_CONFIG_HOME", saved.c_str(), 1); else unsetenv("XDG_CONFIG_HOME");
}

TEST(SettingsStore, ALargeFileIsReadWholeWithTwiceNamedKeysAndSections) {
  // 300,000 keys over 300 sections, each section named twice and every tenth key repeated with
  // a later value, then 100,000 keys in one section: every key is found with its last value,
  // in first-seen order.
  std::string text;
  for (int pass = 0; pass < 2; ++pass) {
    for (int s = 0; s < 300; ++s) {
      text += "[S" + std::to_string(s) + "]\n";
      for (int k = pass * 500; k < pass * 500 + 500; ++k) text += "k" + std::to_string(k) + "=" + std::to_string(k) + "\n";
      if (pass == 1) {
        for (int k = 0; k < 1000; k += 10) text += "k" + std::to_string(k) + "=late" + std::to_string(s) + "\n";
      }
    }
  }
  text += "[Big]\n";
  for (int k = 0; k < 100'000; ++k) text += "m_Key" + std::to_string(k) + "=" + std::to_string(k) + "\n";
  text += "m_Key5=last\n";
  const auto sections = SettingsStore::Parse(text);
  ASSERT_EQ(sections.size(), 301u);
  size_t keys = 0;
  for (const auto& sec : sections) keys += sec.values.size();
  EXPECT_EQ(keys, 400'000u);
  ASSERT_EQ(sections[300].values.size(), 100'000u);
  EXPECT_EQ(sections[300].values[5].second, "last");
  EXPECT_EQ(sections[300].values[99'999].first, "m_Key99999");
  const auto& s7 = sections[7];
  EXPECT_EQ(s7.name, "S7");
  ASSERT_EQ(s7.values.size(), 1000u);
  EXPECT_EQ(s7.values[999].first, "k999");
  EXPECT_EQ(s7.values[999].second, "999");
  EXPECT_EQ(s7.values[10].second, "late7");
  EXPECT_EQ(s7.values[11].second, "11");

  // The same file through the store, read back key by key.
  test::TempDir dir;
  test::WriteFile(dir.File("big.ini"), text);
  SettingsStore store(dir.File("big.ini"));
  int wrong = 0;
  for (int s = 0; s < 300; s += 7) {
    for (int k = 0; k < 1000; ++k) {
      const std::string want = k % 10 == 0 ? "late" + std::to_string(s) : std::to_string(k);
      wrong += store.GetProfileString("S" + std::to_string(s), "k" + std::to_string(k), "") == want ? 0 : 1;
    }
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(store.GetProfileInt("S299", "k999", -1), 999);
  EXPECT_EQ(store.GetProfileInt("S300", "k1", -1), -1);
  EXPECT_EQ(store.GetProfileString("Big", "m_Key5", ""), "last");
  EXPECT_EQ(store.GetProfileInt("Big", "m_Key77777", -1), 77777);
}

TEST(SettingsStore, AnIntegerIsReadOnlyWhenTheWholeValueIsOneInteger) {
  test::TempDir dir;
  SettingsStore store(dir.File("s.ini"));
  struct Case {
    const char* text;
    int32_t want;  // with default 8080
  } cases[] = {
      {"1e3", 8080},  {"8080x", 8080}, {"80 80", 8080}, {"1.0", 8080}, {"", 8080},   {"-", 8080},
      {"+-5", 8080},  {"0x10", 8080},  {"99999999999", 8080},        {"12", 12},   {" 42 ", 42},
      {"-90", -90},   {"+7", 7},       {"2147483647", 2147483647},
  };
  Log().SetCapture(true);
  Log().TakeCaptured();
  int damaged = 0;
  for (const auto& c : cases) {
    const std::string key = std::string("m_Port") + std::to_string(&c - cases);
    ASSERT_TRUE(store.WriteProfileString("CDlgOptions", key, c.text));
    EXPECT_EQ(store.GetProfileInt("CDlgOptions", key, 8080), c.want) << '"' << c.text << '"';
    EXPECT_EQ(store.GetProfileInt("CDlgOptions", key, 8080), c.want) << '"' << c.text << '"';  // logged once
    damaged += c.want == 8080 ? 1 : 0;
  }
  // A damaged real too, and each damaged key named in exactly one log line.
  ASSERT_TRUE(store.WriteProfileString("R", "m_Real", "3.5x"));
  EXPECT_EQ(store.GetProfileDouble("R", "m_Real", 1.25), 1.25);
  EXPECT_EQ(store.GetProfileDouble("R", "m_Real", 1.25), 1.25);
  const std::string log = Log().TakeCaptured();
  Log().SetCapture(false);
  int lines = 0;
  for (size_t at = 0; (at = log.find("settings: [", at)) != std::string::npos; ++at) ++lines;
  EXPECT_EQ(lines, damaged + 1) << log;
  EXPECT_NE(log.find("m_Port0=\"1e3\" is not one integer; the default 8080 is used"), std::string::npos) << log;
  EXPECT_NE(log.find("[R] m_Real=\"3.5x\""), std::string::npos) << log;
  EXPECT_EQ(log.find("m_Port9="), std::string::npos) << log;  // "12" is sound
}

TEST(SettingsStore, AFifoOrAFolderAsTheFileIsReportedNotOpened) {
  test::TempDir dir;
  const std::string fifo = dir.File("fifo.ini");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_EQ(mkdir(dir.File("folder.ini").c_str(), 0700), 0);
  for (const auto& [path, says] : {std::pair<std::string, std::string>{fifo, "is a FIFO"},
                                   {dir.File("folder.ini"), "is a folder"}}) {
    SettingsStore store(path);
    Log().SetCapture(true);
    Log().TakeCaptured();
    EXPECT_EQ(store.GetProfileInt("S", "k", 3), 3);
    EXPECT_FALSE(store.GetRaw("S", "k").has_value());
    const std::string log = Log().TakeCaptured();
    Log().SetCapture(false);
    EXPECT_NE(store.ReadProblem().find(says), std::string::npos) << store.ReadProblem();
    EXPECT_NE(log.find(says), std::string::npos) << log;
    EXPECT_FALSE(store.WriteProfileInt("S", "k", 4));  // never replaced by a regular file
  }
  SettingsStore absent(dir.File("absent.ini"));
  EXPECT_EQ(absent.GetProfileInt("S", "k", 3), 3);
  EXPECT_EQ(absent.ReadProblem(), "");
}

}  // namespace
}  // namespace kavu
