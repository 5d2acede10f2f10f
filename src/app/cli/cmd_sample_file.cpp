// kavusdraa-cli sample-file FILE: writes a small synthetic scan file (a series-resonant antenna
// seen through an ideal bridge) and shows it, so the file tools can be tried without hardware.
#include <cmath>
#include <complex>
#include <cstdio>
#include <memory>

#include "app/cli/cli_command.h"
#include "platform/atomic_file.h"
#include "platform/user_paths.h"
#include "results/ant_izm_file.h"
#include "results/ant_izms.h"

namespace kavu::cli {

int RunInfoCommand(const std::vector<std::string>& args);
int RunPointsCommand(const std::vector<std::string>& args);

namespace {

double LevelDb(std::complex<double> v) {
  const double p = std::norm(v);
  return p > 0 ? 10.0 * std::log10(p) : 0.0;
}

int RunSampleFile(const std::vector<std::string>& args) {
  if (args.size() != 1) return Fail("sample-file", "expects exactly one FILE (see --help)");
  const std::string& path = args[0];
  if (const std::string problem = OutputPathProblem(path); !problem.empty()) {
    return Fail("sample-file", "refusing to write: " + problem);
  }
  const size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0) MakeDirs(path.substr(0, slash));
  auto set = std::make_unique<AntIzms>(64);
  // Series RLC resonant at 145 MHz, R = 40 ohm, loaded Q about 10.
  const double f0 = 145e6, r = 40.0, q = 10.0;
  const double l = q * r / (2 * M_PI * f0), c = 1.0 / ((2 * M_PI * f0) * (2 * M_PI * f0) * l);
  const std::complex<double> reference(1000.0, 0.0);
  for (int i = 0; i <= 20; ++i) {
    const double f = 140e6 + 0.5e6 * i;
    const double w = 2 * M_PI * f;
    const std::complex<double> z(r, w * l - 1.0 / (w * c));
    const std::complex<double> gamma = (z - 50.0) / (z + 50.0);
    const std::complex<double> antenna = reference * gamma;
    AntIzm p = EmptyAntIzm();
    p.freqHz = f;
    p.a = p.aBpf = p.aAll = LevelDb(antenna);
    p.o = p.oBpf = p.oAll = LevelDb(reference);
    p.phase = -std::arg(gamma);  // phases are stored negated
    p.maxA = p.maxO = 60.0f;
    p.pause = p.pauseBpf = p.pauseAll = i == 0 ? -60.0f : PauseNotMeasured();
    set->Append(p);
  }
  std::string error;
  if (!WriteScanFile(path, set->Data(), set->Count(),
                     std::string("Пример: синтетический скан 140-150 МГц, не измерение"), &error)) {
    return Fail("sample-file", error);
  }
  std::printf("wrote %s\n\n", path.c_str());
  const int info = RunInfoCommand({path});
  std::printf("\n");
  return info != 0 ? info : RunPointsCommand({path});
}

const CliRegistrar registrar({"sample-file", "write a small synthetic scan file and show it",
                              "Usage: kavusdraa-cli sample-file FILE\n\n"
                              "Writes a small synthetic scan file (21 points, 140-150 MHz, a series\n"
                              "resonant antenna seen through an ideal bridge; not a measurement) and\n"
                              "shows it with info and points.\n",
                              RunSampleFile});

}  // namespace
}  // namespace kavu::cli
