#pragma once
// SpektrSettings: the main window's keys of section "ODlgSpektr" in one typed place, with their
// defaults and the checks applied when they are read. Every front end (the desktop window, the
// command line, the web page) loads them here and writes a key back through Save*(), at once,
// when the control that shows it changes. Window thread only (the settings store's rule).
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "shell/settings_fields.h"

namespace kavu {

struct SpektrSettings {
  static constexpr const char* kSection = "ODlgSpektr";
  static constexpr const char* kDefaultScanDia = "140-150 0.5; 425-440 1";
  // The range text is used up to this many characters; the edit stores up to the store's 8,192.
  static constexpr size_t kScanDiaUsedChars = 8000;
  // Shown in the error box when the range text yields no range.
  static constexpr const char* kRangeErrorText =
      "Не понятен диапазон частот сканирования! Укажите диапазон частот в виде "
      "'нач_частота - конечная_частота шаг', всё в МГц. Можно указывать сразу несколько "
      "диапазонов";
  // Frequencies read back outside [0, kMaxFrequencyHz] (or not finite) fall back to the default.
  static constexpr double kMaxFrequencyHz = 100e9;

  int32_t m_GrMin = -90;          // spectrum graph, lower limit, dB
  int32_t m_GrMax = 80;           // spectrum graph, upper limit, dB
  int32_t m_VdMin = -90;          // waterfall colour scale, lower limit, dB
  int32_t m_VdMax = 50;           // waterfall colour scale, upper limit, dB
  double m_FM_Sdr = 144e6;        // receiver frequency for manual tuning, Hz
  double m_FM_Gen = 234e6;        // generator frequency for manual setting, Hz
  int32_t m_GenNum = 0;           // index in the generator list (the list maps a bad one to 0)
  std::string m_ScanDia = kDefaultScanDia;  // range text, at most kScanDiaUsedChars characters
  bool m_IsScanCikl = false;      // cyclic scanning
  std::string m_SelectSdrKey;     // key of the receiver chosen last; empty: no automatic choice
  bool IsCheckRfm22Cfg = true;    // ask when generator 2 does not answer as an Rfm22/23

  // Every key with its default and check.
  static std::span<const SettingBinding<SpektrSettings>> Bindings();
  // Every key, read with its default and check.
  static SpektrSettings Load();
  // Writes every key.
  void Save() const;

  // One control changed: the field is set (checked as on load) and its key written at once.
  void SaveGraphLimits(int32_t gr_min, int32_t gr_max);
  void SaveWaterfallLimits(int32_t vd_min, int32_t vd_max);
  // Frequency edits: MHz text, a comma counts as the point, unparsable gives 144.123 MHz.
  // Return the value stored, Hz.
  double SaveFM_SdrText(std::string_view mhz_text);
  double SaveFM_GenText(std::string_view mhz_text);
  void SaveFM_Sdr(double hz);
  void SaveFM_Gen(double hz);
  void SaveGenNum(int32_t index);
  // Stores the edit's text (up to 8,192 characters); m_ScanDia keeps the part that is used.
  void SaveScanDia(std::string_view text);
  void SaveIsScanCikl(bool on);
  void SaveSelectSdrKey(std::string_view key);
  void SaveIsCheckRfm22Cfg(bool ask);

  // The first kScanDiaUsedChars characters (UTF-8 code points) of `text`.
  static std::string UsedScanDia(std::string_view text);
  // A frequency read back or set: finite and within [0, kMaxFrequencyHz], else `def`.
  static double CheckedFrequency(double hz, double def);

  bool operator==(const SpektrSettings&) const = default;
};

}  // namespace kavu
