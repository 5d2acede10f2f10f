#pragma once
// FftSetup: what every OMBPF2 made from it shares — the twiddle tables for sizes up to NNMax and
// the kernel chosen for this processor (with the AVX kernel's 512-bit flag). Immutable once made
// and shared by reference count: any number of threads and objects may use one setup at once,
// and two setups with different kernels or sizes live side by side without affecting each other.
//
// The program makes one at start-up (scan/fft_start_up.h, NNMax 65536, which also logs the
// choice) and hands it to everything that transforms; tests and benchmarks make their own.
#include <memory>
#include <string>

#include "dsp/fft_tables.h"
#include "dsp/ombpf2.h"

namespace kavu {

class FftSetup {
 public:
  // Builds the tables for sizes up to nn_max (FatalError
  // "BPF_GenSinTable() - ошибка, размеры неправильные !" unless nn_max is a power of two in
  // 1 ... 2^24) and takes the choice's kernel. A kernel this build does not contain or this
  // processor cannot run is taken as portable; the 512-bit path only with the AVX kernel and
  // where FftAvx512Available().
  static FftSetupPtr Make(int nn_max, const FftKernelChoice& choice);
  // The same with this processor's fastest kernel, nothing logged (tests and benchmarks).
  static FftSetupPtr ForHost(int nn_max);
  // The same with the portable kernel.
  static FftSetupPtr Portable(int nn_max);

  int NNMax() const { return tables_->nn_max; }
  FftKernel Kernel() const { return kernel_; }
  bool Avx512() const { return avx512_; }
  // The choice's processor report ("Is_AVX: ..." or the command-line line).
  const std::string& ProcessorReport() const { return report_; }
  const FftTables& Tables() const { return *tables_; }

 private:
  FftSetup(std::shared_ptr<const FftTables> tables, const FftKernelChoice& choice);

  std::shared_ptr<const FftTables> tables_;
  FftKernel kernel_;
  bool avx512_;
  std::string report_;
};

}  // namespace kavu
