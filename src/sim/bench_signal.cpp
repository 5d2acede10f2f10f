#include "sim/bench_signal.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <type_traits>

#include "measure/bridge_model.h"

namespace kavu::sim {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kNoiseBandHz = 20'000.0;
constexpr double kTunerLowestHz = 24'000'000.0;
constexpr size_t kNoiseTable = size_t{1} << 16;
// The frequency at which phase_wander is given.
constexpr double kWanderReferenceHz = 100e6;

// Rounds to the converter's byte, clamped to its rails; a non-finite value reads as mid-scale.
uint8_t Quantise(double v) {
  if (!(std::abs(v) < 1e6)) return v > 0 ? 255 : (v < 0 ? 0 : 128);
  const double c = std::clamp(v + 128.5, 0.0, 255.5);
  return static_cast<uint8_t>(std::min(255, static_cast<int>(c)));
}

// The same value (in LSB of the 8-bit formats) in the other formats: signed bytes keep the
// unsigned byte's rails shifted by 128; 16-bit and float scale one 8-bit LSB to 256 units.
int8_t QuantiseS8(double v) { return static_cast<int8_t>(static_cast<int>(Quantise(v)) - 128); }

constexpr double kWideScale = 256.0;
constexpr double kWideRail = 32767.0;

int16_t QuantiseI16(double v) {
  if (!(std::abs(v) < 1e6)) return static_cast<int16_t>(v > 0 ? kWideRail : (v < 0 ? -kWideRail : 0.0));
  return static_cast<int16_t>(std::lround(std::clamp(v * kWideScale, -kWideRail, kWideRail)));
}

float QuantiseF32(double v) {
  if (!(std::abs(v) < 1e6)) return static_cast<float>(v > 0 ? kWideRail : (v < 0 ? -kWideRail : 0.0));
  return static_cast<float>(std::clamp(v * kWideScale, -kWideRail, kWideRail));
}

// Writes sample k's I and Q in one format: T the sample type, Q its quantiser.
template <typename T, T (*Q)(double)>
struct WriteIQ {
  T* p;
  void operator()(uint32_t k, double i, double q) const {
    p[2 * k] = Q(i);
    p[2 * k + 1] = Q(q);
  }
};
using WriteU8 = WriteIQ<uint8_t, Quantise>;
using WriteS8 = WriteIQ<int8_t, QuantiseS8>;
using WriteI16 = WriteIQ<int16_t, QuantiseI16>;
using WriteF32 = WriteIQ<float, QuantiseF32>;

BridgeSettings BenchBridge(const BenchImpairments& imp) {
  BridgeSettings b;
  b.rt = imp.bridge_rt;
  b.rb = imp.bridge_rb;
  b.rd = imp.bridge_rd;
  b.rg = imp.bridge_rg;
  b.cs_pf = imp.bridge_cs_pf;
  return b;
}

// Reference-node voltage per generator volt: Zb / (Zb + Rt), Zb = Rb ∥ Z1.
Complex ReferenceNode(const BridgeSettings& b, double f_hz) {
  const Complex zb = Parallel(b.rb, DetectorBranch(b, f_hz));
  return zb / (zb + b.rt);
}

// What reaches the receiver from a node: the divider Rd / (Rg ∥ (50 + jXc)), then 50 Ω of 50 + jXc.
Complex Divider(const BridgeSettings& b, double f_hz) {
  const Complex rx(BridgeSettings::kReceiverOhm, SeparatingReactance(b, f_hz));
  const Complex zg = Parallel(b.rg, rx);
  return zg / (b.rd + zg) * (BridgeSettings::kReceiverOhm / rx);
}

}  // namespace

int64_t SampleTimeBase::SampleToNs(uint64_t k) const {
  const double dk = static_cast<double>(k) - static_cast<double>(origin_sample);
  return origin_ns + static_cast<int64_t>(std::llround(dk * 1e9 / rate));
}

uint64_t SampleTimeBase::NsToSample(int64_t t_ns) const {
  if (t_ns <= origin_ns) return origin_sample;
  const double k = std::ceil(static_cast<double>(t_ns - origin_ns) * rate * 1e-9 - 1e-6);
  return origin_sample + static_cast<uint64_t>(std::max(0.0, k));
}

