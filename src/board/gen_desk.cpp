#include "board/gen_desk.h"

#include <limits>

#include "shell/settings_fields.h"

namespace kavu {
namespace {

const GenKindInfo kKinds[kGenKindCount] = {
    {"Не подключен", nullptr, 3},
    {"Rfm22b (Si4432, 20 dbm)", "Rfm22b", 0},
    {"Rfm23b (Si4431, 13 dbm)", "Rfm23b", 0},
    {"Rfm69CW (SX1231, 13 dbm на pa0)", "Rfm69CW", 0},
    {"Rfm69HC/HCW (13 dbm на pa1)", "Rfm69HC pa1", 0},
    {"Rfm69HC/HCW (17 dbm на pa1+2)", "Rfm69HC pa12", 0},
    {"DDS ad9833", "ad9833 dds", 2},
    {"ADF4351", "ADF4351", 3},
    {"si4463", "si4463", 0},
};

using D = GenDesk;
constexpr double kNoLimit = std::numeric_limits<double>::infinity();

constexpr SettingBinding<GenDesk> kDeskFields[] = {
    Bind<&D::m_GenRfmType>("m_GenRfmType", 0, DefaultOutside(0, kGenKindCount - 1)),
    Bind<&D::m_GenPowerRfm22>("m_GenPowerRfm22", 0, ClampTo(0, 7)),
    Bind<&D::m_GenPowerRfm69>("m_GenPowerRfm69", 0, ClampTo(0, 31)),
    Bind<&D::m_dds_Forma>("m_dds_Forma", 0, DefaultOutside(0, 2)),
    Bind<&D::m_ADF4351_Pow>("m_ADF4351_Pow", 0, DefaultOutside(0, 3)),
    Bind<&D::m_ADF4351_BaseFM>("m_ADF4351_BaseFM", 25e6, DefaultOutside(10e6, 250e6)),
    Bind<&D::ppm>("I.ppm", 0.0, DefaultOutside(-500'000.0, 500'000.0)),
    Bind<&D::RfmFixFM>("RfmFixFM", 0.0, DefaultOutside(0.0, kNoLimit)),
    Bind<&D::m_GenPowerSI4463>("m_GenPowerSI4463", 0, DefaultOutside(0, 127)),
};

}  // namespace

const GenKindInfo& GenKind(int kind) {
  return kKinds[(kind >= 0 && kind < kGenKindCount) ? kind : 0];
}

std::span<const SettingBinding<GenDesk>> GenDesk::Bindings() { return kDeskFields; }

void GenDesk::Check() { CheckSettings(Bindings(), *this); }

std::string GenDesk::Section(int slot) { return "CDlgOptions_RfmGen" + std::to_string(slot); }

GenDesk GenDesk::Load(int slot) {
  GenDesk d;
  LoadSettings(Settings(), Section(slot), Bindings(), d);
  return d;
}

void GenDesk::Save(int slot) const { SaveSettings(Settings(), Section(slot), Bindings(), *this); }

GenDesks LoadGenDesks() {
  GenDesks d;
  for (int i = 0; i < kGenSlots; ++i) d[static_cast<size_t>(i)] = GenDesk::Load(i);
  return d;
}

}  // namespace kavu
