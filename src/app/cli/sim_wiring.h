#pragma once
// The command line's wiring of the simulated hardware, shared by the commands that run it.
#include <signal.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "session/analyzer_session.h"
#include "sim/virtual_bench.h"

namespace kavu::cli {

// Board and chip faults (NAME, VALUE), injected once the bench runs.
using BenchFaults = std::vector<std::pair<std::string, std::string>>;

// Completes `opts` with the antenna LOAD and the impairments of `sets`; the faults among `sets`
// go to `faults`. 0, else the exit status after saying why (2).
int ParseBenchArgs(const char* name, const std::string& load, const std::vector<std::string>& sets,
                   sim::VirtualBenchOptions& opts, BenchFaults& faults);
// Injects `faults` into the running bench; 0, else 2 after saying why.
int InjectBenchFaults(const char* name, const BenchFaults& faults, sim::VirtualBench& bench);

// Starts `bench` with `opts` (whatever the caller chose already: folder, settings, library),
// the antenna LOAD in the bench's syntax and the impairments and board faults of `sets`
// (NAME=VALUE each; board faults are injected once the bench runs). Returns 0, else the exit
// status after saying why on standard error as command `name`: 2 for a bad LOAD or NAME=VALUE.
int StartBenchFromArgs(const char* name, const std::string& load, const std::vector<std::string>& sets,
                       sim::VirtualBenchOptions opts, sim::VirtualBench& bench);

// Makes a command's analyzer session: with `sim` (the bench's LOAD) the session starts the virtual
// bench with the impairments of `sets` first, and the faults of `sets` are injected once it runs.
// 0 with `out` made, else the exit status after saying why as command `name` (2: bad arguments).
int CreateSession(const char* name, const std::string* sim, const std::vector<std::string>& sets,
                  SessionOptions options, IWindowThread& window, INotice& notice,
                  std::unique_ptr<AnalyzerSession>& out);

// When $KAVU_BENCH_EVIDENCE names a folder, writes the bench's board command log and receiver
// log there (board-commands.log, receiver.log): what a failed test keeps. Call before Stop.
void WriteBenchEvidence(const sim::VirtualBench& bench);

// Blocks SIGINT, SIGTERM and SIGHUP in the calling thread (and so in the threads it starts
// afterwards) and returns that set, for the caller to wait on with sigtimedwait: a simulator that
// runs until interrupted then stops and cleans up on the thread that owns it.
sigset_t BlockStopSignals();

}  // namespace kavu::cli
