// The AVX FFT kernel: two complex values per register. Same values as the portable kernel bit for
// bit (see fft_kernel.cpp): no FMA, the complex product through addsub.
// Uses only intrinsics and raw pointers (see FftJob).
#include "dsp/fft_plan.h"

#if defined(__AVX__)
#include <immintrin.h>

namespace kavu {
namespace {

inline __m256d Mul(__m256d d, __m256d w) {
  const __m256d wr = _mm256_movedup_pd(w);
  const __m256d wi = _mm256_permute_pd(w, 0xF);
  const __m256d ds = _mm256_permute_pd(d, 0x5);
  return _mm256_addsub_pd(_mm256_mul_pd(d, wr), _mm256_mul_pd(ds, wi));
}

inline __m128d Mul(__m128d d, __m128d w) {
  const __m128d wr = _mm_movedup_pd(w);
  const __m128d wi = _mm_permute_pd(w, 0x3);
  const __m128d ds = _mm_permute_pd(d, 0x1);
  return _mm_addsub_pd(_mm_mul_pd(d, wr), _mm_mul_pd(ds, wi));
}

void Stage(double* x, int n, int s, const double* w) {
  const int half = s / 2;
  for (int base = 0; base < n; base += s) {
    double* lo = x + 2 * base;
    double* hi = lo + 2 * half;
    for (int k = 0; k < half; k += 2) {
      const __m256d a = _mm256_load_pd(lo + 2 * k);
      const __m256d b = _mm256_load_pd(hi + 2 * k);
      _mm256_store_pd(lo + 2 * k, _mm256_add_pd(a, b));
      _mm256_store_pd(hi + 2 * k, Mul(_mm256_sub_pd(a, b), _mm256_load_pd(w + 2 * k)));
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

void FftRunAvx(const FftJob& job) {
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
void FftRunAvx(const FftJob&) { FatalError("BPF_Proc_AVX() - ядро AVX не собрано для этого процессора !!!"); }
}  // namespace kavu
#endif
