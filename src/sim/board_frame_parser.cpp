#include "sim/board_frame_parser.h"

#include "sim/firmware_assumptions.h"

namespace kavu::sim {

uint8_t FirmwareCrc8Step(uint8_t reg, uint8_t byte) {
  reg ^= byte;
  for (int i = 0; i < 8; ++i) {
    reg = (reg & 0x80) ? static_cast<uint8_t>((reg << 1) ^ 0xD5) : static_cast<uint8_t>(reg << 1);
  }
  return reg;
}

uint8_t FirmwareCheckByte(uint16_t len, const uint8_t* data, size_t count) {
  uint8_t reg = static_cast<uint8_t>(len & 0xFF);
  reg = FirmwareCrc8Step(reg, static_cast<uint8_t>(len >> 8));
  for (size_t i = 0; i < count; ++i) reg = FirmwareCrc8Step(reg, data[i]);
  return static_cast<uint8_t>(~reg);
}

int BoardFrameParser::ParamCount(uint8_t code) {
  switch (code) {
    case kCmdGetDelaysTimerInfo:
    case kCmdI2cIn:
    case kCmdGetMkBufSz:
    case kCmdGetTim4:
    case kCmdBigCmdExec:
      return 0;
    case kCmdSpiSetMode:
    case kCmdSpiOut:
    case kCmdI2cCond:
    case kCmdI2cOut:
      return 1;
    case kCmdSetMinusGenPeriod:
    case kCmdSetCs:
      return 2;
    case kCmdSetBigCmdAbonent:
      return 3;
    default:
      return -1;
  }
}

BoardFrame BoardFrameParser::Take() {
  BoardFrame f = std::move(current_);
  current_ = BoardFrame{};
  in_frame_ = false;
  return f;
}

std::optional<BoardFrame> BoardFrameParser::Feed(uint8_t byte, int64_t now_ms) {
  last_byte_ms_ = now_ms;
  if (!in_frame_) {
    if (byte != kFramePrefix) {
      current_.kind = BoardFrame::Kind::kStray;
      current_.raw.push_back(byte);
      return std::nullopt;
    }
    std::optional<BoardFrame> stray;
    if (!current_.raw.empty()) stray = Take();
    in_frame_ = true;
    current_.raw.push_back(byte);
    return stray;
  }
  BoardFrame& f = current_;
  f.raw.push_back(byte);
  const size_t n = f.raw.size();
  if (n == 2) {
    f.code = byte;
    if (byte == kCmdBigCmdStore || byte == kCmdBigCmdStoreRun) {
      f.kind = BoardFrame::Kind::kBatch;
      return std::nullopt;
    }
    const int count = ParamCount(byte);
    f.kind = count < 0 ? BoardFrame::Kind::kUnknown : BoardFrame::Kind::kCommand;
    if (count <= 0) return Take();
    return std::nullopt;
  }
  if (f.kind == BoardFrame::Kind::kCommand) {
    f.params.push_back(byte);
    if (static_cast<int>(f.params.size()) == ParamCount(f.code)) return Take();
    return std::nullopt;
  }
  // Batch: CD code len_lo len_hi data[len] check.
  if (n == 3) return std::nullopt;
  if (n == 4) {
    f.len = static_cast<uint16_t>(f.raw[2] | (f.raw[3] << 8));
    return std::nullopt;
  }
  if (f.params.size() < f.len) {
    f.params.push_back(byte);
    return std::nullopt;
  }
  f.check_ok = byte == FirmwareCheckByte(f.len, f.params.data(), f.params.size());
  return Take();
}

std::optional<BoardFrame> BoardFrameParser::CheckGap(int64_t now_ms) {
  if (current_.raw.empty() || now_ms - last_byte_ms_ < kFrameGapMs) return std::nullopt;
  BoardFrame f = Take();
  f.kind = BoardFrame::Kind::kStray;
  return f;
}

int64_t BoardFrameParser::GapDeadline() const {
  return current_.raw.empty() ? -1 : last_byte_ms_ + kFrameGapMs;
}

}  // namespace kavu::sim
