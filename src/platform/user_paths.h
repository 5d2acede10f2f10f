#pragma once
// Where the user's files live on this system.
#include <string>

namespace kavu {

// The user's home folder: $HOME, else the password database, else "/tmp".
std::string HomeDir();

// $XDG_CONFIG_HOME when it is set to an absolute path, else HomeDir() + "/.config".
std::string ConfigDir();

// Creates a folder and its parents (mode 0755 before the umask); true if it exists afterwards.
bool MakeDirs(const std::string& path);

// The folder of the running executable (from /proc/self/exe), without a trailing '/'.
std::string ExecutableDir();

}  // namespace kavu
