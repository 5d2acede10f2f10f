#pragma once
// The graph-selection panel's settings as plain values (settings section "CDlg_SelectGraph"):
// which quantities of which sets are drawn, and the bridge, cable and display limits. Three-state
// boxes hold 0 (unchecked), 1 (checked) or 2 (third state).
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kavu {

class SettingsStore;

struct GraphPanelSettings {
  int32_t m_IsNS = 0, m_IsNS2 = 0, m_IsONS = 0, m_IsONS2 = 0, m_IsEK2 = 0, m_IsMax = 0;
  int32_t m_IsUGen = 0, m_IsRazd = 0, m_IsPredScan = 0, m_IsFAZA = 1, m_IsFAZA_Duo = 1;
  int32_t m_IsR = 1, m_IsX = 1, m_IsRX = 0, m_IsC = 0, m_IsL = 0, m_IsLCRPara = 0;
  int32_t m_IsRazdRX = 0, m_IsKSV = 1, m_IsKSVG = 0, m_IsDelay = 0, m_IsPPM = 0;
  int32_t m_IsMarkers = 1, m_IsPause = 1, m_IsShirik = 0, m_IsDeltaA = 0, m_IsDeltaB = 0;
  int32_t m_IsDeltaA_B = 0, m_IsUFilter = 0, m_UseDuoFaza = 0, m_UseDuoAmpl = 0;
  int32_t m_IsTransLen = 0;
  std::array<int32_t, 7> m_IsFile{};  // [1..6]: show comparison slot k

  double m_LenCable = 0, m_RCable = 50, m_KsvMax = 40, m_RMax = 1500;
  double m_Most1 = 56, m_Most2 = 51, m_Most3 = 330, m_Most4 = 24, m_Most5 = 0;

  // Every setting in table order: key, the field, its default and whether it has three states.
  struct CheckKey {
    const char* key;
    int32_t GraphPanelSettings::*field;
    int control_id;
    const char* caption;
    bool tristate;
  };
  struct NumberKey {
    const char* key;
    double GraphPanelSettings::*field;
    int control_id;
    double def, lo, hi;  // lo > hi: no limits
  };
  static const std::vector<CheckKey>& CheckKeys();
  static const std::vector<NumberKey>& NumberKeys();
  static constexpr int kFileBoxIds[6] = {1110, 1111, 1161, 1194, 1203, 1213};

  // A stored value: not finite or outside the limits gives the default.
  static double SanitiseLoaded(const NumberKey& key, double value);
  // A typed value (already parsed): not finite gives the default, otherwise it is limited.
  static double SanitiseTyped(const NumberKey& key, double value);
  // Parses typed text in the C locale ("%lf": trailing text ignored) and sanitises it.
  static double ParseTyped(const NumberKey& key, const std::string& text);
  static const NumberKey* FindNumber(const char* key);

  void Load(SettingsStore& store);
  void Store(SettingsStore& store) const;
};

inline constexpr const char* kPanelSection = "CDlg_SelectGraph";

}  // namespace kavu
