// The AVX kernel's 512-bit path: the organisation of fft_kernel_avx.cpp (the same passes, blocks
// and final-pass groups, from the same plan) with four complex values per register. Every value
// goes through the portable kernel's operations (fft_kernel.cpp) on the same operands in the same
// order, no FMA:
//   - complex product d × w with w duplicated: p = d·wr, q = swap(d)·wi, then the real lanes get
//     p − q and the imaginary lanes p + q (a masked subtraction over the sum: AVX-512 has no
//     addsub), i.e. (d.re·w.re − d.im·w.im, d.im·w.re + d.re·w.im);
//   - the passes read twiddles packed four values per vector (FftPlan::avx512_fwd / inv);
//   - the final pass does a whole group of four 4-value blocks at once: one register per block
//     loaded, a 4 × 4 transpose of 128-bit lanes so that each register holds the same value of the
//     four blocks, stages 4 and 2, scaling and response, and each result register is one whole
//     block of the mirror group.
// Only this file is compiled for AVX-512F. It uses intrinsics and raw pointers only (see FftJob),
// so no inline library function is instantiated here; FftRunAvx calls it only when the processor
// probe said the 512-bit path is usable. Data needs 32-byte alignment (unaligned vector accesses,
// which cost nothing extra on 64-byte aligned buffers such as FftVector).
#include "dsp/fft_plan.h"

#if defined(__AVX512F__)
#include <immintrin.h>

