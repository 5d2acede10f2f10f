// The options window's keys of section "CDlgOptions": each has exactly one owner that binds,
// checks and stores it, and together the owners hold every key the window edits.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "board/gen_setup.h"
#include "board/si5351_config.h"
#include "receivers/receiver_settings.h"
#include "results/results_store.h"
#include "scan/options_model.h"
#include "scan/scan_options.h"
#include "shell/settings_store.h"
#include "support/temp_dir.h"
#include "web/http_server_settings.h"

namespace kavu {
namespace {

template <class S>
void Collect(std::span<const SettingBinding<S>> fields, const std::string& owner,
             std::map<std::string, std::vector<std::string>>& owners) {
  for (const auto& b : fields) owners[b.key].push_back(owner);
}

TEST(OptionsOwners, EveryKeyOfTheWindowHasExactlyOneOwner) {
  std::map<std::string, std::vector<std::string>> owners;
  Collect(ScanOptions::Bindings(), "ScanOptions", owners);
  Collect(GenSetupOptions::Bindings(), "GenSetupOptions", owners);
  Collect(Si5351Config::Bindings(), "Si5351Config", owners);
  Collect(HttpServerSettings::Bindings(), "HttpServerSettings", owners);
  Collect(OptionsWindowState::Bindings(), "OptionsWindowState", owners);
  for (const ReceiverSettings::Section& s : ReceiverSettings::Sections()) {
    if (std::string(s.name) == "CDlgOptions") Collect(s.fields, "ReceiverSettings", owners);
  }
  // The results folder is kept by the result store (ResultsFolder / SetResultsFolder).
  {
    test::ScopedSettings settings;
    ResultsStore::SetResultsFolder("/srv/scans");
    for (const auto& [key, value] : Settings().Keys("CDlgOptions")) owners[key].push_back("ResultsStore");
  }
  for (const auto& [key, who] : owners) {
    EXPECT_EQ(who.size(), 1u) << key << " has " << who.size() << " owners, the first " << who.front();
  }
  const std::vector<std::string> window_keys = {
      "m_Si5351_FrefHz", "m_Si5351_PPM", "m_Si5351_Out1Hz", "m_Si5351_Out2Hz", "m_Si5351_Out3Hz",
      "m_Si5351_MaxFOuts_0", "m_Si5351_MaxFOuts_1", "m_Si5351_MaxFOuts_2", "m_GenRfmCS", "m_GisterzisMyAru",
      "m_IsHttpServer", "m_HttpServerPort", "m_HttpServerAdr", "m_MinusGenDivider", "m_SynType", "m_Delay1_ms",
      "m_Delay1_CB", "m_MultyImpsTMax", "m_MultyPolosaUsed", "m_MultyPPS", "m_MultyPolosaRsp", "m_PolosaFM",
      "m_UpTimeGraphik_ms", "m_UpTimeVodopad_ms", "m_TZond10", "m_ZondN", "m_IsConvertor", "m_ConvertorFShift",
      "m_SaveResPath", "m_SaveName_IsDate", "m_SaveName_IsKsvMin", "m_SaveName_IsKsvMinFM",
      "m_SaveName_IsSdrMode", "m_SaveName_IsGenMode"};
  EXPECT_EQ(window_keys.size(), 34u);
  for (const std::string& key : window_keys) EXPECT_EQ(owners.count(key), 1u) << key << " has no owner";
  EXPECT_EQ(owners.size(), window_keys.size()) << "a key no window control edits";
}

}  // namespace
}  // namespace kavu
