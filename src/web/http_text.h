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

// The name a URL path asks for, in code page 1251: %XX escapes decoded, then, when the result is
// valid UTF-8 with characters beyond ASCII (what browsers send for "Файл 1.txt"), converted from
// UTF-8 (characters the code page lacks become '?', which no name may hold); anything else is
// taken as code page 1251 already. False, with *error saying why, for a '%' not followed by two
// hexadecimal digits and for escaped bytes no single name may hold: NUL and the other control
// bytes, '/' and '\'. The name still has to pass the web folder's own checks.
bool DecodeUrlName(std::string_view url, std::string* name, std::string* error);
// A code page 1251 path made fit for a Location header: UTF-8, with every byte other than ASCII
// letters, digits and -._~!$'()*+,;=:@/ written as %XX.
std::string EncodeUrlPath(std::string_view cp1251);

}  // namespace kavu
