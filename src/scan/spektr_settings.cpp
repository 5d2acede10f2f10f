#include "scan/spektr_settings.h"

#include <cmath>

#include "board/gen_list.h"
#include "board/rfm22_gen.h"
#include "shell/settings_binding.h"
#include "shell/settings_fields.h"

namespace kavu {
namespace {

constexpr const char* kS = SpektrSettings::kSection;
constexpr double kDefaultFM_Sdr = 144e6;
constexpr double kDefaultFM_Gen = 234e6;
using W = SpektrSettings;
static_assert(std::string_view(GenList::kSection) == W::kSection &&
                  std::string_view(Rfm22Gen::kAskSection) == W::kSection,
              "the board keeps its keys in this section");

constexpr SettingBinding<SpektrSettings> kSpektrFields[] = {
    Bind<&W::m_GrMin>("m_GrMin", -90),
    Bind<&W::m_GrMax>("m_GrMax", 80),
    Bind<&W::m_VdMin>("m_VdMin", -90),
    Bind<&W::m_VdMax>("m_VdMax", 50),
    Bind<&W::m_FM_Sdr>("m_FM_Sdr", kDefaultFM_Sdr, DefaultOutside(0, W::kMaxFrequencyHz)),
    Bind<&W::m_FM_Gen>("m_FM_Gen", kDefaultFM_Gen, DefaultOutside(0, W::kMaxFrequencyHz)),
    Bind<&W::m_GenNum>(GenList::kKey, 0),  // the generator list reads and writes it too
    Bind<&W::m_ScanDia>("m_ScanDia", W::kDefaultScanDia, [](std::string& t) { t = W::UsedScanDia(t); }),
    Bind<&W::m_IsScanCikl>("m_IsScanCikl", false),
    Bind<&W::m_SelectSdrKey>("m_SelectSdrKey", ""),
    Bind<&W::IsCheckRfm22Cfg>(Rfm22Gen::kAskKey, true),  // as the Rfm22 generator
};

}  // namespace

std::span<const SettingBinding<SpektrSettings>> SpektrSettings::Bindings() { return kSpektrFields; }

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
  SpektrSettings o;
  LoadSettings(Settings(), kS, Bindings(), o);
  return o;
}

void SpektrSettings::Save() const { SaveSettings(Settings(), kS, Bindings(), *this); }

void SpektrSettings::SaveGraphLimits(int32_t gr_min, int32_t gr_max) {
  m_GrMin = gr_min;
  m_GrMax = gr_max;
  SaveMember<&W::m_GrMin>(Settings(), kS, Bindings(), *this);
  SaveMember<&W::m_GrMax>(Settings(), kS, Bindings(), *this);
}

void SpektrSettings::SaveWaterfallLimits(int32_t vd_min, int32_t vd_max) {
  m_VdMin = vd_min;
  m_VdMax = vd_max;
  SaveMember<&W::m_VdMin>(Settings(), kS, Bindings(), *this);
  SaveMember<&W::m_VdMax>(Settings(), kS, Bindings(), *this);
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
  SaveMember<&W::m_FM_Sdr>(Settings(), kS, Bindings(), *this);
}

void SpektrSettings::SaveFM_Gen(double hz) {
  m_FM_Gen = CheckedFrequency(hz, kDefaultFM_Gen);
  SaveMember<&W::m_FM_Gen>(Settings(), kS, Bindings(), *this);
}

void SpektrSettings::SaveGenNum(int32_t index) {
  m_GenNum = index;
  SaveMember<&W::m_GenNum>(Settings(), kS, Bindings(), *this);
}

void SpektrSettings::SaveScanDia(std::string_view text) {
  m_ScanDia = std::string(text);  // the edit's text is stored whole, the used part kept
  SaveMember<&W::m_ScanDia>(Settings(), kS, Bindings(), *this);
  m_ScanDia = UsedScanDia(m_ScanDia);
}

void SpektrSettings::SaveIsScanCikl(bool on) {
  m_IsScanCikl = on;
  SaveMember<&W::m_IsScanCikl>(Settings(), kS, Bindings(), *this);
}

void SpektrSettings::SaveSelectSdrKey(std::string_view key) {
  m_SelectSdrKey = std::string(key);
  SaveMember<&W::m_SelectSdrKey>(Settings(), kS, Bindings(), *this);
}

void SpektrSettings::SaveIsCheckRfm22Cfg(bool ask) {
  IsCheckRfm22Cfg = ask;
  SaveMember<&W::IsCheckRfm22Cfg>(Settings(), kS, Bindings(), *this);
}

}  // namespace kavu
