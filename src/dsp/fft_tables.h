#pragma once
// The global twiddle tables of OMBPF2 and the start-up that builds them.
//
// Layout for a largest size M: for stage sizes b = M, M/2, ..., 2 in this order, the c = b/2
// entries e^(-jπk/c), k = 0 ... c-1, then one zero entry: M entries in all. The sub-table for a
// size NN therefore starts at entry M - NN. The inverse table holds the exact complex conjugates.
#include <memory>

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

// The tables of the last BPF2_InitGlobal (null before).
std::shared_ptr<const FftTables> CurrentFftTables();

// BPF2_InitGlobal with the processor answers taken from `cpu` (tests inject every case).
void BPF2_InitGlobal(int nn_max, const ICpuidSource& cpu);

}  // namespace kavu
