// kavusdraa: the desktop program. With a scan file on the command line it is a viewer: only the
// results window opens, maximised, on that file; closing it ends the program. Otherwise the main
// analyzer window runs from start to exit, on the analyzer session made here. With --demo or --sim
// LOAD the session starts the virtual bench (emulated control board, simulated receiver, bridge
// and antenna) first, standing in for the hardware: its own settings file selects its port and
// receiver, the user's settings are left alone, and it is stopped after the window has closed the
// port and the receiver.
// --web [ADDRESS:]PORT runs the web server for this run whatever the options say, storing nothing.
// --version prints the name and the version (the project's version in CMake) and exits.
// Ctrl-C, SIGTERM and SIGHUP close the main window as its close box does, whatever box is open:
// every modal box is dismissed first (and any opened later), a scan in progress is stopped and its
// points saved, and the program ends with 128 + the signal's number.
#include <QApplication>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "results/results_store.h"
#include "results/ui/cshow_data_window.h"
#include "scan/ui/calibration_window_install.h"
#include "scan/stopped_scan_save.h"
#include "scan/ui/odlg_spektr.h"
#include "session/analyzer_session.h"
#include "shell/command_line.h"
#include "shell/log_console.h"
#include "shell/start_up.h"
#include "shell/ui/modal_box_closer.h"
#include "shell/ui/qt_notice.h"
#include "shell/ui/qt_window_thread.h"
#include "shell/ui/screen_fit.h"
#include "shell/ui/stop_signal_notifier.h"
#include "shell/ui/window_icon.h"
#include "sim/antenna_model.h"
#include "sim/virtual_bench.h"
#include "web/http_server_settings.h"

namespace {

using namespace kavu;

// Without a window manager (a bare X server, a kiosk) "maximised" is ignored and a window would
// open at its small size hint: start at the screen's available size.
void FitToScreen(QWidget& w) {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) w.resize(screen->availableGeometry().size());
}

int ViewFile(QApplication& app, const std::string& file) {
  Log() << "openname = " << file << "\n";
  // The store lives for the whole run; the window may be closed and made again.
  auto store = std::make_unique<ResultsStore>();
  auto window = std::make_unique<CShowDataWindow>(*store);
  InstallCalibrationWindow(*window);
  window->LoadAnts(file);
  FitToScreen(*window);
  window->showMaximized();
  return app.exec();
}

// The bench with the antenna `load`; none after saying why on standard error.
std::optional<sim::VirtualBenchOptions> BenchOptions(const std::string& load) {
  std::string error;
  const auto model = sim::AntennaModel::Parse(load, &error);
  if (!model) {
    std::fprintf(stderr, "kavusdraa: --sim: %s\n", error.c_str());
    return std::nullopt;
  }
  sim::VirtualBenchOptions o;
  o.antenna = *model;
  return o;
}

// The options' web server settings, or the command line's --web for this run only. Read once
// the bench is up: with a bench, its settings file holds them.
SessionWebOptions WebServerSettings(const CommandLineOptions& options) {
  const HttpServerSettings h = HttpServerSettings::Load();
  SessionWebOptions w;
  w.enabled = options.web || h.m_IsHttpServer;
  w.address = options.web ? options.web_address : h.m_HttpServerAdr;
  w.port = options.web ? options.web_port : h.m_HttpServerPort;
  return w;
}

// The end a stop signal asks for: a scan in progress keeps its points (saved now, as a failed
// scan's are), then the window closes as by its close box.
void EndOnStopSignal(ODlgSpektr& window, int signal) {
  if (const std::optional<ScanEndReport> saved = window.Session().StopAndSave(signal)) {
    const ScanEndReport& r = *saved;
    if (!r.save.ok) {
      LogRed("Сканирование прервано, точек " + std::to_string(r.points) + ", не сохранено: " + r.error + "\n");
    } else {
      Log() << LogColour(kColourNotice) << "Сканирование прервано, точек " << r.points
            << (r.save.written ? ", сохранено в " + r.save.path : std::string(", нечего сохранять")) << "\n"
            << LogColour(kColourNormal);
    }
  }
  window.close();
}

