// A 64 KiB image written and verified through the emulated boot loader at 115200 baud, against
// the time the same bytes take on the line plus the emulated flash's write time (the board
// counts both during the run): the updater's own overhead (wake-ups, waits, the port) on top.
#include <chrono>
#include <string>

#include "bench_registry.h"
#include "board/serial_port.h"
#include "shell/log_console.h"
#include "sim/emulated_board.h"
#include "support/recording_board_hardware.h"
#include "updater/chip_operations.h"
#include "updater/image_compare.h"

namespace kavu::bench {
namespace {

void FlashBench() {
  sim::RecordingBoardHardware hw;
  sim::EmulatedBoardConfig config;
  config.start_in_monitor = true;
  sim::EmulatedBoard board(hw, config);
  std::string error;
  if (!board.Start(&error)) return BenchFailed("emulated board: " + error);
  Log().SetSink(OLogConsole::Sink::None);
  OSerialPort port;
  const std::string path = board.DevicePath();
  port.SetPathResolver([path](int) { return path; });
  if (!port.Open(901, OSerialPort::kBaud)) return BenchFailed(port.LastErrorText());
  FirmwareImage file;
  for (size_t a = kMonitorEnd; a < kProgramSize; ++a) file.Set(a, static_cast<uint8_t>(a * 131 + (a >> 9)));
  BootLoaderClient client(port);
  const int64_t line0 = board.LineTimeNs() + board.FlashTimeNs();
  const auto wall0 = std::chrono::steady_clock::now();
  const ChipWriteResult w = WriteChip(client, file, static_cast<int>(kProgramSize - kMonitorEnd));
  FirmwareImage chip;
  const ChipReadResult r = w.ok ? ReadChip(client, chip) : ChipReadResult{};
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
  const double line = static_cast<double>(board.LineTimeNs() + board.FlashTimeNs() - line0) * 1e-9;
  Log().SetSink(OLogConsole::Sink::Stdout);
  if (!w.ok || !r.ok) return BenchFailed("the write or the read back failed");
  if (!CompareImages(file, chip).Matches()) return BenchFailed("the chip differs from the image");
  BenchPrint("flash_write_verify_s", wall);
  BenchPrint("flash_line_s", line);
  BenchPrint("flash_overhead_pct", line > 0 ? (wall - line) / line * 100.0 : 0.0);
}

const BenchRegistrar flash_registrar("flash", FlashBench);

}  // namespace
}  // namespace kavu::bench
