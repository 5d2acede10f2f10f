// kavusdraa-cli options: the options window's keys listed and set by its rules, in a private
// settings file.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <utility>
#include <vector>

#include "support/run_command.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

class CliOptions : public ::testing::Test {
 protected:
  test::CommandResult Run(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {test::CliPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    return test::RunCommand(argv, env_);
  }
  std::string Stored(const std::string& section, const std::string& key) {
    const test::CommandResult r = Run({"config", section, key});
    return r.exit_status == 0 ? r.out.substr(0, r.out.size() - 1) : "(absent)";
  }
  // KEY → VALUE of every line of `options` (and KEY → the rest, in brackets).
  std::map<std::string, std::string> Values(const std::string& out,
                                            std::map<std::string, std::string>* details = nullptr) {
    std::map<std::string, std::string> values;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
      const size_t eq = line.find(" = "), tab = line.find('\t');
      if (eq == std::string::npos || tab == std::string::npos) continue;
      const std::string key = line.substr(0, eq);
      if (details) (*details)[key] = line.substr(tab + 1);
      values[key] = line.substr(eq + 3, tab - eq - 3);
    }
    return values;
  }
  std::string SettingsFile() { return test::ReadFile(home_.File("KavuPublicSoft/KavuAntIzmSdr/AntIzmSdr_2021.ini")); }

  test::TempDir home_;
  std::vector<std::string> env_ = {"XDG_CONFIG_HOME=" + home_.Path(), "HOME=" + home_.Path()};
};

