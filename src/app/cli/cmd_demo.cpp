// kavusdraa-cli demo: a whole scan on the virtual bench with a built-in antenna.
#include "app/cli/cli_command.h"
#include "app/cli/scan_run.h"
#include "sim/antenna_model.h"

namespace kavu::cli {
namespace {

constexpr const char* kDemoRanges = "140-150 0.5; 425-440 1";

int RunDemo(const std::vector<std::string>& args) {
  if (!args.empty()) return Fail("demo", "takes no arguments (see --help)", 2);
  ScanRunArgs a;
  a.range = kDemoRanges;
  a.sim = sim::kDemoAntennaText;
  return RunScan("demo", a);
}

const CliRegistrar demo_registrar(
    {"demo", "a whole scan on the virtual bench (no hardware needed)",
     "Usage: kavusdraa-cli demo\n\n"
     "Runs the virtual bench (emulated control board, simulated receiver, bridge and antenna)\n"
     "and scans \"140-150 0.5; 425-440 1\" on it exactly as `kavusdraa-cli scan` does. The\n"
     "antenna is a series R-L-C (50 ohm, 100 nH, 12.05 pF) resonant at 145 MHz; the second\n"
     "range is measured on the Si5351's third harmonic. Prints one line per point (MHz, R, X,\n"
     "SWR), the range summaries and the saved file's path. The same as\n"
     "  kavusdraa-cli scan --sim series:R=50,L=100n,C=12.05p --range \"140-150 0.5; 425-440 1\"\n",
     RunDemo});

}  // namespace
}  // namespace kavu::cli
