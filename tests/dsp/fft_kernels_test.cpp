// Every kernel gives the portable kernel's bits, for every operation and size, whether the
// twiddles come from the tables or from the running product.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "dsp/fft_test_util.h"
#include "dsp/ombpf2.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

using test::RandomVector;

class FftKernelsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Log().SetSink(OLogConsole::Sink::None);
  }
};

bool SameBits(const FftVector& a, const FftVector& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(FftComplex)) == 0;
}

// Same bits, except that a NaN only has to meet a NaN: which operand's NaN an instruction passes
// on is the compiler's choice, so its sign bit is not part of the promise.
bool SameValues(const FftVector& a, const FftVector& b) {
  if (a.size() != b.size()) return false;
  const double* x = reinterpret_cast<const double*>(a.data());
  const double* y = reinterpret_cast<const double*>(b.data());
  for (size_t i = 0; i < 2 * a.size(); ++i) {
    if (std::isnan(x[i]) && std::isnan(y[i])) continue;
    if (std::memcmp(x + i, y + i, sizeof(double)) != 0) return false;
  }
  return true;
}

// A kernel as the tests run it: the AVX kernel twice on processors with AVX-512, once with its
// 512-bit path and once with its 256-bit path alone.
struct Variant {
  FftKernel kernel;
  bool avx512;
  std::string Name() const { return std::string(FftKernelName(kernel)) + (avx512 ? "512" : ""); }
  OMBPF2 Apply(OMBPF2 fft) const {
    fft.SetKernel(kernel);
    fft.SetAvx512(avx512);
    return fft;
  }
};

std::vector<Variant> FastVariants() {
  std::vector<Variant> out;
  if (FftKernelAvailable(FftKernel::Sse)) out.push_back({FftKernel::Sse, false});
  if (FftKernelAvailable(FftKernel::Avx)) out.push_back({FftKernel::Avx, false});
  if (FftAvx512Available()) out.push_back({FftKernel::Avx, true});
  return out;
}

enum class Op { Forward, Inverse, ForwardMul, Filter };

FftVector RunOp(OMBPF2& fft, Op op, FftVector x, const FftVector& h) {
  const int n = static_cast<int>(x.size());
  switch (op) {
    case Op::Forward:
      fft.BPF2(x.data(), n);
      break;
    case Op::Inverse:
      fft.OBPF2(x.data(), n);
      break;
    case Op::ForwardMul:
      fft.BPF2Mul(x.data(), n, h.data());
      break;
    case Op::Filter:
      fft.FilterBPF2(x.data(), n, h.data());
      break;
  }
  return x;
}

TEST_F(FftKernelsTest, AllKernelsGiveIdenticalBits) {
  const std::vector<Variant> variants = FastVariants();
  int compared = 0;
  for (int table_nn : {0, 64, 2048}) {
    for (int n = 1; n <= 65536; n *= 2) {
      if (n < table_nn) continue;
      const FftVector x = RandomVector(n, 77u + static_cast<unsigned>(n));
      const FftVector h = RandomVector(n, 99u + static_cast<unsigned>(n));
      OMBPF2 portable(test::HostFft());
      if (table_nn > 0) portable.SetNN(table_nn);
      portable.SetKernel(FftKernel::Portable);
      for (Op op : {Op::Forward, Op::Inverse, Op::ForwardMul, Op::Filter}) {
        const FftVector ref = RunOp(portable, op, x, h);
        for (const Variant& v : variants) {
          SCOPED_TRACE(testing::Message() << v.Name() << " n=" << n << " table=" << table_nn
                                          << " op=" << static_cast<int>(op));
          OMBPF2 fft = v.Apply(portable);
          EXPECT_TRUE(SameBits(RunOp(fft, op, x, h), ref));
          ++compared;
        }
      }
    }
  }
  if (compared == 0) GTEST_SKIP() << "this processor runs only the portable kernel";
}

