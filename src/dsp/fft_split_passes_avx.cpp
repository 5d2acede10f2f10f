// The AVX kernel's block passes in split form. A block of len values (len = the plan's block,
// len >= 16) goes through all its stages from len down to 8:
//   - the first pass does stage len on registers of two complex values, as the breadth passes do,
//     then splits each register pair (values u, u + 1 and u + h, u + h + 1, h = len/2) into a
//     quad of real parts and a quad of imaginary parts, lanes (u, u + h, u + 1, u + h + 1);
//   - every later stage pairs values below h with values below h, and their twins at + h the
//     same way, with the same twiddles, so the quads need no lane swap in the product and use
//     the packed duplicated twiddles (k, k, k+1, k+1) as they are;
//   - the last pass joins the quads back into the natural layout.
// In memory the quad at u (u even, u < h) keeps its real parts where the natural layout keeps
// the values u, u + 1 (doubles 2u ...) and its imaginary parts where it keeps u + h, u + h + 1
// (doubles 2u + len ...), so that splitting and joining happen in place.
// The arithmetic of every value is the portable kernel's; only the register layout differs.
#include "dsp/fft_plan.h"

#if defined(__AVX__)
#include "dsp/fft_avx_ops.h"

namespace kavu::fft_avx {
namespace {

inline Quad LoadQuad(const double* p, long len) { return {_mm256_load_pd(p), _mm256_load_pd(p + len)}; }

// kJoin: write the natural layout (last pass), else the split one.
template <bool kJoin>
inline void StoreQuad(double* p, long len, const Quad& q) {
  if (kJoin) {
    _mm256_store_pd(p, JoinLow(q));
    _mm256_store_pd(p + len, JoinHigh(q));
  } else {
    _mm256_store_pd(p, q.r);
    _mm256_store_pd(p + len, q.i);
  }
}

// First pass, stages len, len/2, len/4: 8 values at distance q = len/8 per column pair.
template <bool kJoin>
void FirstPass3(double* x, long len, const double* tw) {
  const long q = len / 8;
  const double* w = tw;
  for (long k = 0; k < q; k += 2, w += 56) {
    // The twiddles are read once; ask for those of the iteration after next now.
    const char* next = reinterpret_cast<const char*>(w + 112);
    _mm_prefetch(next, _MM_HINT_T0);
    _mm_prefetch(next + 64, _MM_HINT_T0);
    _mm_prefetch(next + 128, _MM_HINT_T0);
    _mm_prefetch(next + 192, _MM_HINT_T0);
    _mm_prefetch(next + 256, _MM_HINT_T0);
    _mm_prefetch(next + 320, _MM_HINT_T0);
    _mm_prefetch(next + 384, _MM_HINT_T0);
    double* p = x + 2 * k;
    __m256d v0 = _mm256_load_pd(p), v1 = _mm256_load_pd(p + 2 * q);
    __m256d v2 = _mm256_load_pd(p + 4 * q), v3 = _mm256_load_pd(p + 6 * q);
    __m256d v4 = _mm256_load_pd(p + 8 * q), v5 = _mm256_load_pd(p + 10 * q);
    __m256d v6 = _mm256_load_pd(p + 12 * q), v7 = _mm256_load_pd(p + 14 * q);
    Bfly(v0, v4, w);
    Bfly(v1, v5, w + 8);
    Bfly(v2, v6, w + 16);
    Bfly(v3, v7, w + 24);
    Quad a = Split(v0, v4), b = Split(v1, v5), c = Split(v2, v6), d = Split(v3, v7);
    BflyQ(a, c, w + 32);
    BflyQ(b, d, w + 40);
    BflyQ(a, b, w + 48);
    BflyQ(c, d, w + 48);
    StoreQuad<kJoin>(p, len, a);
    StoreQuad<kJoin>(p + 2 * q, len, b);
    StoreQuad<kJoin>(p + 4 * q, len, c);
    StoreQuad<kJoin>(p + 6 * q, len, d);
  }
}

// First pass, stages len, len/2: 4 values at distance q = len/4.
template <bool kJoin>
void FirstPass2(double* x, long len, const double* tw) {
  const long q = len / 4;
  const double* w = tw;
  for (long k = 0; k < q; k += 2, w += 24) {
    double* p = x + 2 * k;
    __m256d v0 = _mm256_load_pd(p), v1 = _mm256_load_pd(p + 2 * q);
    __m256d v2 = _mm256_load_pd(p + 4 * q), v3 = _mm256_load_pd(p + 6 * q);
    Bfly(v0, v2, w);
    Bfly(v1, v3, w + 8);
    Quad a = Split(v0, v2), b = Split(v1, v3);
    BflyQ(a, b, w + 16);
    StoreQuad<kJoin>(p, len, a);
    StoreQuad<kJoin>(p + 2 * q, len, b);
  }
}

// Later pass, stages s, s/2, s/4 (s <= len/2) on quads at distance q = s/8. Half the quads are
// finished and stored before the other half's last two stages, to need fewer registers.
template <bool kJoin>
void SplitPass3(double* x, long len, long s, const double* tw) {
  const long h = len / 2, q = s / 8;
  for (long base = 0; base < h; base += s) {
    const double* w = tw;
    for (long k = 0; k < q; k += 2, w += 56) {
      double* p = x + 2 * (base + k);
      Quad a0 = LoadQuad(p, len), a1 = LoadQuad(p + 2 * q, len);
      Quad a2 = LoadQuad(p + 4 * q, len), a3 = LoadQuad(p + 6 * q, len);
      Quad a4 = LoadQuad(p + 8 * q, len), a5 = LoadQuad(p + 10 * q, len);
      Quad a6 = LoadQuad(p + 12 * q, len), a7 = LoadQuad(p + 14 * q, len);
      BflyQ(a0, a4, w);
      BflyQ(a1, a5, w + 8);
      BflyQ(a2, a6, w + 16);
      BflyQ(a3, a7, w + 24);
      BflyQ(a0, a2, w + 32);
      BflyQ(a1, a3, w + 40);
      BflyQ(a0, a1, w + 48);
      BflyQ(a2, a3, w + 48);
      StoreQuad<kJoin>(p, len, a0);
      StoreQuad<kJoin>(p + 2 * q, len, a1);
      StoreQuad<kJoin>(p + 4 * q, len, a2);
      StoreQuad<kJoin>(p + 6 * q, len, a3);
      BflyQ(a4, a6, w + 32);
      BflyQ(a5, a7, w + 40);
      BflyQ(a4, a5, w + 48);
      BflyQ(a6, a7, w + 48);
      StoreQuad<kJoin>(p + 8 * q, len, a4);
      StoreQuad<kJoin>(p + 10 * q, len, a5);
      StoreQuad<kJoin>(p + 12 * q, len, a6);
      StoreQuad<kJoin>(p + 14 * q, len, a7);
    }
  }
}

// Later pass, stages s, s/2 on quads at distance q = s/4.
template <bool kJoin>
void SplitPass2(double* x, long len, long s, const double* tw) {
  const long h = len / 2, q = s / 4;
  for (long base = 0; base < h; base += s) {
    const double* w = tw;
    for (long k = 0; k < q; k += 2, w += 24) {
      double* p = x + 2 * (base + k);
      Quad a0 = LoadQuad(p, len), a1 = LoadQuad(p + 2 * q, len);
      Quad a2 = LoadQuad(p + 4 * q, len), a3 = LoadQuad(p + 6 * q, len);
      BflyQ(a0, a2, w);
      BflyQ(a1, a3, w + 8);
      BflyQ(a0, a1, w + 16);
      BflyQ(a2, a3, w + 16);
      StoreQuad<kJoin>(p, len, a0);
      StoreQuad<kJoin>(p + 2 * q, len, a1);
      StoreQuad<kJoin>(p + 4 * q, len, a2);
      StoreQuad<kJoin>(p + 6 * q, len, a3);
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

}  // namespace kavu::fft_avx

#endif
