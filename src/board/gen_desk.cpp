#include "board/gen_desk.h"

#include <algorithm>
#include <cmath>

#include "shell/settings_store.h"

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

int32_t ZeroOutside(int32_t v, int32_t lo, int32_t hi) { return (v < lo || v > hi) ? 0 : v; }

}  // namespace

const GenKindInfo& GenKind(int kind) {
  return kKinds[(kind >= 0 && kind < kGenKindCount) ? kind : 0];
}

void GenDesk::Check() {
  m_GenRfmType = ZeroOutside(m_GenRfmType, 0, kGenKindCount - 1);
  m_GenPowerRfm22 = std::clamp<int32_t>(m_GenPowerRfm22, 0, 7);
  m_GenPowerRfm69 = std::clamp<int32_t>(m_GenPowerRfm69, 0, 31);
  m_dds_Forma = ZeroOutside(m_dds_Forma, 0, 2);
  m_ADF4351_Pow = ZeroOutside(m_ADF4351_Pow, 0, 3);
  if (!std::isfinite(m_ADF4351_BaseFM) || m_ADF4351_BaseFM < 10e6 || m_ADF4351_BaseFM > 250e6) {
    m_ADF4351_BaseFM = 25e6;
  }
  if (!std::isfinite(ppm) || ppm < -500'000.0 || ppm > 500'000.0) ppm = 0.0;
  if (!std::isfinite(RfmFixFM) || RfmFixFM < 0.0) RfmFixFM = 0.0;
  m_GenPowerSI4463 = ZeroOutside(m_GenPowerSI4463, 0, 127);
}

std::string GenDesk::Section(int slot) { return "CDlgOptions_RfmGen" + std::to_string(slot); }

GenDesk GenDesk::Load(int slot) {
  SettingsStore& s = Settings();
  const std::string sec = Section(slot);
  GenDesk d;
  d.m_GenRfmType = s.GetProfileInt(sec, "m_GenRfmType", 0);
  d.m_GenPowerRfm22 = s.GetProfileInt(sec, "m_GenPowerRfm22", 0);
  d.m_GenPowerRfm69 = s.GetProfileInt(sec, "m_GenPowerRfm69", 0);
  d.m_dds_Forma = s.GetProfileInt(sec, "m_dds_Forma", 0);
  d.m_ADF4351_Pow = s.GetProfileInt(sec, "m_ADF4351_Pow", 0);
  d.m_ADF4351_BaseFM = s.GetProfileDouble(sec, "m_ADF4351_BaseFM", 25e6);
  d.ppm = s.GetProfileDouble(sec, "I.ppm", 0.0);
  d.RfmFixFM = s.GetProfileDouble(sec, "RfmFixFM", 0.0);
  d.m_GenPowerSI4463 = s.GetProfileInt(sec, "m_GenPowerSI4463", 0);
  d.Check();
  return d;
}

void GenDesk::Save(int slot) const {
  SettingsStore& s = Settings();
  const std::string sec = Section(slot);
  s.WriteProfileInt(sec, "m_GenRfmType", m_GenRfmType);
  s.WriteProfileInt(sec, "m_GenPowerRfm22", m_GenPowerRfm22);
  s.WriteProfileInt(sec, "m_GenPowerRfm69", m_GenPowerRfm69);
  s.WriteProfileInt(sec, "m_dds_Forma", m_dds_Forma);
  s.WriteProfileInt(sec, "m_ADF4351_Pow", m_ADF4351_Pow);
  s.WriteProfileDouble(sec, "m_ADF4351_BaseFM", m_ADF4351_BaseFM);
  s.WriteProfileDouble(sec, "I.ppm", ppm);
  s.WriteProfileDouble(sec, "RfmFixFM", RfmFixFM);
  s.WriteProfileInt(sec, "m_GenPowerSI4463", m_GenPowerSI4463);
}

GenDesks LoadGenDesks() {
  GenDesks d;
  for (int i = 0; i < kGenSlots; ++i) d[static_cast<size_t>(i)] = GenDesk::Load(i);
  return d;
}

}  // namespace kavu
