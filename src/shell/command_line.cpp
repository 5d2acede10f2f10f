#include "shell/command_line.h"

#include <atomic>
#include <cstddef>

#include "shell/log_console.h"
#include "shell/settings_store.h"

namespace kavu {
namespace {
std::atomic<bool> g_avx_disabled{false};

// The longest address the options window keeps (its m_HttpServerAdr check).
constexpr size_t kMaxWebAddressChars = 240;

bool ParsePort(const std::string& text, int32_t* port) {
  if (text.empty() || text.size() > 5) return false;
  int32_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value > 65535) return false;
  *port = value;
  return true;
}

// Reports a malformed option: red in the log, and kept for the caller.
void Malformed(CommandLineOptions& opt, const std::string& text) {
  opt.error = text;
  Log() << LogColour(kColourError) << opt.error << "\n" << LogColour(kColourNormal);
}
}  // namespace

bool ParseWebValue(const std::string& text, std::string* address, int32_t* port, std::string* error) {
  const size_t colon = text.rfind(':');
  const std::string host = colon == std::string::npos ? "" : text.substr(0, colon);
  const std::string digits = colon == std::string::npos ? text : text.substr(colon + 1);
  int32_t value = 0;
  if (!ParsePort(digits, &value)) {
    *error = "--web expects [ADDRESS:]PORT with PORT 0..65535, not \"" + text + "\"";
    return false;
  }
  if (colon != std::string::npos && host.empty()) {
    *error = "--web: the address before ':' is empty in \"" + text + "\" (leave out the ':' for every address)";
    return false;
  }
  if (host.find(':') != std::string::npos || host.find('[') != std::string::npos) {
    *error = "--web: the web server listens on IPv4 only, \"" + host + "\" is not an IPv4 address or host name";
    return false;
  }
  if (host.size() > kMaxWebAddressChars) {
    *error = "--web: the address is longer than " + std::to_string(kMaxWebAddressChars) + " characters";
    return false;
  }
  for (const char c : host) {
    if (static_cast<unsigned char>(c) <= ' ') {
      *error = "--web: the address \"" + host + "\" contains a space or a control character";
      return false;
    }
  }
  *address = host;
  *port = value;
  return true;
}

bool HelpRequested(const std::vector<std::string>& args) {
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") return true;
  }
  return false;
}

bool VersionRequested(const std::vector<std::string>& args) {
  for (const std::string& a : args) {
    if (a == "--version") return true;
  }
  return false;
}

std::string CommandLineHelp() {
  return "Usage: kavusdraa [-n] [--demo | --sim LOAD] [--web [ADDRESS:]PORT]\n"
         "       kavusdraa FILE.kant\n\n"
         "Without a file the analyzer's main window opens; with a scan-result file only its graphs\n"
         "are shown (the results window).\n\n"
         "  -n, /n                the receiver chosen last is not opened at start (it is forgotten)\n"
         "  --demo                run on the virtual bench with the demo antenna instead of the hardware\n"
         "  --sim LOAD            run on the virtual bench with the antenna LOAD (50, 25-30j,\n"
         "                        series:R=50,L=100n,C=12.05p, a Touchstone .s1p file)\n"
         "  --web [ADDRESS:]PORT  run the web server for this run on PORT (0: a free one, the log\n"
         "                        names it) and ADDRESS (none: every address of the computer),\n"
         "                        whatever the options window says; nothing is stored\n"
         "  AVX_Disable           (anywhere in an argument) the portable FFT kernel is used\n"
         "  --version             the program's name and version\n"
         "  -h, --help            this text\n\n"
         "The bench (--demo, --sim) uses its own settings file, never the user's. Ctrl-C, SIGTERM\n"
         "and SIGHUP close the window as its close box does; a scan in progress is stopped and its\n"
         "points are saved first.\n";
}

bool AvxDisabledByCommandLine() { return g_avx_disabled.load(); }
void SetAvxDisabledByCommandLine(bool disabled) { g_avx_disabled.store(disabled); }

CommandLineOptions ParseCommandLine(const std::vector<std::string>& args) {
  CommandLineOptions opt;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.empty()) continue;
    Log() << "аргумент cmd i=" << static_cast<int>(i + 1) << " = " << a << "\n";
    if (a.find("AVX_Disable") != std::string::npos) {
      opt.avx_disable = true;
    } else if (a == "-n" || a == "/n") {
      Log() << "Указан ключ отключения автовыбора sdr-приёмника \n";
      Settings().WriteProfileString("ODlgSpektr", "m_SelectSdrKey", "");
      opt.clear_receiver_key = true;
    } else if (a == "--demo") {
      opt.demo = true;
    } else if (a == "--sim") {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        Malformed(opt, "--sim needs the antenna as its value, for example --sim 50 or --sim series:R=50,L=100n,C=12.05p");
        continue;
      }
      opt.sim_load = args[++i];
      Log() << "аргумент cmd i=" << static_cast<int>(i + 1) << " = " << opt.sim_load << "\n";
    } else if (a == "--web") {
      if (i + 1 >= args.size()) {
        Malformed(opt, "--web needs [ADDRESS:]PORT as its value, for example --web 8888 or --web 127.0.0.1:8888");
        continue;
      }
      const std::string& value = args[++i];
      Log() << "аргумент cmd i=" << static_cast<int>(i + 1) << " = " << value << "\n";
      std::string error;
      if (!ParseWebValue(value, &opt.web_address, &opt.web_port, &error)) {
        Malformed(opt, error);
        continue;
      }
      opt.web = true;
    } else if (a[0] == '-') {
      Log() << " видимо это неизвестный ключ, пока игнорирую";
    } else {
      opt.file_name = a;
    }
  }
  if (opt.avx_disable) SetAvxDisabledByCommandLine(true);
  return opt;
}

}  // namespace kavu
