// The bench's received signal: every tone and odd harmonic of the Si5351 model's outputs lands
// where the chip model puts it, at the level the forward bridge model gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "board/si5351_calc.h"
#include "board/si5351_config.h"
#include "measure/bridge_model.h"
#include "sim/bench_signal.h"
#include "sim/si5351_model.h"

namespace kavu::sim {
namespace {

// The Si5351 model programmed through the same calculation the program uses.
double ProgramSi5351(Si5351Model& chip, double hz, int out, int* harmonic) {
  Si5351Config cfg;
  cfg.CheckAndDerive();
  Si5351Regs regs;
  std::string error;
  EXPECT_TRUE(Si5351_CalcF(cfg, hz, out, regs, error)) << error;
  for (int i = 0; i < 8; ++i) {
    chip.SetReg(static_cast<uint8_t>(26 + i), regs.pll[static_cast<size_t>(i)]);
    chip.SetReg(static_cast<uint8_t>(42 + 8 * out + i), regs.ms[static_cast<size_t>(i)]);
  }
  chip.SetReg(static_cast<uint8_t>(16 + out), regs.clk_control);
  chip.SetReg(3, static_cast<uint8_t>(~(1u << out)));
  *harmonic = regs.harmonic;
  EXPECT_NEAR(chip.Output(out).hz, regs.actual, 1e-3) << "the model decodes what was calculated";
  return chip.Output(out).hz;
}

struct FixedState : IBenchState {
  TimelineState st;
  TimelineState StateAt(int64_t, int64_t* next) const override {
    *next = std::numeric_limits<int64_t>::max();
    return st;
  }
};

// Complex amplitude of the component at `offset_hz` in the unsigned 8-bit samples.
std::complex<double> Measure(const std::vector<uint8_t>& buf, double offset_hz, double rate) {
  std::complex<double> acc;
  const size_t n = buf.size() / 2;
  for (size_t k = 0; k < n; ++k) {
    const std::complex<double> x(buf[2 * k] - 128.0, buf[2 * k + 1] - 128.0);
    acc += x * std::polar(1.0, -2 * std::numbers::pi * offset_hz * static_cast<double>(k) / rate);
  }
  return acc / static_cast<double>(n);
}

struct Case {
  double request_hz;
  double center_offset_hz;  // receiver centre relative to the request
};

TEST(BenchSignal, TonesAndHarmonicsAtTheChipModelsFrequencyAndTheBridgeModelsLevel) {
  const double rate = 2'400'000.0;
  const auto antenna = *AntennaModel::Parse("25-30j", nullptr);
  BenchImpairments imp;
  imp.phase_wander = 0;
  imp.gain_step_db = 0;
  const BridgeSettings bridge;  // the program's defaults
  for (const Case c : {Case{145e6, -300e3}, Case{434e6, 250e3}, Case{700e6, 100e3}, Case{1000e6, -50e3}}) {
    Si5351Model chip;
    int harmonic = 0;
    const double fundamental = ProgramSi5351(chip, c.request_hz, 0, &harmonic);
    EXPECT_GT(harmonic, c.request_hz > 300e6 ? 1 : 0);
    EXPECT_NEAR(fundamental * harmonic, c.request_hz, 1e-7 * c.request_hz) << "within the chip's resolution";
    // The generator's crystal is gen_ppm off the receiver's.
    const double tone = fundamental * harmonic * (1 + imp.gen_ppm * 1e-6);
    FixedState state;
    state.st.sources[0] = {fundamental, chip.Output(0).on};
    const double center = c.request_hz + c.center_offset_hz;
    for (BridgeState pos : {BridgeState::kReference, BridgeState::kAntenna}) {
      BenchSignal signal(imp, antenna);
      signal.Configure(rate, center, 0, 0);
      state.st.bridge = pos;
      std::vector<uint8_t> buf(2 * 65536);
      signal.Fill(state, SampleTimeBase{rate, 0, 0}, 1000, buf.data(), static_cast<uint32_t>(buf.size()));
      const double expected_level =
          imp.ref_lsb / harmonic *
          (pos == BridgeState::kAntenna ? std::abs(ExpectedRatio(bridge, antenna.Impedance(tone), tone)) : 1.0);
      const double got = std::abs(Measure(buf, tone - center, rate));
      EXPECT_NEAR(got, expected_level, 0.01 * expected_level + 0.02)
          << "request " << c.request_hz << " harmonic " << harmonic << " bridge " << int(pos);
      // Nothing 20 kHz away: the tone is where the model put it.
      EXPECT_LT(std::abs(Measure(buf, tone - center + 20e3, rate)), 0.1);
    }
  }
}

TEST(BenchSignal, AntennaToReferencePhaseIsTheBridgeRatio) {
  const double rate = 1'200'000.0, f = 14.2e6, center = 14.0e6;
  BenchImpairments imp;
  imp.phase_wander = 0;
  imp.noise_db = -90;
  const auto antenna = *AntennaModel::Parse("series:R=20,L=0.5u,C=300p", nullptr);
  FixedState state;
  state.st.sources[1] = {f, true};
  std::complex<double> amp[2];
  int i = 0;
  for (BridgeState pos : {BridgeState::kReference, BridgeState::kAntenna}) {
    BenchSignal signal(imp, antenna);
    signal.Configure(rate, center, 0, 2);  // direct sampling below 24 MHz
    state.st.bridge = pos;
    std::vector<uint8_t> buf(2 * 32768);
    signal.Fill(state, SampleTimeBase{rate, 0, 0}, 5000, buf.data(), static_cast<uint32_t>(buf.size()));
    amp[i++] = Measure(buf, f - center, rate);
  }
  const auto rho = ExpectedRatio(BridgeSettings{}, antenna.Impedance(f), f);
  const auto measured = amp[1] / amp[0];
  EXPECT_NEAR(measured.real(), rho.real(), 0.01);
  EXPECT_NEAR(measured.imag(), rho.imag(), 0.01);
}

TEST(BenchSignal, OffTunerRangeGainClippingAndRepeatability) {
  const double rate = 2'400'000.0;
  BenchImpairments imp;
  FixedState state;
  state.st.sources[0] = {10e6, true};
  state.st.bridge = BridgeState::kReference;
  std::vector<uint8_t> a(8192), b(8192);
  {
    BenchSignal s(imp, AntennaModel());
    s.Configure(rate, 10.1e6, 0, 0);  // tuner mode below 24 MHz: no tone
    s.Fill(state, SampleTimeBase{rate, 0, 0}, 0, a.data(), 8192);
    EXPECT_LT(std::abs(Measure(a, -100e3, rate)), 0.5);
  }
  {
    BenchSignal s1(imp, AntennaModel()), s2(imp, AntennaModel());
    s1.Configure(rate, 10.1e6, 0, 2);
    s2.Configure(rate, 10.1e6, 0, 2);
    s1.Fill(state, SampleTimeBase{rate, 0, 0}, 0, a.data(), 8192);
    s2.Fill(state, SampleTimeBase{rate, 0, 0}, 0, b.data(), 8192);
    EXPECT_EQ(a, b);  // same seed, same bytes
    EXPECT_NEAR(std::abs(Measure(a, -100e3, rate)), imp.ref_lsb, 1.0);
  }
  {
    BenchSignal s(imp, AntennaModel());
    s.Configure(rate, 10.1e6, 496, 2);  // 49.6 dB: far beyond the converter's range
    s.Fill(state, SampleTimeBase{rate, 0, 0}, 0, a.data(), 8192);
    int rails = 0;
    for (uint8_t v : a) rails += v == 0 || v == 255;
    EXPECT_GT(rails, 1000);
  }
}

TEST(BenchSignal, NoiseWithinTwentyKilohertzIsTheSetLevelBelowTheReference) {
  const double rate = 2'400'000.0;
  BenchImpairments imp;
  imp.dc_lsb = 0;
  imp.ref_lsb = 100;  // keep quantisation noise well below the noise asked for
  imp.noise_db = -40;
  FixedState state;  // nothing on: noise only
  BenchSignal s(imp, AntennaModel());
  s.Configure(rate, 100e6, 0, 0);
  std::vector<uint8_t> buf(2 * 200000);
  s.Fill(state, SampleTimeBase{rate, 0, 0}, 0, buf.data(), static_cast<uint32_t>(buf.size()));
  double power = 0;
  for (size_t k = 0; k < buf.size(); ++k) power += (buf[k] - 128.0) * (buf[k] - 128.0);
  power /= buf.size() / 2;
  const double in_band = power * 20e3 / rate;
  EXPECT_NEAR(10 * std::log10(in_band / (imp.ref_lsb * imp.ref_lsb)), -40.0, 0.5);
}

}  // namespace
}  // namespace kavu::sim

