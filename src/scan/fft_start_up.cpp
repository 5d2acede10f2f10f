#include "scan/fft_start_up.h"

#include "shell/command_line.h"
#include "shell/log_console.h"

namespace kavu {

FftSetupPtr StartFft(int nn_max) {
  Log() << "OMBPF2::BPF2_InitGlobal NNMax = " << nn_max << "\n";
  const FftKernelChoice choice = ChooseFftKernel(HostCpuid(), AvxDisabledByCommandLine());
  for (const std::string& line : choice.lines) Log() << line;
  return FftSetup::Make(nn_max, choice);
}

}  // namespace kavu
