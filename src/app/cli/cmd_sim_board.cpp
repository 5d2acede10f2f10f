// kavusdraa-cli sim-board: the emulated control board on a new pseudo-terminal, until interrupted.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>

#include "app/cli/cli_command.h"
#include "app/cli/sim_wiring.h"
#include "platform/number_text.h"
#include "sim/board_peripherals.h"
#include "sim/spi_chip_model.h"
#include "sim/emulated_board.h"

namespace kavu::cli {
namespace {

constexpr const char* kName = "sim-board";

struct SimBoardArgs {
  std::string link;
  std::string log_file;
  sim::EmulatedBoardConfig config;
  std::optional<sim::BoardFault> fault;
  bool quiet = false;
  std::vector<std::pair<int, std::string>> chips;  // --chip CS:KIND
};

bool ParseFault(const std::string& text, sim::BoardFault& out) {
  const size_t colon = text.find(':');
  const auto kind = sim::ParseBoardFaultKind(text.substr(0, colon));
  if (!kind) return false;
  out.kind = *kind;
  out.count = -1;
  if (colon != std::string::npos) {
    const std::string code = text.substr(colon + 1);
    char* end = nullptr;
    const long v = std::strtol(code.c_str(), &end, 16);
    if (code.empty() || *end != '\0' || v < 0 || v > 0xFF) return false;
    out.command = static_cast<int>(v);
  }
  return true;
}

bool Parse(const std::vector<std::string>& args, SimBoardArgs& out) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--quiet") {
      out.quiet = true;
      continue;
    }
    if (a == "--monitor") {
      out.config.start_in_monitor = true;
      continue;
    }
    if (i + 1 >= args.size()) {
      Fail(kName, "unknown argument or missing value: " + a);
      return false;
    }
    const std::string& v = args[++i];
    if (a == "--link") {
      out.link = v;
    } else if (a == "--log") {
      out.log_file = v;
    } else if (a == "--buffer" || a == "--clock" || a == "--divider" || a == "--baud" || a == "--flash-us") {
      const auto n = ParseInt(v);
      const int low = a == "--baud" || a == "--flash-us" ? 0 : 1;
      const int high = a == "--buffer" ? 65535 : a == "--flash-us" ? 1'000'000 : INT32_MAX;
      if (!n || *n < low || *n > high) {
        Fail(kName, a + " needs a whole number from " + std::to_string(low) + " to " + std::to_string(high));
        return false;
      }
      if (a == "--buffer") out.config.buffer_size = *n;
      if (a == "--clock") out.config.timer.clock_hz = static_cast<uint32_t>(*n);
      if (a == "--divider") out.config.timer.divider = static_cast<uint32_t>(*n);
      if (a == "--baud") out.config.baud = *n;
      if (a == "--flash-us") out.config.flash_block_us = *n;
    } else if (a == "--chip") {
      const bool ok = v.size() > 2 && v[0] >= '0' && v[0] <= '2' && v[1] == ':' &&
                      sim::MakeSpiChipModel(v.substr(2)) != nullptr;
      if (!ok) {
        Fail(kName, "--chip needs CS:KIND with CS 0..2 and KIND one of rfm22, rfm23, rfm69, ad9833, "
                    "adf4351, si4463, not \"" + v + "\"");
        return false;
      }
      out.chips.emplace_back(v[0] - '0', v.substr(2));
    } else if (a == "--fault") {
      sim::BoardFault f;
      if (!ParseFault(v, f)) {
        Fail(kName, "--fault needs no-reply, short-reply, wrong-byte, late-reply, i2c-nack, unplug or "
                    "protect, "
                    "optionally followed by :CODE (the command code in hex)");
        return false;
      }
      out.fault = f;
    } else {
      Fail(kName, "unknown argument: " + a);
      return false;
    }
  }
  return true;
}

// Points `link` at `target`, replacing an old link but never another kind of file.
bool MakeLink(const std::string& link, const std::string& target) {
  struct stat st {};
  if (::lstat(link.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) {
      Fail(kName, "\"" + link + "\" exists and is not a symbolic link; not replaced");
      return false;
    }
    ::unlink(link.c_str());
  }
  if (::symlink(target.c_str(), link.c_str()) != 0) {
    Fail(kName, "cannot create the link \"" + link + "\": " + std::strerror(errno));
    return false;
  }
  return true;
}

