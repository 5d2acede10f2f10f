#pragma once
// The one-port Touchstone (version 1) export of computed points:
//   ! comment lines (each given line prefixed with "! ")
//   # Hz S RI R <Z0>
//   <freq> <Re S11> <Im S11>
// Comment texts have line breaks replaced by blanks. Z0 is written in its shortest exact form (50 -> "50", 75.5 -> "75.5"). Frequencies are whole
// hertz (rounded to nearest), strictly ascending; S11 = Γ has 12 significant digits.
//
// Rows are sorted by their whole-hertz frequency (stable, so equal frequencies keep their
// order). Left out, and counted: rows whose frequency is not finite, negative or does not fit, whose
// impedance or Γ is not finite (other tools would read a placeholder as a real value), and rows
// whose whole-hertz frequency repeats the previous written one (the format needs strictly
// ascending frequencies).
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "results/impedance_row.h"

namespace kavu {

struct TouchstoneText {
  std::string text;
  int32_t written = 0;
  int32_t left_out_not_finite = 0;   // unusable frequency, non-finite impedance or Γ
  int32_t left_out_repeated = 0;     // whole-hertz frequency equal to the previous written one
};

TouchstoneText TouchstoneS1p(std::span<const ImpedanceRow> rows, double z0_ohm,
                             const std::vector<std::string>& comments);

// The option line for a reference impedance, e.g. "# Hz S RI R 50".
std::string TouchstoneOptionLine(double z0_ohm);

}  // namespace kavu
