#include "updater/boot_loader_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "sim/board_command_log.h"
#include "sim/board_frame_parser.h"
#include "sim/firmware_assumptions.h"
#include "updater/boot_loader_fixture.h"
#include "updater/chip_operations.h"

namespace kavu {
namespace {

using test::BootLoaderTest;

class BootLoaderClientTest : public BootLoaderTest {};

std::string Hex(const std::vector<uint8_t>& bytes) { return sim::BoardCommandLog::Hex(bytes, 100); }

TEST_F(BootLoaderClientTest, TheBytesOnTheWire) {
  StartBoard();
  // The pause first waits until the board has taken the 0xCD (so its arrival time is not read
  // late), then pauses as asked: the 00 can then only arrive the pause's length after the CD.
  int pauses = 0;
  bool cd_seen_first = true;
  client_.SetPause([&](int ms) {
    // Sent before this pause: CD; before the second, also 00, the read (5 bytes) and CD.
    const uint64_t sent = ++pauses == 1 ? 1 : 8;
    for (int i = 0; i < 5000 && board_->BytesReceived() < sent; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    cd_seen_first = cd_seen_first && board_->BytesReceived() == sent;
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  });
  client_.WakeUp();
  uint8_t block[32];
  ASSERT_EQ(client_.ReadBlock(0xFFE0, block), 32);
  StartFirmware(client_);
  ASSERT_TRUE(board_->WaitForFrames(4, 5000));
  const auto entries = board_->CommandLog().Entries();
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(Hex(entries[0].request), Hex({0xCD, 0x00}));
  EXPECT_EQ(Hex(entries[1].request), Hex({0xCD, 0xE6, 0xE0, 0xFF, 0x00}));
  EXPECT_EQ(entries[1].reply.size(), 32u);
  EXPECT_EQ(Hex(entries[2].request), Hex({0xCD, 0x00}));
  EXPECT_EQ(Hex(entries[3].request), Hex({0xCD, 0xEB}));
  // The 00 follows the CD by the wake-up's 10 ms, measured where the board found the bytes.
  EXPECT_EQ(pauses, 2);
  EXPECT_TRUE(cd_seen_first);
  for (size_t i : {size_t{0}, size_t{2}}) {
    const std::string& note = entries[i].note;
    ASSERT_EQ(note.rfind("wake-up, 00 after ", 0), 0u) << note;
    EXPECT_GE(std::atof(note.c_str() + 18), 10.0) << note;
  }
  EXPECT_FALSE(board_->InMonitor());  // the start left the boot loader
}

TEST_F(BootLoaderClientTest, PrefixBytesInsideAddressAndDataAreData) {
  StartBoard();
  client_.WakeUp();
  std::vector<uint8_t> data(32, 0xCD);
  data[5] = 0xE6;
  data[6] = 0xEB;
  EXPECT_EQ(client_.WriteBlock(0xCDC0, data.data()), BootLoaderClient::kWritten);
  uint8_t back[32];
  ASSERT_EQ(client_.ReadBlock(0xCDC0, back), 32);
  EXPECT_EQ(Hex({back, back + 32}), Hex(data));
  // Below 0x400 and in the areas nothing is written.
  EXPECT_EQ(client_.WriteBlock(0x03E0, data.data()), BootLoaderClient::kProtected);
  EXPECT_EQ(client_.WriteBlock(0x300000, data.data()), BootLoaderClient::kProtected);
  ASSERT_EQ(client_.ReadBlock(0x300000, back), 32);
  EXPECT_EQ(back[0], 0xEC);
  // Beyond an area's end and outside every area the chip reads as erased.
  ASSERT_EQ(client_.ReadBlock(0x3FFFFE, back), 32);
  EXPECT_EQ(Hex({back, back + 4}), Hex({0x4B, 0x56, 0xFF, 0xFF}));
  ASSERT_EQ(client_.ReadBlock(0x123456, back), 32);
  EXPECT_EQ(Hex({back, back + 32}), Hex(std::vector<uint8_t>(32, 0xFF)));
  EXPECT_TRUE(board_->InMonitor());
}

TEST_F(BootLoaderClientTest, CaptureSwitchesTheApplicationIntoTheBootLoader) {
  sim::EmulatedBoardConfig config = FastMonitor();
  config.start_in_monitor = false;
  StartBoard(config);
  // Prefix bytes inside an application frame are its data, not a capture.
  std::vector<uint8_t> batch{0xCD, 0x5A, 16, 0};
  const std::vector<uint8_t> data(16, 0xCD);
  batch.insert(batch.end(), data.begin(), data.end());
  batch.push_back(sim::FirmwareCheckByte(16, data.data(), data.size()));
  port_.Write(batch.data(), batch.size());
  uint8_t stored = 0;
  ASSERT_EQ(port_.ReadAll(&stored, 1, 5000), 1);
  EXPECT_EQ(stored, sim::kReplyBigCmd);
  EXPECT_FALSE(board_->InMonitor());
  // The application ignores the boot loader's commands.
  uint8_t block[32];
  EXPECT_EQ(client_.ReadBlock(0x0400, block), 0);
  EXPECT_FALSE(board_->InMonitor());
  client_.SendCapture();
  client_.WakeUp();
  ASSERT_EQ(client_.ReadBlock(0x0400, block), 32);
  EXPECT_TRUE(board_->InMonitor());
  bool noted = false;
  for (const auto& e : board_->CommandLog().Entries()) noted = noted || e.note.find("capture") == 0;
  EXPECT_TRUE(noted);
  // Capture bytes while already in the boot loader change nothing.
  client_.SendCapture();
  client_.WakeUp();
  ASSERT_EQ(client_.ReadBlock(0x0400, block), 32);
}

}  // namespace
}  // namespace kavu
