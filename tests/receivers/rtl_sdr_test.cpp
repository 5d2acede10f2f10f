// The RTL-SDR back end on the simulated library: streaming through the rings without loss,
// start/stop, tuning limits, direct sampling, rates, gains and an unplugged dongle.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "receivers/o_rtl_sdr.h"
#include "receivers/sample_ring_reader.h"
#include "receivers/sample_rings.h"
#include "shell/settings_store.h"
#include "sim_feed.h"
#include "support/temp_dir.h"

namespace kavu {
namespace {

class RtlSdrTest : public ::testing::Test {
 protected:
  void OpenWith(double speed) {
    feed_ = std::make_unique<test::SimFeed>(speed);
    ASSERT_TRUE(feed_->Attached());
    rtl_.LoadSettings();
    ASSERT_EQ(rtl_.LoadApi(test::SimFeed::LibraryPath()), 0);
    ASSERT_TRUE(rtl_.MyOpen(0));
  }
  test::ScopedSettings settings_;
  std::unique_ptr<test::SimFeed> feed_;
  ORtlSdr rtl_;
};

TEST_F(RtlSdrTest, SecondsOfStreamReachTheReaderWithoutLossOrDuplicates) {
  // Three seconds of 2.4 MS/s in 1.5 s through the library's read thread, the block sink and the
  // rings. The stream ends a little after three seconds and the ring holds all of it, so a reader
  // that a busy host (an emulator, a sanitizer build) holds up is late but never lapped: this is a
  // test of the path's losslessness, not of the reader's speed (a lapped reader has its own test).
  OpenWith(2.0);
  SampleRings rings(1 << 23);
  SampleRingReader reader(rings);
  const uint64_t want = 3ull * 2'400'000;
  const uint64_t stream = want + 65536;
  ASSERT_LT(stream, uint64_t{1} << 23);
  feed_->SetLimit(stream);
  ASSERT_TRUE(rtl_.MyStart(145e6, KavuRtlSdrBlockSink, &rings));
  std::vector<IqEntry> block(4096);
  uint64_t got = 0;
  int expected = -1;
  int breaks = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (got < want && std::chrono::steady_clock::now() < deadline) {
    rings.m_hDataEvent.Wait(100);
    while (reader.Read(block.data(), nullptr, 4096) == SampleRingReader::ReadResult::kOk) {
      for (const IqEntry& e : block) {
        const int v = static_cast<int>(e.i + 128) | static_cast<int>(e.q + 128) << 8;
        if (expected >= 0 && v != expected) ++breaks;
        expected = (v + 1) & 0xFFFF;
      }
      got += block.size();
    }
  }
  rtl_.MyStop();
  EXPECT_GE(got, want);
  EXPECT_EQ(breaks, 0);
  EXPECT_EQ(reader.Overruns(), 0);
  EXPECT_EQ(rtl_.Status(), 0);
  EXPECT_EQ(rings.m_MaxBlockN.load(), 8192u);  // 2^13 bytes, the default buffer step
}

TEST_F(RtlSdrTest, ASlowReaderIsToldOfTheOverrun) {
  OpenWith(50.0);
  SampleRings rings(1 << 14);
  SampleRingReader reader(rings);
  ASSERT_TRUE(rtl_.MyStart(145e6, KavuRtlSdrBlockSink, &rings));
  while (rings.m_WriteCount.load() < 4 * (1u << 14)) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  IqEntry e[16];
  EXPECT_EQ(reader.Read(e, nullptr, 16), SampleRingReader::ReadResult::kOverrun);
  EXPECT_EQ(reader.Overruns(), 1);
  rtl_.MyStop();
}

TEST_F(RtlSdrTest, StopRightAfterStartNeverHangs) {
  OpenWith(1.0);
  SampleRings rings(1 << 16);
  for (int k = 0; k < 20; ++k) {
    ASSERT_TRUE(rtl_.MyStart(100e6, KavuRtlSdrBlockSink, &rings)) << rtl_.ErrorText();
    rtl_.MyStop();
    EXPECT_EQ(rtl_.Status(), 0);
    ASSERT_TRUE(rtl_.MyOpen(0));
  }
  ASSERT_TRUE(rtl_.MyStart(100e6, KavuRtlSdrBlockSink, &rings));
  ASSERT_TRUE(rtl_.RestartStreaming());
  EXPECT_EQ(rtl_.Status(), 2);
  // The reader writes into `rings`, which ends with this body; the fixture's receiver later.
  rtl_.MyStop();
}

TEST_F(RtlSdrTest, FrequenciesOutsideTheLibrarysRangeAreRefused) {
  OpenWith(1.0);
  EXPECT_TRUE(rtl_.SetCenterFreq(1000.0, nullptr, 0));
  EXPECT_EQ(feed_->Center(), 5000u);
  EXPECT_TRUE(rtl_.SetCenterFreq(3'000'000'000.0, nullptr, 0));
  EXPECT_EQ(feed_->Center(), 3'000'000'000u);
  EXPECT_TRUE(rtl_.SetCenterFreq(4294967295.9, nullptr, 0));
  EXPECT_EQ(feed_->Center(), 4294967295u);
  EXPECT_FALSE(rtl_.SetCenterFreq(4294967296.0, nullptr, 0));
  EXPECT_NE(rtl_.ErrorText().find("вне диапазона"), std::string::npos);
  EXPECT_FALSE(rtl_.SetCenterFreq(std::nan(""), nullptr, 0));
  EXPECT_EQ(feed_->Center(), 4294967295u);
}

TEST_F(RtlSdrTest, DirectSamplingFollowsTheThreshold) {
  OpenWith(1.0);
  ASSERT_EQ(rtl_.RtlDirectMode(), 4);
  EXPECT_TRUE(rtl_.SetCenterFreq(24'999'999.0, nullptr, 0));
  EXPECT_EQ(rtl_.CurrentDirectMode(), 2);
  EXPECT_EQ(feed_->Direct(), 2);
  const int configures = feed_->Configures();
  EXPECT_TRUE(rtl_.SetDirectMode(10e6));  // same mode: no library call
  EXPECT_EQ(feed_->Configures(), configures);
  EXPECT_TRUE(rtl_.SetCenterFreq(25'000'000.0, nullptr, 0));
  EXPECT_EQ(rtl_.CurrentDirectMode(), 0);
  EXPECT_EQ(feed_->Direct(), 0);
  rtl_.SetRtlDirectMode(3);
  EXPECT_TRUE(rtl_.SetCenterFreq(1e6, nullptr, 0));
  EXPECT_EQ(feed_->Direct(), 1);
}

TEST_F(RtlSdrTest, RatesGainsAndSettings) {
  Settings().WriteProfileInt("ODlgRtlSdr", "m_RtlGa", 150);
  Settings().WriteProfileInt("ODlgRtlSdr", "m_RtlBufSzStep", 99);
  OpenWith(1.0);
  EXPECT_EQ(rtl_.RtlBufSzStep(), 17);
  EXPECT_EQ(rtl_.SamplingF(), 2'400'000);
  EXPECT_EQ(rtl_.Gains().size(), 29u);
  EXPECT_EQ(rtl_.CurGA(), 144);  // nearest list gain to 15.0 dB
  EXPECT_EQ(rtl_.NearestGainIndex(-50), 0);
  for (const RtlSdrRate& r : kRtlSdrRates) {
    EXPECT_TRUE(rtl_.SetSampleRate(r.hz)) << r.text << ": " << rtl_.ErrorText();
  }
  EXPECT_FALSE(rtl_.SetSampleRate(500'000));
  EXPECT_EQ(rtl_.ErrorText(), "rtlsdr_set_sample_rate() вернула err=-22, FS=500000");
  EXPECT_EQ(rtl_.SamplingF(), 2'400'000);  // the refused rate is not taken as the device's
  EXPECT_EQ(rtl_.ReadSampleRate(), 2'400'000u);
  EXPECT_TRUE(rtl_.SetTunerGain(297));
  EXPECT_EQ(rtl_.CurGA(), 297);
  Settings().WriteProfileInt("ODlgRtlSdr", "m_RtlBufSzStep", -5);
  rtl_.LoadSettings();
  EXPECT_EQ(rtl_.RtlBufSzStep(), 13);
  rtl_.MyStop();
  EXPECT_FALSE(rtl_.SetTunerGain(100));
  EXPECT_EQ(rtl_.ErrorText(), "устройство rtlsdr не открыто");
}

TEST_F(RtlSdrTest, ARestartBeforeTheFirstStartLeavesTheDongleOpenAndIdle) {
  OpenWith(1.0);
  EXPECT_TRUE(rtl_.RestartStreaming());
  EXPECT_EQ(rtl_.Status(), 1);
  ASSERT_FALSE(feed_->LogLines().empty());  // the open was logged
  for (const std::string& l : feed_->LogLines()) EXPECT_NE(l.rfind("start", 0), 0u) << l;
  rtl_.MyStop();
  EXPECT_FALSE(rtl_.RestartStreaming());
  EXPECT_EQ(rtl_.ErrorText(), "устройство rtlsdr не открыто");
  EXPECT_FALSE(rtl_.ReadSampleRate().has_value());
  EXPECT_FALSE(rtl_.ReadTunerGain().has_value());
  EXPECT_FALSE(rtl_.ReadXtal().has_value());
}

TEST_F(RtlSdrTest, AnUnpluggedDongleEndsTheReadWithItsError) {
  OpenWith(1.0);
  SampleRings rings(1 << 16);
  ASSERT_TRUE(rtl_.MyStart(145e6, KavuRtlSdrBlockSink, &rings));
  feed_->SetFault(kKavuSimUnplugged);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (rtl_.Status() == 2 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_EQ(rtl_.Status(), 1);
  EXPECT_EQ(rtl_.ErrorText(), "rtlsdr_read_async() err=-5");
  rtl_.MyStop();
  EXPECT_EQ(rtl_.Status(), 0);
  EXPECT_FALSE(rtl_.MyOpen(0));
  EXPECT_EQ(rtl_.ErrorText(), "rtlsdr_open() err=-3");
}

}  // namespace
}  // namespace kavu

namespace kavu {
namespace {

TEST_F(RtlSdrTest, StreamGoesOnWhenTheFeederDetachesAndAnotherAttaches) {
  OpenWith(1.0);
  SampleRings rings(1 << 20);
  ASSERT_TRUE(rtl_.MyStart(145e6, KavuRtlSdrBlockSink, &rings));
  auto wait_for_more = [&](uint64_t more) {
    const uint64_t start = rings.m_WriteCount.load();
    for (int i = 0; i < 2000 && rings.m_WriteCount.load() < start + more; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return rings.m_WriteCount.load() >= start + more;
  };
  EXPECT_TRUE(wait_for_more(20000));
  feed_.reset();  // detached: the library feeds itself
  EXPECT_TRUE(wait_for_more(20000));
  feed_ = std::make_unique<test::SimFeed>(1.0);  // a fresh clock that starts at 0
  ASSERT_TRUE(feed_->Attached());
  EXPECT_TRUE(wait_for_more(20000));
  rtl_.MyStop();
}

}  // namespace
}  // namespace kavu
