// kavusdraa-cli sim-list: every setting of the virtual bench with its default, and the faults
// the emulated board can be told to commit.
#include <cstdio>

#include "app/cli/cli_command.h"
#include "sim/bench_impairments.h"
#include "sim/board_fault.h"

namespace kavu::cli {
namespace {

int RunSimList(const std::vector<std::string>& args) {
  if (!args.empty() && !(args.size() == 1 && args[0] == "list")) {
    return Fail("sim-list", "takes no arguments (see --help)", 2);
  }
  std::printf("%-14s %-10s %s\n", "name", "default", "meaning");
  std::fputs(sim::BenchImpairments::ListText().c_str(), stdout);
  std::printf("\nboard faults:");
  for (auto kind : {sim::BoardFaultKind::kNoReply, sim::BoardFaultKind::kShortReply,
                    sim::BoardFaultKind::kWrongByte, sim::BoardFaultKind::kLateReply,
                    sim::BoardFaultKind::kI2cNack, sim::BoardFaultKind::kUnplug}) {
    std::printf(" %s", sim::BoardFaultName(kind));
  }
  std::printf("\n");
  return 0;
}

const CliRegistrar sim_list_registrar(
    {"sim-list", "the virtual bench's settings with their defaults, and the board faults",
     "Usage: kavusdraa-cli sim-list\n\n"
     "Lists every setting of the virtual bench (name, default, meaning): the receiver's\n"
     "impairments (noise, quantisation level, DC spike, generator phase wander, generator and\n"
     "board clock errors, gain steps), the bench's bridge resistors, the receiver faults, and\n"
     "then the names of the faults the emulated board can commit. Each setting is changed by\n"
     "name as NAME=VALUE where a bench is run.\n",
     RunSimList});

}  // namespace
}  // namespace kavu::cli
