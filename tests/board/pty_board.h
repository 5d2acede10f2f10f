#pragma once
// For tests: the emulated board with some hardware behind it on a pseudo-terminal, the program's
// port and protocol opened on it, and the log captured (not printed) while it lives.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "board/board_protocol.h"
#include "board/serial_port.h"
#include "shell/log_console.h"
#include "sim/emulated_board.h"

namespace kavu::test {

class PtyBoard {
 public:
  PtyBoard() {
    Log().SetSink(OLogConsole::Sink::None);
    Log().SetCapture(true);
    Log().TakeCaptured();
  }
  ~PtyBoard() {
    Stop();
    Log().SetCapture(false);
    Log().SetSink(OLogConsole::Sink::Stdout);
  }
  // Starts a board with `hw` behind it (replacing one that runs) and opens the port on it.
  void Start(sim::IBoardHardware& hw, sim::EmulatedBoardConfig cfg = {}) {
    Stop();
    board = std::make_unique<sim::EmulatedBoard>(hw, cfg);
    std::string error;
    ASSERT_TRUE(board->Start(&error)) << error;
    const std::string path = board->DevicePath();
    port.SetPathResolver([path](int) { return path; });
    ASSERT_TRUE(port.Open(901, OSerialPort::kBaud)) << port.LastErrorText();
  }
  void Stop() {
    port.Close();
    if (board) board->Stop();
  }
  // Everything logged since the last call.
  static std::string Logged() { return Log().TakeCaptured(); }

  std::unique_ptr<sim::EmulatedBoard> board;
  OSerialPort port;
  OBoardProtocol proto{port};
};

}  // namespace kavu::test
