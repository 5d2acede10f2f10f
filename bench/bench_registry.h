#pragma once
// Benchmarks of kavusdraa-bench. Each *_bench.cpp registers functions that print their figures
// as `name: value` lines (BenchPrint), measuring their anchor (FFTW, the board timeline, ...) in
// the same run. The runner starts each registered benchmark in a process of its own
// (bench_process.h), so a figure of the process's memory (PeakResidentMb) is that benchmark's.
#include <string>
#include <vector>

namespace kavu::bench {

using BenchFn = void (*)();

struct BenchRegistrar {
  BenchRegistrar(const char* name, BenchFn fn);
};

// Every registered benchmark's name, in the order of registration.
std::vector<std::string> BenchNames();
// Runs the benchmark of that name in this process; false when there is none or it failed.
bool RunBenchHere(const std::string& name);

// Prints "name: value".
void BenchPrint(const std::string& name, double value);
// Reports why the benchmark gave no figures ("kavusdraa-bench: why" on standard error); the
// process then ends with status 1.
void BenchFailed(const std::string& why);
// The peak resident memory of this process, MB (its benchmark's alone: see above).
double PeakResidentMb();

}  // namespace kavu::bench
