// The SSE3 FFT kernel: one complex value per register, stage by stage. Same values as the portable
// kernel bit for bit (see fft_kernel.cpp): the complex product is (d.re·w.re − d.im·w.im,
// d.im·w.re + d.re·w.im) through addsub, which rounds exactly as the scalar expression does.
// Uses only intrinsics and raw pointers (see FftJob).
#include "dsp/fft_plan.h"

#if defined(__SSE3__)
#include <pmmintrin.h>

namespace kavu {
namespace {

inline __m128d Mul(__m128d d, __m128d w) {
  const __m128d wr = _mm_movedup_pd(w);
  const __m128d wi = _mm_unpackhi_pd(w, w);
  const __m128d ds = _mm_shuffle_pd(d, d, 1);
  return _mm_addsub_pd(_mm_mul_pd(d, wr), _mm_mul_pd(ds, wi));
}

void Stage(double* x, int n, int s, const double* w) {
  const int half = s / 2;
  for (int base = 0; base < n; base += s) {
    double* lo = x + 2 * base;
    double* hi = lo + 2 * half;
    for (int k = 0; k < half; ++k) {
      const __m128d a = _mm_load_pd(lo + 2 * k);
      const __m128d b = _mm_load_pd(hi + 2 * k);
      _mm_store_pd(lo + 2 * k, _mm_add_pd(a, b));
      _mm_store_pd(hi + 2 * k, Mul(_mm_sub_pd(a, b), _mm_load_pd(w + 2 * k)));
    }
  }
}

void LastStage(double* x, int n) {
  for (int i = 0; i < n; i += 2) {
    const __m128d a = _mm_load_pd(x + 2 * i);
    const __m128d b = _mm_load_pd(x + 2 * i + 2);
    _mm_store_pd(x + 2 * i, _mm_add_pd(a, b));
    _mm_store_pd(x + 2 * i + 2, _mm_sub_pd(a, b));
  }
}

void Scale(double* x, int n, double factor) {
  const __m128d f = _mm_set1_pd(factor);
  for (int i = 0; i < n; ++i) _mm_store_pd(x + 2 * i, _mm_mul_pd(_mm_load_pd(x + 2 * i), f));
}

void Reorder(const FftJob& job) {
  for (size_t p = 0; p < job.swap_pairs; ++p) {
    double* a = job.x + 2 * job.swaps[2 * p];
    double* b = job.x + 2 * job.swaps[2 * p + 1];
    const __m128d va = _mm_load_pd(a);
    _mm_store_pd(a, _mm_load_pd(b));
    _mm_store_pd(b, va);
  }
}

}  // namespace

void FftRunSse3(const FftJob& job) {
  const int n = job.n;
  double* x = job.x;
  for (int s = n; s > 2; s /= 2) Stage(x, n, s, job.tw + 2 * (n - s));
  if (n >= 2) LastStage(x, n);
  if (job.scale) Scale(x, n, job.factor);
  Reorder(job);
  if (job.h) {
    for (int k = 0; k < n; ++k) _mm_store_pd(x + 2 * k, Mul(_mm_load_pd(x + 2 * k), _mm_loadu_pd(job.h + 2 * k)));
  }
}

}  // namespace kavu

#else
#include "shell/fatal_error.h"
namespace kavu {
void FftRunSse3(const FftJob&) { FatalError("BPF_Proc_SSE() - ядро SSE не собрано для этого процессора !!!"); }
}  // namespace kavu
#endif
