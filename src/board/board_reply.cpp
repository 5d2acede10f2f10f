#include "board/board_reply.h"

namespace kavu {
namespace {

uint32_t U16(const uint8_t* b) { return static_cast<uint32_t>(b[0] | (b[1] << 8)); }
uint32_t U32(const uint8_t* b) { return U16(b) | (U16(b + 2) << 16); }

}  // namespace

BufSizeReply DecodeBufSizeReply(const uint8_t (&r)[4]) { return {U16(r), U16(r + 2)}; }

double TimerInfoReply::TicksPerSecond() const {
  return divider == 0 ? 0.0 : static_cast<double>(clock) / divider;
}

bool TimerInfoReply::Usable() const {
  const double ms_ticks = TicksPerSecond() * 0.001 + 0.5;
  return clock == clock2 && divider == divider2 && clock != 0 && divider != 0 && ms_ticks >= 1.0 &&
         ms_ticks < 32768.0;
}

TimerInfoReply DecodeTimerInfoReply(const uint8_t (&r)[16]) {
  return {U32(r), U32(r + 4), U32(r + 8), U32(r + 12)};
}

Tim4Reply DecodeTim4Reply(const uint8_t (&r)[3]) { return {static_cast<int>(U16(r)), r[2] == 0x71}; }

RunReplyVerdict CheckRunReply(uint8_t length_low, uint8_t i2c_error, int batch_len) {
  if (length_low != (static_cast<uint32_t>(batch_len) & 0xFFu)) return RunReplyVerdict::kWrongLength;
  if (i2c_error != 0) return RunReplyVerdict::kI2cError;
  return RunReplyVerdict::kOk;
}

}  // namespace kavu