TEST_F(CliOptions, TheWindowsRulesAndUnitsGiveTheDocumentedValues) {
  test::CommandResult r = Run({"options", "m_MinusGenDivider", "125"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.err, "") << "the analyzer's start-up notes are not this command's";
  EXPECT_EQ(r.out.substr(0, r.out.find('\t')), "m_MinusGenDivider = 125 КГц");
  EXPECT_EQ(Stored("CDlgOptions", "m_MinusGenDivider"), "80");
  ASSERT_EQ(Run({"options", "m_MinusGenDivider", "0,5"}).exit_status, 0);
  EXPECT_EQ(Stored("CDlgOptions", "m_MinusGenDivider"), "256");
  ASSERT_EQ(Run({"options", "m_TZond10", "63.0"}).exit_status, 0);
  EXPECT_EQ(Stored("CDlgOptions", "m_TZond10"), "630");
  ASSERT_EQ(Run({"options", "m_TZond10", "99"}).exit_status, 0);
  EXPECT_EQ(Stored("CDlgOptions", "m_TZond10"), "630");
  r = Run({"options", "m_TZond10", "0.04"});
  EXPECT_NE(r.out.find("m_TZond10 = 0.1\t(in ms; default 2; 0.1…63 (outside: the nearer end))"), std::string::npos)
      << r.out;
  EXPECT_EQ(Stored("CDlgOptions", "m_TZond10"), "1");
  r = Run({"options", "m_HttpServerPort", "70000"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.err.find("OMBPF2"), std::string::npos) << "the analyzer's start-up notes are not this command's";
  EXPECT_NE(r.out.find("m_HttpServerPort = 8888\t"), std::string::npos) << r.out;
  EXPECT_EQ(Stored("CDlgOptions", "m_HttpServerPort"), "8888");
  ASSERT_EQ(Run({"options", "m_HttpServerAdr", std::string(241, 'a')}).exit_status, 0);
  EXPECT_EQ(Stored("CDlgOptions", "m_HttpServerAdr"), "");
  // The ADF4351 reference: the slot's kind first, then 5 MHz gives 25 MHz; the slot being edited
  // stays the one it was.
  ASSERT_EQ(Run({"options", "CDlgOptions_RfmGen1/m_GenRfmType", "7"}).exit_status, 0);
  r = Run({"options", "CDlgOptions_RfmGen1/m_ADF4351_BaseFM", "5"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_NE(r.out.find("CDlgOptions_RfmGen1/m_ADF4351_BaseFM = 25\t"), std::string::npos) << r.out;
  EXPECT_EQ(Stored("CDlgOptions_RfmGen1", "m_ADF4351_BaseFM"), "25000000");
  ASSERT_EQ(Run({"options", "CDlgOptions_RfmGen1/m_ADF4351_BaseFM", "100,5"}).exit_status, 0);
  EXPECT_EQ(Stored("CDlgOptions_RfmGen1", "m_ADF4351_BaseFM"), "100500000");
  EXPECT_EQ(Run({"options", "m_GenRfmCS"}).out.substr(0, 14), "m_GenRfmCS = 0");
  // Kilohertz and megahertz fields keep hertz.
  ASSERT_EQ(Run({"options", "m_PolosaFM", "15"}).exit_status, 0);
  EXPECT_EQ(Stored("CDlgOptions", "m_PolosaFM"), "15000");
  ASSERT_EQ(Run({"options", "m_IsConvertor", "1"}).exit_status, 0);
  ASSERT_EQ(Run({"options", "m_ConvertorFShift", "-100"}).exit_status, 0);
  EXPECT_EQ(Stored("CDlgOptions", "m_ConvertorFShift"), "-100000000");
  EXPECT_EQ(Stored("CDlgOptions", "m_IsConvertor"), "1");
}

TEST_F(CliOptions, AWrongKeyOrValueSaysWhyAndChangesNothing) {
  ASSERT_EQ(Run({"options", "m_ZondN", "4"}).exit_status, 0);
  const std::string before = SettingsFile();
  ASSERT_FALSE(before.empty());
  struct Case {
    std::vector<std::string> args;
    std::string says;
  };
  const Case cases[] = {
      {{"options", "m_NoSuchKey", "1"}, "no option \"m_NoSuchKey\""},
      {{"options", "m_NoSuchKey"}, "no option \"m_NoSuchKey\""},
      {{"options", "CDlgOptions_RfmGen3/I.ppm", "1"}, "no option"},
      {{"options", "I.ppm", "1"}, "no option"},
      {{"options", "m_ZondN", "many"}, "\"many\" is not a whole number"},
      {{"options", "m_ZondN", "99999999999"}, "is not a whole number"},
      {{"options", "m_TZond10", "fast"}, "\"fast\" is not a number"},
      {{"options", "m_Si5351_PPM", "1e999"}, "is not a number"},
      {{"options", "m_SynType", "3"}, "\"3\" is not one of 0…2"},
      {{"options", "m_IsHttpServer", "yes"}, "is not one of 0…1"},
      {{"options", "CDlgOptions_RfmGen0/m_GenPowerRfm22", "3"}, "does not apply to slot 0"},
      {{"options", "ODlgRtlSdr/m_PathApiDllRtl", "/no/such/librtlsdr.so"}, "is not a file"},
      {{"options", "m_SaveResPath", ""}, "the folder is empty"},
      {{"options", "a", "b", "c"}, "takes at most KEY VALUE"},
  };
  for (const Case& c : cases) {
    const test::CommandResult r = Run(c.args);
    EXPECT_EQ(r.exit_status, 2) << c.args[1];
    EXPECT_NE(r.err.find(c.says), std::string::npos) << c.args[1] << ": " << r.err;
    EXPECT_EQ(r.out, "") << c.args[1];
    EXPECT_EQ(SettingsFile(), before) << c.args[1];
  }
}

TEST_F(CliOptions, ASettingsFileThatCannotBeWrittenIsNamed) {
  // A file where the settings folder should be: nothing can be written under it.
  test::WriteFile(home_.File("KavuPublicSoft"), "not a folder");
  const test::CommandResult r = Run({"options", "m_ZondN", "4"});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_NE(r.err.find("cannot write " + home_.File("KavuPublicSoft/")), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(test::ReadFile(home_.File("KavuPublicSoft")), "not a folder");
}

// The round trip over every key, in two halves that ctest runs side by side (each call starts
// the command afresh): the window's own section, then the slots' keys.
class CliOptionsRoundTrip : public CliOptions, public ::testing::WithParamInterface<bool> {
 protected:
  bool Mine(const std::string& key) const { return (key.find('/') != std::string::npos) == GetParam(); }
};

TEST_P(CliOptionsRoundTrip, EveryOptionListedSetsBackToItself) {
  test::CommandResult r = Run({"options"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  std::map<std::string, std::string> details;
  const std::map<std::string, std::string> shown = Values(r.out, &details);
  // Every key of the window: 34 of its own section, 9 per slot, 4 library folders.
  EXPECT_EQ(shown.size(), 34u + 3 * 9 + 4) << r.out;
  EXPECT_EQ(shown.at("m_UpTimeGraphik_ms"), "50");
  EXPECT_EQ(details.at("m_UpTimeGraphik_ms"), "(in ms; default 50; 10…1000 (outside: the nearer end))");
  EXPECT_EQ(shown.at("m_MinusGenDivider"), "250 КГц");
  EXPECT_EQ(details.at("m_HttpServerPort"), "(default 8888; 1…65535 (outside: the default))");
  EXPECT_EQ(shown.at("CDlgOptions_RfmGen2/m_GenRfmType"), "0");
  EXPECT_NE(shown.at("ODlgRtlSdr/m_PathApiDllRtl").find("рядом: "), std::string::npos);
  // Changed values first, so the round trip is not one of defaults only.
  // In this order: a slot's power field follows its kind.
  for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{{"m_Delay1_ms", "250"},
                                                                      {"m_Si5351_Out2Hz", "-1"},
                                                                      {"m_Si5351_FrefHz", "27"},
                                                                      {"CDlgOptions_RfmGen2/m_GenRfmType", "3"},
                                                                      {"CDlgOptions_RfmGen2/m_GenPowerRfm69", "17"},
                                                                      {"CDlgOptions_RfmGen2/RfmFixFM", "433.92"},
                                                                      {"m_SaveName_IsDate", "1"},
                                                                      {"m_MinusGenDivider", "0"},
                                                                      {"m_SaveResPath", home_.File("scans")}}) {
    ASSERT_EQ(Run({"options", key, value}).exit_status, 0) << key;
  }
  const std::map<std::string, std::string> changed = Values(Run({"options"}).out);
  EXPECT_EQ(changed.at("m_Si5351_Out2Hz"), "-1 (выкл)");
  EXPECT_EQ(changed.at("m_Si5351_FrefHz"), "27 МГц");
  EXPECT_EQ(changed.at("m_MinusGenDivider"), "Выкл (-5в не генерировать)");
  EXPECT_EQ(changed.at("CDlgOptions_RfmGen2/RfmFixFM"), "433.92");
  EXPECT_EQ(changed.at("m_SaveResPath"), home_.File("scans"));
  EXPECT_EQ(Stored("CDlgOptions_RfmGen2", "m_GenPowerRfm69"), "17");
  const std::string before = SettingsFile();
  int set_back = 0;
  for (const auto& [key, value] : changed) {
    if (!Mine(key)) continue;
    if (key.find("m_PathApiDll") != std::string::npos || key.find("m_PathExtIO") != std::string::npos) continue;
    ++set_back;
    const test::CommandResult set = Run({"options", key, value});
    if (key.find("m_GenPower") != std::string::npos || key.find("m_dds_Forma") != std::string::npos ||
        key.find("m_ADF4351") != std::string::npos) {
      continue;  // only the slot's own kind takes them (tested above)
    }
    EXPECT_EQ(set.exit_status, 0) << key << " " << value << ": " << set.err;
  }
  EXPECT_EQ(set_back, GetParam() ? 3 * 9 : 34);
  EXPECT_EQ(Values(Run({"options"}).out), changed);
  EXPECT_EQ(Stored("CDlgOptions", "m_Delay1_ms"), "250");
  EXPECT_EQ(Stored("CDlgOptions_RfmGen2", "m_GenPowerRfm69"), "17");
  EXPECT_FALSE(before.empty());
}

INSTANTIATE_TEST_SUITE_P(Keys, CliOptionsRoundTrip, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "OfTheSlots" : "OfTheWindow"; });

}  // namespace
}  // namespace kavu
