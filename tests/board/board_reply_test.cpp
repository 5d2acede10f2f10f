#include "board/board_reply.h"

#include <gtest/gtest.h>

namespace kavu {
namespace {

TEST(BoardReply, BufferSizeNeedsItsComplementAndRoom) {
  const uint8_t sound[4] = {0x00, 0x06, 0xFF, 0xF9};  // 1536, FFFF ^ 1536
  EXPECT_EQ(DecodeBufSizeReply(sound).size, 1536u);
  EXPECT_TRUE(DecodeBufSizeReply(sound).Usable());
  const uint8_t noise[4] = {0x00, 0x06, 0xFF, 0xF8};
  EXPECT_FALSE(DecodeBufSizeReply(noise).SignatureOk());
  EXPECT_FALSE(DecodeBufSizeReply(noise).Usable());
  const uint8_t small[4] = {0xFF, 0x00, 0x00, 0xFF};  // 255 with a good complement
  EXPECT_TRUE(DecodeBufSizeReply(small).SignatureOk());
  EXPECT_FALSE(DecodeBufSizeReply(small).Usable());
}

TEST(BoardReply, TimerInfoCopiesMustAgreeAndTimeAMillisecond) {
  // 10 MHz / 64 = 156250 ticks/s: 156 ticks per ms.
  const uint8_t sound[16] = {0x80, 0x96, 0x98, 0x00, 64, 0, 0, 0, 0x80, 0x96, 0x98, 0x00, 64, 0, 0, 0};
  const TimerInfoReply t = DecodeTimerInfoReply(sound);
  EXPECT_EQ(t.clock, 10'000'000u);
  EXPECT_EQ(t.divider, 64u);
  EXPECT_DOUBLE_EQ(t.TicksPerSecond(), 156250.0);
  EXPECT_TRUE(t.Usable());

  uint8_t copies_differ[16];
  std::copy(std::begin(sound), std::end(sound), copies_differ);
  copies_differ[12] = 65;
  EXPECT_FALSE(DecodeTimerInfoReply(copies_differ).Usable());

  const uint8_t zero_divider[16] = {0x80, 0x96, 0x98, 0x00, 0, 0, 0, 0, 0x80, 0x96, 0x98, 0x00, 0, 0, 0, 0};
  EXPECT_EQ(DecodeTimerInfoReply(zero_divider).TicksPerSecond(), 0.0);
  EXPECT_FALSE(DecodeTimerInfoReply(zero_divider).Usable());

  // 1 ms must be 1 ... 32767 ticks after rounding: 500 ticks/s rounds up to 1, 499 does not;
  // 32767499 ticks/s is the fastest that fits.
  auto timer = [](uint32_t clock) {
    TimerInfoReply t;
    t.clock = t.clock2 = clock;
    t.divider = t.divider2 = 1;
    return t;
  };
  EXPECT_TRUE(timer(500).Usable());
  EXPECT_FALSE(timer(499).Usable());
  EXPECT_TRUE(timer(32'767'499).Usable());
  EXPECT_FALSE(timer(32'767'500).Usable());
}

TEST(BoardReply, Tim4AndRunReplies) {
  const uint8_t tim4[3] = {0x34, 0x12, 0x71};
  EXPECT_EQ(DecodeTim4Reply(tim4).counter, 0x1234);
  EXPECT_TRUE(DecodeTim4Reply(tim4).signature_ok);
  const uint8_t wrong[3] = {0x34, 0x12, 0x70};
  EXPECT_FALSE(DecodeTim4Reply(wrong).signature_ok);

  EXPECT_EQ(CheckRunReply(0x07, 0, 7), RunReplyVerdict::kOk);
  EXPECT_EQ(CheckRunReply(0x07, 0, 0x107), RunReplyVerdict::kOk);  // the low byte only
  EXPECT_EQ(CheckRunReply(0x08, 0, 7), RunReplyVerdict::kWrongLength);
  EXPECT_EQ(CheckRunReply(0x08, 0x21, 7), RunReplyVerdict::kWrongLength);  // the length first
  EXPECT_EQ(CheckRunReply(0x07, 0x21, 7), RunReplyVerdict::kI2cError);
}

}  // namespace
}  // namespace kavu
