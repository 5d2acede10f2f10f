#pragma once
// The program's FFT start-up: the step between the pure FFT code and the log and command line.
#include "dsp/fft_setup.h"

namespace kavu {

// Logs "OMBPF2::BPF2_InitGlobal NNMax = <nn_max>", chooses the kernel from this processor's
// answers (portable when "AVX_Disable" was on the command line), logs the choice's lines (the
// processor report, "SSE_Ver = ", "Use AVX " ...) and returns the setup with the tables for sizes
// up to nn_max and the chosen kernel, for everything that transforms (the program uses 65536).
// Each call makes a new, independent setup; nothing process-wide changes.
FftSetupPtr StartFft(int nn_max);

}  // namespace kavu
