// kavusdraa: the desktop program. With a scan file on the command line it is a viewer: only the
// results window opens, maximised, on that file; closing it ends the program. Without a file the
// main analyzer window would open; until it exists the results window opens on the last file.
#include <QApplication>
#include <QScreen>
#include <memory>
#include <string>
#include <vector>

#include "results/results_store.h"
#include "results/ui/cshow_data_window.h"
#include "scan/ui/calibration_window_install.h"
#include "shell/command_line.h"
#include "shell/log_console.h"
#include "shell/start_up.h"
#include "shell/ui/qt_notice.h"

int main(int argc, char** argv) {
  using namespace kavu;
  QApplication app(argc, argv);
  // Qt has just switched the C library to the user's locale; numbers are read with a point.
  RestoreCNumericLocale();
  PrintBanner();
  std::vector<std::string> args(argv + 1, argv + argc);
  const CommandLineOptions options = ParseCommandLine(args);
  if (options.file_name.empty()) {
    Log() << LogColour(kColourNotice)
          << "Главное окно анализатора ещё не сделано: открываю окно результатов "
             "(сканирование: kavusdraa-cli scan).\n"
          << LogColour(kColourNormal);
  } else {
    Log() << "openname = " << options.file_name << "\n";
  }
  // The store lives for the whole run; the window may be closed and made again.
  auto store = std::make_unique<ResultsStore>();
  auto window = std::make_unique<CShowDataWindow>(*store);
  InstallCalibrationWindow(*window);
  window->LoadAnts(options.file_name);
  // Without a window manager (a bare X server, a kiosk) "maximised" is ignored and the window
  // would open at the panel's small size hint, with no room for the graphs: start at the
  // screen's available size, which a window manager then maximises as usual.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    window->resize(screen->availableGeometry().size());
  }
  window->showMaximized();
  return app.exec();
}
