// kavusdraa-cli sim-bench: the whole virtual bench in its own process (the emulated board on its
// pseudo-terminal, the sample source behind a socket), for programs started later.
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/cli/cli_command.h"
#include "app/cli/sim_wiring.h"
#include "shell/settings_store.h"
#include "sim/bench_socket_server.h"
#include "sim/virtual_bench.h"

namespace kavu::cli {
namespace {

constexpr const char* kName = "sim-bench";

struct SimBenchArgs {
  std::string load = "50";
  std::vector<std::string> sets;  // NAME=VALUE
  std::string dir;
  bool quiet = false;
};

bool Parse(const std::vector<std::string>& args, SimBenchArgs& out) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--quiet") {
      out.quiet = true;
      continue;
    }
    if ((a != "--sim" && a != "--sim-set" && a != "--dir") || i + 1 >= args.size()) {
      Fail(kName, (i + 1 >= args.size() ? "unknown argument or missing value: " : "unknown argument: ") + a);
      return false;
    }
    const std::string& v = args[++i];
    if (a == "--sim") out.load = v;
    if (a == "--sim-set") out.sets.push_back(v);
    if (a == "--dir") out.dir = v;
  }
  return true;
}

// `text` in single quotes, as a POSIX shell reads it back.
std::string ShellQuote(const std::string& text) {
  std::string q = "'";
  for (const char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// The bench's private folder: DIR made new with mode 0700, else a new one in $TMPDIR or /tmp.
bool MakePrivateFolder(std::string& dir) {
  if (!dir.empty()) {
    if (::mkdir(dir.c_str(), 0700) != 0) {
      Fail(kName, "cannot create the folder \"" + dir + "\" (it must not exist yet): " + std::strerror(errno));
      return false;
    }
  } else {
    const char* tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp == '/' ? tmp : "/tmp") + "/kavu-bench-XXXXXX";
    if (!::mkdtemp(tmpl.data())) {
      Fail(kName, "cannot create a folder " + tmpl + ": " + std::strerror(errno));
      return false;
    }
    dir = tmpl;
  }
  ::chmod(dir.c_str(), 0700);
  dir = std::filesystem::absolute(dir).lexically_normal().string();
  return true;
}

// True when standard input is a pipe or socket that its writer has closed.
bool InputClosed() {
  struct stat st {};
  if (::fstat(0, &st) != 0 || !(S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode))) return false;
  pollfd p{0, POLLIN, 0};
  if (::poll(&p, 1, 0) <= 0) return false;
  char buf[512];
  const ssize_t n = ::read(0, buf, sizeof buf);
  return n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN);
}

// Starts the bench in `dir` with the options of `a`: 0, else the exit status after saying why.
int StartBench(const SimBenchArgs& a, const std::string& dir, sim::VirtualBench& bench) {
  sim::VirtualBenchOptions opts;
  opts.folder = dir;
  // The settings file where a program started with XDG_CONFIG_HOME=DIR/config looks for it.
  ::setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
  opts.settings_file = DefaultSettingsPath();
  opts.attach_library = false;
  return StartBenchFromArgs(kName, a.load, a.sets, opts, bench);
}

int RunSimBench(const std::vector<std::string>& args) {
  SimBenchArgs a;
  if (!Parse(args, a)) return 2;
  // The bench's threads inherit the blocked signals; this thread takes them with sigtimedwait.
  const sigset_t stop_signals = BlockStopSignals();
  ::signal(SIGPIPE, SIG_IGN);  // a closed standard output must not skip the clean-up

  std::string dir = a.dir;
  if (!MakePrivateFolder(dir)) return 1;
  sim::VirtualBench bench;
  sim::BenchSocketServer server;
  auto log = [quiet = a.quiet](const std::string& line) {
    if (!quiet) std::fprintf(stderr, "kavusdraa-cli sim-bench: %s\n", line.c_str());
  };
  std::string error;
  int status = StartBench(a, dir, bench);
  if (status == 0 && !server.Start(dir + "/bench.sock", bench.Source(), log, &error)) {
    status = Fail(kName, error);
  } else if (status == 0) {
    const char* ports = std::getenv("KAVU_EXTRA_PORTS");
    std::printf("export KAVU_EXTRA_PORTS=%s\n", ShellQuote(ports ? ports : "").c_str());
    std::printf("export KAVU_SIM_BENCH=%s\n", ShellQuote(server.Path()).c_str());
    std::printf("export XDG_CONFIG_HOME=%s\n", ShellQuote(dir + "/config").c_str());
    // The simulated plug-in in the program's process takes its sample type from here.
    if (bench.Receiver().extio_type != 0) std::printf("export KAVU_SIMEXTIO_TYPE=%d\n", bench.Receiver().extio_type);
    std::printf("# bench ready: port %d, receiver \"Virtual bench\", load %s\n", sim::VirtualBench::kBenchPort,
                a.load.c_str());
    std::fflush(stdout);
    size_t shown = 0;
    const timespec tick{0, 50'000'000};
    while (sigtimedwait(&stop_signals, nullptr, &tick) <= 0 && !InputClosed()) {
      const std::vector<std::string> rx = bench.ReceiverLog();
      for (; shown < rx.size(); ++shown) log("receiver: " + rx[shown]);
    }
    log("stopping");
  }
  server.Stop();
  WriteBenchEvidence(bench);
  bench.Stop();
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return status;
}

const CliRegistrar sim_bench_registrar(
    {kName, "run the whole virtual bench for programs started later",
     "Usage: kavusdraa-cli sim-bench [--sim LOAD] [--sim-set NAME=VALUE]... [--dir DIR] [--quiet]\n\n"
     "Runs the virtual bench in this process: the emulated control board on a pseudo-terminal\n"
     "and the simulated receiver's sample source behind a socket, with the bridge and LOAD on\n"
     "the antenna port (default 50; as scan --sim: 75, 25-30j, series:R=10,L=1.2u,C=47p, a\n"
     "Touchstone file). It prints, as shell commands, the environment a program needs to use it\n"
     "through its ordinary serial port and receiver library:\n"
     "  KAVU_EXTRA_PORTS   the board's link, listed as port 901\n"
     "  KAVU_SIM_BENCH     the bench's socket, which the simulated receiver connects to\n"
     "  XDG_CONFIG_HOME    a private settings folder: port 901, the receiver \"Virtual bench\",\n"
     "                     the RTL-SDR library folder at the simulated library (with\n"
     "                     --sim-set rx=extio-int16, -float or -uchar: the plug-in folder and\n"
     "                     ExtIO_KavuSim.so instead)\n"
     "  KAVU_SIMEXTIO_TYPE the simulated plug-in's sample type (rx=extio-... only)\n"
     "It serves one program at a time and runs until interrupted (Ctrl-C, SIGTERM) or until its\n"
     "standard input, when that is a pipe, closes; it then removes its folder.\n\n"
     "  --sim LOAD            the load on the antenna port\n"
     "  --sim-set NAME=VALUE  an impairment or board fault (kavusdraa-cli sim-list shows them)\n"
     "  --dir DIR             the private folder to create (mode 0700; it must not exist);\n"
     "                        default a new one in $TMPDIR or /tmp\n"
     "  --quiet               no connection and receiver lines on standard error\n\n"
     "Example, in two terminals:\n"
     "  kavusdraa-cli sim-bench --sim 75 > /tmp/kavu-bench.env\n"
     "  . /tmp/kavu-bench.env && kavusdraa-cli scan --range \"140-141 0.1\"\n",
     RunSimBench});

}  // namespace
}  // namespace kavu::cli
