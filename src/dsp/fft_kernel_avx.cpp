// The AVX FFT kernel: two complex values per register, no FMA. It computes every value exactly
// as the portable kernel does (fft_kernel.cpp), organised for speed:
//   - up to three stages per pass, all in registers (8 vectors of 2 values at distance s/8);
//   - large sizes: the stages above 2048 breadth-first, then each 2048-value block through all
//     its remaining stages while it is in the first-level cache;
//   - the twiddles of each pass packed contiguously and duplicated (fft_avx_pack.cpp), so the
//     complex product needs one shuffle: (d·wr) addsub (swap(d)·wi) =
//     (d.re·w.re − d.im·w.im, d.im·w.re + d.re·w.im), the portable kernel's expression;
//   - a final pass doing stages 4 and 2 on two blocks at once (one per register lane), the
//     scaling, the response product and the bit-reversed placement, for a group of four blocks
//     and its mirror group at a time (from a precomputed list) so that it works in place.
// Sizes below 16 go stage by stage. Uses only intrinsics and raw pointers (see FftJob).
// When the job asks for it (job.avx512: the processor and OS support AVX-512F), sizes from 16 on
// go to the same organisation with 512-bit registers instead (fft_kernel_avx512.cpp).
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


// d × w with w given duplicated: wr = (re, re, re', re'), wi = (im, im, im', im').
inline __m256d MulDup(__m256d d, __m256d wr, __m256d wi) {
  return _mm256_addsub_pd(_mm256_mul_pd(d, wr), _mm256_mul_pd(_mm256_permute_pd(d, 0x5), wi));
}

// Butterfly of one stage: a ← a + b, b ← (a − b) × w.
inline void Bfly(__m256d& a, __m256d& b, const double* w) {
  const __m256d d = _mm256_sub_pd(a, b);
  a = _mm256_add_pd(a, b);
  b = MulDup(d, _mm256_load_pd(w), _mm256_load_pd(w + 4));
}

// Stages s, s/2, s/4 over x[0 .. len): values at distance q = s/8.
void Pass3(double* x, int len, int s, const double* tw) {
  const int q = s / 8;
  for (int base = 0; base < len; base += s) {
    const double* w = tw;
    double* p = x + 2 * base;
    for (int k = 0; k < q; k += 2, p += 4, w += 56) {
      // The twiddles are read once per block; ask for those of the iteration after next now.
      const char* next = reinterpret_cast<const char*>(w + 112);
      _mm_prefetch(next, _MM_HINT_T0);
      _mm_prefetch(next + 64, _MM_HINT_T0);
      _mm_prefetch(next + 128, _MM_HINT_T0);
      _mm_prefetch(next + 192, _MM_HINT_T0);
      _mm_prefetch(next + 256, _MM_HINT_T0);
      _mm_prefetch(next + 320, _MM_HINT_T0);
      _mm_prefetch(next + 384, _MM_HINT_T0);
      __m256d v0 = _mm256_load_pd(p), v1 = _mm256_load_pd(p + 2 * q);
      __m256d v2 = _mm256_load_pd(p + 4 * q), v3 = _mm256_load_pd(p + 6 * q);
      __m256d v4 = _mm256_load_pd(p + 8 * q), v5 = _mm256_load_pd(p + 10 * q);
      __m256d v6 = _mm256_load_pd(p + 12 * q), v7 = _mm256_load_pd(p + 14 * q);
      Bfly(v0, v4, w);
      Bfly(v1, v5, w + 8);
      Bfly(v2, v6, w + 16);
      Bfly(v3, v7, w + 24);
      Bfly(v0, v2, w + 32);
      Bfly(v1, v3, w + 40);
      Bfly(v4, v6, w + 32);
      Bfly(v5, v7, w + 40);
      Bfly(v0, v1, w + 48);
      Bfly(v2, v3, w + 48);
      Bfly(v4, v5, w + 48);
      Bfly(v6, v7, w + 48);
      _mm256_store_pd(p, v0);
      _mm256_store_pd(p + 2 * q, v1);
      _mm256_store_pd(p + 4 * q, v2);
      _mm256_store_pd(p + 6 * q, v3);
      _mm256_store_pd(p + 8 * q, v4);
      _mm256_store_pd(p + 10 * q, v5);
      _mm256_store_pd(p + 12 * q, v6);
      _mm256_store_pd(p + 14 * q, v7);
    }
  }
}

// Stages s, s/2: values at distance q = s/4.
void Pass2(double* x, int len, int s, const double* tw) {
  const int q = s / 4;
  for (int base = 0; base < len; base += s) {
    const double* w = tw;
    double* p = x + 2 * base;
    for (int k = 0; k < q; k += 2, p += 4, w += 24) {
      __m256d v0 = _mm256_load_pd(p), v1 = _mm256_load_pd(p + 2 * q);
      __m256d v2 = _mm256_load_pd(p + 4 * q), v3 = _mm256_load_pd(p + 6 * q);
      Bfly(v0, v2, w);
      Bfly(v1, v3, w + 8);
      Bfly(v0, v1, w + 16);
      Bfly(v2, v3, w + 16);
      _mm256_store_pd(p, v0);
      _mm256_store_pd(p + 2 * q, v1);
      _mm256_store_pd(p + 4 * q, v2);
      _mm256_store_pd(p + 6 * q, v3);
    }
  }
}

