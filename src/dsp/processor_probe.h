#pragma once
// The processor probe that picks the FFT kernel: which SSE level the processor has and whether the
// operating system lets programs use AVX. The CPUID/XGETBV source is an interface so that every
// answer a processor can give is testable on any machine.
#include <cstdint>
#include <string>

namespace kavu {

struct CpuidRegs {
  uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
};

class ICpuidSource {
 public:
  virtual ~ICpuidSource() = default;
  // False when the CPUID instruction does not work at all.
  virtual bool HasCpuid() const = 0;
  // The registers CPUID returns for the leaf (sub-leaf 0). Leaf 0: eax = highest leaf supported.
  virtual CpuidRegs Cpuid(uint32_t leaf) const = 0;
  // XCR0 as XGETBV(0) returns it. Only asked when CPUID reports OSXSAVE (the instruction faults
  // otherwise).
  virtual uint64_t Xgetbv0() const = 0;
};

// The processor this program runs on (no CPUID at all on other architectures).
const ICpuidSource& HostCpuid();

struct ProcessorProbe {
  std::string report;   // "Is_AVX: ..." as logged
  int sse_level = 0;    // 0, 10 (SSE), 20 (SSE2), 30 (SSE3), 41 (SSE4.1), 42 (SSE4.2)
  bool avx_usable = false;  // processor has AVX and the OS saves the xmm and ymm registers
};

// Asks the source and composes the report. Pure: logs nothing.
ProcessorProbe ProbeProcessor(const ICpuidSource& cpu);

// Whether the AVX kernel may use 512-bit registers: the processor has AVX and AVX-512F (CPUID
// leaf 7, EBX bit 16) and the OS has enabled XSAVE and saves the xmm, ymm, opmask and zmm state
// (XCR0 bits 1, 2, 5, 6, 7). A question of its own: ProbeProcessor's report stays as it is. Pure.
bool Avx512Usable(const ICpuidSource& cpu);

}  // namespace kavu
