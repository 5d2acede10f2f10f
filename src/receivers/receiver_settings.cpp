#include "receivers/receiver_settings.h"

#include <cmath>

#include "platform/dyn_library.h"
#include "receivers/o_hackrf_use.h"
#include "receivers/o_rtl_sdr.h"
#include "shell/settings_store.h"

namespace kavu {
namespace {

using R = ReceiverSettings;

void TrimFolder(std::string& folder) { folder = TrimLibraryFolder(folder); }
void NameOrDefault(std::string& name) {
  if (name.empty()) name = OHackRfUse::kDefaultName;
}

constexpr SettingBinding<ReceiverSettings> kRtlFields[] = {
    Bind<&R::rtl_folder>("m_PathApiDllRtl", "", TrimFolder),
};
constexpr SettingBinding<ReceiverSettings> kSdrPlayFields[] = {
    Bind<&R::sdrplay_folder>("m_PathApiDll", "", TrimFolder),
};
constexpr SettingBinding<ReceiverSettings> kHackRfFields[] = {
    Bind<&R::hackrf_folder>("m_PathApiDll", "", TrimFolder),
    Bind<&R::hackrf_name>("m_NameApiDll", OHackRfUse::kDefaultName, NameOrDefault),
};
constexpr SettingBinding<ReceiverSettings> kExtIOFields[] = {
    Bind<&R::extio_folder>("m_PathExtIO", "", TrimFolder),
};
constexpr SettingBinding<ReceiverSettings> kOptionFields[] = {
    Bind<&R::is_convertor>("m_IsConvertor", false),
    Bind<&R::convertor_shift>("m_ConvertorFShift", 0.0),
    Bind<&R::hysteresis_db>("m_GisterzisMyAru", 3.0, DefaultBelowClampAbove(0, 6)),
};

const ReceiverSettings::Section kSections[] = {
    {ORtlSdr::kSection, kRtlFields},         {"OSdrPlayUse", kSdrPlayFields}, {OHackRfUse::kSection, kHackRfFields},
    {"OExtIOUse", kExtIOFields},             {"CDlgOptions", kOptionFields},
};

}  // namespace

ReceiverSettings::ReceiverSettings() : hackrf_name(OHackRfUse::kDefaultName) {}

std::span<const ReceiverSettings::Section> ReceiverSettings::Sections() { return kSections; }

ReceiverSettings ReceiverSettings::Load(SettingsStore& store) {
  ReceiverSettings r;
  for (const Section& s : kSections) LoadSettings(store, s.name, s.fields, r);
  r.Check();
  return r;
}

void ReceiverSettings::Check() {
  for (const Section& s : kSections) CheckSettings(s.fields, *this);
  // A shift that is not a finite number cannot be tuned by: the receiver is used without the
  // converter. (The store already reads such a value as the default; this holds for any value.)
  if (!std::isfinite(convertor_shift)) {
    convertor_shift = 0.0;
    is_convertor = false;
  }
}

bool ReceiverSettings::Save(SettingsStore& store) const {
  bool ok = true;
  for (const Section& s : kSections) ok &= SaveSettings(store, s.name, s.fields, *this);
  return ok;
}

}  // namespace kavu
