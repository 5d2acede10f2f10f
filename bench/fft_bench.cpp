// FFT benchmark: forward + inverse transform of 2048 and 65536 points with each kernel of OMBPF2
// and, as the anchor in the same run, with FFTW (in place, FFTW_MEASURE, unscaled).
//   fft<N>_<kernel>_ns       time of one forward + inverse pair, best of several batches
//   fft<N>_fftw_ns           the same with FFTW
//   fft<N>_ratio_vs_fftw     fastest kernel ÷ FFTW (below 1: faster than FFTW)
//   fft<N>_bits_identical    1 when every kernel's result has the portable kernel's bits
#include <fftw3.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>
#include <string>

#include "bench_registry.h"
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

template <class Round>
double BestNsPerRound(int batches, int rounds, FftComplex* x, int n, double magnitude, Round round) {
  double best = 1e300;
  for (int b = 0; b < batches; ++b) {
    Fill(x, n, magnitude);
    const auto t0 = Clock::now();
    for (int r = 0; r < rounds; ++r) round();
    const auto t1 = Clock::now();
    best = std::min(best, std::chrono::duration<double, std::nano>(t1 - t0).count() / rounds);
  }
  return best;
}

void RunSize(int n, int batches, int rounds) {
  const std::string prefix = "fft" + std::to_string(n) + "_";
  FftVector x(static_cast<size_t>(n)), reference(static_cast<size_t>(n));
  double best_kernel = 1e300;
  bool identical = true;
  for (FftKernel k : {FftKernel::Portable, FftKernel::Sse, FftKernel::Avx}) {
    if (!FftKernelAvailable(k)) continue;
    OMBPF2 fft(std::min(n, BPF2_NNMax()));
    fft.SetKernel(k);
    fft.BPF2(x.data(), n);  // warm up (plan, caches)
    const double ns = BestNsPerRound(batches, rounds, x.data(), n, 1.0, [&] {
      fft.BPF2(x.data(), n);
      fft.OBPF2(x.data(), n);
    });
    BenchPrint(prefix + FftKernelName(k) + "_ns", ns);
    best_kernel = std::min(best_kernel, ns);
    Fill(x.data(), n, 1.0);
    fft.BPF2(x.data(), n);
    if (k == FftKernel::Portable) {
      reference = x;
    } else {
      identical = identical && std::memcmp(x.data(), reference.data(), sizeof(FftComplex) * n) == 0;
    }
  }
  auto* data = reinterpret_cast<fftw_complex*>(x.data());
  fftw_plan fwd = fftw_plan_dft_1d(n, data, data, FFTW_FORWARD, FFTW_MEASURE);
  fftw_plan inv = fftw_plan_dft_1d(n, data, data, FFTW_BACKWARD, FFTW_MEASURE);
  const double fftw_ns = BestNsPerRound(batches, rounds, x.data(), n, 1e-280, [&] {
    fftw_execute(fwd);
    fftw_execute(inv);
  });
  fftw_destroy_plan(fwd);
  fftw_destroy_plan(inv);
  BenchPrint(prefix + "fftw_ns", fftw_ns);
  BenchPrint(prefix + "ratio_vs_fftw", best_kernel / fftw_ns);
  BenchPrint(prefix + "bits_identical", identical ? 1.0 : 0.0);
}

void FftBench() {
  BPF2_InitGlobal(65536);
  RunSize(2048, 40, 100);  // 2048^100 · 1e-280 stays finite
  RunSize(65536, 10, 20);
}

const BenchRegistrar kRegister("fft", FftBench);

}  // namespace
}  // namespace kavu::bench
