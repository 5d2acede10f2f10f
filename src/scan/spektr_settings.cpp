#include "scan/spektr_settings.h"

#include <cmath>

#include "shell/settings_binding.h"
#include "shell/settings_store.h"

namespace kavu {
namespace {
constexpr const char* kS = SpektrSettings::kSection;
constexpr double kDefaultFM_Sdr = 144e6;
constexpr double kDefaultFM_Gen = 234e6;
}  // namespace

std::string SpektrSettings::UsedScanDia(std::string_view text) {
  size_t chars = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    // A byte that does not continue a UTF-8 sequence starts a character.
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && chars++ == kScanDiaUsedChars) {
      return std::string(text.substr(0, i));
    }
  }
  return std::string(text);
}

double SpektrSettings::CheckedFrequency(double hz, double def) {
  return std::isfinite(hz) && hz >= 0 && hz <= kMaxFrequencyHz ? hz : def;
}

SpektrSettings SpektrSettings::Load() {
  SettingsStore& s = Settings();
  SpektrSettings o;
  o.m_GrMin = s.GetProfileInt(kS, "m_GrMin", o.m_GrMin);
  o.m_GrMax = s.GetProfileInt(kS, "m_GrMax", o.m_GrMax);
  o.m_VdMin = s.GetProfileInt(kS, "m_VdMin", o.m_VdMin);
  o.m_VdMax = s.GetProfileInt(kS, "m_VdMax", o.m_VdMax);
  o.m_FM_Sdr = CheckedFrequency(s.GetProfileDouble(kS, "m_FM_Sdr", kDefaultFM_Sdr), kDefaultFM_Sdr);
  o.m_FM_Gen = CheckedFrequency(s.GetProfileDouble(kS, "m_FM_Gen", kDefaultFM_Gen), kDefaultFM_Gen);
  o.m_GenNum = s.GetProfileInt(kS, "m_GenNum", o.m_GenNum);
  o.m_ScanDia = UsedScanDia(s.GetProfileString(kS, "m_ScanDia", kDefaultScanDia));
  o.m_IsScanCikl = LoadCheck(kS, "m_IsScanCikl", false);
  o.m_SelectSdrKey = s.GetProfileString(kS, "m_SelectSdrKey", "");
  o.IsCheckRfm22Cfg = LoadCheck(kS, "IsCheckRfm22Cfg", true);
  return o;
}

void SpektrSettings::Save() const {
  SpektrSettings copy = *this;
  copy.SaveGraphLimits(m_GrMin, m_GrMax);
  copy.SaveWaterfallLimits(m_VdMin, m_VdMax);
  copy.SaveFM_Sdr(m_FM_Sdr);
  copy.SaveFM_Gen(m_FM_Gen);
  copy.SaveGenNum(m_GenNum);
  copy.SaveScanDia(m_ScanDia);
  copy.SaveIsScanCikl(m_IsScanCikl);
  copy.SaveSelectSdrKey(m_SelectSdrKey);
  copy.SaveIsCheckRfm22Cfg(IsCheckRfm22Cfg);
}

void SpektrSettings::SaveGraphLimits(int32_t gr_min, int32_t gr_max) {
  m_GrMin = gr_min;
  m_GrMax = gr_max;
  Settings().WriteProfileInt(kS, "m_GrMin", gr_min);
  Settings().WriteProfileInt(kS, "m_GrMax", gr_max);
}

void SpektrSettings::SaveWaterfallLimits(int32_t vd_min, int32_t vd_max) {
  m_VdMin = vd_min;
  m_VdMax = vd_max;
  Settings().WriteProfileInt(kS, "m_VdMin", vd_min);
  Settings().WriteProfileInt(kS, "m_VdMax", vd_max);
}

double SpektrSettings::SaveFM_SdrText(std::string_view mhz_text) {
  SaveFM_Sdr(ParseMHzEditText(mhz_text));
  return m_FM_Sdr;
}

double SpektrSettings::SaveFM_GenText(std::string_view mhz_text) {
  SaveFM_Gen(ParseMHzEditText(mhz_text));
  return m_FM_Gen;
}

void SpektrSettings::SaveFM_Sdr(double hz) {
  m_FM_Sdr = CheckedFrequency(hz, kDefaultFM_Sdr);
  Settings().WriteProfileDouble(kS, "m_FM_Sdr", m_FM_Sdr);
}

void SpektrSettings::SaveFM_Gen(double hz) {
  m_FM_Gen = CheckedFrequency(hz, kDefaultFM_Gen);
  Settings().WriteProfileDouble(kS, "m_FM_Gen", m_FM_Gen);
}

void SpektrSettings::SaveGenNum(int32_t index) {
  m_GenNum = index;
  Settings().WriteProfileInt(kS, "m_GenNum", index);
}

void SpektrSettings::SaveScanDia(std::string_view text) {
  Settings().WriteProfileString(kS, "m_ScanDia", text);
  m_ScanDia = UsedScanDia(text);
}

void SpektrSettings::SaveIsScanCikl(bool on) {
  m_IsScanCikl = on;
  SaveCheck(kS, "m_IsScanCikl", on);
}

void SpektrSettings::SaveSelectSdrKey(std::string_view key) {
  m_SelectSdrKey = std::string(key);
  Settings().WriteProfileString(kS, "m_SelectSdrKey", key);
}

void SpektrSettings::SaveIsCheckRfm22Cfg(bool ask) {
  IsCheckRfm22Cfg = ask;
  SaveCheck(kS, "IsCheckRfm22Cfg", ask);
}

}  // namespace kavu