BenchSignal::BenchSignal(const BenchImpairments& impairments, AntennaModel antenna)
    : imp_(impairments), antenna_(std::move(antenna)), bridge_(BenchBridge(impairments)),
      rng_(static_cast<uint64_t>(impairments.seed)) {
  const BridgeSettings defaults;
  norm_ = std::abs(ReferenceNode(defaults, 1e6) * Divider(defaults, 1e6));
  for (double& p : phase_) p = kTwoPi * std::uniform_real_distribution<double>(0, 1)(rng_);
  noise_table_.resize(kNoiseTable);
  for (double& g : noise_table_) g = NextGauss();
  noise_state_ = rng_() | 1u;
}

double BenchSignal::NoiseGauss() {
  noise_state_ ^= noise_state_ << 13;
  noise_state_ ^= noise_state_ >> 7;
  noise_state_ ^= noise_state_ << 17;
  return noise_table_[static_cast<size_t>(noise_state_ >> 48) & (kNoiseTable - 1)];
}

double BenchSignal::NextGauss() { return gauss_(rng_); }

double BenchSignal::GainLinear() const {
  return std::pow(10.0, (gain_ / 10.0 + gain_step_db_) / 20.0);
}

void BenchSignal::Configure(double rate, double center_hz, int32_t gain_tenths, int32_t direct) {
  // A retune (not the first tuning) moves the gain by a random step.
  if (center_ != 0 && center_hz != center_ && imp_.gain_step_db > 0) {
    gain_step_db_ = imp_.gain_step_db * NextGauss();
  }
  rate_ = rate > 0 ? rate : 1.0;
  center_ = center_hz;
  gain_ = gain_tenths;
  direct_ = direct;
}

Complex BenchSignal::Divided(Complex node, double f_hz) const { return node * Divider(bridge_, f_hz); }

Complex BenchSignal::ToneAmplitude(double f_hz, BridgeState bridge, int harmonic) const {
  if (bridge == BridgeState::kOff) return 0.0;
  Complex v = ReferenceNode(bridge_, f_hz);
  if (bridge == BridgeState::kAntenna) v *= ExpectedRatio(bridge_, antenna_.Impedance(f_hz), f_hz);
  return imp_.ref_lsb * GainLinear() / norm_ * Divided(v, f_hz) / static_cast<double>(harmonic);
}

namespace {
constexpr int kSpiHarmonics = 9;  // the Si4463 reaches 10 GHz with its 9th harmonic
}  // namespace

void BenchSignal::CollectTones(const TimelineState& st, std::vector<Tone>& out) const {
  out.clear();
  if (direct_ == 0 && center_ < kTunerLowestHz) return;
  const double lo = center_ - rate_ / 2, hi = center_ + rate_ / 2;
  for (int s = 0; s < kTimelineSources; ++s) {
    const SourceState& src = st.sources[static_cast<size_t>(s)];
    if (!src.on || !(src.hz > 0)) continue;
    const double f = src.hz * (1.0 + imp_.gen_ppm * 1e-6);
    const bool spi = s >= kTimelineFirstSpiSource;
    // Harmonics that fall inside the band: the odd ones of the Si5351's square wave; every one
    // up to the kSpiHarmonics-th of an SPI generator's output stage.
    const double h_first = std::max(1.0, std::ceil(lo / f));
    const double h_last = imp_.harmonics == 0 ? 1.0
                          : spi ? std::min(std::floor(hi / f), static_cast<double>(kSpiHarmonics))
                                : std::floor(hi / f);
    for (double hd = h_first; hd <= h_last && hd < 1000.0; hd += 1.0) {
      const auto h = static_cast<int>(hd);
      if (h % 2 == 0 && !spi) continue;
      const double fh = f * h;
      if (fh < lo || fh >= hi) continue;
      out.push_back({fh - center_, ToneAmplitude(fh, st.bridge, h),
                     imp_.ref_lsb * GainLinear() / static_cast<double>(h), s, h});
    }
  }
}

void BenchSignal::Wander(double step, const TimelineState& st) {
  for (int s = 0; s < kTimelineSources; ++s) {
    const double hz = st.sources[static_cast<size_t>(s)].hz;
    phase_[s] += step * (hz > 0 ? hz / kWanderReferenceHz : 0.0) * NextGauss();
  }
}

void BenchSignal::Fill(const IBenchState& state, const SampleTimeBase& clock, uint64_t first,
                       uint8_t* buf, uint32_t len) {
  Generate(state, clock, first, len / 2, WriteU8{buf});
  if (len & 1u) buf[len - 1] = 128;
}

