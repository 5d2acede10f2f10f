// The AVX kernel's pass plan and its twiddles, packed in the order the passes read them. Plain
// scalar code: the values are copies of the stage twiddles, so the kernel's arithmetic is the
// portable kernel's, only the memory order differs.
//
// Twiddles are stored "duplicated" for the in-register complex product: for the twiddles
// w(k) ... w(k+L-1) of one vector of L values, the 2L doubles (re k, re k, re k+1, re k+1, ...)
// then (im k, im k, ...). L = 2 for the 256-bit passes; the 512-bit passes (L = 4) get their own
// copy, packed only on processors that can run them.
#include "dsp/fft_plan.h"

namespace kavu {
namespace {

// Blocks of this many values stay in the first-level cache while their stages run.
constexpr int kBlock = 2048;
constexpr int kFusedFrom = 16;  // smallest size with the fused final pass (one group of 4 blocks)

using Packed = std::vector<double, FftAlignedAllocator<double>>;

struct Packer {
  const FftComplex* w;  // stage twiddles of the plan (fwd or inv)
  int n;
  Packed* out;
  int lanes;  // values per vector: 2 (256-bit passes) or 4 (512-bit passes)

  FftComplex Tw(int s, int k) const { return w[n - s + k]; }
  // The twiddles of stage s at k ... k + lanes - 1, duplicated.
  void Pair(int s, int k) const {
    for (int m = 0; m < lanes; ++m) out->insert(out->end(), 2, Tw(s, k + m).real());
    for (int m = 0; m < lanes; ++m) out->insert(out->end(), 2, Tw(s, k + m).imag());
  }
  // One twiddle in both lanes (the final pass works on two blocks at once).
  void Broadcast(int s, int k) const {
    const FftComplex a = Tw(s, k);
    out->insert(out->end(), {a.real(), a.real(), a.real(), a.real(), a.imag(), a.imag(), a.imag(), a.imag()});
  }
  void Pass(const FftPassDesc& p) const {
    const int s = p.s;
    const int q = s >> p.stages;  // distance of the pass's values
    for (int k = 0; k < q; k += lanes) {
      if (p.stages == 3) {
        for (int m = 0; m < 4; ++m) Pair(s, k + m * q);
        for (int m = 0; m < 2; ++m) Pair(s / 2, k + m * q);
        Pair(s / 4, k);
      } else if (p.stages == 2) {
        for (int m = 0; m < 2; ++m) Pair(s, k + m * q);
        Pair(s / 2, k);
      } else {
        Pair(s, k);
      }
    }
  }
  void Final() const {
    for (int m = 0; m < 2; ++m) Broadcast(4, m);
  }
};

// Stages s_hi, s_hi/2, ..., s_lo in passes of at most three; the short passes come first.
void Group(int s_hi, int s_lo, std::vector<FftPassDesc>& passes) {
  int count = 0;
  for (int s = s_hi; s >= s_lo; s /= 2) ++count;
  int s = s_hi;
  auto add = [&](int stages) {
    passes.push_back({stages, s, 0});
    s >>= stages;
    count -= stages;
  };
  if (count == 1) add(1);
  if (count % 3 == 1) {
    add(2);
    add(2);
  } else if (count % 3 == 2) {
    add(2);
  }
  while (count > 0) add(3);
}

int Reverse(int v, int bits) {
  int r = 0;
  for (int b = 0; b < bits; ++b, v >>= 1) r = (r << 1) | (v & 1);
  return r;
}

}  // namespace

void PackAvxTwiddles(FftPlan& plan) {
  plan.avx_fused = plan.n >= kFusedFrom;
  plan.avx_passes.clear();
  plan.avx_fwd.clear();
  plan.avx_inv.clear();
  plan.avx512_fwd.clear();
  plan.avx512_inv.clear();
  plan.avx_pairs.clear();
  plan.avx_self.clear();
  if (!plan.avx_fused) return;
  const int n = plan.n;
  plan.avx_block = n < kBlock ? n : kBlock;
  if (n > plan.avx_block) Group(n, 2 * plan.avx_block, plan.avx_passes);
  plan.avx_breadth = static_cast<int>(plan.avx_passes.size());
  Group(plan.avx_block, 8, plan.avx_passes);
  for (auto [w, out] : {std::pair{plan.fwd.data(), &plan.avx_fwd}, std::pair{plan.inv.data(), &plan.avx_inv}}) {
    const Packer packer{w, n, out, 2};
    for (FftPassDesc& p : plan.avx_passes) {
      p.tw = out->size();
      packer.Pass(p);
    }
    plan.avx_final_tw = out->size();
    packer.Final();
  }
  // Every pass's values lie at least 4 apart (the last block pass ends at stage 8), so the
  // 512-bit passes fill whole vectors; their final pass broadcasts the 256-bit final twiddles.
  if (FftAvx512Available()) {
    for (auto [w, out] : {std::pair{plan.fwd.data(), &plan.avx512_fwd}, std::pair{plan.inv.data(), &plan.avx512_inv}}) {
      const Packer packer{w, n, out, 4};
      for (FftPassDesc& p : plan.avx_passes) {
        p.tw512 = out->size();
        packer.Pass(p);
      }
    }
  }
  const int bits = plan.log2n - 4;
  for (int g = 0; g < (1 << bits); ++g) {
    const int m = Reverse(g, bits);
    if (g < m) {
      plan.avx_pairs.push_back(g);
      plan.avx_pairs.push_back(m);
    } else if (g == m) {
      plan.avx_self.push_back(g);
    }
  }
}

}  // namespace kavu
