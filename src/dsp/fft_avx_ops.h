#pragma once
// Register-level building blocks of the AVX FFT kernel, shared by the files compiled for AVX
// (fft_kernel_avx.cpp, fft_split_passes_avx.cpp) and included by nothing else. Every operation
// is the portable kernel's (fft_kernel.cpp) on the same operands in the same order:
//   butterfly  a ← a + b,  b ← (a − b) × w
//   product    d × w = (d.re·w.re − d.im·w.im, d.im·w.re + d.re·w.im)
// Twiddles come "duplicated" from the packed pass tables (fft_avx_pack.cpp): for the twiddles
// w(k), w(k+1) of one vector, 4 doubles (re k, re k, re k+1, re k+1) then (im k, im k, ...).
#if !defined(__AVX__)
#error "fft_avx_ops.h is only for files compiled for AVX"
#endif
#include <immintrin.h>

#include "dsp/fft_plan.h"

namespace kavu::fft_avx {

// Two complex values (re, im, re, im) per register.
// d × w with w duplicated: wr = (re, re, re', re'), wi = (im, im, im', im'); the addsub gives
// lane 0 d.re·w.re − d.im·w.im and lane 1 d.im·w.re + d.re·w.im.
inline __m256d MulDup(__m256d d, __m256d wr, __m256d wi) {
  return _mm256_addsub_pd(_mm256_mul_pd(d, wr), _mm256_mul_pd(_mm256_permute_pd(d, 0x5), wi));
}

// Butterfly of one stage on two registers of two values, twiddles duplicated at w.
inline void Bfly(__m256d& a, __m256d& b, const double* w) {
  const __m256d d = _mm256_sub_pd(a, b);
  a = _mm256_add_pd(a, b);
  b = MulDup(d, _mm256_load_pd(w), _mm256_load_pd(w + 4));
}

// Split form: four complex values as a register of real parts and one of imaginary parts. The
// product then needs no lane swap: re = d.re·w.re − d.im·w.im, im = d.im·w.re + d.re·w.im.
struct Quad {
  __m256d r, i;
};

// Butterfly of one stage on two quads. The duplicated twiddle registers serve as they are: the
// quads' lanes hold values with twiddles (k, k, k+1, k+1).
inline void BflyQ(Quad& a, Quad& b, const double* w) {
  const __m256d dr = _mm256_sub_pd(a.r, b.r);
  const __m256d di = _mm256_sub_pd(a.i, b.i);
  a.r = _mm256_add_pd(a.r, b.r);
  a.i = _mm256_add_pd(a.i, b.i);
  const __m256d wr = _mm256_load_pd(w), wi = _mm256_load_pd(w + 4);
  b.r = _mm256_sub_pd(_mm256_mul_pd(dr, wr), _mm256_mul_pd(di, wi));
  b.i = _mm256_add_pd(_mm256_mul_pd(di, wr), _mm256_mul_pd(dr, wi));
}

// Two registers of values (u, u+1) and (v, v+1) as the quad (u, v, u+1, v+1), and back.
inline Quad Split(__m256d a, __m256d b) { return {_mm256_unpacklo_pd(a, b), _mm256_unpackhi_pd(a, b)}; }
inline __m256d JoinLow(const Quad& q) { return _mm256_unpacklo_pd(q.r, q.i); }
inline __m256d JoinHigh(const Quad& q) { return _mm256_unpackhi_pd(q.r, q.i); }

// The block passes in split form (fft_split_passes_avx.cpp).
// True when `passes` run the stages len, len/2, ..., 8 of a block of len values in passes of two
// or three stages (what RunSplitPasses handles).
bool SplitPassesFit(const FftPassDesc* passes, int count, int len);
// Runs them on the block of len values at x (32-byte aligned); natural layout in and out.
void RunSplitPasses(const FftPassDesc* passes, int count, double* x, int len, const double* packed);

}  // namespace kavu::fft_avx
