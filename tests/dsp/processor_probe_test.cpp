#include "dsp/processor_probe.h"

#include <gtest/gtest.h>

#include "dsp/fft_tables.h"
#include "dsp/ombpf2.h"
#include "shell/command_line.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

constexpr uint32_t kEdxFpu = 1u << 0, kEdxMmx = 1u << 23, kEdxSse = 1u << 25, kEdxSse2 = 1u << 26;
constexpr uint32_t kEcxSse3 = 1u << 0, kEcxSsse3 = 1u << 9, kEcxSse41 = 1u << 19, kEcxSse42 = 1u << 20;
constexpr uint32_t kEcxXsave = 1u << 26, kEcxOsxsave = 1u << 27, kEcxAvx = 1u << 28;
constexpr uint32_t kEdxAll = kEdxFpu | kEdxMmx | kEdxSse | kEdxSse2;
constexpr uint32_t kEcxAll = kEcxSse3 | kEcxSsse3 | kEcxSse41 | kEcxSse42 | kEcxXsave | kEcxOsxsave | kEcxAvx;

class FakeCpu final : public ICpuidSource {
 public:
  bool has_cpuid = true;
  uint32_t max_leaf = 0x10;
  uint32_t ecx = kEcxAll, edx = kEdxAll;
  uint64_t xcr0 = 0x7;
  mutable int xgetbv_calls = 0;

  bool HasCpuid() const override { return has_cpuid; }
  CpuidRegs Cpuid(uint32_t leaf) const override {
    CpuidRegs r;
    if (leaf == 0) r.eax = max_leaf;
    if (leaf == 1) {
      r.ecx = ecx;
      r.edx = edx;
    }
    return r;
  }
  uint64_t Xgetbv0() const override {
    ++xgetbv_calls;
    return xcr0;
  }
};

TEST(ProcessorProbeTest, EveryReportBranch) {
  const std::string all = "Is_AVX: FPU MMX SSE SSE2 SSE3 SSSE3 SSE4_1 SSE4_2 AVX osxsave ";
  FakeCpu cpu;
  ProcessorProbe p = ProbeProcessor(cpu);
  EXPECT_EQ(p.report, all + "xgetbv=0x7 - ура AVX! ");
  EXPECT_TRUE(p.avx_usable);
  EXPECT_EQ(p.sse_level, 42);

  cpu.xcr0 = 0x3;  // the OS does not save the ymm registers
  p = ProbeProcessor(cpu);
  EXPECT_EQ(p.report, all + "xgetbv=0x3 - ОС не сохраняет регистры ymm ");
  EXPECT_FALSE(p.avx_usable);

  cpu.xcr0 = 0x2e5;  // ymm saved but not xmm: bits above are reported as they are
  p = ProbeProcessor(cpu);
  EXPECT_EQ(p.report, all + "xgetbv=0x2e5 - ОС не сохраняет регистры xmm ");
  EXPECT_FALSE(p.avx_usable);

  cpu.xcr0 = 0x7;
  cpu.ecx = kEcxAll & ~kEcxAvx;
  p = ProbeProcessor(cpu);
  EXPECT_EQ(p.report, "Is_AVX: FPU MMX SSE SSE2 SSE3 SSSE3 SSE4_1 SSE4_2 osxsave xgetbv=0x7 - нет поддержки AVX ");
  EXPECT_FALSE(p.avx_usable);

  // XSAVE present but not enabled by the OS: XGETBV would fault, so it is not executed.
  cpu.ecx = kEcxAll & ~kEcxOsxsave;
  cpu.xgetbv_calls = 0;
  p = ProbeProcessor(cpu);
  EXPECT_EQ(p.report, "Is_AVX: FPU MMX SSE SSE2 SSE3 SSSE3 SSE4_1 SSE4_2 AVX - ОС не исп. xsave/xrstor ");
  EXPECT_EQ(cpu.xgetbv_calls, 0);
  EXPECT_FALSE(p.avx_usable);

  cpu.ecx = kEcxSse3;
  cpu.edx = kEdxAll;
  p = ProbeProcessor(cpu);
  EXPECT_EQ(p.report, "Is_AVX: FPU MMX SSE SSE2 SSE3 - нет xsave ");
  EXPECT_EQ(p.sse_level, 30);
  EXPECT_EQ(cpu.xgetbv_calls, 0);

  cpu.max_leaf = 0;
  p = ProbeProcessor(cpu);
  EXPECT_EQ(p.report, "Is_AVX: нет, cpuid не поддерживает запрос eax=1 ");
  EXPECT_EQ(p.sse_level, 0);

  cpu.has_cpuid = false;
  p = ProbeProcessor(cpu);
  EXPECT_EQ(p.report, "Is_AVX: нет, не работает cpuid ");
  EXPECT_EQ(p.sse_level, 0);
  EXPECT_FALSE(p.avx_usable);
}

