// Broken invariants of the transform stop the program with their texts, never give garbage.
#include <gtest/gtest.h>

#include "dsp/fft_setup.h"
#include "dsp/fft_tables.h"
#include "dsp/fft_test_util.h"
#include "dsp/ombpf2.h"
#include "dsp/sample_rate_plan.h"
#include "dsp/signal_chain.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

class FftFailuresTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::UseThreadsafeDeathTests();
    Log().SetSink(OLogConsole::Sink::None);
  }
};

TEST_F(FftFailuresTest, TableSizeNotAPowerOfTwo) {
  EXPECT_FATAL(FftSetup::Make(3000, FftKernelChoice{}), "BPF_GenSinTable() - ошибка, размеры неправильные !");
  EXPECT_FATAL(FftSetup::ForHost(0), "BPF_GenSinTable() - ошибка, размеры неправильные !");
  EXPECT_FATAL(BPF_GenSinTable(65537), "BPF_GenSinTable() - ошибка, размеры неправильные !");
}

TEST_F(FftFailuresTest, SizesOutsideTheTables) {
  OMBPF2 fft(test::HostFft());
  EXPECT_FATAL(fft.SetNN(131072), "BPF_GetSinTablePointer() - параметр NN > BaseNN !!!");
  EXPECT_FATAL(fft.SetNN(1000), "BPF_GetSinTablePointer() - параметр NN не степень двойки !!!");
  OMBPF2 big(test::HostFft(), 65536);
  FftVector x(2048);
  EXPECT_FATAL(big.BPF2(x.data(), 2048),
               "OMBPF2::BPF2() - NN < m_TableNN, так нельзя, надо было вызвать SetNN()");
  EXPECT_FATAL(big.OBPF2(x.data(), 2048),
               "OMBPF2::OBPF2() - NN < m_TableNN, так нельзя, надо было вызвать SetNN()");
}

// Everything that transforms refuses a setup whose tables are smaller than its transform, or none.
TEST_F(FftFailuresTest, SetupTooSmallOrMissing) {
  const FftSetupPtr small = FftSetup::Portable(1024);
  EXPECT_EQ(OMBPF2(small, 1024).TableNN(), 1024);
  EXPECT_FATAL(OMBPF2(small, 2048), "BPF_GetSinTablePointer() - параметр NN > BaseNN !!!");
  EXPECT_FATAL(OSignalChain::Create(small, 4096), "BPF_GetSinTablePointer() - параметр NN > BaseNN !!!");
  // The plan analyses its filter with 65536 points: 2048 are not enough.
  EXPECT_FATAL(RecomputePlan(FftSetup::Portable(2048), RatePlanInputs{}),
               "BPF_GetSinTablePointer() - параметр NN > BaseNN !!!");
  EXPECT_FATAL(OMBPF2(nullptr), "OMBPF2::OMBPF2() - нет FftSetup (таблиц) !!!");
}

TEST_F(FftFailuresTest, TransformSizeNotAPowerOfTwo) {
  OMBPF2 fft(test::HostFft(), 1024);
  FftVector x(3000);
  EXPECT_FATAL(fft.BPF2(x.data(), 3000), "OMBPF2::BPF2() - NN не степень двойки");
  EXPECT_FATAL(fft.OBPF2(x.data(), 1536), "OMBPF2::OBPF2() - NN не степень двойки");
  OMBPF2 none(test::HostFft());
  EXPECT_FATAL(none.BPF2(x.data(), 0), "OMBPF2::BPF2() - NN не степень двойки");
  EXPECT_FATAL(none.BPF2(x.data(), -4), "OMBPF2::BPF2() - NN не степень двойки");
}

TEST_F(FftFailuresTest, MisalignedData) {
  FftVector x(2049);
  if (FftKernelAvailable(FftKernel::Sse)) {
    OMBPF2 sse(test::HostFft(), 1024);
    sse.SetKernel(FftKernel::Sse);
    auto* odd8 = reinterpret_cast<FftComplex*>(reinterpret_cast<char*>(x.data()) + 8);
    EXPECT_FATAL(sse.BPF2(odd8, 1024), "BPF_Proc_SSE() - адрес входного массива не кратен 16 байт !!!");
  }
  if (FftKernelAvailable(FftKernel::Avx)) {
    OMBPF2 avx(test::HostFft(), 1024);
    avx.SetKernel(FftKernel::Avx);
    EXPECT_FATAL(avx.OBPF2(x.data() + 1, 1024),
                 "BPF_Proc_AVX() - адрес входного массива не кратен 32 байтам (двум complexdouble) !!!");
  }
  OMBPF2 portable(test::HostFft(), 1024);
  portable.SetKernel(FftKernel::Portable);
  portable.BPF2(x.data() + 1, 1024);  // the portable kernel takes any complex-aligned buffer
  SUCCEED();
}

TEST_F(FftFailuresTest, MissingResponseForTheFusedMultiply) {
  OMBPF2 fft(test::HostFft(), 64);
  FftVector x(64);
  EXPECT_FATAL(fft.BPF2Mul(x.data(), 64, nullptr), "OMBPF2::BPF2Mul() - нет отклика h !!!");
}

}  // namespace
}  // namespace kavu
