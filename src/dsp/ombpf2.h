#pragma once
// OMBPF2: the program's one FFT — in-place radix-2 transform of complex doubles.
//
//   BPF2(x, n)  forward:  X[k] = (1/n) · Σ x[m] · e^(−j2πkm/n), output in natural order
//   OBPF2(X, n) inverse:  x[m] =         Σ X[k] · e^(+j2πkm/n), output in natural order (no scaling)
//   so OBPF2(BPF2(x)) = x (to rounding).
//
// Set-up: the twiddle tables and the kernel (AVX, SSE3 or portable) come from an FftSetup
// (dsp/fft_setup.h) given to every object; the program makes one at start-up with NNMax = 65536
// and this processor's fastest kernel. Every kernel gives bit-identical results, so the choice
// never changes a number, only the speed (signed zeros and infinities included; a NaN result is
// NaN in every kernel, its sign bit is the compiler's choice).
//
// Use (one object per thread; the live display, the block filter and the rate plan own one each):
//
//   OMBPF2 fft(setup);
//   fft.SetNN(2048);                   // selects the tables for 2048 and prepares the plan
//   FftVector buf(2048);               // 32-byte aligned storage; any 32-byte aligned memory works
//   fft.BPF2(buf.data(), 2048);        // forward, scaled by 1/2048
//   fft.OBPF2(buf.data(), 2048);       // inverse
//
// Fastest kernel: the object uses its setup's kernel, which the start-up chose as the fastest one
// this processor can run for every size; nothing to do. Call SetNN(n) once with the size you
// transform most (it prepares the plan then, so the first transform of that size does
// no allocation); transforms of a larger size also work (their larger stages generate their
// twiddles by running product, a little less accurate: ~1e-11 relative at 65536 from 2048) but
// prepare their own plan on first use (one allocation). Sizes from 16 on run the organised
// kernels (several stages per pass in registers, reordering fused into the last pass). On
// processors with AVX-512F (and an OS that saves the zmm registers) the AVX kernel runs these
// sizes with 512-bit registers; on this project's reference machine that does a 2048-point
// forward + inverse pair in about 0.7 of the time FFTW_MEASURE needs, 65536 points in about 0.92
// (its 256-bit path alone: about 1.02 and 1.3; see `kavusdraa-bench fft`).
//
// Block filter (forward, multiply by a response H, inverse): FilterBPF2() does the three steps
// with the multiply fused into the transform passes; the result is bit-identical to
//   BPF2(x, n); for k: x[k] = FftMul(x[k], h[k]); OBPF2(x, n);
// so a plain reference path and the fused path agree exactly. BPF2Mul() is the first two steps.
//
// Preconditions (each broken one is a broken internal invariant and stops the program through
// FatalError, never a wrong result): n is a power of two, n >= 1 and n >= TableNN();
// data is aligned to 32 bytes when the AVX kernel runs and to 16 bytes for SSE (aligning every
// buffer to 32 bytes satisfies all kernels); SetNN(nn) needs 1 <= nn <= the setup's NNMax(), nn a
// power of two. An object is used by one thread at a time; different objects may run concurrently.
#include <complex>
#include <cstddef>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace kavu {

using FftComplex = std::complex<double>;

// The complex product as every kernel computes it (no contraction, no special cases):
// (a.re·b.re − a.im·b.im, a.im·b.re + a.re·b.im), in this operand order. Compiled inside dsp/ without floating-point
// contraction, so it gives the same bits whatever the caller's compiler options.
FftComplex FftMul(FftComplex a, FftComplex b);

// Allocator giving 64-byte aligned storage (enough for every kernel).
template <class T>
struct FftAlignedAllocator {
  using value_type = T;
  static constexpr std::align_val_t kAlign{64};
  FftAlignedAllocator() = default;
  template <class U>
  FftAlignedAllocator(const FftAlignedAllocator<U>&) {}
  T* allocate(std::size_t n) { return static_cast<T*>(::operator new(n * sizeof(T), kAlign)); }
  void deallocate(T* p, std::size_t) { ::operator delete(p, kAlign); }
  template <class U>
  bool operator==(const FftAlignedAllocator<U>&) const { return true; }
};

