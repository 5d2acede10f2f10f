// kavusdraa-cli options [KEY [VALUE]]: the options window without the window.
#include <cstdio>
#include <optional>

#include "app/cli/cli_command.h"
#include "platform/event_loop.h"
#include "session/analyzer_session.h"
#include "session/options_catalog.h"
#include "shell/error_box.h"
#include "shell/log_console.h"
#include "shell/settings_store.h"

namespace kavu::cli {
namespace {

constexpr const char* kName = "options";

void Print(const OptionEntry& e) {
  const std::string unit = e.unit.empty() ? "" : "in " + e.unit + "; ";
  std::printf("%s = %s\t(%sdefault %s; %s)\n", e.key.c_str(), e.value.c_str(), unit.c_str(), e.default_value.c_str(),
              e.range.c_str());
}

int RunOptions(const std::vector<std::string>& args) {
  if (args.size() > 2) return Fail(kName, "takes at most KEY VALUE (see --help)", 2);
  if (const std::string problem = Settings().ReadProblem(); !problem.empty()) {
    return Fail(kName, "cannot read the settings: " + problem);
  }
  // The model reads every option through its owner; the web server's through the session, which
  // is made (its station not started) only for that. The start-up notes of both (the Si5351's
  // limits, the generator list) are not this command's: it prints the option and its errors only.
  EventLoop loop;
  StderrNotice notice;
  SessionOptions o;
  o.station.ring_capacity = 1 << 16;
  o.station.chain_capacity = 1 << 16;
  o.station.results_capacity = 16;
  std::string error;
  Log().SetSink(OLogConsole::Sink::None);
  const std::unique_ptr<AnalyzerSession> session = AnalyzerSession::Create(loop, notice, o, &error);
  std::optional<OptionsModel> model;
  if (session) model.emplace(*session);
  Log().SetSink(OLogConsole::Sink::Stderr);
  if (!session) return Fail(kName, error);
  OptionsCatalog catalog(*model);
  if (args.empty()) {
    for (const OptionEntry& e : catalog.List()) Print(e);
    return 0;
  }
  if (!catalog.Find(args[0])) {
    return Fail(kName, "no option \"" + args[0] + "\" (kavusdraa-cli options lists them)", 2);
  }
  if (args.size() == 2) {
    if (const std::string why = catalog.Set(args[0], args[1]); why == OptionsCatalog::kNotWritten) {
      return Fail(kName, "cannot write " + Settings().Path() + "; nothing changed");
    } else if (!why.empty()) {
      return Fail(kName, args[0] + ": " + why + "; nothing changed", 2);
    }
    if (const std::string problem = Settings().ReadProblem(); !problem.empty()) {
      return Fail(kName, "cannot write the settings: " + problem);
    }
  }
  Print(*catalog.Find(args[0]));
  return 0;
}

const CliRegistrar options_registrar(
    {kName, "show or set the options of the options window",
     "Usage: kavusdraa-cli options [KEY [VALUE]]\n\n"
     "Without arguments lists every option of the options window as\n"
     "  KEY = VALUE<TAB>(in UNIT; default DEFAULT; RANGE)\n"
     "with VALUE as the window shows it; with KEY that option alone. KEY VALUE sets it as the\n"
     "window would: a field as if VALUE were typed into it and Enter pressed (in the field's\n"
     "unit: ms, kHz, MHz, ...; ',' or '.' as the decimal point), a list or check box as if its\n"
     "item VALUE (0, 1, ...) were chosen, a library or folder as if chosen in the file dialog.\n"
     "A value outside its range is stored as the window's check replaces it (a port of 70000\n"
     "gives 8888); the line printed afterwards shows what was kept. Keys are those of the\n"
     "settings file: KEY for section CDlgOptions, CDlgOptions_RfmGen0..2/KEY for the SPI\n"
     "generator slots (a power field only for the slot's generator kind), SECTION/KEY for the\n"
     "receiver libraries. Exit status 2, with nothing changed, for an unknown key or a value\n"
     "the window could not take; 1 when the settings cannot be read or written. Examples:\n"
     "  kavusdraa-cli options m_TZond10 3.5          probing slot 3.5 ms\n"
     "  kavusdraa-cli options m_MinusGenDivider 125  -5 V generator at 125 kHz (divider 80)\n"
     "  kavusdraa-cli options CDlgOptions_RfmGen0/m_GenRfmType 7\n",
     RunOptions});

}  // namespace
}  // namespace kavu::cli
