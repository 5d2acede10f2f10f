// Processor time the serial port takes while it waits for a reply that is slow to come (a board
// playing a batch answers only at the end): ReadAll must sleep in poll, not spin. The anchor is
// the wall time of the same wait.
#include <sys/resource.h>

#include <chrono>
#include <string>

#include "bench_registry.h"
#include "board/serial_port.h"
#include "shell/log_console.h"
#include "sim/emulated_board.h"
#include "support/recording_board_hardware.h"

namespace kavu::bench {
namespace {

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_THREAD, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         1e-6 * static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

void SerialWaitBench() {
  sim::RecordingBoardHardware hw;
  sim::EmulatedBoard board(hw);
  std::string error;
  if (!board.Start(&error)) return;
  hw.SetBatchDurationTicks(78'125);  // 500 ms at 10 MHz / 64
  Log().SetSink(OLogConsole::Sink::None);
  OSerialPort port;
  const std::string path = board.DevicePath();
  port.SetPathResolver([path](int) { return path; });
  if (!port.Open(901, OSerialPort::kBaud)) return;
  const uint8_t run[] = {0xCD, 0x5C, 0x01, 0x00, 0xFF, 0x0D};
  port.Write(run, sizeof run);
  const auto wall0 = std::chrono::steady_clock::now();
  const double cpu0 = CpuSeconds();
  uint8_t reply[4];
  const int got = port.ReadAll(reply, 4, 8000);
  const double cpu = CpuSeconds() - cpu0;
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
  Log().SetSink(OLogConsole::Sink::Stdout);
  BenchPrint("serial_wait_reply_bytes", got);
  BenchPrint("serial_wait_wall_ms", wall * 1000.0);
  BenchPrint("serial_wait_cpu_ms", cpu * 1000.0);
  BenchPrint("serial_wait_cpu_share", wall > 0 ? cpu / wall : 0.0);
}

const BenchRegistrar serial_wait_registrar("serial_wait", SerialWaitBench);

}  // namespace
}  // namespace kavu::bench
