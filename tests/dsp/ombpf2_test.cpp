#include "dsp/ombpf2.h"

#include <gtest/gtest.h>

#include <cstring>

#include "dsp/fft_test_util.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

using test::DirectDft;
using test::MaxAbs;
using test::MaxDiff;
using test::RandomVector;

class Ombpf2Test : public ::testing::Test {
 protected:
  void SetUp() override {
    Log().SetSink(OLogConsole::Sink::None);
  }
};

TEST_F(Ombpf2Test, ForwardAndInverseMatchDirectDftUpTo4096) {
  for (int n = 1; n <= 4096; n *= 2) {
    SCOPED_TRACE(n);
    const FftVector x = RandomVector(n, 1000u + static_cast<unsigned>(n));
    OMBPF2 fft(test::HostFft(), n);
    FftVector X = x;
    fft.BPF2(X.data(), n);
    const FftVector ref = DirectDft(x, -1.0, 1.0L / n);
    EXPECT_LE(MaxDiff(X, ref), 1e-12 * MaxAbs(ref));

    FftVector y = x;
    fft.OBPF2(y.data(), n);
    const FftVector iref = DirectDft(x, +1.0, 1.0L);
    EXPECT_LE(MaxDiff(y, iref), 1e-12 * MaxAbs(iref));

    fft.OBPF2(X.data(), n);  // inverse of forward gives the input back
    EXPECT_LE(MaxDiff(X, x), 1e-13 * MaxAbs(x));
  }
}

TEST_F(Ombpf2Test, ImpulseAndConstantAreExact) {
  const int n = 2048;
  OMBPF2 fft(test::HostFft(), n);
  FftVector x(n);
  x[0] = 1.0;
  fft.BPF2(x.data(), n);
  for (int k = 0; k < n; ++k) ASSERT_EQ(x[k], FftComplex(1.0 / n, 0.0)) << k;
  fft.OBPF2(x.data(), n);
  EXPECT_EQ(x[0], FftComplex(1.0, 0.0));
  for (int k = 1; k < n; ++k) ASSERT_EQ(x[k], FftComplex(0.0, 0.0)) << k;
}

TEST_F(Ombpf2Test, SmallTableObjectTransformsLargerSizes) {
  // Set to 2048, a 65536-point transform generates the twiddles of its larger stages.
  const int n = 65536;
  const FftVector x = RandomVector(n, 7);
  OMBPF2 small(test::HostFft(), 2048), full(test::HostFft(), n);
  FftVector a = x, b = x;
  small.BPF2(a.data(), n);
  full.BPF2(b.data(), n);
  EXPECT_LE(MaxDiff(a, b), 1e-12 * MaxAbs(b));
  EXPECT_NE(0, std::memcmp(a.data(), b.data(), sizeof(FftComplex) * n)) << "tables were not bypassed";
  // The running product of 32768 steps loses a few ulps per step: a round trip stays within 1e-11.
  small.OBPF2(a.data(), n);
  EXPECT_LE(MaxDiff(a, x), 1e-11 * MaxAbs(x));
  // A single tone lands in its bin.
  FftVector tone(n);
  for (int m = 0; m < n; ++m) tone[m] = std::polar(1.0, 2 * 3.14159265358979323846 * 1234.0 * m / n);
  small.BPF2(tone.data(), n);
  EXPECT_NEAR(tone[1234].real(), 1.0, 1e-12);
  EXPECT_NEAR(std::abs(tone[1235]), 0.0, 1e-12);
}

TEST_F(Ombpf2Test, FilterEqualsTheStepsItFuses) {
  const int n = 2048;
  const FftVector x = RandomVector(n, 11), h = RandomVector(n, 12);
  OMBPF2 fft(test::HostFft(), n);
  FftVector ref = x;
  fft.BPF2(ref.data(), n);
  for (int k = 0; k < n; ++k) ref[k] = FftMul(ref[k], h[k]);
  FftVector mul = x;
  fft.BPF2Mul(mul.data(), n, h.data());
  EXPECT_EQ(0, std::memcmp(mul.data(), ref.data(), sizeof(FftComplex) * n));
  fft.OBPF2(ref.data(), n);
  FftVector fused = x;
  fft.FilterBPF2(fused.data(), n, h.data());
  EXPECT_EQ(0, std::memcmp(fused.data(), ref.data(), sizeof(FftComplex) * n));
  // A response of 1 everywhere passes the signal unchanged (to rounding).
  FftVector one(n, FftComplex(1.0, 0.0)), pass = x;
  fft.FilterBPF2(pass.data(), n, one.data());
  EXPECT_LE(MaxDiff(pass, x), 1e-13);
}

TEST_F(Ombpf2Test, CopyBehavesLikeTheOriginal) {
  const int n = 1024;
  OMBPF2 original(test::HostFft(), n);
  OMBPF2 copy(original), assigned(test::HostFft());
  assigned = original;
  EXPECT_EQ(copy.TableNN(), n);
  EXPECT_EQ(assigned.TableNN(), n);
  const FftVector x = RandomVector(n, 3);
  FftVector a = x, b = x, c = x;
  original.BPF2(a.data(), n);
  copy.BPF2(b.data(), n);
  assigned.BPF2(c.data(), n);
  EXPECT_EQ(0, std::memcmp(a.data(), b.data(), sizeof(FftComplex) * n));
  EXPECT_EQ(0, std::memcmp(a.data(), c.data(), sizeof(FftComplex) * n));
}

}  // namespace
}  // namespace kavu
