#pragma once
// A test with the emulated board on a real pseudo-terminal and the program's serial port and
// protocol opened on it. When the test fails, the board's command log is printed and written to
// <build>/test-logs/<suite>.<test>.board.log.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <string>

#include "board/board_protocol.h"
#include "board/serial_port.h"
#include "shell/log_console.h"
#include "sim/emulated_board.h"
#include "support/recording_board_hardware.h"

namespace kavu::test {

class EmulatedBoardTest : public ::testing::Test {
 protected:
  // Starts a board with `config` on a new pseudo-terminal and opens the port on it.
  void StartBoard(sim::EmulatedBoardConfig config = {}) {
    StopBoard();
    board_ = std::make_unique<sim::EmulatedBoard>(hw_, config);
    std::string error;
    ASSERT_TRUE(board_->Start(&error)) << error;
    const std::string path = board_->DevicePath();
    port_.SetPathResolver([path](int) { return path; });
    ASSERT_TRUE(port_.Open(901, OSerialPort::kBaud)) << port_.LastErrorText();
  }
  void StopBoard() {
    port_.Close();
    if (board_) board_->Stop();
  }

  void SetUp() override {
    Log().SetSink(OLogConsole::Sink::None);
    Log().SetCapture(true);
    Log().TakeCaptured();
  }
  void TearDown() override {
    if (HasFailure() && board_) {
      const std::string text = board_->CommandLog().Text();
      std::fprintf(stderr, "--- emulated board command log ---\n%s--- end ---\n", text.c_str());
      const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
      const std::string dir = std::string(KAVU_BINARY_DIR) + "/test-logs";
      ::mkdir(dir.c_str(), 0755);
      board_->CommandLog().WriteTo(dir + "/" + info->test_suite_name() + "." + info->name() +
                                   ".board.log");
    }
    StopBoard();
    Log().SetCapture(false);
    Log().SetSink(OLogConsole::Sink::Stdout);
  }

  // Everything logged since the last call.
  std::string Logged() { return Log().TakeCaptured(); }
  // The request bytes of log entry `i` as hex text.
  std::string Request(size_t i) {
    const auto entries = board_->CommandLog().Entries();
    return i < entries.size() ? sim::BoardCommandLog::Hex(entries[i].request, 10000) : "(none)";
  }
  std::string Reply(size_t i) {
    const auto entries = board_->CommandLog().Entries();
    return i < entries.size() ? sim::BoardCommandLog::Hex(entries[i].reply, 10000) : "(none)";
  }

  sim::RecordingBoardHardware hw_;
  std::unique_ptr<sim::EmulatedBoard> board_;
  OSerialPort port_;
  OBoardProtocol proto_{port_};
};

}  // namespace kavu::test
