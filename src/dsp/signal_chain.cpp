#include "dsp/signal_chain.h"

#include <algorithm>
#include <cmath>

#include "dsp/sample_rate_plan.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kavu {
namespace {

struct ComplexIn {
  const FftComplex* a;
  const FftComplex* b;
  FftComplex A(int k) const { return a[k]; }
  FftComplex B(int k) const { return b[k]; }
};

struct IqIn {
  const float* a;
  const float* b;
  FftComplex A(int k) const { return {a[2 * k], a[2 * k + 1]}; }
  FftComplex B(int k) const { return {b[2 * k], b[2 * k + 1]}; }
};

inline FftComplex Mul(FftComplex x, FftComplex y) {
  return {x.real() * y.real() - x.imag() * y.imag(), x.real() * y.imag() + x.imag() * y.real()};
}

}  // namespace

std::unique_ptr<OSignalChain> OSignalChain::Create(FftSetupPtr fft, int64_t capacity, std::string* error) {
  if (capacity < kBlock || capacity > INT32_MAX) {
    if (error) *error = "ёмкость хранилищ " + std::to_string(capacity) + " вне пределов 1024 … 2^31-1";
    return nullptr;
  }
  return std::unique_ptr<OSignalChain>(new OSignalChain(std::move(fft), capacity));
}

OSignalChain::OSignalChain(FftSetupPtr fft, int64_t capacity)
    : capacity_(capacity),
      rawA_(static_cast<size_t>(capacity)),
      rawB_(static_cast<size_t>(capacity)),
      x_(static_cast<size_t>(capacity)),
      y_(static_cast<size_t>(capacity)),
      p_(static_cast<size_t>(capacity)),
      det_(static_cast<size_t>(capacity)),
      bufA_{AlignedStore<FftComplex>(kFilterSize), AlignedStore<FftComplex>(kFilterSize)},
      bufB_{AlignedStore<FftComplex>(kFilterSize), AlignedStore<FftComplex>(kFilterSize)},
      H_(kFilterSize),
      taps_(kBlock),
      fft_(std::move(fft), kFilterSize) {
  // Until a plan is used the filter is a pure delay of 512 samples with unit gain.
  static const FftComplex kDelay[4] = {{1, 0}, {0, -1}, {-1, 0}, {0, 1}};
  for (int k = 0; k < kFilterSize; ++k) H_[static_cast<size_t>(k)] = kDelay[k % 4];
  Clear();
}

OSignalChain::OSignalChain(const OSignalChain& o)
    : OSignalChain(o.fft_.Setup(), o.capacity_) {
  rawA_.CopyFrom(o.rawA_, static_cast<size_t>(o.rawCount_));
  rawB_.CopyFrom(o.rawB_, static_cast<size_t>(o.rawCount_));
  x_.CopyFrom(o.x_, static_cast<size_t>(o.decimated_));
  y_.CopyFrom(o.y_, static_cast<size_t>(o.decimated_));
  p_.CopyFrom(o.p_, static_cast<size_t>(o.decimated_));
  det_.CopyFrom(o.det_, static_cast<size_t>(o.decimated_));
  rawCount_ = o.rawCount_;
  decimated_ = o.decimated_;
  inputCount_ = o.inputCount_;
  hasB_ = o.hasB_;
  for (int i = 0; i < 2; ++i) {
    bufA_[i].CopyFrom(o.bufA_[i], kFilterSize);
    bufB_[i].CopyFrom(o.bufB_[i], kFilterSize);
  }
  which_ = o.which_;
  H_.CopyFrom(o.H_, kFilterSize);
  phasor_ = o.phasor_;
  step_ = o.step_;
  pendingAt_ = o.pendingAt_;
  pendingG_ = o.pendingG_;
  d_ = o.d_;
  invD_ = o.invD_;
  powerSum_ = o.powerSum_;
  counter_ = o.counter_;
  fft_ = o.fft_;
}

void OSignalChain::UsePlan(const SampleRatePlan& plan) { SetFilter(plan.Response(), plan.Decimation()); }

bool OSignalChain::SetFilter(const FftComplex* H, int D) {
  if (D < 1 || D > 100 || H == nullptr) return false;
  for (int k = 0; k < kFilterSize; ++k) {
    if (!std::isfinite(H[k].real()) || !std::isfinite(H[k].imag())) return false;
  }
  std::copy(H, H + kFilterSize, H_.data());
  d_ = D;
  invD_ = 1.0 / D;
  return true;
}

void OSignalChain::SetMixer(double g) { step_ = {std::cos(g), -std::sin(g)}; }

