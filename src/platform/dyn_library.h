#pragma once
// Run-time loading of shared libraries (receiver libraries, plug-ins), and where they are looked
// for. Every back end loads through this one path, so a test that points a library folder at the
// simulated libraries exercises exactly what a user's run does.
//
// Search rule for a library file name and a configured folder:
//   - folder not empty: exactly folder + "/" + name (a trailing '/' or '\' of the folder is
//     dropped); nothing else is tried;
//   - folder empty: the program's own folder first, then the system's library path (what the
//     dynamic loader searches for a bare name: LD_LIBRARY_PATH, the loader cache, /usr/lib...).
// The process's current directory is never changed.
#include <string>
#include <string_view>
#include <vector>

namespace kavu {

class DynLibrary {
 public:
  enum class Result { kLoaded, kMissing, kFailed };

  DynLibrary() = default;
  ~DynLibrary();
  DynLibrary(const DynLibrary&) = delete;
  DynLibrary& operator=(const DynLibrary&) = delete;

  // Loads `path` (a bare name is searched on the system's library path). A library loaded
  // before is released first. kMissing: no such file; kFailed: the file exists (or the name was
  // found) but could not be loaded; Error() then holds the loader's text.
  Result Open(const std::string& path);
  // Releases the library; pointers taken from it are invalid afterwards.
  void Close();
  bool IsOpen() const { return handle_ != nullptr; }
  // The address of an exported symbol, or nullptr when the library does not export it.
  void* Symbol(const char* name) const;
  // The loader's description of the last failure ("" after a success).
  const std::string& Error() const { return error_; }
  // The system's error number seen with the last failure (0 when it gave none).
  int ErrorCode() const { return error_code_; }
  // The path given to the last Open().
  const std::string& Path() const { return path_; }

 private:
  void* handle_ = nullptr;
  std::string error_;
  int error_code_ = 0;
  std::string path_;
};

// The folder setting as used: trailing '/' and '\' removed.
std::string TrimLibraryFolder(std::string_view folder);

// The path to load for `name` by the search rule above: folder + "/" + name; with an empty
// folder, the program's folder + "/" + name when that file exists, else the bare name (for the
// system's library path).
std::string ResolveLibraryPath(std::string_view folder, std::string_view name);

// True when `path` names an existing regular file (or a link to one).
bool LibraryFileExists(const std::string& path);

// Names of the regular files in `folder` that match `pattern` ('*' any run of characters,
// '?' one character), compared without regard to ASCII case, sorted by name. Empty when the
// folder cannot be read.
std::vector<std::string> FindFilesNoCase(const std::string& folder, std::string_view pattern);

}  // namespace kavu
