#include "scan/calibration_setup.h"

#include <algorithm>

#include "shell/settings_binding.h"
#include "shell/settings_store.h"

namespace kavu {
namespace {

constexpr const char* kSwitchSection = "CDlgCalibrate";
constexpr const char* kNameKeys[3] = {"m_Cal1Name", "m_Cal2Name", "m_Cal3Name"};
constexpr const char* kLoadKeys[3] = {"m_Cal1R", "m_Cal2R", "m_Cal3R"};

int32_t IntInRange(const std::string& section, const char* key, int32_t def, int32_t lo, int32_t hi) {
  const int32_t v = Settings().GetProfileInt(section, key, def);
  return (v < lo || v > hi) ? def : v;
}

}  // namespace

std::string CalibrationSection(int number) {
  return "Calibrate" + std::to_string(std::clamp(number, 0, CalibrationSetup::kCount - 1));
}

CalibrationSetup LoadCalibrationSetup(int number) {
  const std::string section = CalibrationSection(number);
  CalibrationSetup s;
  s.cal_type = IntInRange(section, "m_CalType", 0, 0, 1);
  s.aper2 = IntInRange(section, "m_Aper2", 11, 0, 150);
  s.is_med = LoadCheck(section, "m_IsMed", false) ? 1 : 0;
  s.is_korr_ao = LoadCheck(section, "m_IsKorrAO", true) ? 1 : 0;
  s.is_korr_a = LoadCheck(section, "m_IsKorrA", false) ? 1 : 0;
  for (int i = 0; i < 3; ++i) {
    s.names[i] = Settings().GetProfileString(section, kNameKeys[i], "");
    s.loads_ohm[i] = LoadRealEdit(section, kLoadKeys[i], CalibrationSetup::kLoadDefault[i],
                                   CalibrationSetup::kLoadMin[i], CalibrationSetup::kLoadMax[i]);
  }
  return s;
}

bool SaveCalibrationSetup(int number, const CalibrationSetup& setup, const CalibrationSetup* before) {
  const std::string section = CalibrationSection(number);
  SettingsStore& st = Settings();
  bool ok = true;
  auto write_int = [&](const char* key, int32_t CalibrationSetup::*field) {
    if (!before || before->*field != setup.*field) ok &= st.WriteProfileInt(section, key, setup.*field);
  };
  write_int("m_CalType", &CalibrationSetup::cal_type);
  write_int("m_Aper2", &CalibrationSetup::aper2);
  write_int("m_IsMed", &CalibrationSetup::is_med);
  write_int("m_IsKorrAO", &CalibrationSetup::is_korr_ao);
  write_int("m_IsKorrA", &CalibrationSetup::is_korr_a);
  for (size_t i = 0; i < 3; ++i) {
    if (!before || before->names[i] != setup.names[i]) ok &= st.WriteProfileString(section, kNameKeys[i], setup.names[i]);
    if (!before || before->loads_ohm[i] != setup.loads_ohm[i]) {
      ok &= st.WriteProfileDouble(section, kLoadKeys[i], setup.loads_ohm[i]);
    }
  }
  return ok;
}

CalibrationSwitch LoadCalibrationSwitch() {
  CalibrationSwitch sw;
  sw.is_cal = LoadCheck(kSwitchSection, "m_IsCal", true);
  sw.var_cal = IntInRange(kSwitchSection, "m_VarCal", 0, 0, CalibrationSetup::kCount - 1);
  return sw;
}

bool SaveCalibrationSwitch(const CalibrationSwitch& sw) {
  bool ok = Settings().WriteProfileInt(kSwitchSection, "m_IsCal", sw.is_cal ? 1 : 0);
  ok &= Settings().WriteProfileInt(kSwitchSection, "m_VarCal", sw.var_cal);
  return ok;
}

}  // namespace kavu
