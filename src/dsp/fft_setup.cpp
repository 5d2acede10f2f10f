#include "dsp/fft_setup.h"

#include "dsp/processor_probe.h"

namespace kavu {

FftSetup::FftSetup(std::shared_ptr<const FftTables> tables, const FftKernelChoice& choice)
    : tables_(std::move(tables)),
      kernel_(FftKernelAvailable(choice.kernel) ? choice.kernel : FftKernel::Portable),
      avx512_(kernel_ == FftKernel::Avx && choice.avx512 && FftAvx512Available()),
      report_(choice.report) {}

FftSetupPtr FftSetup::Make(int nn_max, const FftKernelChoice& choice) {
  return FftSetupPtr(new FftSetup(BPF_GenSinTable(nn_max), choice));
}

FftSetupPtr FftSetup::ForHost(int nn_max) { return Make(nn_max, ChooseFftKernel(HostCpuid(), false)); }

FftSetupPtr FftSetup::Portable(int nn_max) { return Make(nn_max, FftKernelChoice{}); }

}  // namespace kavu
