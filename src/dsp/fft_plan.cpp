#include "dsp/fft_plan.h"

#include <cmath>
#include <numbers>

namespace kavu {
namespace {

uint32_t BitReverse(uint32_t i, int bits) {
  uint32_t r = 0;
  for (int b = 0; b < bits; ++b, i >>= 1) r = (r << 1) | (i & 1u);
  return r;
}

// Twiddles of a stage above the table size: a running product of e^(∓jπ/c) starting at 1
// (sign -1 forward, +1 inverse).
void RunningProduct(FftComplex* out, int c, double sign) {
  const double angle = std::numbers::pi / c;
  const FftComplex step{std::cos(angle), sign * std::sin(angle)};
  FftComplex w{1.0, 0.0};
  for (int k = 0; k < c; ++k) {
    out[k] = w;
    w = FftMul(w, step);
  }
}

}  // namespace

FftPlan BuildFftPlan(int n, int table_nn, const FftComplex* table_fwd, const FftComplex* table_inv) {
  FftPlan p;
  p.n = n;
  while ((1 << p.log2n) < n) ++p.log2n;
  p.fwd.assign(static_cast<size_t>(n), FftComplex{});
  p.inv.assign(static_cast<size_t>(n), FftComplex{});
  for (int s = n; s > 2; s /= 2) {
    const int c = s / 2;
    FftComplex* f = p.fwd.data() + (n - s);
    FftComplex* v = p.inv.data() + (n - s);
    if (s > table_nn) {
      RunningProduct(f, c, -1.0);
      RunningProduct(v, c, +1.0);
    } else {
      const size_t from = static_cast<size_t>(table_nn - s);  // the pointer advanced s/2 per stage
      for (int k = 0; k < c; ++k) {
        f[k] = table_fwd[from + k];
        v[k] = table_inv[from + k];
      }
    }
  }
  for (uint32_t i = 0; i < static_cast<uint32_t>(n); ++i) {
    const uint32_t r = BitReverse(i, p.log2n);
    if (i < r) {
      p.swaps.push_back(i);
      p.swaps.push_back(r);
    }
  }
  PackAvxTwiddles(p);
  return p;
}

FftJob MakeFftJob(const FftPlan& plan, FftComplex* data, FftOp op, const FftComplex* h, bool avx512) {
  const bool inverse = op == FftOp::Inverse;
  FftJob j;
  j.n = plan.n;
  j.log2n = plan.log2n;
  j.x = reinterpret_cast<double*>(data);
  j.tw = reinterpret_cast<const double*>(inverse ? plan.inv.data() : plan.fwd.data());
  j.packed = inverse ? plan.avx_inv.data() : plan.avx_fwd.data();
  j.swaps = plan.swaps.data();
  j.swap_pairs = plan.swaps.size() / 2;
  j.scale = !inverse;
  j.factor = 1.0 / plan.n;
  j.h = op == FftOp::ForwardMul ? reinterpret_cast<const double*>(h) : nullptr;
  j.fused = plan.avx_fused;
  j.passes = plan.avx_passes.data();
  j.breadth_passes = plan.avx_breadth;
  j.block_passes = static_cast<int>(plan.avx_passes.size()) - plan.avx_breadth;
  j.block = plan.avx_block;
  j.final_tw = j.packed + plan.avx_final_tw;
  j.pairs = plan.avx_pairs.data();
  j.pair_count = plan.avx_pairs.size() / 2;
  j.self = plan.avx_self.data();
  j.self_count = plan.avx_self.size();
  const auto& packed512 = inverse ? plan.avx512_inv : plan.avx512_fwd;
  j.avx512 = avx512 && plan.avx_fused && !packed512.empty();
  j.packed512 = packed512.data();
  return j;
}

}  // namespace kavu
