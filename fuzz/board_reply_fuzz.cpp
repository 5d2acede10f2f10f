// Feeds arbitrary bytes to the decoders of the board's replies, as if the board (or line noise
// on the serial line) had sent them. A reply called usable must be one the program can work
// with: a batch buffer of 256 bytes or more, a timer whose tick rate is finite and puts 1 ms at
// 1 ... 32767 ticks. Values encoded as the board encodes them decode back unchanged.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "board/board_reply.h"

namespace {

using namespace kavu;

void Check(bool ok) {
  if (!ok) std::abort();
}

void PutU16(uint8_t* b, uint32_t v) {
  b[0] = static_cast<uint8_t>(v);
  b[1] = static_cast<uint8_t>(v >> 8);
}

void CheckBufSize(const uint8_t* data) {
  uint8_t r[4];
  std::memcpy(r, data, sizeof r);
  const BufSizeReply reply = DecodeBufSizeReply(r);
  Check(reply.size <= 0xFFFF && reply.complement <= 0xFFFF);
  if (reply.Usable()) Check(reply.SignatureOk() && reply.size >= 256);
  PutU16(r + 2, 0xFFFFu ^ reply.size);
  const BufSizeReply sound = DecodeBufSizeReply(r);
  Check(sound.size == reply.size && sound.SignatureOk() && sound.Usable() == (reply.size >= 256));
}

void CheckTimerInfo(const uint8_t* data) {
  uint8_t r[16];
  std::memcpy(r, data, sizeof r);
  const TimerInfoReply reply = DecodeTimerInfoReply(r);
  if (!reply.Usable()) return;
  Check(reply.clock == reply.clock2 && reply.divider == reply.divider2 && reply.divider != 0);
  const double rate = reply.TicksPerSecond();
  Check(std::isfinite(rate) && rate * 0.001 + 0.5 >= 1.0 && rate * 0.001 + 0.5 < 32768.0);
  // What the protocol logs and the batch timing divide by.
  Check(std::isfinite(65536.0 / reply.clock * reply.divider * 1000.0));
}

void CheckTim4(const uint8_t* data) {
  uint8_t r[3];
  std::memcpy(r, data, sizeof r);
  const Tim4Reply reply = DecodeTim4Reply(r);
  Check(reply.counter >= 0 && reply.counter <= 0xFFFF && reply.signature_ok == (r[2] == 0x71));
  Check((reply.counter & 0xFF) == r[0] && (reply.counter >> 8) == r[1]);
}

void CheckRun(const uint8_t* data) {
  const int len = 1 + ((data[2] | (data[3] << 8)) % 8192);
  const RunReplyVerdict v = CheckRunReply(data[0], data[1], len);
  if (v == RunReplyVerdict::kOk) Check(data[0] == (len & 0xFF) && data[1] == 0);
  if (data[0] != (len & 0xFF)) Check(v == RunReplyVerdict::kWrongLength);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One reply of each kind per input: 4 + 16 + 3 + 4 bytes.
  if (size < 27) return 0;
  CheckBufSize(data);
  CheckTimerInfo(data + 4);
  CheckTim4(data + 20);
  CheckRun(data + 23);
  return 0;
}
