#pragma once
// The calibration set-ups kept in the settings: six of them, sections "Calibrate0" …
// "Calibrate5", and the switch in section "CDlgCalibrate" (calibration on, current set-up).
// Read and written on the window thread only.
#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "shell/settings_fields.h"

namespace kavu {

struct CalibrationSetup {
  static constexpr int kCount = 6;
  static constexpr double kOpenOhm = 999999;  // "ХХ": the open as the load list names it

  int32_t cal_type = 0;    // m_CalType: 0 one well-matched load, 1 three loads
  int32_t aper2 = 11;      // m_Aper2: smoothing half-width, 0 … 150 points
  int32_t is_med = 0;      // m_IsMed: "Фильтрация аномалий" (only stored)
  int32_t is_korr_ao = 1;  // m_IsKorrAO: "Исправлять A/O"
  int32_t is_korr_a = 0;   // m_IsKorrA: "Исправлять |Вх|"
  std::array<std::string, 3> names;                 // m_Cal1Name … m_Cal3Name: scan files
  std::array<double, 3> loads_ohm = {50, 0, kOpenOhm};  // m_Cal1R (1 … 1000), m_Cal2R, m_Cal3R (0 … 999999)

  // The loads' defaults and limits, Ω, for files 1 … 3.
  static constexpr std::array<double, 3> kLoadDefault = {50, 0, kOpenOhm};
  static constexpr std::array<double, 3> kLoadMin = {1, 0, 0};
  static constexpr std::array<double, 3> kLoadMax = {1000, kOpenOhm, kOpenOhm};

  // Every key of a set-up section with its default and range.
  static std::span<const SettingBinding<CalibrationSetup>> Bindings();
  bool operator==(const CalibrationSetup&) const = default;
};

// The section name of set-up `number` (0 … 5): "Calibrate%d".
std::string CalibrationSection(int number);

// Reads set-up `number` (clamped to 0 … 5). Integers outside their range read as the default,
// the check boxes as 0/1; loads outside their range read as the default.
CalibrationSetup LoadCalibrationSetup(int number);
// Writes every key of set-up `number`, or with `before` only the keys whose value differs from
// it (each write is flushed to disk); false when a write failed.
bool SaveCalibrationSetup(int number, const CalibrationSetup& setup, const CalibrationSetup* before = nullptr);

// Section "CDlgCalibrate": m_IsCal (default 1) and m_VarCal (default 0, 0 … 5).
struct CalibrationSwitch {
  bool is_cal = true;
  int32_t var_cal = 0;

  static std::span<const SettingBinding<CalibrationSwitch>> Bindings();
  bool operator==(const CalibrationSwitch&) const = default;
};
CalibrationSwitch LoadCalibrationSwitch();
bool SaveCalibrationSwitch(const CalibrationSwitch& sw);

}  // namespace kavu
