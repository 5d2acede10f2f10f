#pragma once
// Numbers as text, always with '.' as the decimal point whatever the user's locale.
#include <optional>
#include <string>
#include <string_view>

namespace kavu {

// Like printf("%.<precision>g").
std::string FormatG(double v, int precision);

// Like printf("%.<decimals>f"); non-finite values print as "nan", "inf" or "-inf".
std::string FormatFixed(double v, int decimals);

// "%.<decimals>f", then trailing zeros and a trailing decimal point removed: 140.5 -> "140.5",
// 144 -> "144". The way the program shows numbers to the user.
std::string FormatTrimmed(double v, int decimals);

// Reads a real number the way "%lf" does: leading blanks and a sign are allowed, trailing text
// is ignored, a comma is not a decimal point. Non-finite results ("nan", "inf", overflow) are
// refused: they count as unparsable.
std::optional<double> ParseReal(std::string_view text);

// Like ParseReal, but the whole text (blanks around it aside) must be the number.
std::optional<double> ParseRealWhole(std::string_view text);

// Reads a signed 32-bit integer the way "%d" does (leading blanks, sign, digits, trailing text
// ignored); empty when no digits or the value does not fit.
std::optional<int32_t> ParseInt(std::string_view text);

}  // namespace kavu