TEST(ProcessorProbeTest, SseLevelIsTheHighestPresent) {
  FakeCpu cpu;
  struct Case {
    uint32_t ecx, edx;
    int level;
  };
  const Case cases[] = {
      {0, 0, 0},
      {0, kEdxSse, 10},
      {0, kEdxSse | kEdxSse2, 20},
      {kEcxSse3, kEdxSse | kEdxSse2, 30},
      {kEcxSse3 | kEcxSsse3, kEdxSse | kEdxSse2, 30},
      {kEcxSse41, 0, 41},
      {kEcxSse3 | kEcxSse41 | kEcxSse42, kEdxSse2, 42},
  };
  for (const Case& c : cases) {
    cpu.ecx = c.ecx;
    cpu.edx = c.edx;
    EXPECT_EQ(ProbeProcessor(cpu).sse_level, c.level) << c.ecx << " " << c.edx;
  }
}

class KernelChoiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Log().SetSink(OLogConsole::Sink::None);
    Log().SetCapture(true);
    Log().TakeCaptured();
  }
  void TearDown() override {
    SetAvxDisabledByCommandLine(false);
    BPF2_InitGlobal(65536);  // back to this machine's own answers
    Log().SetCapture(false);
  }
};

TEST_F(KernelChoiceTest, AvxThenSseThenPortable) {
  FakeCpu cpu;
  BPF2_InitGlobal(2048, cpu);
  EXPECT_EQ(Log().TakeCaptured(),
            "OMBPF2::BPF2_InitGlobal NNMax = 2048\n"
            "Is_AVX: FPU MMX SSE SSE2 SSE3 SSSE3 SSE4_1 SSE4_2 AVX osxsave xgetbv=0x7 - ура AVX! \n"
            "SSE_Ver = 42\nUse AVX \n");
  EXPECT_EQ(BPF2_Kernel(), FftKernel::Avx);
  EXPECT_EQ(BPF2_NNMax(), 2048);
  EXPECT_EQ(BPF2_ProcessorReport(),
            "Is_AVX: FPU MMX SSE SSE2 SSE3 SSSE3 SSE4_1 SSE4_2 AVX osxsave xgetbv=0x7 - ура AVX! ");

  cpu.xcr0 = 0x3;
  BPF2_InitGlobal(2048, cpu);
  EXPECT_EQ(BPF2_Kernel(), FftKernel::Sse);
  EXPECT_NE(Log().TakeCaptured().find("SSE_Ver = 42\nUse SSE \n"), std::string::npos);

  cpu.ecx = kEcxSsse3;  // SSSE3 without SSE3 cannot happen, but the level alone decides
  cpu.edx = kEdxAll;
  BPF2_InitGlobal(2048, cpu);
  EXPECT_EQ(BPF2_Kernel(), FftKernel::Portable);
  const std::string log = Log().TakeCaptured();
  EXPECT_NE(log.find("SSE_Ver = 20\n"), std::string::npos);
  EXPECT_EQ(log.find("Use "), std::string::npos);
}

TEST_F(KernelChoiceTest, CommandLineDisablesTheProbe) {
  FakeCpu cpu;
  SetAvxDisabledByCommandLine(true);
  BPF2_InitGlobal(4096, cpu);
  EXPECT_EQ(Log().TakeCaptured(),
            "OMBPF2::BPF2_InitGlobal NNMax = 4096\n"
            "IsAVX: AVX и SSE отключены параметром командной строки\n");
  EXPECT_EQ(BPF2_Kernel(), FftKernel::Portable);
  EXPECT_EQ(OMBPF2(1024).Kernel(), FftKernel::Portable);
  EXPECT_EQ(cpu.xgetbv_calls, 0);
}

TEST_F(KernelChoiceTest, HostProbeIsConsistent) {
  const ProcessorProbe p = ProbeProcessor(HostCpuid());
  EXPECT_EQ(p.report.rfind("Is_AVX: ", 0), 0u);
  EXPECT_EQ(FftKernelAvailable(FftKernel::Avx), p.avx_usable);
  EXPECT_EQ(FftKernelAvailable(FftKernel::Sse), p.sse_level >= 30);
  EXPECT_TRUE(FftKernelAvailable(FftKernel::Portable));
}

}  // namespace
}  // namespace kavu
