// Signal-chain benchmark: the block chain (oscillator, 2048-point block filter, decimation, with
// the raw and decimated stores) per 1024-sample block at the 20 MS/s plan, with one and two
// inputs, and as the anchor in the same run the same chain with FFTW's transforms
// (FFTW_MEASURE); then GetDataN per point at the 2.4 MS/s plan with default options.
//   chain_1in_us_per_block        our chain, one input
//   chain_2in_us_per_block        our chain, two inputs
//   chain_1in_fftw_us_per_block   the same work with FFTW's forward and inverse transforms
//   chain_1in_ratio_vs_fftw       ours ÷ FFTW's (at most 1.0 is the target)
//   chain_1in_realtime_x_20msps   51.2 µs (one block at 20 MS/s) ÷ our time per block (≥ 5)
//   getdatan_us_per_point         one GetDataN (N = 1), including R + jX and SWR
#include <emmintrin.h>
#include <fftw3.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include "bench_registry.h"
#include "dsp/aligned_store.h"
#include "dsp/fft_setup.h"
#include "dsp/ombpf2.h"
#include "dsp/sample_rate_plan.h"
#include "dsp/signal_chain.h"
#include "measure/bridge_model.h"
#include "measure/impedance_computer.h"
#include "results/ant_izms.h"
#include "scan/measurement.h"

namespace kavu::bench {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kBlock = OSignalChain::kBlock;
constexpr int kBlocks = 256;  // distinct input blocks cycled through (8 MB of float I/Q)

std::vector<float> NoiseIq(size_t samples, unsigned seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<float> nd(0, 30);
  std::vector<float> v(samples * 2);
  for (auto& x : v) x = nd(gen);
  return v;
}

inline FftComplex Mul(FftComplex x, FftComplex y) {
  return {x.real() * y.real() - x.imag() * y.imag(), x.real() * y.imag() + x.imag() * y.real()};
}

// The same per-block work as OSignalChain::ProcessBlockIq (one input) with FFTW's transforms:
// the oscillator in eight lanes, each block written to the transform buffer, the next block's
// history half and (past the caches) the raw store; the power of the aligned unfiltered samples
// before filtering; forward, multiply by H (with FFTW's missing 1/2048), inverse; decimation.
class FftwChain {
 public:
  FftwChain(const SampleRatePlan& plan, int64_t capacity)
      : capacity_(capacity), raw_(static_cast<size_t>(capacity)), x_(static_cast<size_t>(capacity)),
        p_(static_cast<size_t>(capacity)), buf_{AlignedStore<FftComplex>(2 * kBlock), AlignedStore<FftComplex>(2 * kBlock)},
        H_(2 * kBlock), taps_(kBlock), d_(plan.Decimation()) {
    for (int k = 0; k < 2 * kBlock; ++k) H_[static_cast<size_t>(k)] = plan.Response()[k] / (2.0 * kBlock);
    auto* b = reinterpret_cast<fftw_complex*>(buf_[0].data());
    fwd_ = fftw_plan_dft_1d(2 * kBlock, b, b, FFTW_FORWARD, FFTW_MEASURE);
    inv_ = fftw_plan_dft_1d(2 * kBlock, b, b, FFTW_BACKWARD, FFTW_MEASURE);
    for (int i = 0; i < 2; ++i) std::fill(buf_[i].data(), buf_[i].data() + 2 * kBlock, FftComplex(0, 0));
    step_ = std::polar(1.0, -0.0123);
  }
  ~FftwChain() {
    fftw_destroy_plan(fwd_);
    fftw_destroy_plan(inv_);
  }
  void Reset() { raw_n_ = dec_n_ = 0; }
  bool Full() const { return raw_n_ + kBlock > capacity_; }
  void ProcessBlockIq(const float* a) {
    phasor_ /= std::abs(phasor_);
    FftComplex* cur = buf_[which_].data();
    FftComplex* next = buf_[which_ ^ 1].data() + kBlock;
    FftComplex* raw = raw_n_ + kBlock <= capacity_ ? raw_.data() + raw_n_ : nullptr;
    FftComplex lane[8];
    lane[0] = phasor_;
    for (int i = 1; i < 8; ++i) lane[i] = Mul(lane[i - 1], step_);
    FftComplex step8 = step_;
    for (int i = 1; i < 8; ++i) step8 = Mul(step8, step_);
    for (int k = 0; k < kBlock; k += 8) {
      for (int i = 0; i < 8; ++i) {
        const __m128d pr = _mm_set1_pd(lane[i].real());
        const __m128d pi = _mm_set_pd(lane[i].imag(), -lane[i].imag());
        const __m128d v = _mm_set_pd(a[2 * (k + i) + 1], a[2 * (k + i)]);
        const __m128d m = _mm_add_pd(_mm_mul_pd(v, pr), _mm_mul_pd(_mm_shuffle_pd(v, v, 1), pi));
        _mm_store_pd(reinterpret_cast<double*>(cur + k + i), m);
        _mm_store_pd(reinterpret_cast<double*>(next + k + i), m);
        if (raw) _mm_stream_pd(reinterpret_cast<double*>(raw + k + i), m);
      }
      for (int i = 0; i < 8; ++i) lane[i] = Mul(lane[i], step8);
    }
    _mm_sfence();
    phasor_ = lane[0];
    if (raw) raw_n_ += kBlock;
    int taps = 0, counter = counter_;
    double sum = power_;
    for (int k = 0; k < kBlock; ++k) {
      const FftComplex& al = k < kBlock / 2 ? cur[kBlock + kBlock / 2 + k] : cur[k - kBlock / 2];
      ++counter;
      sum += al.real() * al.real() + al.imag() * al.imag();
      if (counter < d_) continue;
      if (dec_n_ + taps < capacity_) {
        p_[static_cast<size_t>(dec_n_ + taps)] = sum / d_;
        taps_[static_cast<size_t>(taps++)] = k;
      }
      sum = 0;
      counter = 0;
    }
    counter_ = counter;
    power_ = sum;
    auto* c = reinterpret_cast<fftw_complex*>(cur);
    fftw_execute_dft(fwd_, c, c);
    for (int k = 0; k < 2 * kBlock; ++k) cur[k] = Mul(cur[k], H_[static_cast<size_t>(k)]);
    fftw_execute_dft(inv_, c, c);
    for (int t = 0; t < taps; ++t) x_[static_cast<size_t>(dec_n_ + t)] = cur[taps_[static_cast<size_t>(t)]];
    dec_n_ += taps;
    which_ ^= 1;
  }

