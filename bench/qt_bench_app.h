#pragma once
// The QApplication of the drawing benchmarks: made once, on the offscreen platform, and kept for
// the rest of the run (several benchmarks draw in one process).
#include <QApplication>
#include <cstdlib>

#include "shell/ui/qt_notice.h"

namespace kavu::bench {

inline void EnsureOffscreenApp() {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "kavusdraa-bench";
  static char* argv[] = {name, nullptr};
  if (!QCoreApplication::instance()) new QApplication(argc, argv);  // lives until exit
  RestoreCNumericLocale();
}

}  // namespace kavu::bench
