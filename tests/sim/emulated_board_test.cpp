// The emulated board's firmware side, driven with raw bytes on its pseudo-terminal: framing,
// replies, check byte, gaps, runs.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/serial_port_device.h"
#include "sim/board_frame_parser.h"
#include "sim/emulated_board.h"
#include "sim/firmware_assumptions.h"
#include "support/recording_board_hardware.h"

namespace kavu::sim {
namespace {

using Bytes = std::vector<uint8_t>;

// A clock that moves only when told, as the virtual bench's sample clock does.
class ManualClock : public IBoardClock {
 public:
  int64_t NowNs() override { return now.load(); }
  std::atomic<int64_t> now{1'000'000'000};
};

class EmulatedBoardRawTest : public ::testing::Test {
 protected:
  // `manual`: the board runs on manual_clock_ instead of the steady clock.
  void Start(EmulatedBoardConfig config = {}, bool manual = false) {
    if (board_) {
      dev_.Close();
      board_->Stop();
    }
    manual_ = manual ? &manual_clock_ : nullptr;
    board_ = std::make_unique<EmulatedBoard>(hw_, config, manual_);
    std::string error;
    ASSERT_TRUE(board_->Start(&error)) << error;
    ASSERT_EQ(dev_.Open(board_->DevicePath()), 0);
    ASSERT_EQ(dev_.ApplyLineSettings(115200), 0);
  }
  void SetUp() override { Start(); }
  void TearDown() override {
    if (HasFailure()) std::fprintf(stderr, "board log:\n%s", board_->CommandLog().Text().c_str());
    dev_.Close();
    board_->Stop();
  }
  void Send(const Bytes& b) {
    int error = 0;
    ASSERT_EQ(dev_.Write(b.data(), b.size(), 1000, &error), b.size());
  }
  // Lets `ms` pass on the board's clock: on a manual clock at once, however the threads are
  // scheduled, else in real time.
  void Pause(int ms) {
    if (!manual_) {
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      return;
    }
    manual_->now += int64_t{ms} * 1'000'000;
    board_->Wake();
  }
  // Reads until `count` bytes came or `timeout_ms` passed. A manual clock moves 1 ms per 10 ms
  // of waiting, so replies cross the modelled line.
  Bytes Receive(size_t count, int timeout_ms = 1000) {
    Bytes out(count);
    size_t got = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (got < count && std::chrono::steady_clock::now() < end) {
      if (manual_) Pause(1);
      dev_.WaitReadable(10);
      const long n = dev_.ReadSome(out.data() + got, count - got);
      if (n > 0) got += static_cast<size_t>(n);
    }
    out.resize(got);
    return out;
  }
  static Bytes BatchFrame(uint8_t code, const Bytes& data) {
    Bytes f;
    f.reserve(data.size() + 5);
    f.push_back(0xCD);
    f.push_back(code);
    f.push_back(static_cast<uint8_t>(data.size() & 0xFF));
    f.push_back(static_cast<uint8_t>(data.size() >> 8));
    for (uint8_t b : data) f.push_back(b);
    f.push_back(FirmwareCheckByte(static_cast<uint16_t>(data.size()), data.data(), data.size()));
    return f;
  }

  RecordingBoardHardware hw_;
  ManualClock manual_clock_;
  ManualClock* manual_ = nullptr;
  std::unique_ptr<EmulatedBoard> board_;
  SerialPortDevice dev_;
};

TEST(FirmwareCrcTest, GoldenEmptyRunFrame) {
  const uint8_t ff = 0xFF;
  EXPECT_EQ(FirmwareCheckByte(1, &ff, 1), 0x0D);
}

TEST_F(EmulatedBoardRawTest, SplitAndMergedWritesGiveEveryReply) {
  // The board's clock in the test's hand: a slow host cannot stretch a pause into a gap.
  Start({}, true);
  // Byte by byte with pauses shorter than the frame gap.
  for (uint8_t b : Bytes{0xCD, 0x32, 0x08, 0xE7}) {
    Send({b});
    Pause(20);
  }
  EXPECT_EQ(Receive(1), Bytes{0x51});
  // Three commands in one write, the last one split across the next write.
  Send({0xCD, 0x50, 0xCD, 0x3C, 0x03, 0xCD, 0x51, 0x07});
  Send({0xFD, 0xC0});
  EXPECT_EQ(Receive(8), (Bytes{0x00, 0x10, 0xFF, 0xEF, 0xA9, 0xE2, 0x03, 0x9A}));
  EXPECT_EQ(board_->CommandLog().Codes(), (std::vector<int>{0x32, 0x50, 0x3C, 0x51}));
}

TEST_F(EmulatedBoardRawTest, StrayBytesUnknownCodesAndCutFramesAreDroppedWithoutReply) {
  // The board's clock in the test's hand: the cut-off frame's gap passes only once the board
  // has its bytes, never before (a late board would take the next command as its rest).
  Start({}, true);
  Send({0x00, 0x17, 0xCD, 0x77});  // line noise, then an unknown command
  Send({0xCD, 0x32, 0x08});        // a frame cut off
  for (int i = 0; i < 100 && !board_->WaitForFrames(3, 20); ++i) Pause(kFrameGapMs / 2);
  ASSERT_EQ(board_->CommandLog().Size(), 3u);
  Send({0xCD, 0x55});
  const Bytes r = Receive(3);
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[2], 0x71);
  EXPECT_TRUE(Receive(1, 100).empty());
  const auto entries = board_->CommandLog().Entries();
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].note, "dropped");
  EXPECT_EQ(entries[1].note, "unknown command");
  EXPECT_EQ(entries[2].note, "dropped");
  EXPECT_EQ(entries[2].request, (Bytes{0xCD, 0x32, 0x08}));
}