namespace kavu::sim {
namespace {

// Phase of a tone at `offset_hz` over samples [k0, k0 + n) of interleaved bytes.
double ChunkPhase(const std::vector<uint8_t>& buf, size_t k0, size_t n, double offset_hz, double rate) {
  std::complex<double> acc;
  for (size_t k = k0; k < k0 + n; ++k) {
    const std::complex<double> x(buf[2 * k] - 128.0, buf[2 * k + 1] - 128.0);
    acc += x * std::polar(1.0, -2 * std::numbers::pi * offset_hz * static_cast<double>(k) / rate);
  }
  return std::arg(acc);
}

TEST(BenchSignal, PhaseWanderIsAWalkOfSmallStepsWhateverTheBlockSizes) {
  const double rate = 2'400'000.0, offset = 123'456.0;
  BenchImpairments imp;
  imp.noise_db = -200;
  imp.dc_lsb = 0;
  imp.phase_wander = 1.0;  // rad per √s at 100 MHz: large enough to be seen against the quantisation
  imp.gen_ppm = 0;
  // The walk is given at 100 MHz and grows in proportion to the generator's frequency.
  for (const double centre : {100e6, 400e6}) {
    SCOPED_TRACE(centre);
    FixedState state;
    state.st.sources[0] = {centre + offset, true};
    const uint32_t n = 64 * 4096;
    std::vector<uint8_t> whole(2 * n), pieces(2 * n);
    {
      BenchSignal s(imp, AntennaModel());
      s.Configure(rate, centre, 0, 0);
      s.Fill(state, SampleTimeBase{rate, 0, 0}, 0, whole.data(), 2 * n);
    }
    {
      BenchSignal s(imp, AntennaModel());
      s.Configure(rate, centre, 0, 0);
      for (uint32_t k = 0, len = 1000; k < n; k += len, len = len * 3 % 7919 + 17) {
        const uint32_t m = std::min(len, n - k);
        s.Fill(state, SampleTimeBase{rate, 0, 0}, k, pieces.data() + 2 * k, 2 * m);
      }
    }
    EXPECT_EQ(whole, pieces) << "the walk does not depend on how the stream is cut into blocks";
    // Steps between consecutive 64-sample chunks: the walk's own spread, and no jump.
    const double expected = imp.phase_wander * (centre + offset) / 100e6 * std::sqrt(64 / rate);
    double sum2 = 0, worst = 0;
    const size_t chunks = n / 64;
    double prev = ChunkPhase(whole, 0, 64, offset, rate);
    for (size_t c = 1; c < chunks; ++c) {
      const double ph = ChunkPhase(whole, 64 * c, 64, offset, rate);
      const double d = std::remainder(ph - prev, 2 * std::numbers::pi);
      prev = ph;
      sum2 += d * d;
      worst = std::max(worst, std::abs(d));
    }
    EXPECT_NEAR(std::sqrt(sum2 / static_cast<double>(chunks - 1)), expected, 0.1 * expected);
    EXPECT_LT(worst, 6 * expected);
  }
}

}  // namespace
}  // namespace kavu::sim

