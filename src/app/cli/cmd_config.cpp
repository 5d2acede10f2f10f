// kavusdraa-cli config [SECTION [KEY [VALUE]]]: shows or sets any setting of the program.
#include <cstdio>

#include "app/cli/cli_command.h"
#include "shell/settings_store.h"

namespace kavu::cli {
namespace {

int RunConfig(const std::vector<std::string>& args) {
  SettingsStore& s = Settings();
  if (args.size() > 3) return Fail("config", "takes at most SECTION KEY VALUE (see --help)", 2);
  // A settings file that is a folder or a FIFO is said to be one, not taken for an empty file.
  if (const std::string problem = s.ReadProblem(); !problem.empty() && args.size() < 3) {
    return Fail("config", "cannot read the settings: " + problem);
  }
  if (args.empty()) {
    std::printf("# %s\n", s.Path().c_str());
    for (const std::string& sec : s.Sections()) {
      std::printf("[%s]\n", sec.c_str());
      for (const auto& [k, v] : s.Keys(sec)) std::printf("%s=%s\n", k.c_str(), v.c_str());
    }
    return 0;
  }
  if (args.size() == 1) {
    const auto keys = s.Keys(args[0]);
    if (keys.empty()) return Fail("config", "no section \"" + args[0] + "\" in " + s.Path());
    for (const auto& [k, v] : keys) std::printf("%s=%s\n", k.c_str(), v.c_str());
    return 0;
  }
  if (args.size() == 2) {
    const auto v = s.GetRaw(args[0], args[1]);
    if (!v) return Fail("config", "no key \"" + args[1] + "\" in section \"" + args[0] + "\"");
    std::printf("%s\n", v->c_str());
    return 0;
  }
  if (const std::string problem = SettingsStore::NameProblem(args[0], args[1]); !problem.empty()) {
    return Fail("config", problem, 2);
  }
  if (!s.WriteProfileString(args[0], args[1], args[2])) {
    const std::string problem = s.ReadProblem();
    return Fail("config", "cannot write " + s.Path() + (problem.empty() ? "" : ": " + problem));
  }
  return 0;
}

const CliRegistrar config_registrar(
    {"config", "show or set any setting of the program",
     "Usage: kavusdraa-cli config [SECTION [KEY [VALUE]]]\n\n"
     "Without arguments prints the whole settings file (its path first, then every section\n"
     "and KEY=VALUE line); with SECTION the keys of that section; with SECTION KEY the stored\n"
     "value; with SECTION KEY VALUE stores VALUE (as text, exactly as the program reads it:\n"
     "numbers with '.' as the decimal point). Exit status 1 when the section or key is absent\n"
     "or the file cannot be written, 2 for a section or key that cannot be stored (a key\n"
     "starting with ';', '#' or '[', containing '=', blanks at either end). Examples:\n"
     "  kavusdraa-cli config CDlgOptions m_ZondN 4\n"
     "  kavusdraa-cli config CDlgOptions m_SaveResPath /home/me/scans\n",
     RunConfig});

}  // namespace
}  // namespace kavu::cli
