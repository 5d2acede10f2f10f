// The SSE3 FFT kernel: one complex value per register. Same values as the portable kernel bit for
// bit (see fft_kernel.cpp): the complex product is (d.re·w.re − d.im·w.im, d.im·w.re + d.re·w.im)
// through addsub, which rounds exactly as the scalar expression does. From 16 values on it follows
// the AVX kernel's organisation (fft_kernel_avx.cpp, the same plan and packed twiddles): passes of
// up to three stages in registers, then a final pass with stages 4 and 2, scaling, response and
// natural order; smaller sizes go stage by stage. Uses only intrinsics and raw pointers (FftJob).
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


// d × w, w duplicated in memory: (re, re) at wr, (im, im) at wi.
inline __m128d MulDup(__m128d d, const double* wr, const double* wi) {
  return _mm_addsub_pd(_mm_mul_pd(d, _mm_load_pd(wr)), _mm_mul_pd(_mm_shuffle_pd(d, d, 1), _mm_load_pd(wi)));
}

// Butterfly with the packed twiddle pair at w (value j = 0 or 1 of the pair).
inline void Bfly(__m128d& a, __m128d& b, const double* w, int j) {
  const __m128d d = _mm_sub_pd(a, b);
  a = _mm_add_pd(a, b);
  b = MulDup(d, w + 2 * j, w + 4 + 2 * j);
}

void Pass3(double* x, int len, int s, const double* tw) {
  const int q = s / 8;
  for (int base = 0; base < len; base += s) {
    const double* w = tw;
    for (int k = 0; k < q; k += 2, w += 56) {
      for (int j = 0; j < 2; ++j) {
        double* p = x + 2 * (base + k + j);
        __m128d v0 = _mm_load_pd(p), v1 = _mm_load_pd(p + 2 * q);
        __m128d v2 = _mm_load_pd(p + 4 * q), v3 = _mm_load_pd(p + 6 * q);
        __m128d v4 = _mm_load_pd(p + 8 * q), v5 = _mm_load_pd(p + 10 * q);
        __m128d v6 = _mm_load_pd(p + 12 * q), v7 = _mm_load_pd(p + 14 * q);
        Bfly(v0, v4, w, j);
        Bfly(v1, v5, w + 8, j);
        Bfly(v2, v6, w + 16, j);
        Bfly(v3, v7, w + 24, j);
        Bfly(v0, v2, w + 32, j);
        Bfly(v1, v3, w + 40, j);
        Bfly(v4, v6, w + 32, j);
        Bfly(v5, v7, w + 40, j);
        Bfly(v0, v1, w + 48, j);
        Bfly(v2, v3, w + 48, j);
        Bfly(v4, v5, w + 48, j);
        Bfly(v6, v7, w + 48, j);
        _mm_store_pd(p, v0);
        _mm_store_pd(p + 2 * q, v1);
        _mm_store_pd(p + 4 * q, v2);
        _mm_store_pd(p + 6 * q, v3);
        _mm_store_pd(p + 8 * q, v4);
        _mm_store_pd(p + 10 * q, v5);
        _mm_store_pd(p + 12 * q, v6);
        _mm_store_pd(p + 14 * q, v7);
      }
    }
  }
}

void Pass2(double* x, int len, int s, const double* tw) {
  const int q = s / 4;
  for (int base = 0; base < len; base += s) {
    const double* w = tw;
    for (int k = 0; k < q; k += 2, w += 24) {
      for (int j = 0; j < 2; ++j) {
        double* p = x + 2 * (base + k + j);
        __m128d v0 = _mm_load_pd(p), v1 = _mm_load_pd(p + 2 * q);
        __m128d v2 = _mm_load_pd(p + 4 * q), v3 = _mm_load_pd(p + 6 * q);
        Bfly(v0, v2, w, j);
        Bfly(v1, v3, w + 8, j);
        Bfly(v0, v1, w + 16, j);
        Bfly(v2, v3, w + 16, j);
        _mm_store_pd(p, v0);
        _mm_store_pd(p + 2 * q, v1);
        _mm_store_pd(p + 4 * q, v2);
        _mm_store_pd(p + 6 * q, v3);
      }
    }
  }
}

void Pass1(double* x, int len, int s, const double* tw) {
  const int q = s / 2;
  for (int base = 0; base < len; base += s) {
    const double* w = tw;
    for (int k = 0; k < q; k += 2, w += 8) {
      for (int j = 0; j < 2; ++j) {
        double* p = x + 2 * (base + k + j);
        __m128d v0 = _mm_load_pd(p), v1 = _mm_load_pd(p + 2 * q);
        Bfly(v0, v1, w, j);
        _mm_store_pd(p, v0);
        _mm_store_pd(p + 2 * q, v1);
      }
    }
  }
}