// Stage s alone: values at distance q = s/2.
void Pass1(double* x, int len, int s, const double* tw) {
  const int q = s / 2;
  for (int base = 0; base < len; base += s) {
    const double* w = tw;
    double* p = x + 2 * base;
    for (int k = 0; k < q; k += 2, p += 4, w += 8) {
      __m256d v0 = _mm256_load_pd(p), v1 = _mm256_load_pd(p + 2 * q);
      Bfly(v0, v1, w);
      _mm256_store_pd(p, v0);
      _mm256_store_pd(p + 2 * q, v1);
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

// Final pass. A group g is the four 4-value blocks g, g + G, g + 2G, g + 3G (G = n/16); its
// results belong to the blocks of the mirror group m = rev(g): result o of block t goes to
// position rev2(t) of block rev2(o)·G + m. Two blocks are done at once, t in lane 0 and t + 2 in
// lane 1 (pair i = t = 0, 1), so every result register is two neighbouring outputs (positions 2i,
// 2i + 1). s = 8·G is the block distance in doubles. Written out without arrays or loops so that
// everything stays in registers.
struct FinalConst {
  const double* w;  // twiddles of stage 4 for both lanes: w0r, w0i, w1r, w1i
  __m256d factor;
  const double* h;  // response, or null
  const double* x;
};

struct Pair {
  __m256d v0, v1, v2, v3;
};

// Blocks t (at a) and t + 2 (at a + 2s) as four registers (value i of t, value i of t + 2): whole
// loads and one cross-lane permute per register, which costs less than loading halves into lanes.
inline Pair LoadPair(const double* a, long s) {
  const double* b = a + 2 * s;
  const __m256d a01 = _mm256_load_pd(a), a23 = _mm256_load_pd(a + 4);
  const __m256d b01 = _mm256_load_pd(b), b23 = _mm256_load_pd(b + 4);
  return {_mm256_permute2f128_pd(a01, b01, 0x20), _mm256_permute2f128_pd(a01, b01, 0x31),
          _mm256_permute2f128_pd(a23, b23, 0x20), _mm256_permute2f128_pd(a23, b23, 0x31)};
}

template <bool kScale, bool kResponse>
inline void Put(const FinalConst& c, __m256d r, double* p) {
  if (kScale) r = _mm256_mul_pd(r, c.factor);
  if (kResponse) {
    const __m256d h = _mm256_loadu_pd(c.h + (p - c.x));
    r = MulDup(r, _mm256_movedup_pd(h), _mm256_permute_pd(h, 0xF));
  }
  _mm256_store_pd(p, r);
}

// Stages 4 and 2 of a pair, then scaling and response, stored at d (d = mirror group + 4i).
template <bool kScale, bool kResponse>
inline void FinishPair(const FinalConst& c, Pair v, double* d, long s) {
  const __m256d t0 = _mm256_sub_pd(v.v0, v.v2);
  const __m256d a0 = _mm256_add_pd(v.v0, v.v2);
  const __m256d b0 = MulDup(t0, _mm256_load_pd(c.w), _mm256_load_pd(c.w + 4));
  const __m256d t1 = _mm256_sub_pd(v.v1, v.v3);
  const __m256d a1 = _mm256_add_pd(v.v1, v.v3);
  const __m256d b1 = MulDup(t1, _mm256_load_pd(c.w + 8), _mm256_load_pd(c.w + 12));
  Put<kScale, kResponse>(c, _mm256_add_pd(a0, a1), d);
  Put<kScale, kResponse>(c, _mm256_sub_pd(a0, a1), d + 2 * s);
  Put<kScale, kResponse>(c, _mm256_add_pd(b0, b1), d + s);
  Put<kScale, kResponse>(c, _mm256_sub_pd(b0, b1), d + 3 * s);
}

template <bool kScale, bool kResponse>
void FinalPassT(const FftJob& job) {
  const long s = 8L * (job.n / 16);
  const FinalConst c{job.final_tw, _mm256_set1_pd(job.factor), job.h, job.x};
  double* x = job.x;
  for (size_t k = 0; k < job.pair_count; ++k) {
    double* xg = x + 8 * job.pairs[2 * k];
    double* xm = x + 8 * job.pairs[2 * k + 1];
    // Group g's input is held while group m's results overwrite it, then g's results go to m.
    const Pair g0 = LoadPair(xg, s), g1 = LoadPair(xg + s, s);
    FinishPair<kScale, kResponse>(c, LoadPair(xm, s), xg, s);
    FinishPair<kScale, kResponse>(c, LoadPair(xm + s, s), xg + 4, s);
    FinishPair<kScale, kResponse>(c, g0, xm, s);
    FinishPair<kScale, kResponse>(c, g1, xm + 4, s);
  }
  for (size_t k = 0; k < job.self_count; ++k) {
    double* xg = x + 8 * job.self[k];
    const Pair g0 = LoadPair(xg, s), g1 = LoadPair(xg + s, s);
    FinishPair<kScale, kResponse>(c, g0, xg, s);
    FinishPair<kScale, kResponse>(c, g1, xg + 4, s);
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

void FftRunAvx(const FftJob& job) {
  if (job.fused && job.avx512) {
    FftRunAvx512(job);
    return;
  }
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
void FftRunAvx(const FftJob&) { FatalError("BPF_Proc_AVX() - ядро AVX не собрано для этого процессора !!!"); }
}  // namespace kavu
#endif
