#pragma once
// ReceiverSettings: the keys the receiver set reads when it starts: where each receiver library is
// looked for, the external converter and the gain-control hysteresis. They lie in five sections;
// each section's keys are bound once and both loading and saving go through those bindings.
#include <span>
#include <string>

#include "shell/settings_fields.h"

namespace kavu {

class SettingsStore;

struct ReceiverSettings {
  std::string rtl_folder;      // [ODlgRtlSdr] m_PathApiDllRtl: folder of the RTL-SDR library
  std::string sdrplay_folder;  // [OSdrPlayUse] m_PathApiDll
  std::string hackrf_folder;   // [OHackRfUse] m_PathApiDll
  std::string hackrf_name;     // [OHackRfUse] m_NameApiDll: file name of the HackRF library
  std::string extio_folder;    // [OExtIOUse] m_PathExtIO: folder searched for plug-ins
  bool is_convertor = false;   // [CDlgOptions] m_IsConvertor: an external converter is used
  double convertor_shift = 0;  // [CDlgOptions] m_ConvertorFShift: its shift, Hz
  double hysteresis_db = 3;    // [CDlgOptions] m_GisterzisMyAru: gain-control hysteresis, dB

  ReceiverSettings();

  // One section and the bindings of the members kept in it.
  struct Section {
    const char* name;
    std::span<const SettingBinding<ReceiverSettings>> fields;
  };
  // Every section with its keys: folders are trimmed as library folders are; an empty library
  // name gives the default one; the hysteresis below 0 gives 3 dB, above 6 dB gives 6 dB.
  static std::span<const Section> Sections();

  // Reads every key and checks it (Check).
  static ReceiverSettings Load(SettingsStore& store);
  // Every key's check (the sections' rules above); a converter shift that is not a finite number
  // gives 0 and no converter. Idempotent.
  void Check();
  // Writes every key; false when a write failed.
  bool Save(SettingsStore& store) const;

  bool operator==(const ReceiverSettings&) const = default;
};

}  // namespace kavu
