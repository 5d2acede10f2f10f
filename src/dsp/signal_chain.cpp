#include "dsp/signal_chain.h"

#include <algorithm>
#include <cmath>

#include "dsp/sample_rate_plan.h"

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

std::unique_ptr<OSignalChain> OSignalChain::Create(int64_t capacity, std::string* error) {
  if (capacity < kBlock || capacity > INT32_MAX) {
    if (error) *error = "ёмкость хранилищ " + std::to_string(capacity) + " вне пределов 1024 … 2^31-1";
    return nullptr;
  }
  return std::unique_ptr<OSignalChain>(new OSignalChain(capacity));
}

OSignalChain::OSignalChain(int64_t capacity)
    : capacity_(capacity),
      rawA_(static_cast<size_t>(capacity)),
      rawB_(static_cast<size_t>(capacity)),
      x_(static_cast<size_t>(capacity)),
      y_(static_cast<size_t>(capacity)),
      p_(static_cast<size_t>(capacity)),
      det_(static_cast<size_t>(capacity)),
      curA_(kBlock),
      curB_(kBlock),
      histA_(kBlock),
      histB_(kBlock),
      alignedA_(kBlock),
      bufA_(kFilterSize),
      bufB_(kFilterSize),
      H_(kFilterSize),
      fft_(kFilterSize) {
  // Until a plan is used the filter is a pure delay of 512 samples with unit gain.
  static const FftComplex kDelay[4] = {{1, 0}, {0, -1}, {-1, 0}, {0, 1}};
  for (int k = 0; k < kFilterSize; ++k) H_[static_cast<size_t>(k)] = kDelay[k % 4];
  Clear();
}

OSignalChain::OSignalChain(const OSignalChain& o)
    : OSignalChain(o.capacity_) {
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
  histA_.CopyFrom(o.histA_, kBlock);
  histB_.CopyFrom(o.histB_, kBlock);
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
}

void OSignalChain::Clear() {
  rawA_.Zero(static_cast<size_t>(rawCount_));
  rawB_.Zero(static_cast<size_t>(rawCount_));
  x_.Zero(static_cast<size_t>(decimated_));
  y_.Zero(static_cast<size_t>(decimated_));
  p_.Zero(static_cast<size_t>(decimated_));
  det_.Zero(static_cast<size_t>(decimated_));
  histA_.Zero(kBlock);
  histB_.Zero(kBlock);
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
  Mix(in, twoInputs, switchAt, g);
  inputCount_ += kBlock;
  if (rawCount_ == 0) {
    hasB_ = twoInputs;
    std::copy(curA_.data(), curA_.data() + kBlock, histA_.data());
    std::copy(curA_.data(), curA_.data() + kBlock, rawA_.data());
    if (twoInputs) {
      std::copy(curB_.data(), curB_.data() + kBlock, histB_.data());
      std::copy(curB_.data(), curB_.data() + kBlock, rawB_.data());
    }
    rawCount_ = kBlock;
    return;
  }
  if (rawCount_ + kBlock <= capacity_) {
    std::copy(curA_.data(), curA_.data() + kBlock, rawA_.data() + rawCount_);
    if (twoInputs) std::copy(curB_.data(), curB_.data() + kBlock, rawB_.data() + rawCount_);
    rawCount_ += kBlock;
  }
  FilterAndDecimate(twoInputs && hasB_);
}

template <class In>
void OSignalChain::Mix(const In& in, bool twoInputs, int switchAt, double g) {
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
  FftComplex ph = phasor_;
  FftComplex st = step_;
  for (int k = 0; k < kBlock; ++k) {
    if (k == at) {
      step_ = {std::cos(atG), -std::sin(atG)};
      st = step_;
    }
    curA_[static_cast<size_t>(k)] = Mul(in.A(k), ph);
    if (twoInputs) curB_[static_cast<size_t>(k)] = Mul(in.B(k), ph);
    ph = Mul(ph, st);
  }
  phasor_ = ph;
}

void OSignalChain::FilterAndDecimate(bool twoInputs) {
  FftComplex* A = bufA_.data();
  std::copy(curA_.data(), curA_.data() + kBlock, A);
  std::copy(histA_.data(), histA_.data() + kBlock, A + kBlock);
  std::copy(histA_.data() + kBlock / 2, histA_.data() + kBlock, alignedA_.data());
  std::copy(curA_.data(), curA_.data() + kBlock / 2, alignedA_.data() + kBlock / 2);
  std::copy(curA_.data(), curA_.data() + kBlock, histA_.data());
  fft_.FilterBPF2(A, kFilterSize, H_.data());
  FftComplex* B = nullptr;
  if (twoInputs) {
    B = bufB_.data();
    std::copy(curB_.data(), curB_.data() + kBlock, B);
    std::copy(histB_.data(), histB_.data() + kBlock, B + kBlock);
    std::copy(curB_.data(), curB_.data() + kBlock, histB_.data());
    fft_.FilterBPF2(B, kFilterSize, H_.data());
  }
  const FftComplex* al = alignedA_.data();
  for (int k = 0; k < kBlock; ++k) {
    ++counter_;
    powerSum_ += al[k].real() * al[k].real() + al[k].imag() * al[k].imag();
    if (counter_ < d_) continue;
    if (decimated_ < capacity_) {
      const size_t n = static_cast<size_t>(decimated_);
      x_[n] = A[k];
      y_[n] = B ? B[k] : FftComplex(0, 0);
      p_[n] = powerSum_ * invD_;
      ++decimated_;
    }
    powerSum_ = 0;
    counter_ = 0;
  }
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