namespace kavu::sim {
namespace {

// The same samples in every feeder format: one 8-bit LSB is 256 units of the 16-bit and float
// formats, the signed bytes are the unsigned ones less 128, and the rails stay the rails.
TEST(BenchSignal, EveryFormatCarriesTheSamePictureAtTheSameScale) {
  const double rate = 2'000'000.0;
  BenchImpairments imp;
  imp.phase_wander = 0;
  imp.gain_step_db = 0;
  FixedState state;
  state.st.sources[0] = {100.3e6, true};
  state.st.bridge = BridgeState::kReference;
  const uint32_t n = 4096;
  auto make = [&](int32_t gain_tenths) {
    BenchSignal s(imp, AntennaModel());
    s.Configure(rate, 100e6, gain_tenths, 0);
    return s;
  };
  // A gain that drives the tone into the rails, and one that keeps it well inside.
  for (const int32_t gain : {0, 400}) {
    SCOPED_TRACE(gain);
    std::vector<uint8_t> u8(2 * n);
    std::vector<int8_t> s8(2 * n);
    std::vector<int16_t> i16(2 * n);
    std::vector<float> f32(2 * n);
    BenchSignal a = make(gain), b = make(gain), c = make(gain), d = make(gain);
    a.Fill(state, SampleTimeBase{rate, 0, 0}, 7, u8.data(), 2 * n);
    ASSERT_TRUE(b.FillFormat(state, SampleTimeBase{rate, 0, 0}, 7, kKavuSimS8, s8.data(), n));
    ASSERT_TRUE(c.FillFormat(state, SampleTimeBase{rate, 0, 0}, 7, kKavuSimI16, i16.data(), n));
    ASSERT_TRUE(d.FillFormat(state, SampleTimeBase{rate, 0, 0}, 7, kKavuSimF32, f32.data(), n));
    int rails = 0;
    for (size_t k = 0; k < 2 * n; ++k) {
      const double v8 = u8[k] - 128.0;
      ASSERT_EQ(s8[k], static_cast<int>(u8[k]) - 128) << k;
      // The wide formats keep the fraction the byte rounds away: within one 8-bit LSB.
      ASSERT_NEAR(i16[k] / 256.0, v8, 1.0) << k;
      ASSERT_NEAR(f32[k] / 256.0, v8, 1.0) << k;
      ASSERT_LE(std::abs(i16[k]), 32767);
      ASSERT_LE(std::abs(f32[k]), 32767.0f);
      if (u8[k] == 0 || u8[k] == 255) {
        ++rails;
        EXPECT_GE(std::abs(i16[k]), 32767 - 256) << "a rail in one format is a rail in the others";
      }
    }
    if (gain == 400) {
      EXPECT_GT(rails, 100);
    } else {
      EXPECT_EQ(rails, 0);
    }
  }
  BenchSignal e = make(0);
  std::vector<uint8_t> untouched(64, 0xAB);
  EXPECT_FALSE(e.FillFormat(state, SampleTimeBase{rate, 0, 0}, 0, 9, untouched.data(), 8));
  EXPECT_EQ(untouched, std::vector<uint8_t>(64, 0xAB)) << "an unknown format writes nothing";
}

}  // namespace
}  // namespace kavu::sim
