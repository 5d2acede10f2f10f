#include "results/graph_panel_settings.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/number_text.h"
#include "shell/settings_store.h"

namespace kavu {

using S = GraphPanelSettings;

const std::vector<S::CheckKey>& S::CheckKeys() {
  static const std::vector<CheckKey> keys = {
      {"m_IsNS", &S::m_IsNS, 1061, "Уровень A duo", false},
      {"m_IsNS2", &S::m_IsNS2, 1063, "Уровень A (на ант)", false},
      {"m_IsONS", &S::m_IsONS, 1065, "Уровень О duo", false},
      {"m_IsONS2", &S::m_IsONS2, 1070, "Уровень О (опорн)", false},
      {"m_IsEK2", &S::m_IsEK2, 1074, "Чувств. sdr", false},
      {"m_IsMax", &S::m_IsMax, 1083, "Max уровени АЦП", false},
      {"m_IsUGen", &S::m_IsUGen, 1106, "Пересчет на вход", false},
      {"m_IsRazd", &S::m_IsRazd, 1087, "РаздФ", false},
      {"m_IsPredScan", &S::m_IsPredScan, 1085, "Пред. скан", false},
      {"m_IsFAZA", &S::m_IsFAZA, 1103, "Фаза A/O", false},
      {"m_IsFAZA_Duo", &S::m_IsFAZA_Duo, 1168, "Фаза А/О по duo", false},
      {"m_IsR", &S::m_IsR, 1124, "R", false},
      {"m_IsX", &S::m_IsX, 1125, "X", false},
      {"m_IsRX", &S::m_IsRX, 1127, "|R+jX|", false},
      {"m_IsC", &S::m_IsC, 1142, "С, пФ", false},
      {"m_IsL", &S::m_IsL, 1145, "L, нГ", false},
      {"m_IsLCRPara", &S::m_IsLCRPara, 1150, "Реактивность || R", false},
      {"m_IsRazdRX", &S::m_IsRazdRX, 1148, "раздельно", false},
      {"m_IsKSV", &S::m_IsKSV, 1136, "КСВ", false},
      {"m_IsKSVG", &S::m_IsKSVG, 1137, "|Г|", false},
      {"m_IsDelay", &S::m_IsDelay, 1172, "Delay", false},
      {"m_IsPPM", &S::m_IsPPM, 1179, "ppm", false},
      {"m_IsMarkers", &S::m_IsMarkers, 1154, "Маркеры", true},
      {"m_IsPause", &S::m_IsPause, 1156, "Синхропауза", false},
      {"m_IsShirik", &S::m_IsShirik, 1149, "и в полной полосе", false},
      {"m_IsDeltaA", &S::m_IsDeltaA, 1157, "|A/O| для duo входа", false},
      {"m_IsDeltaB", &S::m_IsDeltaB, 1159, "|А/О|", false},
      {"m_IsDeltaA_B", &S::m_IsDeltaA_B, 1165, "|А/О| с попр. от duo", false},
      {"m_IsUFilter", &S::m_IsUFilter, 1176, "уровни в полосе ПФ", true},
      {"m_UseDuoFaza", &S::m_UseDuoFaza, 1183, "Исп. duo фазу", false},
      {"m_UseDuoAmpl", &S::m_UseDuoAmpl, 1188, "Исп. duo ампл", true},
      {"m_IsTransLen", &S::m_IsTransLen, 1089, "Транс. Z кабелем эл. длиной (м):", true},
  };
  return keys;
}

const std::vector<S::NumberKey>& S::NumberKeys() {
  static const std::vector<NumberKey> keys = {
      {"m_LenCable", &S::m_LenCable, 1032, 0, -10'000, 10'000},  // ±10 km, as the bridge settings
      {"m_RCable", &S::m_RCable, 1207, 50, 1, 500},
      {"m_KsvMax", &S::m_KsvMax, 1209, 40, 1.02, 2000},
      {"m_RMax", &S::m_RMax, 1210, 1500, 100, 99999},
      {"m_Most1", &S::m_Most1, 1214, 56, 5, 6800},
      {"m_Most2", &S::m_Most2, 1216, 51, 5, 6800},
      {"m_Most3", &S::m_Most3, 1218, 330, 24, 5100},
      {"m_Most4", &S::m_Most4, 1221, 24, 1, 10000},
      {"m_Most5", &S::m_Most5, 1224, 0, 0, 999999},
  };
  return keys;
}

const S::NumberKey* S::FindNumber(const char* key) {
  for (const auto& k : NumberKeys()) {
    if (std::strcmp(k.key, key) == 0) return &k;
  }
  return nullptr;
}

double S::SanitiseLoaded(const NumberKey& key, double value) {
  if (!std::isfinite(value)) return key.def;
  if (key.lo <= key.hi && (value < key.lo || value > key.hi)) return key.def;
  return value;
}

double S::SanitiseTyped(const NumberKey& key, double value) {
  if (!std::isfinite(value)) return key.def;
  return key.lo <= key.hi ? std::clamp(value, key.lo, key.hi) : value;
}

double S::ParseTyped(const NumberKey& key, const std::string& text) {
  const auto v = ParseReal(text);
  return v ? SanitiseTyped(key, *v) : key.def;
}

void S::Load(SettingsStore& store) {
  const GraphPanelSettings defaults;
  for (const auto& k : CheckKeys()) {
    const int32_t v = store.GetProfileInt(kPanelSection, k.key, defaults.*k.field);
    this->*k.field = std::clamp<int32_t>(v, 0, k.tristate ? 2 : 1);
  }
  for (int i = 1; i <= 6; ++i) {
    const int32_t v = store.GetProfileInt(kPanelSection, "m_IsFile" + std::to_string(i), 0);
    m_IsFile[static_cast<size_t>(i)] = v ? 1 : 0;
  }
  for (const auto& k : NumberKeys()) {
    this->*k.field = SanitiseLoaded(k, store.GetProfileDouble(kPanelSection, k.key, k.def));
  }
}

void S::Store(SettingsStore& store) const {
  for (const auto& k : CheckKeys()) store.WriteProfileInt(kPanelSection, k.key, this->*k.field);
  for (int i = 1; i <= 6; ++i) {
    store.WriteProfileInt(kPanelSection, "m_IsFile" + std::to_string(i), m_IsFile[static_cast<size_t>(i)]);
  }
  for (const auto& k : NumberKeys()) store.WriteProfileDouble(kPanelSection, k.key, this->*k.field);
}

}  // namespace kavu
