#pragma once
// Benchmarks of kavusdraa-bench. Each *_bench.cpp registers functions that print their figures
// as `name: value` lines (BenchPrint), measuring their anchor (FFTW, the board timeline, ...) in
// the same run.
#include <string>

namespace kavu::bench {

using BenchFn = void (*)();

struct BenchRegistrar {
  BenchRegistrar(const char* name, BenchFn fn);
};

// Prints "name: value".
void BenchPrint(const std::string& name, double value);

}  // namespace kavu::bench
