#pragma once
// Register-level building blocks of the SSE3 FFT kernel, shared by the files compiled for SSE3
// (fft_kernel_sse3.cpp, fft_split_passes_sse3.cpp) and included by nothing else. Every operation
// is the portable kernel's (fft_kernel.cpp) on the same operands in the same order:
//   butterfly  a ← a + b,  b ← (a − b) × w
//   product    d × w = (d.re·w.re − d.im·w.im, d.im·w.re + d.re·w.im)
// Twiddles come "duplicated" from the packed pass tables (fft_avx_pack.cpp): for the twiddles
// w(k), w(k+1), 4 doubles (re k, re k, re k+1, re k+1) then (im k, im k, im k+1, im k+1); value
// j = 0 or 1 of the pair reads (re, re) at w + 2j and (im, im) at w + 4 + 2j.
#if !defined(__SSE3__)
#error "fft_sse3_ops.h is only for files compiled for SSE3"
#endif
#include <pmmintrin.h>

#include "dsp/fft_plan.h"

namespace kavu::fft_sse3 {

// d × w, one complex value (re, im) per register, w duplicated in memory: (re, re) at wr,
// (im, im) at wi.
inline __m128d MulDup(__m128d d, const double* wr, const double* wi) {
  return _mm_addsub_pd(_mm_mul_pd(d, _mm_load_pd(wr)), _mm_mul_pd(_mm_shuffle_pd(d, d, 1), _mm_load_pd(wi)));
}

// Butterfly with value j of the packed twiddle pair at w.
inline void Bfly(__m128d& a, __m128d& b, const double* w, int j) {
  const __m128d d = _mm_sub_pd(a, b);
  a = _mm_add_pd(a, b);
  b = MulDup(d, w + 2 * j, w + 4 + 2 * j);
}

// Split form: two complex values as a register of real parts and one of imaginary parts; the
// product needs no swap: re = d.re·w.re − d.im·w.im, im = d.im·w.re + d.re·w.im.
struct Duo {
  __m128d r, i;
};

// Butterfly on two duos whose values share the twiddle (value j of the pair at w).
inline void BflyD(Duo& a, Duo& b, const double* w, int j) {
  const __m128d dr = _mm_sub_pd(a.r, b.r);
  const __m128d di = _mm_sub_pd(a.i, b.i);
  a.r = _mm_add_pd(a.r, b.r);
  a.i = _mm_add_pd(a.i, b.i);
  const __m128d wr = _mm_load_pd(w + 2 * j), wi = _mm_load_pd(w + 4 + 2 * j);
  b.r = _mm_sub_pd(_mm_mul_pd(dr, wr), _mm_mul_pd(di, wi));
  b.i = _mm_add_pd(_mm_mul_pd(di, wr), _mm_mul_pd(dr, wi));
}

// Values u and v as the duo (u, v), and back.
inline Duo Split(__m128d a, __m128d b) { return {_mm_unpacklo_pd(a, b), _mm_unpackhi_pd(a, b)}; }
inline __m128d JoinLow(const Duo& d) { return _mm_unpacklo_pd(d.r, d.i); }
inline __m128d JoinHigh(const Duo& d) { return _mm_unpackhi_pd(d.r, d.i); }

// The block passes in split form (fft_split_passes_sse3.cpp), the same organisation and memory
// layout as the AVX kernel's (fft_split_passes_avx.cpp), one column of a pair at a time.
// True when `passes` run the stages len, len/2, ..., 8 of a block of len values in passes of two
// or three stages (what RunSplitPasses handles).
bool SplitPassesFit(const FftPassDesc* passes, int count, int len);
// Runs them on the block of len values at x (16-byte aligned); natural layout in and out.
void RunSplitPasses(const FftPassDesc* passes, int count, double* x, int len, const double* packed);

}  // namespace kavu::fft_sse3
