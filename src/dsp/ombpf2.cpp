#include "dsp/ombpf2.h"

#include <cstdint>

#include "dsp/fft_plan.h"
#include "dsp/fft_setup.h"
#include "shell/fatal_error.h"

namespace kavu {
namespace {

constexpr int kMaxLog2 = 26;  // 64 Mi points: far above any size the program uses

bool IsPowerOfTwo(int n) { return n >= 1 && (n & (n - 1)) == 0; }

int Log2(int n) {
  int l = 0;
  while ((1 << l) < n) ++l;
  return l;
}

void CheckAlignment(FftKernel k, const FftComplex* data) {
  const auto addr = reinterpret_cast<std::uintptr_t>(data);
  if (k == FftKernel::Sse && addr % 16 != 0) {
    FatalError("BPF_Proc_SSE() - адрес входного массива не кратен 16 байт !!!");
  }
  if (k == FftKernel::Avx && addr % 32 != 0) {
    FatalError("BPF_Proc_AVX() - адрес входного массива не кратен 32 байтам (двум complexdouble) !!!");
  }
}

// A size that is not a power of two would leave values unprocessed: never transform it.
void CheckSize(int n, const char* caller) {
  if (!IsPowerOfTwo(n) || n > (1 << kMaxLog2)) {
    FatalError(std::string(caller) + " - NN не степень двойки (или больше 2^26), так нельзя !!!");
  }
}

}  // namespace

FftComplex FftMul(FftComplex a, FftComplex b) {
  return {a.real() * b.real() - a.imag() * b.imag(), a.imag() * b.real() + a.real() * b.imag()};
}

OMBPF2::OMBPF2(FftSetupPtr setup) : m_Setup(std::move(setup)), m_Plans(kMaxLog2 + 1) {
  if (!m_Setup) FatalError("OMBPF2::OMBPF2() - нет FftSetup (таблиц) !!!");
  m_Kernel = m_Setup->Kernel();
  m_Avx512 = m_Setup->Avx512();
}

OMBPF2::OMBPF2(FftSetupPtr setup, int nn) : OMBPF2(std::move(setup)) { SetNN(nn); }

OMBPF2::OMBPF2(const OMBPF2&) = default;
OMBPF2& OMBPF2::operator=(const OMBPF2&) = default;
OMBPF2::OMBPF2(OMBPF2&&) noexcept = default;
OMBPF2& OMBPF2::operator=(OMBPF2&&) noexcept = default;
OMBPF2::~OMBPF2() = default;

void OMBPF2::SetNN(int nn) {
  const FftTables& tables = m_Setup->Tables();
  if (nn > tables.nn_max) FatalError("BPF_GetSinTablePointer() - параметр NN > BaseNN !!!");
  if (!IsPowerOfTwo(nn)) FatalError("BPF_GetSinTablePointer() - параметр NN не степень двойки !!!");
  // Skip the sub-tables of the larger stage sizes: they take nn_max - nn entries.
  const size_t skip = static_cast<size_t>(tables.nn_max - nn);
  m_Forward = tables.Forward() + skip;
  m_Inverse = tables.Inverse() + skip;
  m_TableNN = nn;
  m_Plans.assign(kMaxLog2 + 1, nullptr);  // plans depend on the table size
  PlanFor(nn, "OMBPF2::SetNN()");
}

void OMBPF2::SetKernel(FftKernel k) {
  if (!FftKernelAvailable(k)) FatalError("OMBPF2::SetKernel() - это ядро недоступно на этом процессоре !!!");
  m_Kernel = k;
}

void OMBPF2::SetAvx512(bool on) {
  if (on && !FftAvx512Available()) {
    FatalError("OMBPF2::SetAvx512() - AVX-512 недоступен на этом процессоре !!!");
  }
  m_Avx512 = on;
}

const FftPlan& OMBPF2::PlanFor(int n, const char* caller) {
  CheckSize(n, caller);
  auto& slot = m_Plans[static_cast<size_t>(Log2(n))];
  if (!slot) slot = std::make_shared<const FftPlan>(BuildFftPlan(n, m_TableNN, m_Forward, m_Inverse));
  return *slot;
}

void OMBPF2::Run(FftComplex* data, int n, FftOp op, const FftComplex* h) {
  const bool inverse = op == FftOp::Inverse;
  const char* caller = inverse ? "OMBPF2::OBPF2()" : "OMBPF2::BPF2()";
  CheckSize(n, caller);
  if (n < m_TableNN) {
    FatalError(inverse ? "OMBPF2::OBPF2() - NN < m_TableNN, так нельзя, надо было вызвать SetNN()"
                       : "OMBPF2::BPF2() - NN < m_TableNN, так нельзя, надо было вызвать SetNN()");
  }
  const FftPlan& plan = PlanFor(n, caller);
  if (op == FftOp::ForwardMul && h == nullptr) FatalError("OMBPF2::BPF2Mul() - нет отклика h !!!");
  CheckAlignment(m_Kernel, data);
  const FftJob job = MakeFftJob(plan, data, op, h, m_Kernel == FftKernel::Avx && m_Avx512);
  switch (m_Kernel) {
    case FftKernel::Portable:
      FftRunPortable(job);
      break;
    case FftKernel::Sse:
      FftRunSse3(job);
      break;
    case FftKernel::Avx:
      FftRunAvx(job);
      break;
  }
}

void OMBPF2::BPF2(FftComplex* data, int n) { Run(data, n, FftOp::Forward, nullptr); }

void OMBPF2::OBPF2(FftComplex* data, int n) { Run(data, n, FftOp::Inverse, nullptr); }

void OMBPF2::BPF2Mul(FftComplex* data, int n, const FftComplex* h) { Run(data, n, FftOp::ForwardMul, h); }

void OMBPF2::FilterBPF2(FftComplex* data, int n, const FftComplex* h) {
  Run(data, n, FftOp::ForwardMul, h);
  Run(data, n, FftOp::Inverse, nullptr);
}

}  // namespace kavu
