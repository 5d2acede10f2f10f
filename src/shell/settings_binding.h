#pragma once
// The rules by which window controls are bound to stored settings, shared by every window and
// by the command line. All go through the process-wide store, Settings().
#include <cstdint>
#include <string>
#include <string_view>

namespace kavu {

// Check box: the stored 0/1 (any non-zero is checked).
bool LoadCheck(std::string_view section, std::string_view key, bool def);
void SaveCheck(std::string_view section, std::string_view key, bool checked);

// List selection: an index that is negative or not below `count` reads as 0.
int LoadListIndex(std::string_view section, std::string_view key, int def, int count);

// Integer edit: the text read as a signed integer (0 when it does not parse), stored; the result
// is what the edit shows afterwards.
int32_t SaveIntEditText(std::string_view section, std::string_view key, std::string_view text);

// Real edit with default D and range [lo, hi].
// Load: the stored value (default D); outside [lo, hi] it becomes D; then clamped.
double LoadRealEdit(std::string_view section, std::string_view key, double d, double lo, double hi);
// Save: the text parsed like "%lf" (unparsable or non-finite gives D), clamped, stored; returns it.
double SaveRealEditText(std::string_view section, std::string_view key, std::string_view text,
                        double d, double lo, double hi);
// How an edit shows a real: "%0.6f" without trailing zeros and point (140.5, 144).
std::string FormatEditReal(double v);

// Frequency edits hold megahertz: a comma counts as the decimal point; text that does not parse
// gives 144.123 MHz. Returns hertz.
double ParseMHzEditText(std::string_view text);
// Stores the MHz text of a frequency edit in hertz; returns the hertz stored.
double SaveMHzEditText(std::string_view section, std::string_view key, std::string_view text);

}  // namespace kavu
