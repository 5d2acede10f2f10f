#pragma once
// The command line of kavusdraa-bench, apart from the benchmarks themselves so it can be tested.
//
//   kavusdraa-bench                 every benchmark, each in a process of its own
//   kavusdraa-bench NAME...         the named ones, in the order given; a NAME that is no
//                                   benchmark's name selects those whose names start with it
//   kavusdraa-bench --list          the names, one a line
//   kavusdraa-bench --help | -h     usage and the names
//   kavusdraa-bench --here NAME     exactly one benchmark in this very process (what the runner
//                                   starts for each; for a debugger or a profiler)
//
// A NAME that selects nothing, an unknown option, --here with anything but one benchmark and
// --list with names are errors (BenchArgs::kError with the text; the caller exits with 2).
#include <string>
#include <vector>

namespace kavu::bench {

struct BenchArgs {
  enum Action { kRun, kRunHere, kList, kHelp, kError };
  Action action = kRun;
  std::vector<std::string> selected;  // kRun, kRunHere: the benchmarks to run, in order, once each
  std::string error;                  // kError: what is wrong, one line
};

// Parses the arguments after the program's name; `known` holds every benchmark's name.
BenchArgs ParseBenchArgs(const std::vector<std::string>& args, const std::vector<std::string>& known);

// The --help text: usage, how to run one or several, what the runner does, and the names.
std::string BenchHelpText(const std::vector<std::string>& known);

// "benchmarks: a, b, c" (for error messages).
std::string BenchNamesLine(const std::vector<std::string>& known);

}  // namespace kavu::bench
