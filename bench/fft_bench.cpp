// FFT benchmark: forward + inverse transform of 2048 and 65536 points with each kernel of OMBPF2
// and, as the anchor in the same run, with FFTW (in place, FFTW_MEASURE, unscaled).
//   fft<N>_<kernel>_ns       time of one forward + inverse pair, best of several batches
//                            (avx: the AVX kernel as chosen at start-up, with its 512-bit path
//                            where the processor has one; avx256: its 256-bit path alone, only
//                            printed on such processors)
//   fft<N>_fftw_ns           the same with FFTW
//   fft<N>_ratio_vs_fftw     fastest kernel ÷ FFTW (below 1: faster than FFTW)
//   fft<N>_bits_identical    1 when every kernel's result has the portable kernel's bits
#include <fftw3.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench_registry.h"
#include "dsp/fft_setup.h"
#include "dsp/ombpf2.h"

namespace kavu::bench {
namespace {

using Clock = std::chrono::steady_clock;

// Small but normal values: FFTW's unscaled pairs grow the data by n per round, and a batch must
// stay far from overflow (and from denormals at the start).
void Fill(FftComplex* x, int n, double magnitude) {
  std::mt19937_64 rng(12345);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int i = 0; i < n; ++i) x[i] = {magnitude * u(rng), magnitude * u(rng)};
}

// One contender: a forward + inverse pair on its own buffer.
struct Contender {
  std::string name;
  double magnitude = 1.0;
  std::function<void()> round;
  FftVector data;
  double best_ns = 1e300;
};

// Batches of the contenders alternate, so that a change in the machine's load hits them alike;
// each keeps its best batch.
void Measure(std::vector<Contender>& all, int n, int batches, int rounds) {
  for (int b = 0; b < batches; ++b) {
    for (Contender& c : all) {
      Fill(c.data.data(), n, c.magnitude);
      const auto t0 = Clock::now();
      for (int r = 0; r < rounds; ++r) c.round();
      const auto t1 = Clock::now();
      c.best_ns = std::min(c.best_ns, std::chrono::duration<double, std::nano>(t1 - t0).count() / rounds);
    }
  }
}

// The configurations measured: every available kernel, and the AVX kernel's 256-bit path on
// its own when the 512-bit one is in use.
struct Config {
  std::string name;
  FftKernel kernel;
  bool avx512;
};

std::vector<Config> Configs(const FftSetup& setup) {
  std::vector<Config> out;
  for (FftKernel k : {FftKernel::Portable, FftKernel::Sse, FftKernel::Avx}) {
    if (FftKernelAvailable(k)) out.push_back({FftKernelName(k), k, setup.Avx512()});
  }
  if (FftKernelAvailable(FftKernel::Avx) && setup.Avx512()) out.push_back({"avx256", FftKernel::Avx, false});
  return out;
}

bool ForwardBitsMatchPortable(const FftSetupPtr& setup, int n) {
  FftVector ref(static_cast<size_t>(n)), x(static_cast<size_t>(n));
  Fill(ref.data(), n, 1.0);
  OMBPF2 portable(setup, std::min(n, setup->NNMax()));
  portable.SetKernel(FftKernel::Portable);
  portable.BPF2(ref.data(), n);
  for (const Config& cfg : Configs(*setup)) {
    OMBPF2 fft(setup, std::min(n, setup->NNMax()));
    fft.SetKernel(cfg.kernel);
    fft.SetAvx512(cfg.avx512);
    Fill(x.data(), n, 1.0);
    fft.BPF2(x.data(), n);
    if (std::memcmp(x.data(), ref.data(), sizeof(FftComplex) * n) != 0) return false;
  }
  return true;
}

void RunSize(const FftSetupPtr& setup, int n, int batches, int rounds) {
  const std::string prefix = "fft" + std::to_string(n) + "_";
  std::vector<OMBPF2> transforms;
  const std::vector<Config> configs = Configs(*setup);
  transforms.reserve(configs.size());
  std::vector<Contender> all;
  for (const Config& cfg : configs) {
    OMBPF2& fft = transforms.emplace_back(setup, std::min(n, setup->NNMax()));
    fft.SetKernel(cfg.kernel);
    fft.SetAvx512(cfg.avx512);
    Contender& c = all.emplace_back();
    c.name = cfg.name;
    c.data.resize(static_cast<size_t>(n));
    FftComplex* x = c.data.data();
    c.round = [&fft, x, n] {
      fft.BPF2(x, n);
      fft.OBPF2(x, n);
    };
  }
  Contender& w = all.emplace_back();
  w.name = "fftw";
  w.magnitude = 1e-280;  // n^rounds · 1e-280 stays finite
  w.data.resize(static_cast<size_t>(n));
  auto* data = reinterpret_cast<fftw_complex*>(w.data.data());
  fftw_plan fwd = fftw_plan_dft_1d(n, data, data, FFTW_FORWARD, FFTW_MEASURE);
  fftw_plan inv = fftw_plan_dft_1d(n, data, data, FFTW_BACKWARD, FFTW_MEASURE);
  w.round = [fwd, inv] {
    fftw_execute(fwd);
    fftw_execute(inv);
  };
  Measure(all, n, batches, rounds);
  fftw_destroy_plan(fwd);
  fftw_destroy_plan(inv);
  double best_kernel = 1e300;
  for (const Contender& c : all) {
    BenchPrint(prefix + c.name + "_ns", c.best_ns);
    if (c.name != "fftw") best_kernel = std::min(best_kernel, c.best_ns);
  }
  BenchPrint(prefix + "ratio_vs_fftw", best_kernel / all.back().best_ns);
  BenchPrint(prefix + "bits_identical", ForwardBitsMatchPortable(setup, n) ? 1.0 : 0.0);
}

void FftBench() {
  const FftSetupPtr setup = FftSetup::ForHost(65536);
  RunSize(setup, 2048, 200, 100);  // 2048^100 · 1e-280 stays finite
  RunSize(setup, 65536, 20, 20);
}

const BenchRegistrar kRegister("fft", FftBench);

}  // namespace
}  // namespace kavu::bench
