// kavusdraa-cli receivers: what receiver discovery finds, as the receiver list shows it.
#include <cstdio>

#include "app/cli/cli_command.h"
#include "receivers/receiver_set.h"
#include "sim/virtual_bench.h"

namespace kavu::cli {
namespace {

int RunReceivers(const std::vector<std::string>& args) {
  const bool on_bench = args.size() == 1 && args[0] == "--sim";
  if (!args.empty() && !on_bench) return Fail("receivers", "unknown arguments (see --help)", 2);
  // With --sim the virtual bench runs for the listing, with its own settings.
  sim::VirtualBench bench;
  if (on_bench) {
    std::string error;
    if (!bench.Start(sim::VirtualBenchOptions{}, &error)) return Fail("receivers", error);
  }
  // Discovery only: nothing streams, so small rings do.
  SampleRings rings(1024);
  IReceiverSetHost host;
  ReceiverSet set(rings, host);
  set.LoadSettings();
  set.Discover();
  std::printf("code\tkind\ttext\tkey\n");
  for (const ReceiverEntry& e : set.Entries()) {
    std::printf("%d\t%s\t%s\t%s\n", e.code, KindName(KindOfEntry(e.code)), e.text.c_str(),
                ReceiverKey(e).c_str());
  }
  return 0;
}

const CliRegistrar receivers_registrar(
    {"receivers", "the receivers discovery finds (code, kind, text, key)",
     "Usage: kavusdraa-cli receivers [--sim]\n\n"
     "Runs receiver discovery as the program does at start and prints the receiver list, one\n"
     "tab-separated line per entry: code, kind, list text and the key remembered for the entry\n"
     "(empty for placeholders). Codes: 2000000+i RTL-SDR device i, 3000000+i HackRF device i,\n"
     "0..63 SDRplay devices, 1000000 ExtIO plug-ins; -1 no SDRplay, -2 no ExtIO plug-in,\n"
     "-3 no RTL-SDR, -4 no HackRF. Libraries are looked for in the folders of the settings\n"
     "(empty: the program's folder, then the system's library path). With --sim the virtual\n"
     "bench runs meanwhile and its own settings are used: its simulated receiver is listed.\n"
     "The log goes to stderr.\n",
     RunReceivers});

}  // namespace
}  // namespace kavu::cli