int RunSimBoard(const std::vector<std::string>& args) {
  SimBoardArgs a;
  if (!Parse(args, a)) return 1;
  // The board's threads inherit the blocked signals; this thread takes them with sigtimedwait.
  const sigset_t stop_signals = BlockStopSignals();

  sim::BoardPeripherals peripherals;
  for (const auto& [cs, kind] : a.chips) peripherals.FitSpiChip(cs, sim::MakeSpiChipModel(kind));
  sim::EmulatedBoard board(peripherals, a.config);
  std::string error;
  if (!board.Start(&error)) return Fail(kName, "cannot start the emulated board: " + error);
  if (a.fault) board.InjectFault(*a.fault);
  const std::string device = board.DevicePath();
  if (!a.link.empty() && !MakeLink(a.link, device)) return 1;
  std::printf("device: %s\n", device.c_str());
  if (!a.link.empty()) std::printf("link: %s\n", a.link.c_str());
  std::printf("buffer: %d\ntimer: %u/%u\n", a.config.buffer_size, a.config.timer.clock_hz,
              a.config.timer.divider);
  if (a.config.start_in_monitor) std::printf("mode: boot loader\n");
  std::fflush(stdout);

  size_t shown = 0;
  const timespec tick{0, 50'000'000};
  for (;;) {
    const int sig = sigtimedwait(&stop_signals, nullptr, &tick);
    if (!a.quiet) {
      const auto entries = board.CommandLog().Entries();
      for (; shown < entries.size(); ++shown) {
        const sim::BoardLogEntry& e = entries[shown];
        std::fprintf(stderr, "%8lld ms  %s  ->  %s%s%s\n", static_cast<long long>(e.time_ms),
                     sim::BoardCommandLog::Hex(e.request).c_str(),
                     e.reply.empty() ? "(none)" : sim::BoardCommandLog::Hex(e.reply).c_str(),
                     e.note.empty() ? "" : "  ", e.note.c_str());
      }
    }
    if (sig > 0) break;
    if (!board.IsPlugged()) {
      std::fprintf(stderr, "kavusdraa-cli sim-board: the device was unplugged (fault); stopping\n");
      break;
    }
  }
  board.Stop();
  if (!a.link.empty()) ::unlink(a.link.c_str());
  if (!a.log_file.empty() && !board.CommandLog().WriteTo(a.log_file)) {
    return Fail(kName, "cannot write the command log to \"" + a.log_file + "\"");
  }
  for (int k = 0; k < 3; ++k) {
    const sim::Si5351Output out = peripherals.Si5351Out(k);
    std::printf("si5351_clk%d_hz: %s%s\n", k, FormatG(out.hz, 12).c_str(), out.on ? "" : " (off)");
  }
  const auto sources = peripherals.AllSources();
  for (const auto& [cs, kind] : a.chips) {
    const sim::SourceState& o = sources[static_cast<size_t>(sim::kTimelineFirstSpiSource + cs)];
    std::printf("spi_cs%d_%s_hz: %s%s\n", cs, kind.c_str(), FormatG(o.hz, 12).c_str(),
                o.on ? "" : " (off)");
  }
  std::printf("commands: %zu\n", board.CommandLog().Size());
  return 0;
}

const CliRegistrar sim_board_registrar(
    {kName, "run the emulated control board on a pseudo-terminal",
     "Usage: kavusdraa-cli sim-board [--link PATH] [--buffer N] [--clock HZ] [--divider N]\n"
     "                               [--fault KIND[:CODE]] [--chip CS:KIND] [--log FILE] [--quiet]\n"
     "                               [--monitor] [--baud N] [--flash-us N]\n\n"
     "Runs the emulated control board (with its Si5351 model) on a new pseudo-terminal until\n"
     "interrupted (Ctrl-C). Prints the device path; --link makes PATH a symbolic link to it (an\n"
     "existing link is replaced, any other file is left alone), removed again at the end.\n"
     "Every command the board receives is shown on standard error unless --quiet.\n\n"
     "  --buffer N     batch buffer size the board reports, bytes (default 4096)\n"
     "  --clock HZ     timer clock it reports (default 10000000)\n"
     "  --divider N    timer divider it reports (default 64)\n"
     "  --fault KIND   commit a fault on every command (or only on command CODE, hex):\n"
     "                 no-reply, short-reply, wrong-byte, late-reply, i2c-nack, unplug,\n"
     "                 protect (a boot-loader block write answers EE; code E7)\n"
     "  --chip CS:KIND fit a generator chip model on chip select CS (0..2): rfm22, rfm23, rfm69,\n"
     "                 ad9833, adf4351, si4463 (may be repeated)\n"
     "  --log FILE     write the command log to FILE at the end\n"
     "  --baud N       the line's modelled rate (default 115200; 0: the line takes no time)\n"
     "  --flash-us N   time the boot loader's flash takes per written block, us (default 2000)\n"
     "  --monitor      switch the board on in its boot loader (for `flash`); without it the board\n"
     "                 enters the boot loader when eight capture bytes (CD) arrive, as if it\n"
     "                 had been switched on under capture; CD EB starts the application\n\n"
     "At the end it prints the frequency each Si5351 output generates and the command count.\n\n"
     "Example, in two terminals:\n"
     "  kavusdraa-cli sim-board --link /tmp/kavu-board\n"
     "  KAVU_EXTRA_PORTS=/tmp/kavu-board kavusdraa-cli ports\n",
     RunSimBoard});

}  // namespace
}  // namespace kavu::cli
