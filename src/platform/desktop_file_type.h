#pragma once
// Registers a file type with the user's desktop, in the user's XDG data folder only (no root):
//   1. the MIME type of the file name pattern: an existing type of the pattern (the user's or the
//      system's shared MIME database) is kept; only when there is none is a package defining
//      `mime_type` written to <data>/mime/packages/;
//   2. a desktop entry <data>/applications/<desktop_id> that opens such files with the program
//      (Exec is its full path, quoted, with %f), rewritten on every registration;
//   3. update-mime-database <data>/mime, update-desktop-database <data>/applications and
//      xdg-mime default <desktop_id> <type>, then checked back with xdg-mime query default.
// <data> is $XDG_DATA_HOME of the given environment (absolute), else $HOME/.local/share; the
// tools run in that environment. Blocking (it runs the tools): call it from a worker thread.
#include <string>
#include <vector>

namespace kavu {

struct DesktopFileType {
  std::string glob;          // the file name pattern, "*.kant"
  std::string mime_type;     // the type defined when no type has the pattern yet
  std::string mime_package;  // file name of its package under mime/packages/ ("….xml")
  std::string mime_xml;      // that package: a shared-mime-info document defining mime_type
  std::string desktop_id;    // file name of the desktop entry under applications/ ("….desktop")
  std::string name;          // the entry's Name
  std::string comment;       // its Comment
  std::string icon;          // its Icon ("" none)
  std::string program;       // the program's full path
};

struct FileTypeRegistration {
  bool ok = false;
  std::string mime_type;     // the type the files are opened as
  bool type_existed = false; // that type was there before (and was kept)
  std::string desktop_file;  // the entry written
  std::string failed;        // the file, folder or tool that failed ("" when ok)
  std::string error;         // what went wrong, naming it
};

// The user's data folder of `env` (see above).
std::string DataHome(const std::vector<std::string>& env);
// The type that the shared MIME databases of `env` (the user's first, then $XDG_DATA_DIRS, by
// default /usr/local/share:/usr/share) give the pattern `glob`, or "" when none does.
std::string ExistingTypeOfGlob(const std::string& glob, const std::vector<std::string>& env);
// The Exec value opening one file with `program`: "\"<program>\" %f", escaped for a desktop
// entry (\\, \", \`, \$ inside the quotes, %% for %). Empty when the path has control characters.
std::string DesktopExec(const std::string& program);

// Runs steps 1–3; each tool may take up to `tool_timeout_ms`.
FileTypeRegistration RegisterDesktopFileType(const DesktopFileType& type, const std::vector<std::string>& env,
                                             int tool_timeout_ms = 30000);

}  // namespace kavu
