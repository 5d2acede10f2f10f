#include "sim/board_fault.h"

namespace kavu::sim {
namespace {

struct Named {
  BoardFaultKind kind;
  const char* name;
};
constexpr Named kNames[] = {
    {BoardFaultKind::kNoReply, "no-reply"},     {BoardFaultKind::kShortReply, "short-reply"},
    {BoardFaultKind::kWrongByte, "wrong-byte"}, {BoardFaultKind::kLateReply, "late-reply"},
    {BoardFaultKind::kI2cNack, "i2c-nack"},     {BoardFaultKind::kUnplug, "unplug"},
    {BoardFaultKind::kProtect, "protect"},
};

}  // namespace

const char* BoardFaultName(BoardFaultKind kind) {
  for (const Named& n : kNames) {
    if (n.kind == kind) return n.name;
  }
  return "?";
}

std::optional<BoardFaultKind> ParseBoardFaultKind(std::string_view name) {
  for (const Named& n : kNames) {
    if (name == n.name) return n.kind;
  }
  return std::nullopt;
}

}  // namespace kavu::sim
