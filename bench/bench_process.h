#pragma once
// The processes of kavusdraa-bench: the runner starts every benchmark in a child process of its
// own (this program again, `--here NAME`), so that figures of a process's memory cover that one
// benchmark and nothing an earlier one used.
#include <string>

namespace kavu::bench {

// Runs `exe --here name` in a child process that writes where this one writes, and waits for it.
// Empty when it exited with status 0, else what went wrong ("exit status 1", "killed by signal
// 11", "could not start ...: reason").
std::string RunBenchInChild(const std::string& exe, const std::string& name);

// The peak resident memory of this process image (since it was started or last executed a
// program: VmHWM in /proc/self/status), KiB; getrusage's ru_maxrss when /proc cannot be read.
long PeakResidentKib();

}  // namespace kavu::bench