TEST_F(FftKernelsTest, SpecialValuesPropagateIdentically) {
  // Signed zeros, infinities and NaN go through the same arithmetic in every kernel, whatever
  // register layout a kernel uses on the way: sizes with every first-pass and block organisation,
  // special values in both halves of the array (the SIMD kernels pair values n/2 apart).
  for (int n : {16, 32, 64, 256, 512, 2048, 4096, 16384, 65536}) {
    FftVector x = RandomVector(n, 5u + static_cast<unsigned>(n));
    x[3] = {-0.0, -0.0};
    x[n / 2 + 3] = {-0.0, 0.0};
    x[5] = {std::numeric_limits<double>::infinity(), 0.0};
    x[n / 2 + 6] = {0.0, -std::numeric_limits<double>::infinity()};
    x[n - 1] = {0.0, std::numeric_limits<double>::quiet_NaN()};
    FftVector z(static_cast<size_t>(n), FftComplex(-0.0, 0.0));
    z[n / 2] = {0.0, -0.0};
    // One infinity alone: every output becomes ±inf or NaN, which ones depends on each product.
    FftVector u = RandomVector(n, 6u + static_cast<unsigned>(n));
    u[n / 4 + 1] = {-std::numeric_limits<double>::infinity(), 0.0};
    // A response with special values reaches only its own bins: the final pass's product with
    // them must match value by value.
    FftVector h = RandomVector(n, 7u + static_cast<unsigned>(n));
    h[0] = {-0.0, -0.0};
    h[1] = {std::numeric_limits<double>::infinity(), -0.0};
    h[n / 2 + 1] = {0.0, -std::numeric_limits<double>::infinity()};
    h[n - 2] = {std::numeric_limits<double>::quiet_NaN(), 1.0};
    const FftVector r = RandomVector(n, 8u + static_cast<unsigned>(n));
    OMBPF2 portable(test::HostFft(), n);
    portable.SetKernel(FftKernel::Portable);
    FftVector ref_mul = r;
    portable.BPF2Mul(ref_mul.data(), n, h.data());
    for (const FftVector* in : {&x, &z, &u}) {
      FftVector ref = *in, ref_inv = *in;
      portable.BPF2(ref.data(), n);
      portable.OBPF2(ref_inv.data(), n);
      for (const Variant& v : FastVariants()) {
        OMBPF2 fft = v.Apply(OMBPF2(test::HostFft(), n));
        FftVector a = *in, b = *in, c = r;
        fft.BPF2(a.data(), n);
        fft.OBPF2(b.data(), n);
        fft.BPF2Mul(c.data(), n, h.data());
        EXPECT_TRUE(SameValues(a, ref)) << v.Name() << " n=" << n;
        EXPECT_TRUE(SameValues(b, ref_inv)) << v.Name() << " n=" << n;
        EXPECT_TRUE(SameValues(c, ref_mul)) << v.Name() << " n=" << n;
      }
    }
  }
}

TEST_F(FftKernelsTest, ChosenKernelIsTheFastestAvailable) {
  const FftSetupPtr& setup = test::HostFft();
  const FftKernel k = setup->Kernel();
  EXPECT_TRUE(FftKernelAvailable(k));
  if (FftKernelAvailable(FftKernel::Avx)) {
    EXPECT_EQ(k, FftKernel::Avx);
  }
  EXPECT_EQ(OMBPF2(setup).Kernel(), k);
  // The AVX kernel takes its 512-bit path by default wherever it can.
  EXPECT_EQ(setup->Avx512(), k == FftKernel::Avx && FftAvx512Available());
  EXPECT_EQ(OMBPF2(setup).Avx512(), setup->Avx512());
  EXPECT_STREQ(FftKernelName(FftKernel::Portable), "portable");
  EXPECT_STREQ(FftKernelName(FftKernel::Sse), "sse");
  EXPECT_STREQ(FftKernelName(FftKernel::Avx), "avx");
}

// Two setups in one process, one portable and one with this processor's fastest kernel: each
// object runs its own setup's kernel, whichever setup was made last and whichever thread runs
// it, and both give the same bits.
TEST_F(FftKernelsTest, SetupsWithDifferentKernelsSideBySide) {
  const FftSetupPtr fast = FftSetup::ForHost(65536);
  OMBPF2 fastFirst(fast, 2048);
  const FftSetupPtr portable = FftSetup::Portable(65536);
  OMBPF2 slow(portable, 2048), fastLater(fast, 2048);
  EXPECT_EQ(slow.Kernel(), FftKernel::Portable);
  EXPECT_FALSE(slow.Avx512());
  for (const OMBPF2* f : {&fastFirst, &fastLater}) {
    EXPECT_EQ(f->Kernel(), fast->Kernel());
    EXPECT_EQ(f->Avx512(), fast->Avx512());
  }
  OMBPF2 copied = slow;  // a copy keeps its original's setup
  EXPECT_EQ(copied.Kernel(), FftKernel::Portable);
  EXPECT_EQ(copied.Setup(), portable);

  for (int n : {2048, 65536}) {
    SCOPED_TRACE(n);
    const FftVector x = RandomVector(n, 31u + static_cast<unsigned>(n));
    const FftVector h = RandomVector(n, 32u + static_cast<unsigned>(n));
    FftVector a = x, b = x;
    // The two run at the same time on two threads.
    std::thread other([&] { slow.FilterBPF2(a.data(), n, h.data()); });
    fastLater.FilterBPF2(b.data(), n, h.data());
    other.join();
    EXPECT_TRUE(SameBits(a, b));
    a = x;
    b = x;
    copied.BPF2(a.data(), n);
    fastFirst.BPF2(b.data(), n);
    EXPECT_TRUE(SameBits(a, b));
  }
}

}  // namespace
}  // namespace kavu
