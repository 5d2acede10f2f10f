#include "dsp/fft_tables.h"

#include <cmath>
#include <numbers>

#include "shell/fatal_error.h"

namespace kavu {
namespace {

constexpr int kLargestTable = 1 << 24;

const ProcessorProbe& HostProbe() {
  static const ProcessorProbe probe = ProbeProcessor(HostCpuid());
  return probe;
}

bool HostAvx512() {
  static const bool usable = Avx512Usable(HostCpuid());
  return usable;
}

}  // namespace

std::shared_ptr<const FftTables> BPF_GenSinTable(int nn_max) {
  // Walk the stage sizes the way the layout lays them out; they fill exactly nn_max entries
  // only when nn_max is a power of two.
  long long total = 1;  // the closing zero entry
  for (int b = nn_max; b >= 2; b /= 2) total += b / 2;
  if (nn_max < 1 || nn_max > kLargestTable || total != nn_max) {
    FatalError("BPF_GenSinTable() - ошибка, размеры неправильные !");
  }
  auto t = std::make_shared<FftTables>();
  t->nn_max = nn_max;
  t->block = std::make_unique<FftComplex[]>(2 * static_cast<size_t>(nn_max));
  FftComplex* fwd = t->block.get();
  FftComplex* inv = fwd + nn_max;
  size_t pos = 0;
  for (int b = nn_max; b >= 2; b /= 2) {
    const int c = b / 2;
    for (int k = 0; k < c; ++k, ++pos) {
      // (π·k)/c: the division by a power of two is exact, so entry 2k of a stage equals entry k
      // of the next smaller stage bit for bit.
      const double angle = (std::numbers::pi * k) / c;
      fwd[pos] = {std::cos(angle), -std::sin(angle)};
      inv[pos] = {fwd[pos].real(), -fwd[pos].imag()};
    }
  }
  fwd[pos] = inv[pos] = {0.0, 0.0};
  return t;
}

FftKernelChoice ChooseFftKernel(const ICpuidSource& cpu, bool avx_disabled) {
  FftKernelChoice c;
  if (avx_disabled) {  // switches the AVX kernel off, its 512-bit path with it
    c.report = "IsAVX: AVX и SSE отключены параметром командной строки";
    c.lines.push_back(c.report + "\n");
    return c;
  }
  const ProcessorProbe p = ProbeProcessor(cpu);
  c.report = p.report;
  c.lines.push_back(c.report + "\n");
  c.lines.push_back("SSE_Ver = " + std::to_string(p.sse_level) + "\n");
  if (p.avx_usable) {
    c.lines.push_back("Use AVX \n");
    c.kernel = FftKernel::Avx;
    c.avx512 = Avx512Usable(cpu);
    if (c.avx512) c.lines.push_back("Use AVX-512 \n");
  } else if (p.sse_level >= 30) {
    c.lines.push_back("Use SSE \n");
    c.kernel = FftKernel::Sse;
  }
  return c;
}

bool FftAvx512Available() { return FftKernelAvailable(FftKernel::Avx) && HostAvx512(); }

bool FftKernelCompiled(FftKernel k) {
#if defined(__x86_64__) || defined(__i386__)
  (void)k;
  return true;
#else
  return k == FftKernel::Portable;
#endif
}

bool FftKernelAvailable(FftKernel k) {
  if (!FftKernelCompiled(k)) return false;
  switch (k) {
    case FftKernel::Portable:
      return true;
    case FftKernel::Sse:
      return HostProbe().sse_level >= 30;
    case FftKernel::Avx:
      return HostProbe().avx_usable;
  }
  return false;
}

const char* FftKernelName(FftKernel k) {
  switch (k) {
    case FftKernel::Portable:
      return "portable";
    case FftKernel::Sse:
      return "sse";
    case FftKernel::Avx:
      return "avx";
  }
  return "?";
}

}  // namespace kavu
