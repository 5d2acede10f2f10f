#include "app/cli/sim_wiring.h"

#include <cstdlib>
#include <utility>

#include "app/cli/cli_command.h"
#include "sim/antenna_model.h"

namespace kavu::cli {

int ParseBenchArgs(const char* name, const std::string& load, const std::vector<std::string>& sets,
                   sim::VirtualBenchOptions& opts, BenchFaults& later) {
  std::string error;
  const auto model = sim::AntennaModel::Parse(load, &error);
  if (!model) return Fail(name, "--sim: " + error, 2);
  opts.antenna = *model;
  for (const std::string& s : sets) {
    const size_t eq = s.find('=');
    if (eq == std::string::npos) return Fail(name, "--sim-set expects NAME=VALUE, not \"" + s + "\"", 2);
    const std::string key = s.substr(0, eq), value = s.substr(eq + 1);
    if (key == sim::VirtualBench::kGenName) {
      opts.gen = value;
    } else if (key == sim::VirtualBench::kRxName) {
      if (!sim::VirtualBench::FindReceiver(value)) {
        std::string names;
        for (const sim::BenchReceiver& r : sim::VirtualBench::Receivers()) names += std::string(" ") + r.name;
        return Fail(name, "--sim-set: rx: неизвестный приёмник '" + value + "', ожидалось" + names, 2);
      }
      opts.rx = value;
    } else if (key == sim::VirtualBench::kBoardFaultName || key == sim::VirtualBench::kChipFaultName) {
      later.emplace_back(key, value);
    } else if (!opts.impairments.Set(key, value, &error)) {
      return Fail(name, "--sim-set: " + error, 2);
    }
  }
  return 0;
}

int InjectBenchFaults(const char* name, const BenchFaults& faults, sim::VirtualBench& bench) {
  std::string error;
  for (const auto& [key, value] : faults) {
    if (!bench.Set(key, value, &error)) return Fail(name, "--sim-set: " + error, 2);
  }
  return 0;
}

int StartBenchFromArgs(const char* name, const std::string& load, const std::vector<std::string>& sets,
                       sim::VirtualBenchOptions opts, sim::VirtualBench& bench) {
  BenchFaults later;
  if (const int status = ParseBenchArgs(name, load, sets, opts, later)) return status;
  std::string error;
  if (!bench.Start(opts, &error)) return Fail(name, error);
  return InjectBenchFaults(name, later, bench);
}

int CreateSession(const char* name, const std::string* sim, const std::vector<std::string>& sets,
                  SessionOptions options, IWindowThread& window, INotice& notice,
                  std::unique_ptr<AnalyzerSession>& out) {
  BenchFaults faults;
  if (sim) {
    options.bench.emplace();
    if (const int status = ParseBenchArgs(name, *sim, sets, *options.bench, faults)) return status;
  }
  std::string error;
  out = AnalyzerSession::Create(window, notice, std::move(options), &error);
  if (!out) return Fail(name, error);
  return out->Bench() ? InjectBenchFaults(name, faults, *out->Bench()) : 0;
}

void WriteBenchEvidence(const sim::VirtualBench& bench) {
  const char* folder = std::getenv("KAVU_BENCH_EVIDENCE");
  if (folder && *folder && bench.Running()) bench.WriteEvidence(folder);
}

sigset_t BlockStopSignals() {
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  return stop_signals;
}

}  // namespace kavu::cli
