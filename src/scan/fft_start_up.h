#pragma once
// The program's FFT start-up: the step between the pure FFT code and the log and command line.
namespace kavu {

// Logs "OMBPF2::BPF2_InitGlobal NNMax = <nn_max>", chooses the kernel from this processor's
// answers (portable when "AVX_Disable" was on the command line), logs the choice's lines (the
// processor report, "SSE_Ver = ", "Use AVX " ...) and installs the tables for sizes up to
// nn_max with the chosen kernel. Call once before any transform (the program uses 65536).
void StartFft(int nn_max);

}  // namespace kavu
