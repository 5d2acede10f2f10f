// Settings-file reading: a file of N keys parsed as the program does at every start, against
// the anchor of merely splitting the same text into lines, in the same run.
//   settings_parse_<N>_keys_ms   SettingsStore::Parse of a file with N keys (best of 3)
//   settings_lines_<N>_keys_ms   the anchor: finding every line break of the same text
//   settings_parse_<N>_per_key_ns  parse time per key; about the same for 40,000 and 1,000,000
//                                keys when reading is linear
#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>

#include "bench_registry.h"
#include "shell/settings_store.h"

namespace kavu::bench {
namespace {

using Clock = std::chrono::steady_clock;

// N keys in one section named twice (the second half of its keys under the second heading),
// then a few small sections: the shape that made reading quadratic.
std::string SettingsText(int keys) {
  std::string text;
  for (int pass = 0; pass < 2; ++pass) {
    text += "[CDlgOptions]\n";
    for (int k = pass * keys / 2; k < (pass + 1) * keys / 2; ++k) {
      text += "m_Key" + std::to_string(k) + "=" + std::to_string(k) + "\n";
    }
  }
  for (int s = 0; s < 20; ++s) text += "[Section" + std::to_string(s) + "]\n";
  return text;
}

template <class F>
double BestMs(F&& f) {
  double best = 1e300;
  for (int i = 0; i < 3; ++i) {
    const auto t0 = Clock::now();
    f();
    best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
  }
  return best;
}

void SettingsBench() {
  for (const int keys : {40'000, 1'000'000}) {
    const std::string text = SettingsText(keys);
    size_t parsed_keys = 0, lines = 0;
    const double parse_ms = BestMs([&] {
      parsed_keys = 0;
      for (const auto& s : SettingsStore::Parse(text)) parsed_keys += s.values.size();
    });
    const double lines_ms = BestMs([&] {
      lines = 0;
      for (const char* p = text.data(); (p = static_cast<const char*>(std::memchr(p, '\n', text.data() + text.size() - p)));
           ++p) {
        ++lines;
      }
    });
    if (parsed_keys != static_cast<size_t>(keys) || lines == 0) {
      BenchFailed("the settings text of " + std::to_string(keys) + " keys parsed to " +
                  std::to_string(parsed_keys) + " keys");
      return;
    }
    const std::string n = std::to_string(keys);
    BenchPrint("settings_parse_" + n + "_keys_ms", parse_ms);
    BenchPrint("settings_lines_" + n + "_keys_ms", lines_ms);
    BenchPrint("settings_parse_" + n + "_per_key_ns", parse_ms * 1e6 / keys);
  }
}

const BenchRegistrar kRegister("settings", SettingsBench);

}  // namespace
}  // namespace kavu::bench
