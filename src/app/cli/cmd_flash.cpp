// kavusdraa-cli flash: the control board's firmware through its boot loader on serial port N.
// The console lines and boxes are the updater window's; boxes go to standard error as
// "CAPTION: text", counts to standard output.
#include <cctype>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>

#include "app/cli/cli_command.h"
#include "app/cli/progress_line.h"
#include "board/serial_port.h"
#include "platform/number_text.h"
#include "shell/log_console.h"
#include "updater/boot_loader_client.h"
#include "updater/chip_operations.h"
#include "updater/hex_file_reader.h"
#include "updater/hex_file_writer.h"
#include "updater/image_compare.h"

namespace kavu::cli {
namespace {

constexpr const char* kName = "flash";

struct FlashArgs {
  int port = 0;
  std::string file;
  std::string read_out;
  bool verify_only = false;
  bool start = false;
  int capture_s = 0;
};

int Usage(const std::string& why) { return Fail(kName, why + " (see --help)", 2); }

bool Parse(const std::vector<std::string>& args, FlashArgs& out, std::string& why) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--verify-only") {
      out.verify_only = true;
    } else if (a == "--start") {
      out.start = true;
    } else if (a == "--port" || a == "--read" || a == "--capture") {
      if (i + 1 >= args.size()) {
        why = a + " needs a value";
        return false;
      }
      const std::string& v = args[++i];
      if (a == "--read") {
        out.read_out = v;
        continue;
      }
      const auto n = ParseInt(v);
      if (!n || *n <= 0 || (a == "--capture" && *n > 3600)) {
        why = a + (a == "--port" ? " expects a port number" : " expects seconds from 1 to 3600") +
              ", not \"" + v + "\"";
        return false;
      }
      (a == "--port" ? out.port : out.capture_s) = *n;
    } else if (!a.empty() && a[0] != '-' && out.file.empty()) {
      out.file = a;
    } else {
      why = "unknown argument: " + a;
      return false;
    }
  }
  if (out.port == 0) why = "needs --port N";
  else if (out.verify_only && out.file.empty()) why = "--verify-only needs FILE.hex";
  else if (out.file.empty() && out.read_out.empty() && !out.start && out.capture_s == 0) why = "nothing to do";
  return why.empty();
}

void ShowBox(const UpdaterBox& box) { std::fprintf(stderr, "%s: %s\n", box.caption.c_str(), box.text.c_str()); }

BlockProgress Progress(ProgressLine& line, const char* what) {
  return [&line, what](int done, int total) {
    if (done % 64 == 0 || done == total) line.Show(std::string(what) + " " + std::to_string(done) + " / " + std::to_string(total));
  };
}

// Sends the capture sequence every millisecond for up to `seconds`, asking the boot loader for
// a block every 100 ms; true once it answers.
bool Capture(OSerialPort& port, BootLoaderClient& client, int seconds) {
  std::fprintf(stderr, "switch the board on now: capturing its boot loader for up to %d s\n", seconds);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  for (int tick = 1; std::chrono::steady_clock::now() < end; ++tick) {
    client.SendCapture();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (tick % 100 != 0) continue;
    uint8_t scrap[8192];
    int count = 0;
    port.ReadSome(scrap, static_cast<int>(sizeof scrap), &count);
    const uint8_t probe[5] = {BootLoaderClient::kPrefix, BootLoaderClient::kCmdRead, 0xFE, 0xFF, 0x3F};
    port.Write(probe, sizeof probe);
    if (port.ReadAll(scrap, static_cast<int>(kFlashBlockSize), 50) == static_cast<int>(kFlashBlockSize)) return true;
    if (!port.IsOpen()) return false;
  }
  return false;
}

bool ReadFile(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream all;
  all << in.rdbuf();
  text = all.str();
  return !in.bad();
}

// Reads the chip with a progress line; false (box shown) on failure.
bool ReadWithProgress(BootLoaderClient& client, FirmwareImage& read) {
  ProgressLine line;
  const ChipReadResult r = ReadChip(client, read, Progress(line, "reading block"));
  line.Finish();
  if (!r.ok && r.box) ShowBox(*r.box);
  return r.ok;
}

