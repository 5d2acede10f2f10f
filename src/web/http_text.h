#pragma once
// Small text helpers of the HTTP handler (texts in code page 1251).
#include <string>
#include <string_view>

namespace kavu {

// Upper case in code page 1251: Latin and Cyrillic letters, 'ё' as 'Ё'.
char UpperCp1251(char c);
// Case-insensitive equality in code page 1251.
bool SameTextCp1251(std::string_view a, std::string_view b);
// The Content-Type for a file extension (without the dot; empty for none).
const char* ContentTypeFor(std::string_view extension);
// The extension of a name: the text after its last '.', when that is at most 14 bytes; else "".
std::string UrlExtension(std::string_view name);

}  // namespace kavu