void OSignalChain::ScheduleMixer(double g, int64_t atInput) {
  pendingG_ = g;
  pendingAt_ = std::max<int64_t>(0, atInput);
}

void OSignalChain::ResetBatch() {
  rawCount_ = 0;
  decimated_ = 0;
  inputCount_ = 0;
  powerSum_ = 0;
  counter_ = 0;
  hasB_ = false;
  pendingAt_ = -1;
}

void OSignalChain::Clear() {
  rawA_.Zero(static_cast<size_t>(rawCount_));
  rawB_.Zero(static_cast<size_t>(rawCount_));
  x_.Zero(static_cast<size_t>(decimated_));
  y_.Zero(static_cast<size_t>(decimated_));
  p_.Zero(static_cast<size_t>(decimated_));
  det_.Zero(static_cast<size_t>(decimated_));
  for (int i = 0; i < 2; ++i) {
    bufA_[i].Zero(kFilterSize);
    bufB_[i].Zero(kFilterSize);
  }
  ResetBatch();
  d_ = 5;
  invD_ = 0.2;
  phasor_ = {1, 0};
  step_ = {1, 0};
  pendingAt_ = -1;
}

void OSignalChain::ProcessBlock(const FftComplex* a, const FftComplex* b, int switchAt, double g) {
  Process(ComplexIn{a, b}, b != nullptr, switchAt, g);
}

void OSignalChain::ProcessBlockIq(const float* a, const float* b, int switchAt, double g) {
  Process(IqIn{a, b}, b != nullptr, switchAt, g);
}

template <class In>
void OSignalChain::Process(const In& in, bool twoInputs, int switchAt, double g) {
  if (IsFull()) return;
  const bool toRaw = rawCount_ + kBlock <= capacity_;
  Mix(in, twoInputs, switchAt, g, toRaw);
  inputCount_ += kBlock;
  const bool priming = rawCount_ == 0;
  if (toRaw) rawCount_ += kBlock;
  if (priming) {
    hasB_ = twoInputs;
  } else {
    FilterAndDecimate(twoInputs && hasB_);
  }
  which_ ^= 1;
}

template <bool kTwo, bool kRaw, class In>
void OSignalChain::MixLoop(const In& in, int from, int to, FftComplex& ph, FftComplex st) {
  FftComplex* a = bufA_[which_].data();
  FftComplex* an = bufA_[which_ ^ 1].data() + kBlock;
  FftComplex* b = bufB_[which_].data();
  FftComplex* bn = bufB_[which_ ^ 1].data() + kBlock;
  FftComplex* ra = rawA_.data() + rawCount_;
  FftComplex* rb = rawB_.data() + rawCount_;
  const auto put = [&](int k, FftComplex p) {
#if defined(__SSE2__)
    // The same products as Mul(), two lanes at a time: (xr·pr − xi·pi, xi·pr + xr·pi).
    const __m128d pr = _mm_set1_pd(p.real());
    const __m128d pi = _mm_set_pd(p.imag(), -p.imag());
    const auto mul = [&](FftComplex x) {
      const __m128d v = _mm_set_pd(x.imag(), x.real());
      const __m128d sw = _mm_shuffle_pd(v, v, 1);
      return _mm_add_pd(_mm_mul_pd(v, pr), _mm_mul_pd(sw, pi));
    };
    const __m128d va = mul(in.A(k));
    _mm_store_pd(reinterpret_cast<double*>(a + k), va);
    _mm_store_pd(reinterpret_cast<double*>(an + k), va);
    if constexpr (kRaw) _mm_stream_pd(reinterpret_cast<double*>(ra + k), va);
    if constexpr (kTwo) {
      const __m128d vb = mul(in.B(k));
      _mm_store_pd(reinterpret_cast<double*>(b + k), vb);
      _mm_store_pd(reinterpret_cast<double*>(bn + k), vb);
      if constexpr (kRaw) _mm_stream_pd(reinterpret_cast<double*>(rb + k), vb);
    }
#else
    const FftComplex va = Mul(in.A(k), p);
    a[k] = va;
    an[k] = va;
    if constexpr (kRaw) ra[k] = va;
    if constexpr (kTwo) {
      const FftComplex vb = Mul(in.B(k), p);
      b[k] = vb;
      bn[k] = vb;
      if constexpr (kRaw) rb[k] = vb;
    }
#endif
  };
  // Eight oscillator lanes, each advanced by step⁸: still one complex multiplication per sample,
  // but without one long chain of dependent multiplications through the block.
  constexpr int kLanes = 8;
  int k = from;
  if (to - from >= 2 * kLanes) {
    FftComplex lane[kLanes];
    lane[0] = ph;
    for (int i = 1; i < kLanes; ++i) lane[i] = Mul(lane[i - 1], st);
    FftComplex step8 = st;
    for (int i = 1; i < kLanes; ++i) step8 = Mul(step8, st);
    for (; k + kLanes <= to; k += kLanes) {
      for (int i = 0; i < kLanes; ++i) put(k + i, lane[i]);
      for (int i = 0; i < kLanes; ++i) lane[i] = Mul(lane[i], step8);
    }
    ph = lane[0];
  }
  for (; k < to; ++k) {
    put(k, ph);
    ph = Mul(ph, st);
  }
#if defined(__SSE2__)
  if constexpr (kRaw) _mm_sfence();  // the raw store was written past the caches
#endif
}

