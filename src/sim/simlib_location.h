#pragma once
// Where the simulated RTL-SDR library (librtlsdr.so.0 built from src/sim/simlib) is loaded from.
// It carries the real library's file name, so it lives in a folder of its own: in the build tree
// <build>/simlib, in an installation the private folder <prefix>/lib/kavusdraa/simlib (never the
// system's library folder, where it would stand in for the real receiver's library).
#include <string>

namespace kavu::sim {

// The file name the simulated library is loaded by.
inline constexpr const char* kSimLibFileName = "librtlsdr.so.0";

// The folder holding the simulated library, the first of:
//  1. `env_value` when it is not empty (the value of $KAVU_SIMLIB_DIR: tests and users point it
//     at any folder; it is not checked here, loading it says what is wrong);
//  2. the installation's private folder found from the program's own folder `exe_dir`
//     (<prefix>/bin -> <prefix>/lib/kavusdraa/simlib), lexically normalised, when it holds a
//     regular file named kSimLibFileName: an installed or unpacked program works wherever its
//     tree was put;
//  3. the build tree's folder (a program run from its build folder).
std::string SimLibFolderFor(const std::string& env_value, const std::string& exe_dir);

// SimLibFolderFor for this process: $KAVU_SIMLIB_DIR and the folder of /proc/self/exe.
std::string SimLibFolder();

// The build tree's folder, compiled in.
std::string BuildTreeSimLibFolder();

}  // namespace kavu::sim
