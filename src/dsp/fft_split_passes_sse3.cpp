// The SSE3 kernel's block passes in split form: the organisation and memory layout of the AVX
// kernel's (fft_split_passes_avx.cpp), with the two columns of a pair done one after the other.
// In a block of len values (h = len/2), the column u (u < h) is the duo (u, u + h) of real parts,
// kept where the natural layout keeps value u (doubles 2u, 2u + 1), and the duo of imaginary
// parts, kept where it keeps u + h (doubles 2u + len ...). The first pass does stage len on
// whole complex values, then splits; the last pass joins. Same arithmetic as the portable kernel.
#include "dsp/fft_plan.h"

#if defined(__SSE3__)
#include "dsp/fft_sse3_ops.h"

namespace kavu::fft_sse3 {
namespace {

inline Duo LoadDuo(const double* p, long len) { return {_mm_load_pd(p), _mm_load_pd(p + len)}; }

// kJoin: write the natural layout (last pass), else the split one.
template <bool kJoin>
inline void StoreDuo(double* p, long len, const Duo& d) {
  if (kJoin) {
    _mm_store_pd(p, JoinLow(d));
    _mm_store_pd(p + len, JoinHigh(d));
  } else {
    _mm_store_pd(p, d.r);
    _mm_store_pd(p + len, d.i);
  }
}

// First pass, stages len, len/2, len/4: 8 values at distance q = len/8.
template <bool kJoin>
void FirstPass3(double* x, long len, const double* tw) {
  const long q = len / 8;
  const double* w = tw;
  for (long k = 0; k < q; k += 2, w += 56) {
    for (int j = 0; j < 2; ++j) {
      double* p = x + 2 * (k + j);
      __m128d v0 = _mm_load_pd(p), v1 = _mm_load_pd(p + 2 * q);
      __m128d v2 = _mm_load_pd(p + 4 * q), v3 = _mm_load_pd(p + 6 * q);
      __m128d v4 = _mm_load_pd(p + 8 * q), v5 = _mm_load_pd(p + 10 * q);
      __m128d v6 = _mm_load_pd(p + 12 * q), v7 = _mm_load_pd(p + 14 * q);
      Bfly(v0, v4, w, j);
      Bfly(v1, v5, w + 8, j);
      Bfly(v2, v6, w + 16, j);
      Bfly(v3, v7, w + 24, j);
      Duo a = Split(v0, v4), b = Split(v1, v5), c = Split(v2, v6), d = Split(v3, v7);
      BflyD(a, c, w + 32, j);
      BflyD(b, d, w + 40, j);
      BflyD(a, b, w + 48, j);
      BflyD(c, d, w + 48, j);
      StoreDuo<kJoin>(p, len, a);
      StoreDuo<kJoin>(p + 2 * q, len, b);
      StoreDuo<kJoin>(p + 4 * q, len, c);
      StoreDuo<kJoin>(p + 6 * q, len, d);
    }
  }
}

// First pass, stages len, len/2: 4 values at distance q = len/4.
template <bool kJoin>
void FirstPass2(double* x, long len, const double* tw) {
  const long q = len / 4;
  const double* w = tw;
  for (long k = 0; k < q; k += 2, w += 24) {
    for (int j = 0; j < 2; ++j) {
      double* p = x + 2 * (k + j);
      __m128d v0 = _mm_load_pd(p), v1 = _mm_load_pd(p + 2 * q);
      __m128d v2 = _mm_load_pd(p + 4 * q), v3 = _mm_load_pd(p + 6 * q);
      Bfly(v0, v2, w, j);
      Bfly(v1, v3, w + 8, j);
      Duo a = Split(v0, v2), b = Split(v1, v3);
      BflyD(a, b, w + 16, j);
      StoreDuo<kJoin>(p, len, a);
      StoreDuo<kJoin>(p + 2 * q, len, b);
    }
  }
}

// Later pass, stages s, s/2, s/4 (s <= len/2) on duos at distance q = s/8.
template <bool kJoin>
void SplitPass3(double* x, long len, long s, const double* tw) {
  const long h = len / 2, q = s / 8;
  for (long base = 0; base < h; base += s) {
    const double* w = tw;
    for (long k = 0; k < q; k += 2, w += 56) {
      for (int j = 0; j < 2; ++j) {
        double* p = x + 2 * (base + k + j);
        Duo a0 = LoadDuo(p, len), a1 = LoadDuo(p + 2 * q, len);
        Duo a2 = LoadDuo(p + 4 * q, len), a3 = LoadDuo(p + 6 * q, len);
        Duo a4 = LoadDuo(p + 8 * q, len), a5 = LoadDuo(p + 10 * q, len);
        Duo a6 = LoadDuo(p + 12 * q, len), a7 = LoadDuo(p + 14 * q, len);
        BflyD(a0, a4, w, j);
        BflyD(a1, a5, w + 8, j);
        BflyD(a2, a6, w + 16, j);
        BflyD(a3, a7, w + 24, j);
        BflyD(a0, a2, w + 32, j);
        BflyD(a1, a3, w + 40, j);
        BflyD(a0, a1, w + 48, j);
        BflyD(a2, a3, w + 48, j);
        StoreDuo<kJoin>(p, len, a0);
        StoreDuo<kJoin>(p + 2 * q, len, a1);
        StoreDuo<kJoin>(p + 4 * q, len, a2);
        StoreDuo<kJoin>(p + 6 * q, len, a3);
        BflyD(a4, a6, w + 32, j);
        BflyD(a5, a7, w + 40, j);
        BflyD(a4, a5, w + 48, j);
        BflyD(a6, a7, w + 48, j);
        StoreDuo<kJoin>(p + 8 * q, len, a4);
        StoreDuo<kJoin>(p + 10 * q, len, a5);
        StoreDuo<kJoin>(p + 12 * q, len, a6);
        StoreDuo<kJoin>(p + 14 * q, len, a7);
      }
    }
  }
}

// Later pass, stages s, s/2 on duos at distance q = s/4.
template <bool kJoin>
void SplitPass2(double* x, long len, long s, const double* tw) {
  const long h = len / 2, q = s / 4;
  for (long base = 0; base < h; base += s) {
    const double* w = tw;
    for (long k = 0; k < q; k += 2, w += 24) {
      for (int j = 0; j < 2; ++j) {
        double* p = x + 2 * (base + k + j);
        Duo a0 = LoadDuo(p, len), a1 = LoadDuo(p + 2 * q, len);
        Duo a2 = LoadDuo(p + 4 * q, len), a3 = LoadDuo(p + 6 * q, len);
        BflyD(a0, a2, w, j);
        BflyD(a1, a3, w + 8, j);
        BflyD(a0, a1, w + 16, j);
        BflyD(a2, a3, w + 16, j);
        StoreDuo<kJoin>(p, len, a0);
        StoreDuo<kJoin>(p + 2 * q, len, a1);
        StoreDuo<kJoin>(p + 4 * q, len, a2);
        StoreDuo<kJoin>(p + 6 * q, len, a3);
      }
    }
  }
}

template <bool kJoin>
void RunOne(const FftPassDesc& pass, bool first, double* x, long len, const double* tw) {
  if (first) {
    if (pass.stages == 3) {
      FirstPass3<kJoin>(x, len, tw);
    } else {
      FirstPass2<kJoin>(x, len, tw);
    }
  } else if (pass.stages == 3) {
    SplitPass3<kJoin>(x, len, pass.s, tw);
  } else {
    SplitPass2<kJoin>(x, len, pass.s, tw);
  }
}

}  // namespace

bool SplitPassesFit(const FftPassDesc* passes, int count, int len) {
  if (count < 1 || len < 16) return false;
  int s = len;
  for (int p = 0; p < count; ++p) {
    if (passes[p].s != s || (passes[p].stages != 2 && passes[p].stages != 3)) return false;
    s >>= passes[p].stages;
  }
  return s == 4;  // the passes end with stage 8
}

void RunSplitPasses(const FftPassDesc* passes, int count, double* x, int len, const double* packed) {
  for (int p = 0; p < count; ++p) {
    const double* tw = packed + passes[p].tw;
    if (p == count - 1) {
      RunOne<true>(passes[p], p == 0, x, len, tw);
    } else {
      RunOne<false>(passes[p], p == 0, x, len, tw);
    }
  }
}

}  // namespace kavu::fft_sse3

#endif
