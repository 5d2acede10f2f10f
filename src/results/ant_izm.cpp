#include "results/ant_izm.h"

#include <cstring>

namespace kavu {

float PauseNotMeasured() { return std::bit_cast<float>(0xFFC00000u); }

const std::array<AntIzmField, 29>& AntIzmFields() {
  using F = AntIzmField;
  static const std::array<AntIzmField, 29> fields = {{
      {"freqHz", 0, F::kF64},      {"aDuo", 8, F::kF64},          {"a", 16, F::kF64},
      {"maxADuo", 24, F::kF32},    {"maxA", 28, F::kF32},         {"pause", 32, F::kF32},
      {"oDuo", 40, F::kF64},       {"o", 48, F::kF64},            {"maxODuo", 56, F::kF32},
      {"maxO", 60, F::kF32},       {"pauseBpf", 64, F::kF32},     {"phase", 72, F::kF64},
      {"gainDuo", 80, F::kF64},    {"gain", 88, F::kF64},         {"reserved96", 96, F::kI32},
      {"overloadsDuo", 100, F::kI32}, {"overloads", 104, F::kI32}, {"phaseDuo", 108, F::kF32},
      {"delay", 112, F::kF32},     {"ppm", 116, F::kF32},         {"pauseAll", 120, F::kF32},
      {"aDuoBpf", 128, F::kF64},   {"aBpf", 136, F::kF64},        {"oDuoBpf", 144, F::kF64},
      {"oBpf", 152, F::kF64},      {"aDuoAll", 160, F::kF64},     {"aAll", 168, F::kF64},
      {"oDuoAll", 176, F::kF64},   {"oAll", 184, F::kF64},
  }};
  return fields;
}

namespace {
size_t FieldSize(AntIzmField::Kind k) { return k == AntIzmField::kF64 ? 8 : 4; }
}  // namespace

void EncodeAntIzm(const AntIzm& p, uint8_t out[192]) {
  std::memset(out, 0, 192);
  const auto* src = reinterpret_cast<const uint8_t*>(&p);
  for (const auto& f : AntIzmFields()) std::memcpy(out + f.offset, src + f.offset, FieldSize(f.kind));
}

AntIzm DecodeAntIzm(const uint8_t* bytes, size_t size) {
  AntIzm p = EmptyAntIzm();
  std::memcpy(&p, bytes, size < sizeof p ? size : sizeof p);
  return p;
}

AntIzm EmptyAntIzm() {
  AntIzm p;
  std::memset(&p, 0, sizeof p);
  return p;
}

}  // namespace kavu
