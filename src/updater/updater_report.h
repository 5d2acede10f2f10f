#pragma once
// What the updater's operations tell the user, kept apart from how it is shown: log lines with
// their console colour and at most one message box. The window shows the box as a message box,
// the command-line tool writes it to standard error.
#include <optional>
#include <string>
#include <vector>

namespace kavu {

struct UpdaterLine {
  int colour = 7;    // console colour attribute (shell/log_console.h; 7 is normal)
  std::string text;  // carries its own line end
};

enum class BoxIcon { kError, kWarning };

struct UpdaterBox {
  std::string caption;
  std::string text;
  BoxIcon icon = BoxIcon::kError;
};

// Writes the lines to the log console, each in its colour.
void LogLines(const std::vector<UpdaterLine>& lines);

}  // namespace kavu
