#pragma once
// Text conversion between UTF-8 (used everywhere inside the program) and code page 1251 (used only
// at the borders that need it: the scan-file note block, the text export, the web console mirror).
#include <string>
#include <string_view>

namespace kavu {

// UTF-8 to code page 1251. Characters the code page lacks, and malformed UTF-8 sequences,
// become '?'.
std::string Utf8ToCp1251(std::string_view utf8);

// Code page 1251 to UTF-8. The one unassigned byte (0x98) becomes U+FFFD.
std::string Cp1251ToUtf8(std::string_view cp1251);

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

// Appends the UTF-8 encoding of one code point (invalid ones as U+FFFD).
void AppendUtf8(std::string& out, char32_t cp);

// Decodes one UTF-8 code point starting at text[pos], advancing pos. Malformed input yields
// U+FFFD and advances by one byte, so decoding always terminates.
char32_t DecodeUtf8(std::string_view text, size_t& pos);

}  // namespace kavu