template <class In>
void OSignalChain::Mix(const In& in, bool twoInputs, int switchAt, double g, bool toRaw) {
  const double m = std::hypot(phasor_.real(), phasor_.imag());
  if (m > 0 && std::isfinite(m)) phasor_ /= m;
  else phasor_ = {1, 0};
  // The next change inside this block: the caller's, else a scheduled one that falls here.
  int at = switchAt >= 0 && switchAt < kBlock ? switchAt : kNoSwitch;
  double atG = g;
  if (at == kNoSwitch && pendingAt_ >= 0 && pendingAt_ < inputCount_ + kBlock) {
    at = static_cast<int>(std::max<int64_t>(0, pendingAt_ - inputCount_));
    atG = pendingG_;
    pendingAt_ = -1;
  }
  const auto run = [&](int from, int to) {
    if (twoInputs) {
      toRaw ? MixLoop<true, true>(in, from, to, phasor_, step_) : MixLoop<true, false>(in, from, to, phasor_, step_);
    } else {
      toRaw ? MixLoop<false, true>(in, from, to, phasor_, step_) : MixLoop<false, false>(in, from, to, phasor_, step_);
    }
  };
  if (at == kNoSwitch) {
    run(0, kBlock);
    return;
  }
  // Sample `at` is still mixed with the phase reached by the old step; the new step advances
  // the phase from there on, so the phase stays continuous.
  run(0, at);
  step_ = {std::cos(atG), -std::sin(atG)};
  run(at, kBlock);
}

void OSignalChain::FilterAndDecimate(bool twoInputs) {
  FftComplex* A = bufA_[which_].data();
  // The unfiltered samples aligned with the filter's 512-sample delay: the second half of the
  // previous block, then the first half of this one. Their power is taken before filtering,
  // which overwrites the buffer.
  int taps = 0;
  int counter = counter_;
  double sum = powerSum_;
  const FftComplex* prev = A + kBlock + kBlock / 2;  // aligned samples 0 … 511
  for (int k = 0; k < kBlock; ++k) {
    const FftComplex& al = k < kBlock / 2 ? prev[k] : A[k - kBlock / 2];
    ++counter;
    sum += al.real() * al.real() + al.imag() * al.imag();
    if (counter < d_) continue;
    if (decimated_ + taps < capacity_) {
      p_[static_cast<size_t>(decimated_ + taps)] = sum * invD_;
      taps_[static_cast<size_t>(taps++)] = k;
    }
    sum = 0;
    counter = 0;
  }
  counter_ = counter;
  powerSum_ = sum;
  fft_.FilterBPF2(A, kFilterSize, H_.data());
  FftComplex* B = nullptr;
  if (twoInputs) {
    B = bufB_[which_].data();
    fft_.FilterBPF2(B, kFilterSize, H_.data());
  }
  for (int t = 0; t < taps; ++t) {
    const size_t n = static_cast<size_t>(decimated_ + t);
    const int k = taps_[static_cast<size_t>(t)];
    x_[n] = A[k];
    y_[n] = B ? B[k] : FftComplex(0, 0);
  }
  decimated_ += taps;
}

FftComplex OSignalChain::RawSample(int64_t k) const {
  return k >= 0 && k < rawCount_ ? rawA_[static_cast<size_t>(k)] : FftComplex(0, 0);
}
FftComplex OSignalChain::DecimatedSample(int64_t k) const {
  return k >= 0 && k < decimated_ ? x_[static_cast<size_t>(k)] : FftComplex(0, 0);
}
double OSignalChain::PowerSample(int64_t k) const {
  return k >= 0 && k < decimated_ ? p_[static_cast<size_t>(k)] : 0.0;
}
double OSignalChain::DetectorSample(int64_t k) const {
  return k >= 0 && k < decimated_ ? std::sqrt(std::max(0.0, det_[static_cast<size_t>(k)])) : 0.0;
}

}  // namespace kavu
