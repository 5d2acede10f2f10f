#pragma once
// The emulated board switched on in its boot loader on a pseudo-terminal, the program's serial
// port open on it and a boot-loader client over that port. The line and the flash take no time
// unless a test asks (whole-chip writes stay fast). When a test fails, the board's command log
// is printed.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "board/serial_port.h"
#include "shell/log_console.h"
#include "sim/emulated_board.h"
#include "support/recording_board_hardware.h"
#include "updater/boot_loader_client.h"

namespace kavu::test {

class BootLoaderTest : public ::testing::Test {
 protected:
  static sim::EmulatedBoardConfig FastMonitor() {
    sim::EmulatedBoardConfig config;
    config.start_in_monitor = true;
    config.baud = 0;
    config.flash_block_us = 0;
    return config;
  }
  void StartBoard(sim::EmulatedBoardConfig config = FastMonitor()) {
    port_.Close();
    if (board_) board_->Stop();
    board_ = std::make_unique<sim::EmulatedBoard>(hw_, config);
    std::string error;
    ASSERT_TRUE(board_->Start(&error)) << error;
    const std::string path = board_->DevicePath();
    port_.SetPathResolver([path](int) { return path; });
    ASSERT_TRUE(port_.Open(901, OSerialPort::kBaud)) << port_.LastErrorText();
  }
  void SetUp() override {
    Log().SetSink(OLogConsole::Sink::None);
    Log().SetCapture(true);
    Log().TakeCaptured();
  }
  void TearDown() override {
    if (HasFailure() && board_) {
      std::fprintf(stderr, "--- emulated board command log ---\n%s--- end ---\n",
                   board_->CommandLog().Text().c_str());
    }
    port_.Close();
    if (board_) board_->Stop();
    Log().SetCapture(false);
    Log().SetSink(OLogConsole::Sink::Stdout);
  }
  std::string Logged() { return Log().TakeCaptured(); }
  // How many logged frames carry command `code` (0xE6 reads, 0xE7 writes).
  size_t FramesOf(int code) const {
    size_t n = 0;
    for (const sim::BoardLogEntry& e : board_->CommandLog().Entries()) n += e.code == code ? 1 : 0;
    return n;
  }

  sim::RecordingBoardHardware hw_;
  std::unique_ptr<sim::EmulatedBoard> board_;
  OSerialPort port_;
  BootLoaderClient client_{port_};
};

}  // namespace kavu::test