TEST_F(EmulatedBoardRawTest, BatchStoreRunAndRefusals) {
  Send(BatchFrame(kCmdBigCmdStore, {0x00, 0x05, 0xFF}));
  EXPECT_EQ(Receive(1), Bytes{0x9C});
  Send({0xCD, 0x5B});
  EXPECT_EQ(Receive(3), (Bytes{0x03, 0x00, 0x00}));
  // A wrong check byte: refused, nothing stored.
  Bytes bad = BatchFrame(kCmdBigCmdStoreRun, {0xFF});
  bad.back() ^= 0x01;
  Send(bad);
  EXPECT_EQ(Receive(4), (Bytes{kReplyBadFrame, 0x01, 0x00, 0x00}));
  Send({0xCD, 0x5B});
  EXPECT_EQ(Receive(3), (Bytes{0x00, 0x00, kReplyNoBatch}));
  EXPECT_EQ(board_->CommandLog().Entries()[2].note, "bad check byte");
  // A batch longer than the buffer.
  Send(BatchFrame(kCmdBigCmdStore, Bytes(kDefaultBufferSize + 1, 0x84)));
  EXPECT_EQ(Receive(1), Bytes{kReplyBadFrame});
  EXPECT_EQ(hw_.Calls().size(), 1u);  // only the first run reached the hardware
}

TEST_F(EmulatedBoardRawTest, CommandsDuringARunWaitForItsReply) {
  board_->Stop();
  dev_.Close();
  Start({kDefaultBufferSize, BoardTimer{1'000'000, 100}});  // 10,000 ticks per second
  hw_.SetBatchDurationTicks(2500);                          // 250 ms
  const auto start = std::chrono::steady_clock::now();
  Bytes both = BatchFrame(kCmdBigCmdStoreRun, {0x09, 0xC4, 0xFF});
  for (uint8_t b : {0xCD, 0x32, 0x08, 0xE7}) both.push_back(b);
  Send(both);
  const Bytes r = Receive(5);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(245));
  EXPECT_EQ(r, (Bytes{0x9C, 0x03, 0x00, 0x00, 0x51}));
  EXPECT_EQ(board_->CommandLog().Entries()[0].note, "run 2500 ticks");
}

TEST_F(EmulatedBoardRawTest, TimerAndBufferAreConfigurable) {
  board_->Stop();
  dev_.Close();
  Start({300, BoardTimer{8'000'000, 32}});
  Send({0xCD, 0x50, 0xCD, 0x29});
  EXPECT_EQ(Receive(20), (Bytes{0x2C, 0x01, 0xD3, 0xFE, 0x00, 0x12, 0x7A, 0x00, 0x20, 0x00, 0x00, 0x00,
                                0x00, 0x12, 0x7A, 0x00, 0x20, 0x00, 0x00, 0x00}));
}

