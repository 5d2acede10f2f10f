#pragma once
// The CSV export of computed points: a header line
//   freq_hz,r_ohm,x_ohm,swr,gamma_mag,gamma_deg,return_loss_db
// then one line per row in the given order, fields separated by ',' and lines ended by '\n'.
// Reals have 12 significant digits with '.' as the decimal point; every non-finite value
// (including an infinite return loss of a perfect match) is written as "nan".
// gamma_deg is the angle of Γ in degrees (−180 … 180]; return_loss_db = −20·log10|Γ|.
#include <span>
#include <string>

#include "results/impedance_row.h"

namespace kavu {

std::string ImpedanceCsv(std::span<const ImpedanceRow> rows);

}  // namespace kavu
