#include "dsp/processor_probe.h"

#include <cstdio>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace kavu {
namespace {

bool Bit(uint32_t v, int bit) { return ((v >> bit) & 1u) != 0; }

#if defined(__x86_64__) || defined(__i386__)
class HostSource final : public ICpuidSource {
 public:
  bool HasCpuid() const override { return __get_cpuid_max(0, nullptr) != 0; }
  CpuidRegs Cpuid(uint32_t leaf) const override {
    CpuidRegs r;
    __cpuid_count(leaf, 0, r.eax, r.ebx, r.ecx, r.edx);
    return r;
  }
  uint64_t Xgetbv0() const override {
    uint32_t lo = 0, hi = 0;
    __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
    return (static_cast<uint64_t>(hi) << 32) | lo;
  }
};
#else
class HostSource final : public ICpuidSource {
 public:
  bool HasCpuid() const override { return false; }
  CpuidRegs Cpuid(uint32_t) const override { return {}; }
  uint64_t Xgetbv0() const override { return 0; }
};
#endif

int SseLevel(const CpuidRegs& r) {
  if (Bit(r.ecx, 20)) return 42;
  if (Bit(r.ecx, 19)) return 41;
  if (Bit(r.ecx, 0)) return 30;
  if (Bit(r.edx, 26)) return 20;
  if (Bit(r.edx, 25)) return 10;
  return 0;
}

std::string FeatureList(const CpuidRegs& r) {
  struct Feature {
    bool ecx;
    int bit;
    const char* text;
  };
  static constexpr Feature kFeatures[] = {
      {false, 0, "FPU "},    {false, 23, "MMX "},    {false, 25, "SSE "},
      {false, 26, "SSE2 "},  {true, 0, "SSE3 "},     {true, 9, "SSSE3 "},
      {true, 19, "SSE4_1 "}, {true, 20, "SSE4_2 "},  {true, 28, "AVX "},
      {true, 27, "osxsave "},
  };
  std::string s;
  for (const Feature& f : kFeatures) {
    if (Bit(f.ecx ? r.ecx : r.edx, f.bit)) s += f.text;
  }
  return s;
}

std::string HexXcr0(uint64_t v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "xgetbv=0x%llx ", static_cast<unsigned long long>(v));
  return buf;
}

}  // namespace

const ICpuidSource& HostCpuid() {
  static const HostSource source;
  return source;
}

ProcessorProbe ProbeProcessor(const ICpuidSource& cpu) {
  ProcessorProbe p;
  p.report = "Is_AVX: ";
  if (!cpu.HasCpuid()) {
    p.report += "нет, не работает cpuid ";
    return p;
  }
  if (cpu.Cpuid(0).eax < 1) {
    p.report += "нет, cpuid не поддерживает запрос eax=1 ";
    return p;
  }
  const CpuidRegs r = cpu.Cpuid(1);
  p.sse_level = SseLevel(r);
  p.report += FeatureList(r);
  const bool xsave = Bit(r.ecx, 26);
  const bool osxsave = Bit(r.ecx, 27);
  const bool avx = Bit(r.ecx, 28);
  if (!xsave) {
    p.report += "- нет xsave ";
    return p;
  }
  // XGETBV faults unless the OS has enabled XSAVE (OSXSAVE), so it is only asked then.
  const uint64_t xcr0 = osxsave ? cpu.Xgetbv0() : 0;
  if (osxsave) p.report += HexXcr0(xcr0);
  const bool xmm = (xcr0 & 2u) != 0;
  const bool ymm = (xcr0 & 4u) != 0;
  if (osxsave && avx && xmm && ymm) {
    p.avx_usable = true;
    p.report += "- ура AVX! ";
  } else if (!osxsave) {
    p.report += "- ОС не исп. xsave/xrstor ";
  } else if (!ymm) {
    p.report += "- ОС не сохраняет регистры ymm ";
  } else if (!xmm) {
    p.report += "- ОС не сохраняет регистры xmm ";
  } else {
    p.report += "- нет поддержки AVX ";
  }
  return p;
}

bool Avx512Usable(const ICpuidSource& cpu) {
  if (!cpu.HasCpuid() || cpu.Cpuid(0).eax < 7) return false;
  const CpuidRegs r = cpu.Cpuid(1);
  const bool osxsave = Bit(r.ecx, 27);
  const bool avx = Bit(r.ecx, 28);
  if (!osxsave || !avx) return false;  // XGETBV faults without OSXSAVE: not asked then
  if (!Bit(cpu.Cpuid(7).ebx, 16)) return false;
  constexpr uint64_t kZmmState = (1u << 1) | (1u << 2) | (1u << 5) | (1u << 6) | (1u << 7);
  return (cpu.Xgetbv0() & kZmmState) == kZmmState;
}

}  // namespace kavu
