#pragma once
// The twiddle tables of OMBPF2 and the kernel choice, the two parts of an FftSetup.
// Nothing here logs or reads the command line: the caller passes the "AVX_Disable" switch in and
// logs the lines the choice returns.
//
// Layout for a largest size M: for stage sizes b = M, M/2, ..., 2 in this order, the c = b/2
// entries e^(-jπk/c), k = 0 ... c-1, then one zero entry: M entries in all. The sub-table for a
// size NN therefore starts at entry M - NN. The inverse table holds the exact complex conjugates.
#include <memory>
#include <string>
#include <vector>

#include "dsp/ombpf2.h"
#include "dsp/processor_probe.h"

namespace kavu {

struct FftTables {
  int nn_max = 0;
  std::unique_ptr<FftComplex[]> block;  // 2 * nn_max entries: forward table, then inverse table
  const FftComplex* Forward() const { return block.get(); }
  const FftComplex* Inverse() const { return block.get() + nn_max; }
};

// Builds the tables for largest size nn_max; FatalError
// "BPF_GenSinTable() - ошибка, размеры неправильные !" unless nn_max is a power of two in
// 1 ... 2^24.
std::shared_ptr<const FftTables> BPF_GenSinTable(int nn_max);

// The FFT kernel for a processor, decided from its answers alone (pure; every case testable on
// any machine, whether or not this build contains the kernel).
struct FftKernelChoice {
  FftKernel kernel = FftKernel::Portable;
  bool avx512 = false;   // the AVX kernel's 512-bit path; only ever with kernel Avx
  std::string report;    // "Is_AVX: ..." or the command-line line
  // The start-up's log lines after "OMBPF2::BPF2_InitGlobal NNMax = ", each ending in "\n":
  // the report, "SSE_Ver = n", "Use AVX ", "Use AVX-512 " or "Use SSE " as they apply.
  std::vector<std::string> lines;
};

// Probes `cpu` unless `avx_disabled` (the "AVX_Disable" switch: portable kernel, nothing asked).
// AVX when the processor and the OS allow it (with its 512-bit path when Avx512Usable), else SSE
// from SSE3 up, else portable.
FftKernelChoice ChooseFftKernel(const ICpuidSource& cpu, bool avx_disabled);

// True when this build contains the kernel (portable: always; the x86 kernels only on x86).
bool FftKernelCompiled(FftKernel k);

}  // namespace kavu
