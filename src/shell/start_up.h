#pragma once
// The program's identity and its start-up banner.
namespace kavu {

inline constexpr const char* kAppProfileName = "AntIzmSdr_2021";
inline constexpr const char* kAppRegistryKey = "KavuPublicSoft\\KavuAntIzmSdr";
inline constexpr const char* kAppVersionText = "Версия 4.08 от 14.01.2023";

// The banner: a hint line in the current colour, then the title lines in colour 11, then 7.
void PrintBanner();

}  // namespace kavu
