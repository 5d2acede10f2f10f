#pragma once
// AntIzm: one frequency point of a scan, a fixed 192-byte little-endian record, identical in
// memory and in the scan-result file. Levels are dB of power (10·log10(re² + im²); a power of 0
// or less is stored as 0); phases in radians; the pause levels are measured only for the first
// point of a receiver tuning group, every other point holds the NaN with bit pattern 0xFFC00000.
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

namespace kavu {

struct AntIzm {
  double freqHz;       // 0   generator frequency, Hz
  double aDuo;         // 8   antenna-side level, second channel, dB
  double a;            // 16  antenna-side level, main channel, dB
  float maxADuo;       // 24  peak |sample| of the second channel during the capture
  float maxA;          // 28  peak |sample| of the main channel
  float pause;         // 32  level in the pause, dB
  uint32_t gap36;      // 36  unused, always 0 in files
  double oDuo;         // 40  reference-side level, second channel, dB
  double o;            // 48  reference-side level, main channel, dB
  float maxODuo;       // 56  same value as maxADuo
  float maxO;          // 60  same value as maxA
  float pauseBpf;      // 64  pause level after the band-pass filter, dB
  uint32_t gap68;      // 68  unused
  double phase;        // 72  phase of A against O, rad
  double gainDuo;      // 80  receiver gain, second channel, dB
  double gain;         // 88  receiver gain, main channel, dB
  int32_t reserved96;  // 96  always 0
  int32_t overloadsDuo;  // 100 running overload count, second channel
  int32_t overloads;     // 104 running overload count, main channel (sum of both without Duo)
  float phaseDuo;      // 108 phase measured with the second channel, rad (0 without it)
  float delay;         // 112 measured delay of the response, s
  float ppm;           // 116 relative frequency error of the received tone, ppm
  float pauseAll;      // 120 pause level of the whole signal, dB
  uint32_t gap124;     // 124 unused
  double aDuoBpf;      // 128
  double aBpf;         // 136
  double oDuoBpf;      // 144
  double oBpf;         // 152
  double aDuoAll;      // 160 same as aDuoBpf (no whole-signal measurement on the second channel)
  double aAll;         // 168
  double oDuoAll;      // 176 same as oDuoBpf
  double oAll;         // 184
};

static_assert(std::endian::native == std::endian::little, "the record layout is little-endian");
static_assert(sizeof(AntIzm) == 192);
static_assert(offsetof(AntIzm, freqHz) == 0 && offsetof(AntIzm, aDuo) == 8);
static_assert(offsetof(AntIzm, a) == 16 && offsetof(AntIzm, maxADuo) == 24);
static_assert(offsetof(AntIzm, maxA) == 28 && offsetof(AntIzm, pause) == 32);
static_assert(offsetof(AntIzm, gap36) == 36 && offsetof(AntIzm, oDuo) == 40);
static_assert(offsetof(AntIzm, o) == 48 && offsetof(AntIzm, maxODuo) == 56);
static_assert(offsetof(AntIzm, maxO) == 60 && offsetof(AntIzm, pauseBpf) == 64);
static_assert(offsetof(AntIzm, gap68) == 68 && offsetof(AntIzm, phase) == 72);
static_assert(offsetof(AntIzm, gainDuo) == 80 && offsetof(AntIzm, gain) == 88);
static_assert(offsetof(AntIzm, reserved96) == 96 && offsetof(AntIzm, overloadsDuo) == 100);
static_assert(offsetof(AntIzm, overloads) == 104 && offsetof(AntIzm, phaseDuo) == 108);
static_assert(offsetof(AntIzm, delay) == 112 && offsetof(AntIzm, ppm) == 116);
static_assert(offsetof(AntIzm, pauseAll) == 120 && offsetof(AntIzm, gap124) == 124);
static_assert(offsetof(AntIzm, aDuoBpf) == 128 && offsetof(AntIzm, aBpf) == 136);
static_assert(offsetof(AntIzm, oDuoBpf) == 144 && offsetof(AntIzm, oBpf) == 152);
static_assert(offsetof(AntIzm, aDuoAll) == 160 && offsetof(AntIzm, aAll) == 168);
static_assert(offsetof(AntIzm, oDuoAll) == 176 && offsetof(AntIzm, oAll) == 184);

// The quiet NaN with bit pattern 0xFFC00000 that marks "no pause measured".
float PauseNotMeasured();

// The record's fields in file order, for readers that walk all of them (CSV, checks).
struct AntIzmField {
  enum Kind { kF64, kF32, kI32 };
  const char* name;
  uint16_t offset;
  Kind kind;
};
const std::array<AntIzmField, 29>& AntIzmFields();

// Explicit byte encoding: every field at its offset, the gaps at 36, 68 and 124 as zeros.
void EncodeAntIzm(const AntIzm& p, uint8_t out[192]);
// Decodes the first `size` bytes (at most 192) of a record; later fields become 0.
AntIzm DecodeAntIzm(const uint8_t* bytes, size_t size);
// A zeroed record.
AntIzm EmptyAntIzm();

}  // namespace kavu
