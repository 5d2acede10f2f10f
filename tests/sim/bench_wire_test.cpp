// The bench socket protocol's byte encoding: golden frames, round trips, and every way a stream
// can be cut short or malformed.
#include "sim/bench_wire.h"

#include <gtest/gtest.h>

#include <vector>

namespace kavu::sim::wire {
namespace {

using Bytes = std::vector<uint8_t>;

// Feeds `frame` to a fresh reader and returns what it decodes (ok false when it is not exactly
// one well-formed frame).
Message DecodeOne(const Bytes& frame, bool* ok, std::string* error = nullptr) {
  FrameReader r;
  r.Append(frame.data(), frame.size());
  Message m;
  std::string e;
  *ok = r.Next(&m, &e) == FrameReader::Status::kFrame && r.Buffered() == 0;
  if (error) *error = e;
  return m;
}

TEST(BenchWire, RequestsEncodeToGoldenBytes) {
  EXPECT_EQ(EncodeHello(), (Bytes{7, 0, 0, 0, 0x01, 'K', 'V', 'S', 'B', 2, 0}));
  EXPECT_EQ(EncodeConfigure(2'400'000, 140'000'000, -10, 2),
            (Bytes{21, 0, 0, 0, 0x02, 0x00, 0x9F, 0x24, 0x00, 0x00, 0x3B, 0x58, 0x08, 0, 0, 0, 0,
                   0xF6, 0xFF, 0xFF, 0xFF, 0x02, 0x00, 0x00, 0x00}));
  // A centre above 4.29 GHz keeps its upper bytes.
  EXPECT_EQ(EncodeConfigure(20'000'000, 0x0000000158A0B2C0ull, 0, 0),
            (Bytes{21, 0, 0, 0, 0x02, 0x00, 0x2D, 0x31, 0x01, 0xC0, 0xB2, 0xA0, 0x58, 0x01, 0, 0, 0,
                   0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(EncodeDue(), (Bytes{1, 0, 0, 0, 0x03}));
  EXPECT_EQ(EncodeFill(0x0102030405060708ull, kKavuSimS8, 8192),
            (Bytes{17, 0, 0, 0, 0x04, 8, 7, 6, 5, 4, 3, 2, 1, 1, 0, 0, 0, 0x00, 0x20, 0x00, 0x00}));
  EXPECT_EQ(EncodeFault(), (Bytes{1, 0, 0, 0, 0x05}));
  EXPECT_EQ(EncodeLog("open"), (Bytes{5, 0, 0, 0, 0x06, 'o', 'p', 'e', 'n'}));
  EXPECT_EQ(EncodeLog(std::string(2000, 'x')).size(), 4u + 1 + kMaxLogBytes);
}

TEST(BenchWire, RepliesEncodeToGoldenBytes) {
  EXPECT_EQ(EncodeHelloReply(kHelloBusy), (Bytes{4, 0, 0, 0, 0x81, 2, 0, 1}));
  EXPECT_EQ(EncodeEmptyReply(MsgType::kConfigure), (Bytes{1, 0, 0, 0, 0x82}));
  EXPECT_EQ(EncodeEmptyReply(MsgType::kLog), (Bytes{1, 0, 0, 0, 0x86}));
  EXPECT_EQ(EncodeDueReply(0x1122334455667788ull),
            (Bytes{9, 0, 0, 0, 0x83, 0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11}));
  EXPECT_EQ(EncodeFaultReply(-2), (Bytes{5, 0, 0, 0, 0x85, 0xFE, 0xFF, 0xFF, 0xFF}));
  Bytes fill = EncodeFillReply(3, 4);
  uint8_t* data = FillReplyData(fill);
  for (uint8_t k = 0; k < 4; ++k) data[k] = static_cast<uint8_t>(0xA0 + k);
  EXPECT_EQ(fill, (Bytes{13, 0, 0, 0, 0x84, 3, 0, 0, 0, 0, 0, 0, 0, 0xA0, 0xA1, 0xA2, 0xA3}));
}

TEST(BenchWire, EveryMessageRoundTrips) {
  bool ok = false;
  Message m = DecodeOne(EncodeHello(), &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(m.type, MsgType::kHello);
  EXPECT_EQ(m.magic, kMagic);
  EXPECT_EQ(m.version, kVersion);
  m = DecodeOne(EncodeConfigure(250'000, 7'250'000'000ull, 496, 1), &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(m.rate, 250'000u);
  EXPECT_EQ(m.center_hz, 7'250'000'000ull);
  EXPECT_EQ(m.gain, 496);
  EXPECT_EQ(m.direct, 1);
  // The largest fill of every format, and its pair count.
  const std::pair<int32_t, uint32_t> largest[] = {{kKavuSimU8, kMaxFillBytes / 2},
                                                  {kKavuSimS8, kMaxFillBytes / 2},
                                                  {kKavuSimI16, kMaxFillBytes / 4},
                                                  {kKavuSimF32, kMaxFillBytes / 8}};
  for (const auto& [format, pairs] : largest) {
    EXPECT_EQ(MaxFillSamples(format), pairs);
    m = DecodeOne(EncodeFill(~0ull - 5, format, pairs), &ok);
    ASSERT_TRUE(ok) << format;
    EXPECT_EQ(m.sample, ~0ull - 5);
    EXPECT_EQ(m.format, format);
    EXPECT_EQ(m.samples, pairs);
    DecodeOne(EncodeFill(0, format, pairs + 1), &ok);
    EXPECT_FALSE(ok) << format;
  }
  EXPECT_EQ(MaxFillSamples(4), 0u);
  m = DecodeOne(EncodeHelloReply(kHelloUnsupported, 7), &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(m.status, kHelloUnsupported);
  EXPECT_EQ(m.version, 7);
  m = DecodeOne(EncodeDueReply(~0ull), &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(m.sample, ~0ull);
  m = DecodeOne(EncodeFaultReply(3), &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(m.fault, 3);
  m = DecodeOne(EncodeLog("rate 2400000"), &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(m.text, "rate 2400000");
  Bytes big = EncodeFillReply(77, kMaxFillBytes);
  FillReplyData(big)[kMaxFillBytes - 1] = 9;
  m = DecodeOne(big, &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(m.type, MsgType::kFillReply);
  EXPECT_EQ(m.sample, 77u);
  ASSERT_EQ(m.data.size(), kMaxFillBytes);
  EXPECT_EQ(m.data.back(), 9);
  const std::pair<Bytes, MsgType> empty[] = {{EncodeDue(), MsgType::kDue},
                                             {EncodeFault(), MsgType::kFault},
                                             {EncodeEmptyReply(MsgType::kConfigure), MsgType::kConfigureReply},
                                             {EncodeEmptyReply(MsgType::kLog), MsgType::kLogReply}};
  for (const auto& [frame, type] : empty) {
    m = DecodeOne(frame, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(m.type, type);
  }
}

TEST(BenchWire, StreamCutAnywhereWaitsAndFramesFollowInOrder) {
  Bytes stream = EncodeHello();
  for (const Bytes& f : {EncodeConfigure(1, 2, 3, 0), EncodeDue(), EncodeLog("x"), EncodeFill(5, kKavuSimU8, 3)}) {
    stream.insert(stream.end(), f.begin(), f.end());
  }
  // Byte by byte: every prefix of a frame asks for more, never fails.
  FrameReader r;
  std::vector<MsgType> got;
  std::string error;
  for (uint8_t b : stream) {
    r.Append(&b, 1);
    Message m;
    FrameReader::Status s;
    while ((s = r.Next(&m, &error)) == FrameReader::Status::kFrame) got.push_back(m.type);
    ASSERT_EQ(s, FrameReader::Status::kNeedMore) << error;
  }
  EXPECT_EQ(got, (std::vector<MsgType>{MsgType::kHello, MsgType::kConfigure, MsgType::kDue, MsgType::kLog,
                                       MsgType::kFill}));
  EXPECT_EQ(r.Buffered(), 0u);
}

TEST(BenchWire, MalformedFramesAreRejectedAndTheReaderStaysFailed) {
  struct Case {
    Bytes frame;
    const char* why;
  };
  Bytes over_log = EncodeLog(std::string(kMaxLogBytes, 'y'));
  over_log.push_back('y');
  over_log[0] = static_cast<uint8_t>(over_log.size() - 4);
  over_log[1] = static_cast<uint8_t>((over_log.size() - 4) >> 8);
  const Case cases[] = {
      {{0, 0, 0, 0}, "zero length"},
      {{0xFF, 0xFF, 0xFF, 0xFF, 0x01}, "4 GiB length"},
      {{0x0A, 0x00, 0x10, 0x00}, "one byte over the largest body"},
      {{1, 0, 0, 0, 0x07}, "unknown request"},
      {{1, 0, 0, 0, 0x00}, "type zero"},
      {{1, 0, 0, 0, 0xC3}, "unknown reply"},
      {{6, 0, 0, 0, 0x01, 'K', 'V', 'S', 'B', 1}, "short hello"},
      {{2, 0, 0, 0, 0x03, 0}, "due with a payload"},
      {{16, 0, 0, 0, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "short configure"},
      {{17, 0, 0, 0, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "configure of the old version"},
      {{8, 0, 0, 0, 0x83, 1, 2, 3, 4, 5, 6, 7}, "short due reply"},
      {{8, 0, 0, 0, 0x84, 1, 2, 3, 4, 5, 6, 7}, "fill reply without its sample number"},
      {{13, 0, 0, 0, 0x04, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0}, "fill of the old version"},
      {{17, 0, 0, 0, 0x04, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "empty fill"},
      {{17, 0, 0, 0, 0x04, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 1, 0, 0, 0}, "fill in an unknown format"},
      {{17, 0, 0, 0, 0x04, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0}, "fill in format -1"},
      {{17, 0, 0, 0, 0x04, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0x01, 0x00, 0x02, 0}, "fill over the largest"},
      {over_log, "log over its limit"},
  };
  for (const Case& c : cases) {
    FrameReader r;
    r.Append(c.frame.data(), c.frame.size());
    Message m;
    std::string error;
    EXPECT_EQ(r.Next(&m, &error), FrameReader::Status::kError) << c.why;
    EXPECT_FALSE(error.empty()) << c.why;
    // More good bytes do not revive a broken stream.
    const Bytes good = EncodeDue();
    r.Append(good.data(), good.size());
    EXPECT_EQ(r.Next(&m, &error), FrameReader::Status::kError) << c.why;
  }
}

}  // namespace
}  // namespace kavu::sim::wire
