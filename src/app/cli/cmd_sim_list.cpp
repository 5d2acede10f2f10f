// kavusdraa-cli sim-list: every setting of the virtual bench with its default, and the faults
// the emulated board can be told to commit.
#include <cstdio>

#include "app/cli/cli_command.h"
#include "sim/bench_impairments.h"
#include "sim/board_fault.h"
#include "sim/spi_chip_model.h"
#include "sim/virtual_bench.h"

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
                    sim::BoardFaultKind::kI2cNack, sim::BoardFaultKind::kUnplug, sim::BoardFaultKind::kProtect}) {
    std::printf(" %s", sim::BoardFaultName(kind));
  }
  std::printf("\n  board_fault=NAME[:COMMAND[:COUNT[:MS]]]: COMMAND in hex (any when absent), COUNT of\n"
              "  matching commands (1 when absent, -1 every one), MS how late a late-reply comes (1500)");
  std::printf("\n\ngenerators (gen=KIND, the board's generator, selected in the bench's settings):\n");
  for (const sim::SpiChipKind& k : sim::SpiChipKinds()) std::printf("  %-9s %s\n", k.name, k.meaning);
  std::printf("receivers (rx=NAME, the simulated receiver loaded and selected in the bench's settings):\n");
  for (const sim::BenchReceiver& r : sim::VirtualBench::Receivers()) std::printf("  %-12s %s\n", r.name, r.meaning);
  std::printf("chip faults (chip_fault=NAME, the SPI generator on CS0):");
  for (auto f : {sim::SpiChipFault::kWrongType, sim::SpiChipFault::kCtsStuck,
                 sim::SpiChipFault::kCtsWrong, sim::SpiChipFault::kReadBack, sim::SpiChipFault::kNone}) {
    std::printf(" %s", sim::SpiChipFaultName(f));
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
     "then the names of the faults the emulated board can commit, the generator chips the\n"
     "board can carry (gen=KIND), the receivers the bench can stand in for (rx=NAME) and the\n"
     "faults of those chips (chip_fault=NAME). Each setting\n"
     "is changed by name as NAME=VALUE where a bench is run.\n",
     RunSimList});

}  // namespace
}  // namespace kavu::cli