 private:
  int64_t capacity_;
  AlignedStore<FftComplex> raw_, x_;
  AlignedStore<double> p_;
  AlignedStore<FftComplex> buf_[2], H_;
  AlignedStore<int32_t> taps_;
  fftw_plan fwd_, inv_;
  FftComplex phasor_{1, 0}, step_{1, 0};
  int d_;
  int which_ = 0;
  int counter_ = 0;
  double power_ = 0;
  int64_t raw_n_ = 0, dec_n_ = 0;
};

// Times one batch of `blocks` blocks in µs per block.
template <class Fn>
double UsPerBlock(int blocks, int& n, Fn block) {
  const auto t0 = Clock::now();
  for (int i = 0; i < blocks; ++i) block(n++);
  return std::chrono::duration<double, std::micro>(Clock::now() - t0).count() / blocks;
}

void ChainBench() {
  const FftSetupPtr fft = FftSetup::ForHost(65536);
  RatePlanInputs in;
  in.sampleRate = 20000000;
  const auto plan = RecomputePlan(fft, in);
  const auto a = NoiseIq(static_cast<size_t>(kBlocks) * kBlock, 1);
  const auto b = NoiseIq(static_cast<size_t>(kBlocks) * kBlock, 2);
  const auto blockA = [&](int i) { return &a[static_cast<size_t>(i % kBlocks) * 2 * kBlock]; };
  const auto blockB = [&](int i) { return &b[static_cast<size_t>(i % kBlocks) * 2 * kBlock]; };

  // The chains run on continuously, their stores restarting (as a new group does) only when the
  // raw store is full; a warm-up pass commits the stores' pages, as in the program after its
  // first group. The three chains take turns in short batches and each keeps its best batch, so
  // a machine shared with other work slows them alike.
  auto one = OSignalChain::Create(fft, OSignalChain::kProgramCapacity);
  auto two = OSignalChain::Create(fft, OSignalChain::kProgramCapacity);
  FftwChain ref(*plan, OSignalChain::kProgramCapacity);
  for (auto* c : {one.get(), two.get()}) {
    c->UsePlan(*plan);
    c->SetMixer(0.0123);
  }
  const auto runOne = [&](int i) {
    if (one->RawCount() + kBlock > one->Capacity()) one->ResetBatch();
    one->ProcessBlockIq(blockA(i), nullptr);
  };
  const auto runTwo = [&](int i) {
    if (two->RawCount() + kBlock > two->Capacity()) two->ResetBatch();
    two->ProcessBlockIq(blockA(i), blockB(i));
  };
  const auto runRef = [&](int i) {
    if (ref.Full()) ref.Reset();
    ref.ProcessBlockIq(blockA(i));
  };
  int n1 = 0, n2 = 0, nr = 0;
  UsPerBlock(5000, n1, runOne);
  UsPerBlock(5000, n2, runTwo);
  UsPerBlock(5000, nr, runRef);
  double best1 = 1e300, best2 = 1e300, bestRef = 1e300;
  for (int round = 0; round < 300; ++round) {
    best1 = std::min(best1, UsPerBlock(40, n1, runOne));
    bestRef = std::min(bestRef, UsPerBlock(40, nr, runRef));
    best2 = std::min(best2, UsPerBlock(40, n2, runTwo));
  }
  BenchPrint("chain_1in_us_per_block", best1);
  BenchPrint("chain_2in_us_per_block", best2);
  BenchPrint("chain_1in_fftw_us_per_block", bestRef);
  BenchPrint("chain_1in_ratio_vs_fftw", best1 / bestRef);
  BenchPrint("chain_1in_realtime_x_20msps", 51.2 / best1);
}

// One group of five frequencies at the 2.4 MS/s plan: reference burst, sync pause, A/O slots.
void GetDataNBench() {
  const FftSetupPtr fft = FftSetup::ForHost(65536);
  RatePlanInputs in;
  in.sampleRate = 2400000;
  const auto plan = RecomputePlan(fft, in);
  const double r = plan->SampleRateUsed();
  const double freqs[5] = {140.0e6, 140.5e6, 141.0e6, 141.5e6, 142.0e6};
  const double tuning = 141106958;
  const BridgeSettings bridge;
  const int64_t lead = 3000, burst = std::llround(plan->Slot() * r), pause = std::llround(plan->Pause() * r);
  const int64_t slot = std::llround(plan->Slot() * r);
  std::vector<FftComplex> x;
  const auto tone = [&](int f, int64_t n, FftComplex rho) {
    const double df = freqs[f] - tuning;
    return rho * std::polar(100.0, std::fmod(2 * std::numbers::pi * df * static_cast<double>(x.size()) / r, 2 * std::numbers::pi)) +
           FftComplex(0 * n, 0);
  };
  for (int64_t n = 0; n < lead + burst; ++n) x.push_back(tone(0, n, 1.0));
  for (int64_t n = 0; n < pause; ++n) x.push_back(0);
  for (int f = 0; f < 5; ++f) {
    const FftComplex rho = ExpectedRatio(bridge, {25, -30}, freqs[f]);
    if (f > 0) for (int64_t n = 0; n < pause + slot; ++n) x.push_back(tone(f, n, 1.0));
    for (int64_t n = 0; n < slot; ++n) x.push_back(tone(f, n, rho));
    for (int64_t n = 0; n < slot; ++n) x.push_back(tone(f, n, 1.0));
  }
  x.resize((x.size() / kBlock + 4) * kBlock, FftComplex(0, 0));
  auto chain = OSignalChain::Create(fft, 1 << 20);
  AntIzms set;
  const ImpedanceComputer imp(bridge, nullptr);
  OMeasurement meas(*chain, set);
  meas.SetImpedance(&imp);
  meas.StartGroup(*plan, freqs, 5, freqs[0], tuning);
  for (size_t b = 0; b + kBlock <= x.size(); b += kBlock) {
    chain->ProcessBlock(&x[b], nullptr);
    meas.AfterBlock();
  }
  if (!meas.Ready(4)) {
    BenchPrint("getdatan_us_per_point", -1);
    return;
  }
  constexpr int kPoints = 25;  // short batches, best kept: the machine may be shared
  double best = 1e300;
  for (int batch = 0; batch < 200; ++batch) {
    set.SetCount(0);
    const auto t0 = Clock::now();
    for (int i = 0; i < kPoints; ++i) meas.GetDataN(i % 5);
    best = std::min(best, std::chrono::duration<double, std::micro>(Clock::now() - t0).count() / kPoints);
  }
  BenchPrint("getdatan_us_per_point", best);
}

const BenchRegistrar kChain("chain", ChainBench);
const BenchRegistrar kGetDataN("getdatan", GetDataNBench);

}  // namespace
}  // namespace kavu::bench
