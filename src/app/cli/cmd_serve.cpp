// kavusdraa-cli serve: the analyzer without windows, used from a browser through the built-in
// web server, until Ctrl-C, SIGTERM or SIGHUP. A scan in progress then is stopped and saved (one
// end line, naming the file), and the exit status is 128 + the signal, as for `scan`.
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "app/cli/cli_command.h"
#include "app/cli/sim_wiring.h"
#include "platform/event_loop.h"
#include "platform/number_text.h"
#include "session/analyzer_session.h"
#include "shell/error_box.h"
#include "shell/log_console.h"

namespace kavu::cli {
namespace {

constexpr const char* kName = "serve";

struct ServeArgs {
  std::string sim;  // empty: the hardware of the settings
  std::vector<std::string> simSets;
  std::string address;
  int port = 8888;
  std::string range = "140-150 0.5";
  std::string folder;
};

class ServeEvents : public ISessionListener {
 public:
  void ScanEnded(const ScanEndReport& r) override {
    // The stop that a stop signal's save makes is not the scan's end: the save's report is.
    if (r.stopped && stopping_for_signal) return;
    Log() << "serve: скан закончен, точек " << r.points << (r.saved ? ", сохранён " + r.save.path : std::string())
          << (r.ok ? std::string() : ", ошибка: " + r.error) << "\n";
  }
  bool stopping_for_signal = false;
};

bool Parse(const std::vector<std::string>& args, ServeArgs& a) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& k = args[i];
    if (i + 1 >= args.size()) {
      Fail(kName, k + " needs a value (see --help)");
      return false;
    }
    const std::string& v = args[++i];
    if (k == "--sim") {
      a.sim = v;
    } else if (k == "--sim-set") {
      a.simSets.push_back(v);
    } else if (k == "--address") {
      a.address = v;
    } else if (k == "--range") {
      a.range = v;
    } else if (k == "--folder") {
      a.folder = v;
    } else if (k == "--port") {
      const auto p = ParseInt(v);
      if (!p || std::to_string(*p) != v || *p < 0 || *p > 65535) {
        Fail(kName, "--port expects 0..65535, not \"" + v + "\"");
        return false;
      }
      a.port = *p;
    } else {
      Fail(kName, "unknown argument \"" + k + "\" (see --help)");
      return false;
    }
  }
  if (!a.simSets.empty() && a.sim.empty()) {
    Fail(kName, "--sim-set needs --sim (the virtual bench)");
    return false;
  }
  return true;
}

// Runs the loop until a stop signal (returned) or a quit (0).
int ServeUntilStopSignal(EventLoop& loop, const sigset_t& stop_signals) {
  std::atomic<bool> done{false};
  std::atomic<int> signal{0};
  std::thread waiter([&] {
    const timespec tick{0, 100'000'000};
    int s = 0;
    while (!done.load() && (s = sigtimedwait(&stop_signals, nullptr, &tick)) <= 0) {
    }
    signal.store(s > 0 ? s : 0);
    // As a task: a signal that came before the loop started would otherwise be lost (Run
    // starts afresh), and the server would run on.
    loop.Post([&loop] { loop.Quit(); });
  });
  loop.Run();
  done.store(true);
  waiter.join();
  return signal.load();
}

void PrintListening(const ServeArgs& a, int port, const std::string& folder) {
  if (a.address.empty()) {
    std::printf("listening on every address, port %d: http://127.0.0.1:%d/ (web folder %s)\n", port, port,
                folder.c_str());
  } else {
    std::printf("listening on %s, port %d: http://%s:%d/ (web folder %s)\n", a.address.c_str(), port,
                a.address.c_str(), port, folder.c_str());
  }
  std::fflush(stdout);
}

int RunServe(const std::vector<std::string>& args) {
  ServeArgs a;
  if (!Parse(args, a)) return 2;
  const sigset_t stop_signals = BlockStopSignals();
  ::signal(SIGPIPE, SIG_IGN);
  EventLoop loop;
  StderrNotice notice;
  ServeEvents events;
  SessionOptions o;
  o.web = {true, true, a.address, a.port, a.folder};
  o.range = a.range;
  std::unique_ptr<AnalyzerSession> session;
  if (const int status = CreateSession(kName, a.sim.empty() ? nullptr : &a.sim, a.simSets, o, loop, notice, session))
    return status;
  session->SetListener(&events);
  // The session starts the web server before the station: a saved port -33 opens.
  const SessionStart start = session->StartUp();
  int status = 0;
  if (!start.web_running) {
    status = Fail(kName, start.web_error);
  } else if (!start.station.port_open) {
    status = Fail(kName, start.station.port_error);
  } else if (!start.station.receiver_open) {
    status = Fail(kName, start.station.receiver_error);
  } else {
    PrintListening(a, session->WebPort(), session->WebFolder());
    const int signal = ServeUntilStopSignal(loop, stop_signals);
    // A scan in progress keeps its points, as `scan` keeps them on Ctrl-C.
    events.stopping_for_signal = true;
    if (const auto saved = session->StopAndSave(signal)) events.ScanEnded(*saved);
    std::printf("stopping\n");
    if (signal > 0) status = 128 + signal;
  }
  session->Stop();
  session->SetListener(nullptr);
  return status;
}

const CliRegistrar serve_registrar(
    {kName, "run the analyzer headless, used from a browser through the built-in web server",
     "Usage: kavusdraa-cli serve [--sim LOAD] [--sim-set NAME=VALUE]... [--address A] [--port P]\n"
     "                          [--range TEXT] [--folder DIR]\n\n"
     "Opens the port and receiver of the settings (or the virtual bench with --sim, as for scan),\n"
     "starts the web server and serves the analyzer's page until Ctrl-C, SIGTERM or SIGHUP: the page\n"
     "shows the current and previous scan, starts and pauses scans, edits the scan ranges and mirrors\n"
     "the log. The network serial port (-33) works through the server. A scan running at the stop\n"
     "is saved with the points measured; the exit status is then 128 + the signal (130, 143, 129).\n\n"
     "  --address A   bind to this local address only (for example 127.0.0.1: this computer only,\n"
     "                or the address of one network card); default: every address (the page is\n"
     "                reachable from the whole local network)\n"
     "  --port P      TCP port (default 8888; 0 picks a free one, printed at start)\n"
     "  --range TEXT  the scan ranges the page's \"Старт\" scans (default \"140-150 0.5\")\n"
     "  --folder DIR  the web folder (default ~/.local/share/kavusdraa/SdrAntAAHttp)\n",
     RunServe});

}  // namespace
}  // namespace kavu::cli
