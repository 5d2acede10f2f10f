#include "scan/fft_start_up.h"

#include <gtest/gtest.h>

#include "dsp/fft_tables.h"
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
    BPF2_InitGlobal(65536);
    Log().SetCapture(false);
  }
};

TEST_F(FftStartUpTest, LogsTheProcessorReportAndInstallsTheChoice) {
  StartFft(8192);
  const FftKernelChoice host = ChooseFftKernel(HostCpuid(), false);
  std::string expected = "OMBPF2::BPF2_InitGlobal NNMax = 8192\n";
  for (const std::string& line : host.lines) expected += line;
  EXPECT_EQ(Log().TakeCaptured(), expected);
  EXPECT_EQ(host.lines.at(0).rfind("Is_AVX: ", 0), 0u);
  EXPECT_EQ(BPF2_NNMax(), 8192);
  EXPECT_EQ(BPF2_ProcessorReport(), host.report);
  EXPECT_EQ(BPF2_Kernel(), FftKernelCompiled(host.kernel) ? host.kernel : FftKernel::Portable);
}

TEST_F(FftStartUpTest, CommandLineSwitchGivesThePortableKernel) {
  SetAvxDisabledByCommandLine(true);
  StartFft(4096);
  EXPECT_EQ(Log().TakeCaptured(),
            "OMBPF2::BPF2_InitGlobal NNMax = 4096\n"
            "IsAVX: AVX и SSE отключены параметром командной строки\n");
  EXPECT_EQ(BPF2_Kernel(), FftKernel::Portable);
  EXPECT_FALSE(BPF2_Avx512());
}

}  // namespace
}  // namespace kavu
