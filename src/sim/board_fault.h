#pragma once
// Faults the emulated board can be told to commit, so the program's failure paths are exercised.
#include <optional>
#include <string>
#include <string_view>

namespace kavu::sim {

enum class BoardFaultKind {
  kNoReply,     // the command is carried out, its reply is lost
  kShortReply,  // the reply loses its last byte
  kWrongByte,   // one reply byte is inverted (byte_index, clamped to the last)
  kLateReply,   // the reply goes out late_ms later than due; the board reads nothing meanwhile
  kI2cNack,     // I2C_Out and batch runs report an address not acknowledged (other commands
                // are left alone)
  kUnplug,      // the device disappears when the command arrives (the command is lost)
  kProtect,     // the boot loader answers a block write 0xEE and leaves the block unchanged
};

struct BoardFault {
  BoardFaultKind kind = BoardFaultKind::kNoReply;
  int command = -1;  // command code the fault applies to; -1 = any
  int count = 1;     // how many matching commands; -1 = every one from now on
  int skip = 0;      // matching commands to let pass untouched first
  int byte_index = 0;
  int late_ms = 1500;
};

// "no-reply", "short-reply", "wrong-byte", "late-reply", "i2c-nack", "unplug", "protect".
const char* BoardFaultName(BoardFaultKind kind);
std::optional<BoardFaultKind> ParseBoardFaultKind(std::string_view name);

}  // namespace kavu::sim
