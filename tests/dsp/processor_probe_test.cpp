#include "dsp/processor_probe.h"

#include <gtest/gtest.h>

#include "dsp/fft_tables.h"
#include "dsp/fft_test_util.h"
#include "dsp/ombpf2.h"
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
  uint32_t ebx7 = 0;  // leaf 7 EBX (bit 16: AVX-512F)
  mutable int xgetbv_calls = 0;

  bool HasCpuid() const override { return has_cpuid; }
  CpuidRegs Cpuid(uint32_t leaf) const override {
    CpuidRegs r;
    if (leaf == 0) r.eax = max_leaf;
    if (leaf == 1) {
      r.ecx = ecx;
      r.edx = edx;
    }
    if (leaf == 7) r.ebx = ebx7;
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

class KernelChoiceTest : public ::testing::Test {};

std::string Joined(const FftKernelChoice& c) {
  std::string s;
  for (const std::string& line : c.lines) s += line;
  return s;
}

// What a setup made from a choice runs: the x86 kernels exist only in x86 builds, and a kernel
// this processor cannot run is never taken.
FftKernel Installed(FftKernel k) { return FftKernelAvailable(k) ? k : FftKernel::Portable; }

TEST_F(KernelChoiceTest, AvxThenSseThenPortable) {
  FakeCpu cpu;
  FftKernelChoice c = ChooseFftKernel(cpu, false);
  EXPECT_EQ(Joined(c),
            "Is_AVX: FPU MMX SSE SSE2 SSE3 SSSE3 SSE4_1 SSE4_2 AVX osxsave xgetbv=0x7 - ура AVX! \n"
            "SSE_Ver = 42\nUse AVX \n");
  EXPECT_EQ(c.kernel, FftKernel::Avx);
  FftSetupPtr setup = FftSetup::Make(2048, c);
  EXPECT_EQ(setup->Kernel(), Installed(FftKernel::Avx));
  EXPECT_EQ(setup->NNMax(), 2048);
  EXPECT_EQ(setup->ProcessorReport(),
            "Is_AVX: FPU MMX SSE SSE2 SSE3 SSSE3 SSE4_1 SSE4_2 AVX osxsave xgetbv=0x7 - ура AVX! ");

  cpu.xcr0 = 0x3;
  c = ChooseFftKernel(cpu, false);
  EXPECT_EQ(c.kernel, FftKernel::Sse);
  EXPECT_NE(Joined(c).find("SSE_Ver = 42\nUse SSE \n"), std::string::npos);
  setup = FftSetup::Make(2048, c);
  EXPECT_EQ(setup->Kernel(), Installed(FftKernel::Sse));

  cpu.ecx = kEcxSsse3;  // SSSE3 without SSE3 cannot happen, but the level alone decides
  cpu.edx = kEdxAll;
  c = ChooseFftKernel(cpu, false);
  EXPECT_EQ(c.kernel, FftKernel::Portable);
  EXPECT_NE(Joined(c).find("SSE_Ver = 20\n"), std::string::npos);
  EXPECT_EQ(Joined(c).find("Use "), std::string::npos);
  EXPECT_EQ(FftSetup::Make(2048, c)->Kernel(), FftKernel::Portable);
}

TEST(ProcessorProbeTest, Avx512NeedsTheProcessorAndTheOs) {
  constexpr uint32_t kAvx512f = 1u << 16;
  constexpr uint64_t kZmmXcr0 = 0xe7;  // x87, xmm, ymm, opmask, zmm 0-15, zmm 16-31
  FakeCpu cpu;
  cpu.ebx7 = kAvx512f;
  cpu.xcr0 = kZmmXcr0;
  EXPECT_TRUE(Avx512Usable(cpu));
  // The report is the same question's answer as without AVX-512: it does not change.
  EXPECT_EQ(ProbeProcessor(cpu).report,
            "Is_AVX: FPU MMX SSE SSE2 SSE3 SSSE3 SSE4_1 SSE4_2 AVX osxsave xgetbv=0xe7 - ура AVX! ");

  for (uint64_t missing : {0x2, 0x4, 0x20, 0x40, 0x80}) {  // the OS does not save one of the states
    cpu.xcr0 = kZmmXcr0 & ~missing;
    EXPECT_FALSE(Avx512Usable(cpu)) << missing;
  }
  cpu.xcr0 = kZmmXcr0;

  cpu.ebx7 = ~kAvx512f;  // every other leaf-7 feature, but no AVX-512F
  EXPECT_FALSE(Avx512Usable(cpu));
  cpu.ebx7 = kAvx512f;

  cpu.max_leaf = 6;  // leaf 7 not there: not asked
  EXPECT_FALSE(Avx512Usable(cpu));
  cpu.max_leaf = 0x10;

  cpu.ecx = kEcxAll & ~kEcxAvx;
  EXPECT_FALSE(Avx512Usable(cpu));

  cpu.ecx = kEcxAll & ~kEcxOsxsave;  // XGETBV would fault: never asked
  cpu.xgetbv_calls = 0;
  EXPECT_FALSE(Avx512Usable(cpu));
  EXPECT_EQ(cpu.xgetbv_calls, 0);

  cpu.has_cpuid = false;
  EXPECT_FALSE(Avx512Usable(cpu));
}

TEST_F(KernelChoiceTest, Avx512PathChosenWithTheAvxKernel) {
  FakeCpu cpu;
  cpu.ebx7 = 1u << 16;
  cpu.xcr0 = 0xe7;
  FftKernelChoice c = ChooseFftKernel(cpu, false);
  EXPECT_EQ(Joined(c),
            "Is_AVX: FPU MMX SSE SSE2 SSE3 SSSE3 SSE4_1 SSE4_2 AVX osxsave xgetbv=0xe7 - ура AVX! \n"
            "SSE_Ver = 42\nUse AVX \nUse AVX-512 \n");
  EXPECT_EQ(c.kernel, FftKernel::Avx);
  EXPECT_TRUE(c.avx512);
  FftSetupPtr setup = FftSetup::Make(2048, c);
  EXPECT_EQ(setup->Kernel(), Installed(FftKernel::Avx));
  // The setup and its objects take the path only where this machine has it.
  EXPECT_EQ(setup->Avx512(), FftAvx512Available());
  EXPECT_EQ(OMBPF2(setup).Avx512(), FftAvx512Available());

  cpu.xcr0 = 0x7;  // AVX usable, zmm state not saved: the 256-bit path alone
  c = ChooseFftKernel(cpu, false);
  EXPECT_EQ(Joined(c).find("AVX-512"), std::string::npos);
  EXPECT_EQ(c.kernel, FftKernel::Avx);
  EXPECT_FALSE(c.avx512);
  setup = FftSetup::Make(2048, c);
  EXPECT_FALSE(setup->Avx512());
  EXPECT_FALSE(OMBPF2(setup).Avx512());

  cpu.xcr0 = 0xe7;
  cpu.ecx = kEcxAll & ~kEcxAvx;  // no AVX kernel, so no 512-bit path either
  c = ChooseFftKernel(cpu, false);
  EXPECT_EQ(c.kernel, FftKernel::Sse);
  EXPECT_FALSE(c.avx512);

  cpu.ecx = kEcxAll;
  c = ChooseFftKernel(cpu, true);  // "AVX_Disable" turns the 512-bit path off with the AVX kernel
  EXPECT_EQ(c.kernel, FftKernel::Portable);
  EXPECT_FALSE(c.avx512);
  setup = FftSetup::Make(2048, c);
  EXPECT_FALSE(setup->Avx512());
  EXPECT_FALSE(OMBPF2(setup).Avx512());
}

TEST_F(KernelChoiceTest, CommandLineSwitchSkipsTheProbe) {
  FakeCpu cpu;
  const FftKernelChoice c = ChooseFftKernel(cpu, true);
  EXPECT_EQ(Joined(c), "IsAVX: AVX и SSE отключены параметром командной строки\n");
  EXPECT_EQ(c.report, "IsAVX: AVX и SSE отключены параметром командной строки");
  const FftSetupPtr setup = FftSetup::Make(4096, c);
  EXPECT_EQ(setup->Kernel(), FftKernel::Portable);
  EXPECT_EQ(OMBPF2(setup, 1024).Kernel(), FftKernel::Portable);
  EXPECT_EQ(cpu.xgetbv_calls, 0);
}

TEST_F(KernelChoiceTest, HostProbeIsConsistent) {
  const ProcessorProbe p = ProbeProcessor(HostCpuid());
  EXPECT_EQ(p.report.rfind("Is_AVX: ", 0), 0u);
  EXPECT_EQ(FftKernelAvailable(FftKernel::Avx), p.avx_usable);
  EXPECT_EQ(FftKernelAvailable(FftKernel::Sse), p.sse_level >= 30);
  EXPECT_TRUE(FftKernelAvailable(FftKernel::Portable));
  EXPECT_EQ(FftAvx512Available(), p.avx_usable && Avx512Usable(HostCpuid()));
  if (!FftAvx512Available()) {
    OMBPF2 fft(test::HostFft());
    EXPECT_FATAL(fft.SetAvx512(true), "OMBPF2::SetAvx512() - AVX-512 недоступен на этом процессоре !!!");
  }
}

}  // namespace
}  // namespace kavu
