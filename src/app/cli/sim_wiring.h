#pragma once
// The command line's wiring of the simulated hardware, shared by the commands that run it.
#include <signal.h>

#include <string>
#include <vector>

#include "sim/virtual_bench.h"

namespace kavu::cli {

// Starts `bench` with `opts` (whatever the caller chose already: folder, settings, library),
// the antenna LOAD in the bench's syntax and the impairments and board faults of `sets`
// (NAME=VALUE each; board faults are injected once the bench runs). Returns 0, else the exit
// status after saying why on standard error as command `name`: 2 for a bad LOAD or NAME=VALUE.
int StartBenchFromArgs(const char* name, const std::string& load, const std::vector<std::string>& sets,
                       sim::VirtualBenchOptions opts, sim::VirtualBench& bench);

// When $KAVU_BENCH_EVIDENCE names a folder, writes the bench's board command log and receiver
// log there (board-commands.log, receiver.log): what a failed test keeps. Call before Stop.
void WriteBenchEvidence(const sim::VirtualBench& bench);

// Blocks SIGINT, SIGTERM and SIGHUP in the calling thread (and so in the threads it starts
// afterwards) and returns that set, for the caller to wait on with sigtimedwait: a simulator that
// runs until interrupted then stops and cleans up on the thread that owns it.
sigset_t BlockStopSignals();

}  // namespace kavu::cli