int RunAnalyzer(QApplication& app, const CommandLineOptions& options,
                std::optional<sim::VirtualBenchOptions> bench, const std::string& load) {
  QtWindowThread window_thread;
  QtNotice notice;
  StopSignalNotifier stop_signals;
  int code = 0, stopped_by = 0;
  SessionOptions o;
  o.bench = std::move(bench);
  o.prepare = [&](SessionOptions& ready, sim::VirtualBench*) { ready.web = WebServerSettings(options); };
  o.store_range = true;
  std::string error;
  const std::unique_ptr<AnalyzerSession> session = AnalyzerSession::Create(window_thread, notice, o, &error);
  if (!session) {
    std::fprintf(stderr, "kavusdraa: the virtual bench did not start: %s\n", error.c_str());
    return 1;
  }
  if (session->Bench()) {
    Log() << LogColour(kColourNotice) << "Виртуальный стенд: антенна " << load << ", плата на COM"
          << sim::VirtualBench::kBenchPort << "\n" << LogColour(kColourNormal);
  }
  {
    ODlgSpektr main_window(*session, window_thread);
    notice.SetParent(&main_window);
    QObject::connect(&main_window, &ODlgSpektr::Finished, &app, [&](int c) {
      code = c;
      app.quit();
    });
    // A stop signal dismisses every box at once. The window closes only from the main loop once
    // the start-up has returned: closed from inside a box's exec() (the start-up's error box), it
    // would be stopped under the code that opened the box, and the main loop, not running yet,
    // would miss the quit.
    bool started = false;
    std::unique_ptr<ModalBoxCloser> boxes;
    QTimer ending;
    ending.setInterval(10);
    QObject::connect(&ending, &QTimer::timeout, &main_window, [&] {
      if (!started || QThread::currentThread()->loopLevel() > 1) return;
      ending.stop();
      EndOnStopSignal(main_window, stopped_by);
    });
    QObject::connect(&stop_signals, &StopSignalNotifier::Received, &main_window, [&](int signal) {
      if (stopped_by != 0) return;
      stopped_by = signal;
      Log() << LogColour(kColourNotice) << "Получен сигнал " << StopSignalName(signal) << ": окно закрывается\n"
            << LogColour(kColourNormal);
      boxes = std::make_unique<ModalBoxCloser>();
      ending.start();
    });
    ResizeWithinScreen(main_window, QSize(1400, 640));  // a small screen gets nine tenths of it
    main_window.show();
    main_window.StartUp();
    started = true;
    app.exec();
  }
  return stopped_by != 0 ? 128 + stopped_by : code;
}

}  // namespace

int main(int argc, char** argv) {
  // The usage text and the version need no display: they are answered before the application
  // object is made.
  const std::vector<std::string> early_args(argv + 1, argv + argc);
  if (HelpRequested(early_args)) {
    std::fputs(CommandLineHelp().c_str(), stdout);
    return 0;
  }
  if (VersionRequested(early_args)) {
    std::printf("kavusdraa %s\n", KAVU_VERSION);
    return 0;
  }
  QApplication app(argc, argv);
  // Qt has just switched the C library to the user's locale; numbers are read with a point.
  RestoreCNumericLocale();
  QApplication::setWindowIcon(WindowIcon());
  PrintBanner();
  std::vector<std::string> args(argv + 1, argv + argc);
  const CommandLineOptions options = ParseCommandLine(args);
  if (!options.error.empty()) {
    std::fprintf(stderr, "kavusdraa: %s\n", options.error.c_str());
    return 2;
  }
  const bool bench_wanted = options.demo || !options.sim_load.empty();
  if (!options.file_name.empty() && !bench_wanted) {
    if (options.web) {
      std::fprintf(stderr, "kavusdraa: --web needs the analyzer window; a scan file only opens the results window\n");
      return 2;
    }
    return ViewFile(app, options.file_name);
  }
  const std::string load = options.demo ? sim::kDemoAntennaText : options.sim_load;
  std::optional<sim::VirtualBenchOptions> bench;
  if (bench_wanted && !(bench = BenchOptions(load))) return 1;
  return RunAnalyzer(app, options, std::move(bench), load);
}