namespace kavu {
namespace {

constexpr __mmask8 kRealLanes = 0x55;
constexpr __mmask8 kAll = 0xFF;

// Lane moves written in their merge-masked form with every lane selected: the plain forms of
// this compiler's intrinsics pass an "undefined" register that -Wuninitialized reports.
inline __m512d SwapReIm(__m512d v) { return _mm512_mask_permute_pd(v, kAll, v, 0x55); }
inline __m512d DupRe(__m512d v) { return _mm512_mask_movedup_pd(v, kAll, v); }
inline __m512d DupIm(__m512d v) { return _mm512_mask_permute_pd(v, kAll, v, 0xFF); }
template <int kImm>
inline __m512d Lanes128(__m512d a, __m512d b) { return _mm512_mask_shuffle_f64x2(a, kAll, a, b, kImm); }
inline __m512d Broadcast256(const double* p) {
  const __m256d v = _mm256_load_pd(p);
  return _mm512_mask_broadcast_f64x4(_mm512_castpd256_pd512(v), kAll, v);
}

// d × w with w given duplicated: wr = (re k, re k, re k+1, ...), wi = (im k, im k, ...).
inline __m512d MulDup(__m512d d, __m512d wr, __m512d wi) {
  const __m512d p = _mm512_mul_pd(d, wr);
  const __m512d q = _mm512_mul_pd(SwapReIm(d), wi);
  return _mm512_mask_sub_pd(_mm512_add_pd(p, q), kRealLanes, p, q);
}

// Butterfly of one stage: a ← a + b, b ← (a − b) × w.
inline void Bfly(__m512d& a, __m512d& b, const double* w) {
  const __m512d d = _mm512_sub_pd(a, b);
  a = _mm512_add_pd(a, b);
  b = MulDup(d, _mm512_load_pd(w), _mm512_load_pd(w + 8));
}

inline __m512d Load(const double* p) { return _mm512_loadu_pd(p); }
inline void Store(double* p, __m512d v) { _mm512_storeu_pd(p, v); }

// Stages s, s/2, s/4 over x[0 .. len): values at distance q = s/8 (q >= 4).
void Pass3(double* x, int len, int s, const double* tw) {
  const int q = s / 8;
  for (int base = 0; base < len; base += s) {
    const double* w = tw;
    double* p = x + 2 * base;
    for (int k = 0; k < q; k += 4, p += 8, w += 112) {
      __m512d v0 = Load(p), v1 = Load(p + 2 * q), v2 = Load(p + 4 * q), v3 = Load(p + 6 * q);
      __m512d v4 = Load(p + 8 * q), v5 = Load(p + 10 * q), v6 = Load(p + 12 * q), v7 = Load(p + 14 * q);
      Bfly(v0, v4, w);
      Bfly(v1, v5, w + 16);
      Bfly(v2, v6, w + 32);
      Bfly(v3, v7, w + 48);
      Bfly(v0, v2, w + 64);
      Bfly(v1, v3, w + 80);
      Bfly(v4, v6, w + 64);
      Bfly(v5, v7, w + 80);
      Bfly(v0, v1, w + 96);
      Bfly(v2, v3, w + 96);
      Bfly(v4, v5, w + 96);
      Bfly(v6, v7, w + 96);
      Store(p, v0);
      Store(p + 2 * q, v1);
      Store(p + 4 * q, v2);
      Store(p + 6 * q, v3);
      Store(p + 8 * q, v4);
      Store(p + 10 * q, v5);
      Store(p + 12 * q, v6);
      Store(p + 14 * q, v7);
    }
  }
}

// Stages s, s/2: values at distance q = s/4.
void Pass2(double* x, int len, int s, const double* tw) {
  const int q = s / 4;
  for (int base = 0; base < len; base += s) {
    const double* w = tw;
    double* p = x + 2 * base;
    for (int k = 0; k < q; k += 4, p += 8, w += 48) {
      __m512d v0 = Load(p), v1 = Load(p + 2 * q), v2 = Load(p + 4 * q), v3 = Load(p + 6 * q);
      Bfly(v0, v2, w);
      Bfly(v1, v3, w + 16);
      Bfly(v0, v1, w + 32);
      Bfly(v2, v3, w + 32);
      Store(p, v0);
      Store(p + 2 * q, v1);
      Store(p + 4 * q, v2);
      Store(p + 6 * q, v3);
    }
  }
}

// Stage s alone: values at distance q = s/2.
void Pass1(double* x, int len, int s, const double* tw) {
  const int q = s / 2;
  for (int base = 0; base < len; base += s) {
    const double* w = tw;
    double* p = x + 2 * base;
    for (int k = 0; k < q; k += 4, p += 8, w += 16) {
      __m512d v0 = Load(p), v1 = Load(p + 2 * q);
      Bfly(v0, v1, w);
      Store(p, v0);
      Store(p + 2 * q, v1);
    }
  }
}

void RunPass(const FftPassDesc& pass, double* x, int len, const double* packed) {
  const double* tw = packed + pass.tw512;
  if (pass.stages == 3) {
    Pass3(x, len, pass.s, tw);
  } else if (pass.stages == 2) {
    Pass2(x, len, pass.s, tw);
  } else {
    Pass1(x, len, pass.s, tw);
  }
}

// Final pass (see fft_kernel_avx.cpp): group g is the blocks g, g + G, g + 2G, g + 3G (G = n/16,
// s = 8·G doubles apart); result o of block t goes to position rev2(t) of block rev2(o)·G + m of
// the mirror group m. With the four blocks in the lane order t = 0, 2, 1, 3, a result register
// holds positions 0 ... 3 of its destination block.
struct FinalConst {
  __m512d w0r, w0i, w1r, w1i;  // twiddles of stage 4 (k = 0, 1) in every lane
  __m512d factor;
  const double* h;  // response, or null
  const double* x;
};

struct Group {
  __m512d v0, v1, v2, v3;  // value i of blocks t = 0, 2, 1, 3
};

inline Group LoadGroup(const double* a, long s) {
  const __m512d b0 = Load(a), b1 = Load(a + s), b2 = Load(a + 2 * s), b3 = Load(a + 3 * s);
  const __m512d t0 = Lanes128<0x44>(b0, b2);  // b0 values 0 1, b2 values 0 1
  const __m512d t1 = Lanes128<0xEE>(b0, b2);  // b0 values 2 3, b2 values 2 3
  const __m512d t2 = Lanes128<0x44>(b1, b3);
  const __m512d t3 = Lanes128<0xEE>(b1, b3);
  return {Lanes128<0x88>(t0, t2), Lanes128<0xDD>(t0, t2),
          Lanes128<0x88>(t1, t3), Lanes128<0xDD>(t1, t3)};
}

template <bool kScale, bool kResponse>
inline void Put(const FinalConst& c, __m512d r, double* p) {
  if (kScale) r = _mm512_mul_pd(r, c.factor);
  if (kResponse) {
    const __m512d h = Load(c.h + (p - c.x));
    r = MulDup(r, DupRe(h), DupIm(h));
  }
  Store(p, r);
}

// Stages 4 and 2 of a group, then scaling and response, stored at d (the destination group).
template <bool kScale, bool kResponse>
inline void FinishGroup(const FinalConst& c, Group v, double* d, long s) {
  const __m512d t0 = _mm512_sub_pd(v.v0, v.v2);
  const __m512d a0 = _mm512_add_pd(v.v0, v.v2);
  const __m512d b0 = MulDup(t0, c.w0r, c.w0i);
  const __m512d t1 = _mm512_sub_pd(v.v1, v.v3);
  const __m512d a1 = _mm512_add_pd(v.v1, v.v3);
  const __m512d b1 = MulDup(t1, c.w1r, c.w1i);
  Put<kScale, kResponse>(c, _mm512_add_pd(a0, a1), d);
  Put<kScale, kResponse>(c, _mm512_sub_pd(a0, a1), d + 2 * s);
  Put<kScale, kResponse>(c, _mm512_add_pd(b0, b1), d + s);
  Put<kScale, kResponse>(c, _mm512_sub_pd(b0, b1), d + 3 * s);
}

template <bool kScale, bool kResponse>
void FinalPassT(const FftJob& job) {
  const long s = 8L * (job.n / 16);
  // The 256-bit final twiddles: (re 0 ×4, im 0 ×4, re 1 ×4, im 1 ×4), each half broadcast.
  const double* w = job.final_tw;
  const FinalConst c{Broadcast256(w), Broadcast256(w + 4),
                     Broadcast256(w + 8), Broadcast256(w + 12),
                     _mm512_set1_pd(job.factor), job.h, job.x};
  double* x = job.x;
  for (size_t k = 0; k < job.pair_count; ++k) {
    double* xg = x + 8 * job.pairs[2 * k];
    double* xm = x + 8 * job.pairs[2 * k + 1];
    // Group g's input is held while group m's results overwrite it, then g's results go to m.
    const Group g = LoadGroup(xg, s);
    FinishGroup<kScale, kResponse>(c, LoadGroup(xm, s), xg, s);
    FinishGroup<kScale, kResponse>(c, g, xm, s);
  }
  for (size_t k = 0; k < job.self_count; ++k) {
    double* xg = x + 8 * job.self[k];
    FinishGroup<kScale, kResponse>(c, LoadGroup(xg, s), xg, s);
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

}  // namespace

void FftRunAvx512(const FftJob& job) {
  const int n = job.n;
  for (int p = 0; p < job.breadth_passes; ++p) RunPass(job.passes[p], job.x, n, job.packed512);
  for (int base = 0; base < n; base += job.block) {
    for (int p = 0; p < job.block_passes; ++p) {
      RunPass(job.passes[job.breadth_passes + p], job.x + 2 * base, job.block, job.packed512);
    }
  }
  FinalPass(job);
}

}  // namespace kavu

#else
#include "shell/fatal_error.h"
namespace kavu {
void FftRunAvx512(const FftJob&) { FatalError("BPF_Proc_AVX() - путь AVX-512 не собран для этого процессора !!!"); }
}  // namespace kavu
#endif
