#pragma once
// The loads of the calibration files as the calibration window shows and reads them, Ω.
//
// The window offers a short list per file (file 1: "50 Ом", "51 Ом", "75 Ом"; file 2: "КЗ",
// "10 Ом", "24 Ом"; file 3: "ХХ", "200 Ом", "100 Ом") and accepts any number typed instead.
// Numbers are read with '.' as the decimal point whatever the user's locale; " Ом" after the
// number is allowed, "КЗ" is the short (0 Ω) and "ХХ" the open (999999 Ω).
#include <string>
#include <string_view>
#include <vector>

namespace kavu {

// The list entries of file `file` (0 … 2), in the window's order.
const std::vector<std::string>& CalibrationLoadChoices(int file);

// The load of file `file` (0 … 2) read from `text`. Anything that is not wholly a number (with
// an optional " Ом") or a list name gives the file's default (50, 0, 999999): so do "abc",
// "nan", "1e999" and "2,5" (a comma is not taken as a point, and a load read as 2 instead of 2.5
// would go unnoticed). The result is clamped to the file's range (1 … 1000, 0 … 999999).
double ParseCalibrationLoad(int file, std::string_view text);

// How the window shows a load: the list's name when it has one ("КЗ", "ХХ", "50 Ом"), else
// the number without trailing zeros and " Ом" ("33.3 Ом").
std::string FormatCalibrationLoad(double ohm);

}  // namespace kavu
