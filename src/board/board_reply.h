#pragma once
// The board's multi-byte replies, decoded from the bytes read: pure functions, so that whatever
// the board or line noise sends can be checked without a port. OBoardProtocol reads the bytes
// (a short reply never reaches these) and logs what they say.
#include <cstdint>

namespace kavu {

// GetMKBufSz (CD 50): size u16 LE, then its complement u16 LE.
struct BufSizeReply {
  uint32_t size = 0;        // bytes the board holds for a batch
  uint32_t complement = 0;  // must be size XOR FFFF
  bool SignatureOk() const { return complement == (0xFFFFu ^ size); }
  // The signature holds and there is room for a batch (at least 256 bytes).
  bool Usable() const { return SignatureOk() && size >= 256; }
};
BufSizeReply DecodeBufSizeReply(const uint8_t (&r)[4]);

// GetDelaysTimerInfo (CD 29): clock, divider, clock, divider, each u32 LE.
struct TimerInfoReply {
  uint32_t clock = 0, divider = 0, clock2 = 0, divider2 = 0;
  // Timer ticks per second, clock / divider (0 when the divider is 0).
  double TicksPerSecond() const;
  // The copies agree, neither number is 0, and 1 ms is 1 ... 32767 ticks (rounded): only such a
  // timer can time a batch's delays.
  bool Usable() const;
};
TimerInfoReply DecodeTimerInfoReply(const uint8_t (&r)[16]);

// Cmd_GetTIM4 (CD 55): counter u16 LE, then 71.
struct Tim4Reply {
  int counter = 0;  // 0 ... 65535
  bool signature_ok = false;
};
Tim4Reply DecodeTim4Reply(const uint8_t (&r)[3]);

// The end of a batch run (BigCmd2 with run, or BigCmd2_Exec): the low byte of the batch length,
// one byte the program ignores, and the first I2C error of the run (0 for none).
enum class RunReplyVerdict { kOk, kWrongLength, kI2cError };
RunReplyVerdict CheckRunReply(uint8_t length_low, uint8_t i2c_error, int batch_len);

}  // namespace kavu