int Run(const FlashArgs& a) {
  HexReadResult file;
  if (!a.file.empty()) {
    std::string text;
    if (!ReadFile(a.file, text)) return Fail(kName, "cannot read \"" + a.file + "\"");
    const size_t dot = a.file.find_last_of("./");
    std::string ext = dot != std::string::npos && a.file[dot] == '.' ? a.file.substr(dot + 1) : "";
    for (char& ch : ext) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    Log() << "sExt = " << ext << "\n";
    file = ReadHexText(text);
    LogLines(file.log);
    if (!file.ok) return Fail(kName, "\"" + a.file + "\" refused, nothing written: " + file.error);
    if (file.box) ShowBox(*file.box);
  }
  OSerialPort port;
  if (!port.Open(a.port, OSerialPort::kBaud)) return Fail(kName, port.LastErrorText());
  BootLoaderClient client(port);
  if (a.capture_s > 0 && !Capture(port, client, a.capture_s)) {
    return Fail(kName, "the boot loader did not answer within " + std::to_string(a.capture_s) + " s");
  }
  if (!a.read_out.empty()) {
    FirmwareImage chip;
    if (!ReadWithProgress(client, chip)) return 1;
    std::ofstream out(a.read_out, std::ios::binary | std::ios::trunc);
    out << WriteHexText(chip);
    if (!out.flush()) return Fail(kName, "cannot write \"" + a.read_out + "\"");
    std::printf("read: %s\n", a.read_out.c_str());
  }
  if (!a.file.empty()) {
    if (!a.verify_only) {
      ProgressLine line;
      const ChipWriteResult w = WriteChip(client, file.image, file.program_bytes, Progress(line, "writing block"));
      line.Finish();
      if (w.box) ShowBox(*w.box);
      if (!w.ok) return 1;
      std::printf("written: %d blocks, protected: %d, protected_user: %d\n", w.blocks_sent,
                  w.protected_blocks, w.protected_user);
      Log() << "Начинаю проверку \n";
    }
    FirmwareImage chip;
    if (!ReadWithProgress(client, chip)) return 1;
    const CompareResult c = CompareImages(file.image, chip);
    LogLines({c.summary});
    ShowBox(c.box);
    std::printf("user_errors: %d\nmonitor_errors: %d\nconfig_errors: %d\n", c.user_errors, c.monitor_errors,
                c.config_errors);
    if (!c.Matches()) return 1;
  }
  if (a.start) {
    StartFirmware(client);
    std::printf("started\n");
  }
  return 0;
}

int RunFlash(const std::vector<std::string>& args) {
  FlashArgs a;
  std::string why;
  if (!Parse(args, a, why)) return Usage(why);
  return Run(a);
}

const CliRegistrar flash_registrar(
    {kName, "write, verify, back up or start the board's firmware (boot loader)",
     "Usage: kavusdraa-cli flash --port N [--capture S] [--read OUT.hex] [--verify-only] [--start]\n"
     "                           [FILE.hex]\n\n"
     "Talks to the control board's boot loader on serial port N (the board must be in it: switched\n"
     "on under capture, see --capture). With FILE.hex: reads the file (a damaged file is refused\n"
     "before anything is sent), writes the program memory, reads the chip back and compares.\n"
     "The exit status is 0 only when the chip holds the file's program and configuration\n"
     "(differences in the boot loader's own area below 0x400 are reported but allowed).\n\n"
     "  --verify-only  only read the chip back and compare it with FILE.hex\n"
     "  --read OUT.hex first save the chip's program memory (from 0x400 up) as Intel HEX: a backup\n"
     "                 before an update, which `flash` can write back\n"
     "  --capture S    first send the capture sequence (CD x 8, every ms) for up to S seconds while\n"
     "                 you switch the board on, until its boot loader answers\n"
     "  --start        at the end start the firmware (only when everything before succeeded)\n\n"
     "The log (standard error) carries the updater's lines; messages appear as \"CAPTION: text\".\n"
     "Standard output gets the counts: written/protected blocks and user_errors, monitor_errors,\n"
     "config_errors.\n\n"
     "Example on the virtual bench, in two terminals:\n"
     "  kavusdraa-cli sim-board --monitor --link /tmp/kavu-board\n"
     "  KAVU_EXTRA_PORTS=/tmp/kavu-board kavusdraa-cli flash --port 901 firmware.hex\n",
     RunFlash});

}  // namespace
}  // namespace kavu::cli