// A transform buffer aligned for every kernel.
using FftVector = std::vector<FftComplex, FftAlignedAllocator<FftComplex>>;

enum class FftKernel : int { Portable = 0, Sse = 1, Avx = 2 };

// Name for logs and benchmarks: "portable", "sse", "avx".
const char* FftKernelName(FftKernel k);

// True when this build contains the kernel and the processor can run it (portable: always).
bool FftKernelAvailable(FftKernel k);
// The AVX kernel's 512-bit path (four complex values per register; same bits as every kernel):
// true when this build contains it, the processor has AVX-512F and the OS saves the zmm registers.
bool FftAvx512Available();

class FftSetup;
// Shared, immutable; keeps the tables alive as long as any object made from it.
using FftSetupPtr = std::shared_ptr<const FftSetup>;

struct FftPlan;
enum class FftOp;

class OMBPF2 {
 public:
  // No table selected yet (TableNN() = 0: every stage generates its twiddles); the setup's
  // kernel and 512-bit flag. FatalError "OMBPF2::OMBPF2() - нет FftSetup (таблиц) !!!" when
  // `setup` is null.
  explicit OMBPF2(FftSetupPtr setup);
  // Same as OMBPF2(setup) followed by SetNN(nn).
  OMBPF2(FftSetupPtr setup, int nn);
  OMBPF2(const OMBPF2&);
  OMBPF2& operator=(const OMBPF2&);
  OMBPF2(OMBPF2&&) noexcept;
  OMBPF2& operator=(OMBPF2&&) noexcept;
  ~OMBPF2();

  // Selects the setup's table part for size nn (BPF_GetSinTablePointer) and prepares the plan
  // for nn. FatalError "BPF_GetSinTablePointer() - параметр NN > BaseNN !!!" when nn is larger
  // than the setup's NNMax().
  void SetNN(int nn);
  int TableNN() const { return m_TableNN; }
  // The setup this object was made from.
  const FftSetupPtr& Setup() const { return m_Setup; }

  // Runs the given kernel from now on (tests and benchmarks). FatalError when it is not available.
  void SetKernel(FftKernel k);
  FftKernel Kernel() const { return m_Kernel; }
  // Lets the AVX kernel use its 512-bit path (on) or only its 256-bit path (off), for tests and
  // benchmarks; the default is the setup's Avx512(). FatalError when on and FftAvx512Available()
  // is false.
  void SetAvx512(bool on);
  bool Avx512() const { return m_Avx512; }

  // Forward transform of n values in place, scaled by 1/n, natural order.
  void BPF2(FftComplex* data, int n);
  // Inverse transform of n values in place, unscaled, natural order.
  void OBPF2(FftComplex* data, int n);
  // Forward transform, then data[k] = FftMul(data[k], h[k]) for every k. h: n values, any alignment.
  void BPF2Mul(FftComplex* data, int n, const FftComplex* h);
  // BPF2Mul followed by OBPF2: the block filter (circular convolution with the response h).
  void FilterBPF2(FftComplex* data, int n, const FftComplex* h);

 private:
  const FftPlan& PlanFor(int n, const char* caller);
  void Run(FftComplex* data, int n, FftOp op, const FftComplex* h);

  int m_TableNN = 0;
  FftKernel m_Kernel = FftKernel::Portable;
  bool m_Avx512 = false;
  FftSetupPtr m_Setup;  // keeps the tables alive; null only once moved from
  const FftComplex* m_Forward = nullptr;  // forward sub-table for m_TableNN
  const FftComplex* m_Inverse = nullptr;  // inverse sub-table for m_TableNN
  std::vector<std::shared_ptr<const FftPlan>> m_Plans;  // by log2(n)
};

}  // namespace kavu