void RunPass(const FftPassDesc& pass, double* x, int len, const double* packed) {
  const double* tw = packed + pass.tw;
  if (pass.stages == 3) {
    Pass3(x, len, pass.s, tw);
  } else if (pass.stages == 2) {
    Pass2(x, len, pass.s, tw);
  } else {
    Pass1(x, len, pass.s, tw);
  }
}

template <bool kScale, bool kResponse>
inline void Put(const FftJob& job, __m128d v, double* p, __m128d f) {
  if (kScale) v = _mm_mul_pd(v, f);
  if (kResponse) {
    const __m128d h = _mm_loadu_pd(job.h + (p - job.x));
    v = _mm_addsub_pd(_mm_mul_pd(v, _mm_movedup_pd(h)), _mm_mul_pd(_mm_shuffle_pd(v, v, 1), _mm_unpackhi_pd(h, h)));
  }
  _mm_store_pd(p, v);
}

// Stages 4 and 2 of one 4-value block, then scaling and response; result o goes to the
// destination block rev2(o) (0, 2s, s, 3s doubles from d).
template <bool kScale, bool kResponse>
inline void FinishBlock(const FftJob& job, const double* in, double* d, long s, __m128d f) {
  const double* fw = job.final_tw;
  __m128d v0 = _mm_load_pd(in), v1 = _mm_load_pd(in + 2), v2 = _mm_load_pd(in + 4), v3 = _mm_load_pd(in + 6);
  __m128d t = _mm_sub_pd(v0, v2);
  v0 = _mm_add_pd(v0, v2);
  v2 = MulDup(t, fw, fw + 4);
  t = _mm_sub_pd(v1, v3);
  v1 = _mm_add_pd(v1, v3);
  v3 = MulDup(t, fw + 8, fw + 12);
  Put<kScale, kResponse>(job, _mm_add_pd(v0, v1), d, f);
  Put<kScale, kResponse>(job, _mm_sub_pd(v0, v1), d + 2 * s, f);
  Put<kScale, kResponse>(job, _mm_add_pd(v2, v3), d + s, f);
  Put<kScale, kResponse>(job, _mm_sub_pd(v2, v3), d + 3 * s, f);
}

// Group g (blocks t = 0..3, in_stride doubles apart) into the mirror group at d: block t's
// results take position rev2(t) there.
template <bool kScale, bool kResponse>
inline void FinishGroup(const FftJob& job, const double* in, long in_stride, double* d, long s, __m128d f) {
  FinishBlock<kScale, kResponse>(job, in, d, s, f);
  FinishBlock<kScale, kResponse>(job, in + in_stride, d + 4, s, f);
  FinishBlock<kScale, kResponse>(job, in + 2 * in_stride, d + 2, s, f);
  FinishBlock<kScale, kResponse>(job, in + 3 * in_stride, d + 6, s, f);
}

inline void SaveGroup(const double* xg, long s, double* saved) {
  for (int t = 0; t < 4; ++t) {
    for (int i = 0; i < 8; i += 2) _mm_store_pd(saved + 8 * t + i, _mm_load_pd(xg + t * s + i));
  }
}

template <bool kScale, bool kResponse>
void FinalPassT(const FftJob& job) {
  const long s = 8L * (job.n / 16);
  const __m128d f = _mm_set1_pd(job.factor);
  alignas(16) double saved[32];
  for (size_t k = 0; k < job.pair_count; ++k) {
    double* xg = job.x + 8 * job.pairs[2 * k];
    double* xm = job.x + 8 * job.pairs[2 * k + 1];
    // Group g's input is saved, group m's results overwrite it, then g's results go to m.
    SaveGroup(xg, s, saved);
    FinishGroup<kScale, kResponse>(job, xm, s, xg, s, f);
    FinishGroup<kScale, kResponse>(job, saved, 8, xm, s, f);
  }
  for (size_t k = 0; k < job.self_count; ++k) {
    double* xg = job.x + 8 * job.self[k];
    SaveGroup(xg, s, saved);
    FinishGroup<kScale, kResponse>(job, saved, 8, xg, s, f);
  }
}

void FinalPass(const FftJob& job) {
  if (job.h) {
    FinalPassT<true, true>(job);
  } else if (job.scale) {
    FinalPassT<true, false>(job);
  } else {
    FinalPassT<false, false>(job);
  }
}

void RunFused(const FftJob& job) {
  const int n = job.n;
  for (int p = 0; p < job.breadth_passes; ++p) RunPass(job.passes[p], job.x, n, job.packed);
  for (int base = 0; base < n; base += job.block) {
    for (int p = 0; p < job.block_passes; ++p) {
      RunPass(job.passes[job.breadth_passes + p], job.x + 2 * base, job.block, job.packed);
    }
  }
  FinalPass(job);
}

}  // namespace

void FftRunSse3(const FftJob& job) {
  if (job.fused) {
    RunFused(job);
    return;
  }
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
