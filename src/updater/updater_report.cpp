#include "updater/updater_report.h"

#include "shell/log_console.h"

namespace kavu {

void LogLines(const std::vector<UpdaterLine>& lines) {
  for (const UpdaterLine& l : lines) {
    Log() << LogColour(l.colour) << l.text << LogColour(kColourNormal);
  }
}

}  // namespace kavu
