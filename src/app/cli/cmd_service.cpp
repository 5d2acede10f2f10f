// kavusdraa-cli service --port N TEST [ARG]: the service menu's low-level tests of the control
// board on serial port N, their results in the log (stderr) and a summary on stdout.
#include <cstdio>
#include <string>

#include "app/cli/cli_command.h"
#include "board/board_protocol.h"
#include "board/gen_setup.h"
#include "board/serial_port.h"
#include "board/service_diagnostics.h"
#include "platform/number_text.h"
#include "shell/error_box.h"

namespace kavu::cli {
namespace {

constexpr const char* kName = "service";

std::string Hex(int v) {
  char b[16];
  std::snprintf(b, sizeof b, "%02X", v & 0xFF);
  return b;
}

// Runs test `t` with argument `arg` (empty when none); the exit status.
int RunTest(OServiceDiagnostics& d, const std::string& t, const std::string& arg) {
  const auto n = ParseInt(arg);
  if (t == "cs-off") {
    const auto c = d.DeselectAndReadTimer();
    std::printf("timer reads: %zu\n", c.size());
    for (int v : c) std::printf("Tim4Cnt = %X\n", v);
    return c.size() == 10 ? 0 : 1;
  }
  if (t == "cs" && n && *n >= 0 && *n <= 2) return d.SelectCs(*n) ? 0 : 1;
  if (t == "spi-mode" && n && *n >= 0 && *n <= 3) return d.SelectSpiMode(*n) ? 0 : 1;
  if (t == "spi-byte") {
    const int b = d.SendSpiByte();
    if (b < 0) return Fail(kName, "no reply to SpiOut");
    std::printf("sent C1, received %s\n", Hex(b).c_str());
    return 0;
  }
  if (t == "i2c-scan") {
    const auto found = d.I2cScan();
    std::printf("acknowledged:");
    for (int a : found) std::printf(" %s", Hex(a).c_str());
    std::printf("\n");
    return found.empty() ? 1 : 0;
  }
  if (t == "pwm" && (arg == "on" || arg == "off")) {
    // The divider as its owner, the generator set-up's options, loads and checks it.
    return d.MinusGenPwm(arg == "on", GenSetupOptions::Load().m_MinusGenDivider) ? 0 : 1;
  }
  if (t == "calibr") {
    const int v0 = d.Si5351Calibr();
    if (v0 < 0) return Fail(kName, "Si5351 register 0 could not be read");
    std::printf("V0=%s\n", Hex(v0).c_str());
    return 0;
  }
  if (t == "display-test") {
    std::printf("data bytes read: %d\n", d.DisplayTest());
    return 0;
  }
  return Fail(kName, "unknown test \"" + t + (arg.empty() ? "" : " " + arg) + "\" (see --help)", 2);
}

int RunService(const std::vector<std::string>& args) {
  int port_number = 0;
  std::string test, arg;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--port" && i + 1 < args.size()) {
      const auto p = ParseInt(args[++i]);
      if (!p || *p == 0) return Fail(kName, "--port expects a port number, not \"" + args[i] + "\"", 2);
      port_number = *p;
    } else if (test.empty()) {
      test = args[i];
    } else if (arg.empty()) {
      arg = args[i];
    } else {
      return Fail(kName, "unexpected argument \"" + args[i] + "\" (see --help)", 2);
    }
  }
  if (port_number == 0 || test.empty()) return Fail(kName, "needs --port N and a test (see --help)", 2);
  OSerialPort port;
  if (!port.Open(port_number, OSerialPort::kBaud)) return Fail(kName, port.LastErrorText());
  OBoardProtocol board(port);
  StderrNotice notice;
  ErrorBox box(notice);
  OServiceDiagnostics d(board, box);
  const int rc = RunTest(d, test, arg);
  port.Close();
  return rc;
}

const CliRegistrar service_registrar(
    {kName, "the service menu's low-level tests of the control board",
     "Usage: kavusdraa-cli service --port N TEST [ARG]\n\n"
     "Runs one test of the service menu on the board at serial port N; the details go to the\n"
     "log (stderr), a summary to stdout. Tests:\n"
     "  cs-off        all chip selects high, then ten reads of the board's timer counter\n"
     "  cs 0|1|2      chip select CS0..CS2 low, the others high\n"
     "  spi-mode 0..3 set the SPI mode\n"
     "  spi-byte      send the SPI byte C1 and show the byte received\n"
     "  i2c-scan      try every I2C write address, list those that acknowledge\n"
     "  pwm on|off    the -5 V generator's PWM (divider from the options)\n"
     "  calibr        read Si5351 register 0 and reset its PLL A\n"
     "  display-test  identify, initialise and fill the ILI9488 display on CS0\n"
     "Exit status 1 when the board did not answer as expected.\n",
     RunService});

}  // namespace
}  // namespace kavu::cli