TEST_F(EmulatedBoardRawTest, LineTimeCountsEveryByteEachWayAtTenBitsPerByte) {
  // 3 bytes without a reply, 2 + 4 and 3 + 3 with one: 15 bytes; the line noise after them is
  // dropped and not counted.
  const auto exchange = [this] {
    Send({0xCD, 0x47, 0x02});
    ASSERT_TRUE(board_->WaitForFrames(1, 1000));
    Send({0xCD, 0x50});
    EXPECT_EQ(Receive(4).size(), 4u);
    Send({0xCD, 0x3C, 0x03});
    EXPECT_EQ(Receive(3).size(), 3u);
    Send({0x00, 0x17});
    for (int i = 0; i < 100 && !board_->WaitForFrames(4, 20); ++i) Pause(kFrameGapMs / 2);
    ASSERT_EQ(board_->CommandLog().Size(), 4u);
  };
  Start({}, true);
  EXPECT_EQ(board_->LineTimeNs(), 0);
  exchange();
  // 15 bytes of 10 bits at 115200 baud, to the nanosecond each.
  const double expected_ns = 15 * 10 / 115200.0 * 1e9;
  EXPECT_NEAR(static_cast<double>(board_->LineTimeNs()), expected_ns, 15.0);
  EXPECT_EQ(board_->LineTimeNs(), 15 * EmulatedBoardConfig{}.ByteNs());

  EmulatedBoardConfig untimed;
  untimed.baud = 0;
  Start(untimed, true);
  exchange();
  EXPECT_EQ(board_->LineTimeNs(), 0);
}

TEST_F(EmulatedBoardRawTest, ReopeningThePortIsNoHangUpForTheBoard) {
  dev_.Close();
  ASSERT_EQ(dev_.Open(board_->DevicePath()), 0);
  Send({0xCD, 0x28, 0x01, 0x00});
  EXPECT_EQ(Receive(1), Bytes{0xD1});
  EXPECT_TRUE(board_->IsPlugged());
}

}  // namespace
}  // namespace kavu::sim

namespace kavu::sim {
namespace {

TEST(EmulatedBoardClockTest, RunReplyWaitsForTheBoardClock) {
  RecordingBoardHardware hw;
  ManualClock clock;
  EmulatedBoard board(hw, {}, &clock);
  std::string error;
  ASSERT_TRUE(board.Start(&error)) << error;
  SerialPortDevice dev;
  ASSERT_EQ(dev.Open(board.DevicePath()), 0);
  hw.SetBatchDurationTicks(156'250);  // 1 s at 10 MHz / 64
  const Bytes exec = {0xCD, 0x5C, 0x01, 0x00, 0xFF, 0x0D};
  int e = 0;
  ASSERT_EQ(dev.Write(exec.data(), exec.size(), 1000, &e), exec.size());
  ASSERT_TRUE(board.WaitForFrames(1, 1000));
  uint8_t r[4] = {};
  EXPECT_FALSE(dev.WaitReadable(100));  // real time passes, the board's does not
  clock.now += 999'000'000;
  board.Wake();
  EXPECT_FALSE(dev.WaitReadable(100));
  clock.now += 1'000'000;
  board.Wake();
  // The run has ended, but at 115200 baud the 6 bytes of the command and the 4 of the reply
  // take 10 × 86,805 ns on the line.
  EXPECT_FALSE(dev.WaitReadable(100));
  EXPECT_EQ(EmulatedBoardConfig{}.ByteNs(), 86'805);
  clock.now += 10 * EmulatedBoardConfig{}.ByteNs();
  board.Wake();
  ASSERT_TRUE(dev.WaitReadable(1000));
  EXPECT_EQ(dev.ReadSome(r, 4), 4);
  EXPECT_EQ(r[0], kReplyBigCmd);
  board.Stop();
}

TEST(EmulatedBoardClockTest, CommandsWaitingInTheInputStartWhenTheBoardIsFree) {
  RecordingBoardHardware hw;
  ManualClock clock;
  EmulatedBoard board(hw, {}, &clock);
  std::string error;
  ASSERT_TRUE(board.Start(&error)) << error;
  SerialPortDevice dev;
  ASSERT_EQ(dev.Open(board.DevicePath()), 0);
  const Bytes two = {0xCD, 0x28, 0x01, 0x00, 0xCD, 0x28, 0x02, 0x00};
  int e = 0;
  ASSERT_EQ(dev.Write(two.data(), two.size(), 1000, &e), two.size());
  ASSERT_TRUE(board.WaitForFrames(1, 1000));
  // The board's thread wakes 1 ms after the first reply was due. The second command waited in
  // the input, so by the line model it and its reply (5 bytes, 434 us) are through by then.
  const int64_t byte = EmulatedBoardConfig{}.ByteNs();
  clock.now += 5 * byte + 1'000'000;
  board.Wake();
  uint8_t r[2] = {};
  int got = 0;
  while (got < 2 && dev.WaitReadable(2000)) {
    const long n = dev.ReadSome(r + got, 2 - static_cast<size_t>(got));
    if (n <= 0) break;
    got += static_cast<int>(n);
  }
  ASSERT_EQ(got, 2);
  EXPECT_EQ(r[1], kReplyMinusGen);
  EXPECT_EQ(board.LineTimeNs(), 10 * byte);
  board.Stop();
}

}  // namespace
}  // namespace kavu::sim
