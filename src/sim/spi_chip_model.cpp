#include "sim/spi_chip_model.h"

#include "sim/ad9833_model.h"
#include "sim/adf4351_model.h"
#include "sim/si4432_model.h"
#include "sim/si4463_model.h"
#include "sim/sx1231_model.h"

namespace kavu::sim {
namespace {

struct FaultName {
  SpiChipFault fault;
  const char* name;
};
constexpr FaultName kFaultNames[] = {
    {SpiChipFault::kNone, "none"},         {SpiChipFault::kWrongType, "wrong-type"},
    {SpiChipFault::kCtsStuck, "cts-stuck"}, {SpiChipFault::kCtsWrong, "cts-wrong"},
    {SpiChipFault::kReadBack, "read-back"},
};

}  // namespace

SpiChipFault SpiChipFaultFromName(std::string_view name, bool* ok) {
  for (const FaultName& f : kFaultNames) {
    if (name == f.name) {
      if (ok) *ok = true;
      return f.fault;
    }
  }
  if (ok) *ok = false;
  return SpiChipFault::kNone;
}

const char* SpiChipFaultName(SpiChipFault f) {
  for (const FaultName& n : kFaultNames) {
    if (n.fault == f) return n.name;
  }
  return "none";
}

const std::vector<SpiChipKind>& SpiChipKinds() {
  static const std::vector<SpiChipKind> kinds = {
      {"si5351", 0, "Si5351A on I2C, outputs CLK0..2 (the default)"},
      {"rfm22", 1, "Rfm22b (Si4432) on CS0, 240..960 MHz"},
      {"rfm23", 2, "Rfm23b (Si4431) on CS0, 240..960 MHz"},
      {"rfm69", 3, "Rfm69CW (SX1231) on CS0, Frf x 61.03515625 Hz"},
      {"ad9833", 6, "AD9833 DDS on CS0, 0..12.5 MHz"},
      {"adf4351", 7, "ADF4351 PLL on CS0, 34.375 MHz..4.4 GHz (third harmonic above)"},
      {"si4463", 8, "Si4463 on CS0, 142..1136 MHz (harmonics above)"},
  };
  return kinds;
}

std::unique_ptr<ISpiChipModel> MakeSpiChipModel(std::string_view name) {
  if (name == "rfm22") return std::make_unique<Si4432Model>("rfm22");
  if (name == "rfm23") return std::make_unique<Si4432Model>("rfm23");
  if (name == "rfm69") return std::make_unique<Sx1231Model>();
  if (name == "ad9833") return std::make_unique<Ad9833Model>();
  if (name == "adf4351") return std::make_unique<Adf4351Model>();
  if (name == "si4463") return std::make_unique<Si4463Model>();
  return nullptr;
}

}  // namespace kavu::sim
