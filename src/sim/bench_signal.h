#pragma once
// The virtual bench's received signal: what the receiver's converter sees, sample by sample.
//
// For every generator output that is on, the tone at its frequency (times 1 + gen_ppm·1e-6),
// and for the Si5351 outputs (sources 0..2) its odd harmonics at 1/h of the fundamental's
// amplitude (a square wave), for the SPI generators (sources 3..5) every harmonic up to the 9th
// at 1/h (the Si4463 and ADF4351 scan on them), each where it falls inside the receiver's band
// (centre ± rate/2).
// Each tone passes the bridge: in the reference position the reference-node voltage, in the
// antenna position that voltage times ρ = ExpectedRatio(bench bridge, antenna Z, f) of the
// forward bridge model, switched off: nothing. Both reach the converter through the divider, so
// the reference tone is ref_lsb LSB at 0 dB gain with the program's default resistors.
// Then: the receiver gain (tenths of dB, 0 = unity) with a random step at every retune, a slow
// random walk of each generator's phase (a small step every kWanderSamples samples of the
// stream, in proportion to the generator's frequency), complex white noise, the DC spike, and
// quantisation: unsigned 8-bit (byte = 128 + value, clamped to 0 … 255) or another feeder format
// at the same amplitude relative to full scale.
//
// In tuner mode (direct 0) a centre below 24 MHz receives no tones (the tuner cannot go there).
// Deterministic: equal impairments (seed), equal calls give equal bytes.
// Not thread-safe: the caller serialises Configure and Fill.
#include <complex>
#include <cstdint>
#include <random>
#include <vector>

#include "measure/bridge_settings.h"
#include "sim/antenna_model.h"
#include "sim/batch_timeline.h"
#include "sim/bench_impairments.h"
#include "sim/sim_feeder_abi.h"

namespace kavu::sim {

// What the board did at a given time.
class IBenchState {
 public:
  virtual ~IBenchState() = default;
  // Generators and bridge at real time t_ns (the bench's clock), and the time of the next
  // change after t_ns (INT64_MAX when none is known).
  virtual TimelineState StateAt(int64_t t_ns, int64_t* next_change_ns) const = 0;
};

// The sample clock: sample k of the stream happens at origin_ns + (k − origin_sample) / rate.
struct SampleTimeBase {
  double rate = 2'400'000.0;
  uint64_t origin_sample = 0;
  int64_t origin_ns = 0;
  int64_t SampleToNs(uint64_t k) const;
  // The first sample at or after t_ns (t_ns before the origin gives origin_sample).
  uint64_t NsToSample(int64_t t_ns) const;
};

class BenchSignal {
 public:
  // The phase walk steps at every sample whose stream index is a multiple of this.
  static constexpr uint64_t kWanderSamples = 64;
  BenchSignal(const BenchImpairments& impairments, AntennaModel antenna);

  // New impairment values for later samples; the bridge, the antenna and the seed stay as made.
  void UpdateImpairments(const BenchImpairments& impairments) { imp_ = impairments; }
  // Receiver settings now in force (rate in S/s, centre Hz, gain tenths of dB, direct 0..2).
  void Configure(double rate, double center_hz, int32_t gain_tenths, int32_t direct);
  // Writes len bytes (len/2 samples) for samples first, first + 1, ... of `clock`.
  void Fill(const IBenchState& state, const SampleTimeBase& clock, uint64_t first, uint8_t* buf,
            uint32_t len);
  // Writes `samples` I/Q pairs in `format` (sim/sim_feeder_abi.h KavuSimFormat); the same
  // signal as Fill, at the same amplitude relative to full scale. False (nothing written) for an
  // unknown format.
  bool FillFormat(const IBenchState& state, const SampleTimeBase& clock, uint64_t first, int32_t format,
                  void* buf, uint32_t samples);
  // Two inputs at once (sim/sim_feeder_abi.h fill_dual): `buf_a` as FillFormat, `buf_b` the
  // generators' own outputs ahead of the bridge (each tone at the reference level of the
  // default bridge, phase 0 plus the generator's walk, whatever the bridge position), with
  // noise of its own. 16-bit and float formats; false (nothing written) for others.
  bool FillDual(const IBenchState& state, const SampleTimeBase& clock, uint64_t first, int32_t format,
                void* buf_a, void* buf_b, uint32_t samples);

  // The complex amplitude (LSB, before noise, at the current gain) a tone of frequency f
  // produces in the given bridge position; exposed for tests.
  std::complex<double> ToneAmplitude(double f_hz, BridgeState bridge, int harmonic) const;
  using Complex = std::complex<double>;
  const BridgeSettings& Bridge() const { return bridge_; }
  double GainLinear() const;

 private:
  struct Tone {
    double offset_hz;
    std::complex<double> amplitude;
    std::complex<double> amplitude_b;  // at the second input (the generator's output)
    int source;
    int harmonic;
  };
  // No second input.
  struct NoB {
    void operator()(uint32_t, double, double) const {}
  };
  template <class Write, class WriteB = NoB>
  void Generate(const IBenchState& state, const SampleTimeBase& clock, uint64_t first, uint32_t n, Write write,
                WriteB write_b = {});
  void CollectTones(const TimelineState& st, std::vector<Tone>& out) const;
  std::complex<double> Divided(std::complex<double> node, double f_hz) const;
  double NextGauss();
  // One step of every generator's walk: `step` at 100 MHz, in proportion to its frequency.
  void Wander(double step, const TimelineState& st);
  // A Gaussian value for the noise: a draw from a table filled once from the seeded generator,
  // at positions from a fast generator (the noise must be made faster than real time).
  double NoiseGauss();

  BenchImpairments imp_;
  AntennaModel antenna_;
  BridgeSettings bridge_;
  double norm_ = 1;  // |reference voltage at the converter| of the default bridge
  double rate_ = 2'400'000.0, center_ = 0;
  int32_t gain_ = 0, direct_ = 0;
  double gain_step_db_ = 0;
  double phase_[kTimelineSources] = {};
  std::mt19937_64 rng_;
  std::normal_distribution<double> gauss_{0.0, 1.0};
  std::vector<Tone> tones_;
  std::vector<Complex> phasor_, phasor_b_, rot_;
  std::vector<double> noise_table_;
  uint64_t noise_state_ = 0;
};

}  // namespace kavu::sim
