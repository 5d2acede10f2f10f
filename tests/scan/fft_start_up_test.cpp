#include "scan/fft_start_up.h"

#include <gtest/gtest.h>

#include "dsp/fft_tables.h"
#include "dsp/fft_test_util.h"
#include "shell/command_line.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

class FftStartUpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Log().SetSink(OLogConsole::Sink::None);
    Log().SetCapture(true);
    Log().TakeCaptured();
  }
  void TearDown() override {
    SetAvxDisabledByCommandLine(false);
    Log().SetCapture(false);
  }
};

TEST_F(FftStartUpTest, LogsTheProcessorReportAndReturnsTheChoice) {
  const FftSetupPtr setup = StartFft(8192);
  const FftKernelChoice host = ChooseFftKernel(HostCpuid(), false);
  std::string expected = "OMBPF2::BPF2_InitGlobal NNMax = 8192\n";
  for (const std::string& line : host.lines) expected += line;
  EXPECT_EQ(Log().TakeCaptured(), expected);
  EXPECT_EQ(host.lines.at(0).rfind("Is_AVX: ", 0), 0u);
  ASSERT_NE(setup, nullptr);
  EXPECT_EQ(setup->NNMax(), 8192);
  EXPECT_EQ(setup->ProcessorReport(), host.report);
  EXPECT_EQ(setup->Kernel(), FftKernelAvailable(host.kernel) ? host.kernel : FftKernel::Portable);
  EXPECT_EQ(setup->Avx512(), host.avx512 && FftAvx512Available());
}

// Two stations in one process: the second one's "AVX_Disable" start-up gives it the portable
// kernel and leaves the first one's set-up and objects as they were.
TEST_F(FftStartUpTest, CommandLineSwitchGivesThePortableKernelToItsOwnSetupOnly) {
  const FftSetupPtr first = StartFft(65536);
  OMBPF2 before(first, 2048);
  Log().TakeCaptured();
  SetAvxDisabledByCommandLine(true);
  const FftSetupPtr second = StartFft(4096);
  EXPECT_EQ(Log().TakeCaptured(),
            "OMBPF2::BPF2_InitGlobal NNMax = 4096\n"
            "IsAVX: AVX и SSE отключены параметром командной строки\n");
  EXPECT_EQ(second->Kernel(), FftKernel::Portable);
  EXPECT_FALSE(second->Avx512());
  EXPECT_EQ(second->NNMax(), 4096);
  EXPECT_EQ(OMBPF2(second, 1024).Kernel(), FftKernel::Portable);

  const FftKernel host = ChooseFftKernel(HostCpuid(), false).kernel;
  EXPECT_EQ(first->Kernel(), host);
  EXPECT_EQ(first->NNMax(), 65536);
  EXPECT_EQ(before.Kernel(), host);
  EXPECT_EQ(OMBPF2(first, 65536).Kernel(), host);  // tables up to 65536 still there
}

}  // namespace
}  // namespace kavu
