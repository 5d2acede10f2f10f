#pragma once
// What the calibration window tells beyond each file's status line: whether a file covers the
// frequencies the scan plan will measure, and which of the three files cannot make a three-point
// calibration together. Plain text for the window; nothing here changes a table or a setting.
#include <string>
#include <string_view>
#include <vector>

#include "measure/calibration_setup.h"
#include "results/calibration_table.h"

namespace kavu {

class Calibration;

// One range of the scan plan from its first to its last measured frequency, Hz.
struct FrequencySpan {
  double first = 0;
  double last = 0;
};

// The ranges of a scan plan's range text (as the scan would read it), without writing to the
// log; empty when the text holds no valid range.
std::vector<FrequencySpan> PlanSpans(std::string_view range_text);

// The parts of `plan` a valid table does not reach, allowing half a table step at either end
// (beyond its ends the calibration holds the first or last point's values). Empty when the
// table covers the plan, or is not valid.
std::vector<FrequencySpan> UncoveredSpans(const CalibrationTable& table, const std::vector<FrequencySpan>& plan);

// One line about a valid table and the plan, in MHz: "план сканирования 140 - 150 МГц внутри
// файла", "вне файла: 146 - 150; 425 - 440 МГц (там действуют крайние точки файла)", or
// "план сканирования не задан" for an empty plan. Empty for an invalid table.
std::string CoverageText(const CalibrationTable& table, const std::vector<FrequencySpan>& plan);

// A relative difference of the smoothed ratios of two files below this, somewhere in their
// common frequencies, counts as "nearly the same impedance".
inline constexpr double kNearRatioFraction = 0.02;

// Warnings for a three-point calibration (nothing for kind 0), one line each:
// - two files hold the same scan (the same points), or name the same file;
// - two files are given the same load;
// - two files measure nearly the same impedance somewhere in their common frequencies (their
//   smoothed ratios differ by less than kNearRatioFraction of the largest of them);
// - the tables have no frequency in common.
// The first two make the calibration impossible (its impedances are not numbers); the third
// makes it so sensitive to noise that its impedances are not to be trusted.
std::vector<std::string> CalibrationWarnings(const Calibration& calibration);

}  // namespace kavu
