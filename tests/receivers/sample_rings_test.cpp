// The delivery contract of the sample rings and the reader's overrun detection.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "receivers/sample_ring_reader.h"
#include "receivers/sample_rings.h"

namespace kavu {
namespace {

TEST(SampleRings, ConvertsUnsigned8BitAndFlagsRailValues) {
  SampleRings rings(16);
  const uint8_t block[] = {128, 128, 129, 127, 0, 200, 7};  // odd count: the 7 is ignored
  rings.DeliverU8(block, sizeof block);
  EXPECT_EQ(rings.m_RingWr.load(), 3);
  EXPECT_EQ(rings.m_WriteCount.load(), 3u);
  EXPECT_EQ(rings.m_MaxBlockN.load(), 7u);  // in bytes, as the library gives it
  EXPECT_FLOAT_EQ(rings.RingA()[0].i, 0.0f);
  EXPECT_FLOAT_EQ(rings.RingA()[1].i, 1.0f);
  EXPECT_FLOAT_EQ(rings.RingA()[1].q, -1.0f);
  EXPECT_FLOAT_EQ(rings.RingA()[2].i, -128.0f);
  EXPECT_FLOAT_EQ(rings.RingA()[2].q, 72.0f);
  EXPECT_EQ(rings.m_OverloadA.load(), 1);  // one per block, not per rail value
  EXPECT_TRUE(rings.m_hDataEvent.Wait(0));

  const uint8_t clean[] = {1, 254, 100, 2};
  rings.DeliverU8(clean, sizeof clean);
  EXPECT_EQ(rings.m_OverloadA.load(), 1);
  const uint8_t two_rails[] = {255, 255, 0, 0};
  rings.DeliverU8(two_rails, sizeof two_rails);
  EXPECT_EQ(rings.m_OverloadA.load(), 2);
  EXPECT_EQ(rings.m_MaxBlockN.load(), 7u);
}

TEST(SampleRings, ConvertsSigned8BitAnd16Bit) {
  SampleRings rings(8);
  const int8_t block[] = {-128, 5, 126, -127};
  rings.DeliverS8(block, sizeof block);
  EXPECT_FLOAT_EQ(rings.RingA()[0].i, -128.0f);
  EXPECT_FLOAT_EQ(rings.RingA()[1].i, 126.0f);
  EXPECT_EQ(rings.m_OverloadA.load(), 1);
  const int8_t inner[] = {126, -127};
  rings.DeliverS8(inner, sizeof inner);
  EXPECT_EQ(rings.m_OverloadA.load(), 1);

  const int16_t xi[] = {-32768, 32767, 5}, xq[] = {1, 2, -3};
  rings.DeliverI16(xi, xq, 3);
  EXPECT_EQ(rings.m_RingWr.load(), 6);
  EXPECT_FLOAT_EQ(rings.RingA()[3].i, -32768.0f);
  EXPECT_FLOAT_EQ(rings.RingA()[5].q, -3.0f);
  EXPECT_EQ(rings.m_OverloadA.load(), 1);  // no rail test for 16-bit samples
}

TEST(SampleRings, PluginBlocksRemoveTheOffsetOrMidScaleAndCountNoRails) {
  SampleRings rings(4);
  const int16_t i16[] = {-32768, 32767, 10, -10, 3, 3};  // three pairs, two at the rails
  rings.DeliverExtIOI16(i16, 3, 2.5f);
  EXPECT_EQ(rings.m_RingWr.load(), 3);
  EXPECT_EQ(rings.m_MaxBlockN.load(), 3u);  // in pairs
  EXPECT_FLOAT_EQ(rings.RingA()[0].i, -32770.5f);
  EXPECT_FLOAT_EQ(rings.RingA()[0].q, 32764.5f);
  EXPECT_FLOAT_EQ(rings.RingA()[1].i, 7.5f);
  EXPECT_FLOAT_EQ(rings.RingA()[2].q, 0.5f);
  const float f32[] = {1.25f, -2.0f, 40000.0f, -40000.0f};
  rings.DeliverExtIOF32(f32, 2, -0.75f);  // wraps: entries 3 and 0
  EXPECT_EQ(rings.m_RingWr.load(), 1);
  EXPECT_FLOAT_EQ(rings.RingA()[3].i, 2.0f);
  EXPECT_FLOAT_EQ(rings.RingA()[3].q, -1.25f);
  EXPECT_FLOAT_EQ(rings.RingA()[0].i, 40000.75f);
  const uint8_t u8[] = {0, 255, 128, 127, 9};  // the odd byte is not part of a pair
  rings.DeliverExtIOU8(u8, 2);
  EXPECT_FLOAT_EQ(rings.RingA()[1].i, -128.0f);
  EXPECT_FLOAT_EQ(rings.RingA()[1].q, 127.0f);
  EXPECT_FLOAT_EQ(rings.RingA()[2].i, 0.0f);
  EXPECT_FLOAT_EQ(rings.RingA()[2].q, -1.0f);
  EXPECT_EQ(rings.m_WriteCount.load(), 7u);
  EXPECT_EQ(rings.m_OverloadA.load(), 0) << "plug-in blocks have no rail test";
  rings.m_SkipBlocks = 1;
  rings.DeliverExtIOU8(u8, 2);
  EXPECT_EQ(rings.m_WriteCount.load(), 7u);
  EXPECT_EQ(rings.m_SkipBlocks.load(), 0);
}

TEST(SampleRings, WrapsAtTheEndAndABlockEndingOnTheLastEntryLeavesIndexZero) {
  SampleRings rings(5);
  const uint8_t three[] = {129, 129, 130, 130, 131, 131};
  rings.DeliverU8(three, sizeof three);
  const uint8_t two[] = {132, 132, 133, 133};
  rings.DeliverU8(two, sizeof two);
  EXPECT_EQ(rings.m_RingWr.load(), 0);
  const uint8_t more[] = {134, 134, 135, 135};
  rings.DeliverU8(more, sizeof more);
  EXPECT_EQ(rings.m_RingWr.load(), 2);
  EXPECT_FLOAT_EQ(rings.RingA()[0].i, 6.0f);
  EXPECT_FLOAT_EQ(rings.RingA()[1].i, 7.0f);
  EXPECT_FLOAT_EQ(rings.RingA()[4].i, 5.0f);
  EXPECT_EQ(rings.m_WriteCount.load(), 7u);
}

TEST(SampleRings, SkipsDropBlocksWithoutEventAndTheNextIsDelivered) {
  SampleRings rings(8);
  rings.m_SkipBlocks = 1;
  const uint8_t b[] = {0, 0, 10, 10};
  rings.DeliverU8(b, sizeof b);
  EXPECT_EQ(rings.m_SkipBlocks.load(), 0);
  EXPECT_EQ(rings.m_RingWr.load(), 0);
  EXPECT_EQ(rings.m_OverloadA.load(), 0);
  EXPECT_EQ(rings.m_MaxBlockN.load(), 4u);  // recorded before the skip test
  EXPECT_FALSE(rings.m_hDataEvent.Wait(0));
  rings.DeliverU8(b, sizeof b);
  EXPECT_EQ(rings.m_RingWr.load(), 2);
  EXPECT_TRUE(rings.m_hDataEvent.Wait(0));

  rings.m_SkipBlocks = 1'000'000'000;
  for (int k = 0; k < 10; ++k) rings.DeliverU8(b, sizeof b);
  EXPECT_EQ(rings.m_SkipBlocks.load(), 1'000'000'000 - 10);
  EXPECT_EQ(rings.m_RingWr.load(), 2);
}

TEST(SampleRings, DualTunerKeepsTheRingsAlignedAndNeverReadsBeyondStaging) {
  SampleRings rings(8);
  const int16_t ai[] = {1, 2}, aq[] = {-1, -2};
  const int16_t bi[] = {10, 20, 30}, bq[] = {-10, -20, -30};
  rings.StageA(ai, aq, 2);
  rings.DeliverDualB(bi, bq, 3);  // longer than the staged block: logged, rest from staging
  EXPECT_EQ(rings.m_RingWr.load(), 3);
  EXPECT_FLOAT_EQ(rings.RingA()[0].i, 1.0f);
  EXPECT_FLOAT_EQ(rings.RingA()[1].q, -2.0f);
  EXPECT_FLOAT_EQ(rings.RingB()[2].i, 30.0f);

  std::vector<int16_t> big(SampleRings::kStagedCapacity + 10, 7);
  SampleRings large(SampleRings::kStagedCapacity + 16);
  large.StageA(big.data(), big.data(), static_cast<uint32_t>(big.size()));
  large.DeliverDualB(big.data(), big.data(), static_cast<uint32_t>(big.size()));
  EXPECT_FLOAT_EQ(large.RingA()[SampleRings::kStagedCapacity - 1].i, 7.0f);
  EXPECT_FLOAT_EQ(large.RingA()[SampleRings::kStagedCapacity + 5].i, 0.0f);
}

TEST(SampleRingReader, ReadsInOrderAcrossTheWrap) {
  SampleRings rings(6);
  SampleRingReader reader(rings);
  uint8_t v = 130;
  std::vector<IqEntry> out(4);
  for (int round = 0; round < 5; ++round) {
    uint8_t block[8];
    for (int k = 0; k < 4; ++k) block[2 * k] = block[2 * k + 1] = v++;
    rings.DeliverU8(block, sizeof block);
    ASSERT_EQ(reader.Read(out.data(), nullptr, 4), SampleRingReader::ReadResult::kOk);
    for (int k = 0; k < 4; ++k) EXPECT_FLOAT_EQ(out[k].i, static_cast<float>(130 + 4 * round + k - 128));
  }
  EXPECT_EQ(reader.Read(out.data(), nullptr, 1), SampleRingReader::ReadResult::kNotEnough);
  EXPECT_EQ(reader.Overruns(), 0);
}

TEST(SampleRingReader, DetectsBeingLappedOnceAndResynchronises) {
  SampleRings rings(8);
  SampleRingReader reader(rings);
  const uint8_t block[] = {1, 1, 2, 2, 3, 3, 4, 4};
  for (int k = 0; k < 3; ++k) rings.DeliverU8(block, sizeof block);  // 12 entries > 8
  // The ring index alone looks harmless: 12 mod 8 = 4.
  EXPECT_EQ(rings.m_RingWr.load(), 4);
  IqEntry out[4];
  EXPECT_EQ(reader.Read(out, nullptr, 4), SampleRingReader::ReadResult::kOverrun);
  EXPECT_EQ(reader.Overruns(), 1);
  EXPECT_EQ(reader.LostEntries(), 12u);
  EXPECT_EQ(reader.Position(), 12u);
  EXPECT_EQ(reader.Read(out, nullptr, 4), SampleRingReader::ReadResult::kNotEnough);
  rings.DeliverU8(block, sizeof block);
  EXPECT_EQ(reader.Read(out, nullptr, 4), SampleRingReader::ReadResult::kOk);
  EXPECT_EQ(reader.Overruns(), 1);  // reported once
}

TEST(SampleRings, EventWakesAWaiterAndCoalescesSignals) {
  SampleRings rings(64);
  std::atomic<bool> woke{false};
  std::thread waiter([&] { woke = rings.m_hDataEvent.Wait(5000); });
  const uint8_t b[] = {1, 2};
  rings.DeliverU8(b, 2);
  waiter.join();
  EXPECT_TRUE(woke.load());
  rings.DeliverU8(b, 2);
  rings.DeliverU8(b, 2);
  EXPECT_TRUE(rings.m_hDataEvent.Wait(0));
  EXPECT_FALSE(rings.m_hDataEvent.Wait(10));  // auto-reset: one wake-up for both
}

// The receiver's thread converting 8-bit blocks into the ring while the sample loop reads on
// another thread, and now and then falls behind on purpose until it has been lapped: the
// producer overwrites entries the reader copies or has copied, as it does in the program. Every
// read is either a whole, correct copy or an overrun, never a torn copy taken for good (and
// under ThreadSanitizer in CI, never a data race on an entry).
TEST(SampleRingReader, AProducerLappingTheReaderGivesOverrunsNeverTornCopies) {
  constexpr int32_t kCapacity = 4096;
  constexpr int32_t kRead = 256;
  constexpr uint32_t kPairs = 64;
  SampleRings rings(kCapacity);
  std::atomic<bool> stop{false};
  // Entry p of the stream holds I = (p mod 251) - 128 and Q = (p mod 253) - 128: periods that do
  // not divide the ring, so an entry overwritten a lap later always differs.
  const auto expected = [](uint64_t p) {
    return IqEntry{static_cast<float>(p % 251) - 128.0f, static_cast<float>(p % 253) - 128.0f};
  };
  std::thread producer([&] {
    uint8_t block[2 * kPairs];
    uint64_t p = 0;
    while (!stop.load(std::memory_order_relaxed)) {
      for (uint32_t k = 0; k < kPairs; ++k, ++p) {
        block[2 * k] = static_cast<uint8_t>(p % 251);
        block[2 * k + 1] = static_cast<uint8_t>(p % 253);
      }
      rings.DeliverU8(block, sizeof block);
    }
  });
  SampleRingReader reader(rings);
  std::vector<IqEntry> out(kRead);
  int ok = 0;
  int torn = 0;
  // Bounded only against a producer that stopped: it never waits for the reader.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  bool stalled = false;
  for (int64_t attempt = 0; !stalled && (ok < 200 || reader.Overruns() < 20); ++attempt) {
    stalled = std::chrono::steady_clock::now() > deadline;
    if (attempt % 16 == 0) {
      const uint64_t from = reader.Position();
      while (rings.m_WriteCount.load(std::memory_order_acquire) - from <= uint64_t{kCapacity} && !stalled) {
        std::this_thread::yield();
        stalled = std::chrono::steady_clock::now() > deadline;
      }
    }
    const uint64_t position = reader.Position();
    if (reader.Read(out.data(), nullptr, kRead) != SampleRingReader::ReadResult::kOk) continue;
    ++ok;
    for (uint64_t k = 0; k < kRead; ++k) {
      const IqEntry e = expected(position + k);
      if (out[k].i != e.i || out[k].q != e.q) ++torn;
    }
  }
  stop.store(true);
  producer.join();
  ASSERT_FALSE(stalled) << ok << " good reads, " << reader.Overruns() << " overruns in the time";
  EXPECT_EQ(torn, 0);
  EXPECT_GE(reader.Overruns(), 20);
  EXPECT_GT(reader.LostEntries(), uint64_t{20} * kCapacity);  // each overrun lost over a ring's worth
}

}  // namespace
}  // namespace kavu