bool BenchSignal::FillFormat(const IBenchState& state, const SampleTimeBase& clock, uint64_t first,
                             int32_t format, void* buf, uint32_t samples) {
  switch (format) {
    case kKavuSimU8:
      Generate(state, clock, first, samples, WriteU8{static_cast<uint8_t*>(buf)});
      return true;
    case kKavuSimS8:
      Generate(state, clock, first, samples, WriteS8{static_cast<int8_t*>(buf)});
      return true;
    case kKavuSimI16:
      Generate(state, clock, first, samples, WriteI16{static_cast<int16_t*>(buf)});
      return true;
    case kKavuSimF32:
      Generate(state, clock, first, samples, WriteF32{static_cast<float*>(buf)});
      return true;
    default:
      return false;
  }
}

bool BenchSignal::FillDual(const IBenchState& state, const SampleTimeBase& clock, uint64_t first, int32_t format,
                           void* buf_a, void* buf_b, uint32_t samples) {
  switch (format) {
    case kKavuSimI16:
      Generate(state, clock, first, samples, WriteI16{static_cast<int16_t*>(buf_a)},
               WriteI16{static_cast<int16_t*>(buf_b)});
      return true;
    case kKavuSimF32:
      Generate(state, clock, first, samples, WriteF32{static_cast<float*>(buf_a)}, WriteF32{static_cast<float*>(buf_b)});
      return true;
    default:
      return false;
  }
}

template <class Write, class WriteB>
void BenchSignal::Generate(const IBenchState& state, const SampleTimeBase& clock, uint64_t first,
                           uint32_t n, Write write, WriteB write_b) {
  constexpr bool kHasB = !std::is_same_v<WriteB, NoB>;
  const double gain = GainLinear();
  const double sigma = imp_.ref_lsb * gain *
                       std::sqrt(std::pow(10.0, imp_.noise_db / 10.0) * rate_ / kNoiseBandHz / 2.0);
  const Complex dc = std::polar(imp_.dc_lsb, std::numbers::pi / 4);
  // The generators' phases walk in small steps at every kWanderSamples-th sample of the stream,
  // so the walk is the same whatever the block sizes and has no jump within a burst.
  const double step = imp_.phase_wander * std::sqrt(static_cast<double>(kWanderSamples) / rate_);

  uint32_t k = 0;
  while (k < n) {
    const uint64_t sample = first + k;
    int64_t next_change = std::numeric_limits<int64_t>::max();
    const TimelineState st = state.StateAt(clock.SampleToNs(sample), &next_change);
    uint64_t run_end = first + n;
    if (next_change != std::numeric_limits<int64_t>::max()) {
      run_end = std::clamp<uint64_t>(clock.NsToSample(next_change), sample + 1, first + n);
    }
    CollectTones(st, tones_);
    rot_.resize(tones_.size());
    phasor_.resize(tones_.size());
    if constexpr (kHasB) phasor_b_.resize(tones_.size());
    for (size_t t = 0; t < tones_.size(); ++t) rot_[t] = std::polar(1.0, kTwoPi * tones_[t].offset_hz / rate_);
    while (first + k < run_end) {
      const uint64_t s = first + k;
      if (s % kWanderSamples == 0 && step > 0) Wander(step, st);
      const uint64_t chunk_end = std::min(run_end, (s / kWanderSamples + 1) * kWanderSamples);
      for (size_t t = 0; t < tones_.size(); ++t) {
        const double cycles = tones_[t].offset_hz * static_cast<double>(s) / rate_;
        const double theta = kTwoPi * (cycles - std::floor(cycles)) +
                             phase_[tones_[t].source] * tones_[t].harmonic;
        phasor_[t] = tones_[t].amplitude * std::polar(1.0, theta);
        if constexpr (kHasB) phasor_b_[t] = tones_[t].amplitude_b * std::polar(1.0, theta);
      }
      for (; first + k < chunk_end; ++k) {
        Complex x = dc;
        for (size_t t = 0; t < tones_.size(); ++t) {
          x += phasor_[t];
          phasor_[t] *= rot_[t];
        }
        if (sigma > 0) x += Complex(sigma * NoiseGauss(), sigma * NoiseGauss());
        write(k, x.real(), x.imag());
        if constexpr (kHasB) {
          Complex y = dc;
          for (size_t t = 0; t < tones_.size(); ++t) {
            y += phasor_b_[t];
            phasor_b_[t] *= rot_[t];
          }
          if (sigma > 0) y += Complex(sigma * NoiseGauss(), sigma * NoiseGauss());
          write_b(k, y.real(), y.imag());
        }
      }
    }
  }
}

}  // namespace kavu::sim
