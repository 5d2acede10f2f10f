// The program's board commands against the emulated board over a real pseudo-terminal.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "board/emulated_board_fixture.h"
#include "sim/firmware_assumptions.h"

namespace kavu::test {
namespace {

using sim::BoardFault;
using sim::BoardFaultKind;

class BoardProtocolTest : public EmulatedBoardTest {
 protected:
  void SetUp() override {
    EmulatedBoardTest::SetUp();
    sim::EmulatedBoardConfig config;
    config.buffer_size = 2048;
    config.timer = {16'000'000, 128};
    StartBoard(config);
    Logged();
  }
};

TEST_F(BoardProtocolTest, EveryCommandSendsItsBytesAndReadsItsReply) {
  hw_.SetSpiReply(0x3A);
  hw_.SetI2cReadByte(0x5B);
  EXPECT_TRUE(proto_.SetCS(0x28, 0xE7));
  EXPECT_EQ(hw_.Outputs(), (sim::kPowerOnOutputs & 0xE7) | 0x28);
  EXPECT_EQ(proto_.SpiOut(0xC1), 0x3A);
  EXPECT_TRUE(proto_.SpiSetMode(2));
  EXPECT_TRUE(proto_.I2C_Cond(0x01));
  EXPECT_TRUE(proto_.I2C_Out(0xC0));
  EXPECT_EQ(proto_.I2C_In(), 0x5B);
  EXPECT_TRUE(proto_.SetMinusGenPeriod(40, 20));
  EXPECT_TRUE(proto_.GetMKBufSz());
  EXPECT_EQ(proto_.BufferSize(), 2048);
  proto_.m_Rfm_Gen = 2;
  EXPECT_TRUE(proto_.SetBigCmdAbonent());
  EXPECT_TRUE(proto_.GetDelaysTimerInfo());
  EXPECT_EQ(proto_.TimerClock(), 16'000'000u);
  EXPECT_EQ(proto_.TimerDivider(), 128u);
  int tim4 = -1;
  EXPECT_TRUE(proto_.Cmd_GetTIM4(&tim4));
  EXPECT_GE(tim4, 0);
  ASSERT_TRUE(board_->WaitForFrames(11, 2000));

  const std::vector<std::pair<std::string, std::string>> expected = {
      {"CD 32 28 E7", "51"},       {"CD 3D C1", "3A"},          {"CD 3C 02", "A9 E2 02"},
      {"CD 47 01", ""},            {"CD 48 C0", "00"},          {"CD 49", "5B"},
      {"CD 28 28 14", "D1"},       {"CD 50", "00 08 FF F7"},    {"CD 51 07 FB C0", "9A"},
      {"CD 29", "00 24 F4 00 80 00 00 00 00 24 F4 00 80 00 00 00"},
  };
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(Request(i), expected[i].first) << i;
    EXPECT_EQ(Reply(i), expected[i].second) << i;
  }
  EXPECT_EQ(Request(10), "CD 55");
  const std::string log = Logged();
  EXPECT_NE(log.find("ОБЪЁМ БУФЕРА МК = 2048 байт \n"), std::string::npos) << log;
  EXPECT_NE(log.find("ТАЙМЕР МК: 16000000/128 = 125000 Гц, 16 бит до 524.288 мс \n"), std::string::npos)
      << log;
  const std::vector<std::string> calls = hw_.Calls();
  EXPECT_EQ(calls.front(), "outputs 2F");
  EXPECT_NE(std::find(calls.begin(), calls.end(), "spimode 2"), calls.end());
  EXPECT_NE(std::find(calls.begin(), calls.end(), "pwm 40/20"), calls.end());
}

TEST_F(BoardProtocolTest, BatchFramesAreByteExactAndRunRepliesAreChecked) {
  const uint8_t empty[] = {0xFF};
  EXPECT_EQ(sim::BoardCommandLog::Hex(OBoardProtocol::EncodeBigCmd2Frame(empty, 1, true)),
            "CD 5C 01 00 FF 0D");
  ASSERT_TRUE(proto_.BigCmd2(empty, 1, true));
  const uint8_t batch[] = {0x01, 0x39, 0x80, 0x00, 0x9C, 0x86, 0x12, 0x01, 0x39, 0x01, 0xFF};
  ASSERT_TRUE(proto_.BigCmd2(batch, sizeof batch, false));
  ASSERT_TRUE(proto_.BigCmd2_Exec());
  EXPECT_EQ(Request(0), "CD 5C 01 00 FF 0D");
  EXPECT_EQ(Reply(0), "9C 01 00 00");
  EXPECT_EQ(Request(1), sim::BoardCommandLog::Hex(OBoardProtocol::EncodeBigCmd2Frame(batch, 11, false), 10000));
  EXPECT_EQ(Reply(1), "9C");
  EXPECT_EQ(Request(2), "CD 5B");
  EXPECT_EQ(Reply(2), "0B 00 00");
  EXPECT_EQ(hw_.LastBatch(), std::vector<uint8_t>(batch, batch + sizeof batch));

  // Lengths outside 1..8192 send nothing.
  EXPECT_FALSE(proto_.BigCmd2(batch, 0, false));
  std::vector<uint8_t> big(8193, 0x00);
  EXPECT_FALSE(proto_.BigCmd2(big.data(), 8193, false));
  const std::string log = Logged();
  EXPECT_NE(log.find("ODlgSpektr::BigCmd2(), недопустимая Len=0\n"), std::string::npos);
  EXPECT_NE(log.find("ODlgSpektr::BigCmd2(), недопустимая Len=8193\n"), std::string::npos);
  EXPECT_EQ(board_->CommandLog().Size(), 3u);
}

TEST_F(BoardProtocolTest, LongestBatchIsAcceptedByABoardWithRoom) {
  StopBoard();
  sim::EmulatedBoardConfig config;
  config.buffer_size = 8192;
  StartBoard(config);
  std::vector<uint8_t> batch(8192, 0x84);
  batch.back() = 0xFF;
  EXPECT_TRUE(proto_.BigCmd2(batch.data(), 8192, false));
  EXPECT_EQ(hw_.LastBatch().size(), 0u);  // stored, not run
  EXPECT_TRUE(proto_.BigCmd2_Exec());
  EXPECT_EQ(hw_.LastBatch().size(), 8192u);
}

TEST_F(BoardProtocolTest, RunReplyComesWhenTheTimelineEndsAndTheWaitCoversIt) {
  // 16 MHz / 128 = 125,000 ticks/s: 37,500 ticks last 300 ms.
  hw_.SetBatchDurationTicks(37'500);
  const uint8_t batch[] = {0x7F, 0xFF, 0xFF};
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(proto_.BigCmd2(batch, sizeof batch, true));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(295));

  // The wait for a run reply is the batch's length plus 2 s, never below 8 s.
  ASSERT_TRUE(proto_.GetDelaysTimerInfo());
  EXPECT_EQ(OBoardProtocol::BatchDurationTicks(batch, 3), 0x7FFFu);
  const uint8_t probing[] = {0x01, 0x39, 0x86, 0x12, 0x01, 0x39, 0x03, 0xA2, 0x03, 0xFF, 0xFF};
  EXPECT_EQ(OBoardProtocol::BatchDurationTicks(probing, sizeof probing), 313u + 2 * 3 * 313u);
  EXPECT_EQ(proto_.RunReplyTimeoutMs(1000), 8000);
  EXPECT_EQ(proto_.RunReplyTimeoutMs(125'000u * 10), 12'000);
}

TEST_F(BoardProtocolTest, ClosedPortGivesTheClosedResultsAtOnce) {
  port_.Close();
  EXPECT_TRUE(proto_.SetCS(7, 0xFF));
  EXPECT_EQ(proto_.SpiOut(0x12), 255);
  EXPECT_TRUE(proto_.SpiSetMode(1));
  EXPECT_TRUE(proto_.I2C_Cond(1));
  EXPECT_FALSE(proto_.I2C_Out(0xC0));
  EXPECT_EQ(proto_.I2C_In(), -1);
  EXPECT_TRUE(proto_.SetMinusGenPeriod(1, 1));
  EXPECT_TRUE(proto_.GetMKBufSz());
  EXPECT_EQ(proto_.BufferSize(), 1536);
  EXPECT_TRUE(proto_.SetBigCmdAbonent());
  EXPECT_TRUE(proto_.GetDelaysTimerInfo());
  EXPECT_EQ(proto_.TimerClock(), 10'000'000u);
  const uint8_t b[] = {0xFF};
  EXPECT_FALSE(proto_.BigCmd2(b, 1, true));
  EXPECT_FALSE(proto_.BigCmd2_Exec());
  int c = 0;
  EXPECT_FALSE(proto_.Cmd_GetTIM4(&c));
  EXPECT_EQ(board_->CommandLog().Size(), 0u);
  EXPECT_NE(Logged().find("CC_Rele_Dlg::I2C_Out() - ошибка, не пришел ответ от МК! \n"), std::string::npos);
}

TEST_F(BoardProtocolTest, BufferTooSmallIsLoggedAndRefused) {
  StopBoard();
  sim::EmulatedBoardConfig config;
  config.buffer_size = 200;
  StartBoard(config);
  Logged();
  EXPECT_FALSE(proto_.GetMKBufSz());
  EXPECT_EQ(proto_.BufferSize(), 200);
  const std::string log = Logged();
  EXPECT_NE(log.find("ОБЪЁМ БУФЕРА МК = 200 байт \n"), std::string::npos);
  EXPECT_NE(log.find("Не принят ответ на GetMKBufSz(), нет памяти\n"), std::string::npos);
}

TEST_F(BoardProtocolTest, TimerReportThatCannotTimeABatchKeepsTheDefaults) {
  for (sim::BoardTimer bad : {sim::BoardTimer{0, 64}, sim::BoardTimer{10'000'000, 0},
                              sim::BoardTimer{400, 1}, sim::BoardTimer{4'000'000'000u, 1}}) {
    StopBoard();
    StartBoard({4096, bad});
    Logged();
    EXPECT_FALSE(proto_.GetDelaysTimerInfo()) << bad.clock_hz << "/" << bad.divider;
    EXPECT_EQ(proto_.TimerClock(), 10'000'000u);
    EXPECT_EQ(proto_.TimerDivider(), 64u);
    EXPECT_NE(Logged().find("Неверный ответ на GetDelaysTimerInfo() \n"), std::string::npos);
  }
}

TEST_F(BoardProtocolTest, StaleInputIsLoggedAndNeverTakenAsAReply) {
  board_->SendUnasked({0x51, 0xAB});
  ASSERT_TRUE(board_->WaitIdle(1000));
  hw_.SetSpiReply(0x34);
  EXPECT_EQ(proto_.SpiOut(0x12), 0x34);
  EXPECT_NE(Logged().find("Перед командой SpiOut из порта прочитаны лишние байты (2): 51 AB"),
            std::string::npos);
}

TEST_F(BoardProtocolTest, RegisterHelpersFollowTheirSequences) {
  hw_.SetSpiReply(0x42);
  proto_.m_Rfm_Gen = 1;
  EXPECT_EQ(proto_.RfmRegRead(0x07), 0x42);
  EXPECT_TRUE(proto_.RfmRegWrite(0x07, 0x01));
  EXPECT_TRUE(proto_.SpiWord16(0x2100));
  hw_.SetI2cReadByte(0x11);
  EXPECT_EQ(proto_.I2cRegRead(0), 0x11);
  EXPECT_EQ(proto_.I2cRegWrite(177, 0x20), 0);
  const uint8_t block[] = {1, 2, 3};
  EXPECT_EQ(proto_.I2cBlockWrite(42, block, 3), 0);
  ASSERT_TRUE(board_->WaitForFrames(1, 1000));
  const std::vector<std::string> want = {
      // RfmRegRead
      "CD 32 05 FD", "CD 3D 07", "CD 3D FF", "CD 32 07 FF",
      // RfmRegWrite
      "CD 32 05 FD", "CD 3D 87", "CD 3D 01", "CD 32 07 FF",
      // SpiWord16
      "CD 32 05 FD", "CD 3D 21", "CD 3D 00", "CD 32 07 FF",
      // I2cRegRead
      "CD 47 01", "CD 48 C0", "CD 48 00", "CD 47 02", "CD 47 01", "CD 48 C1", "CD 49", "CD 47 10",
      "CD 47 02",
      // I2cRegWrite
      "CD 47 01", "CD 48 C0", "CD 48 B1", "CD 48 20", "CD 47 02",
      // I2cBlockWrite
      "CD 47 01", "CD 48 C0", "CD 48 2A", "CD 48 01", "CD 48 02", "CD 48 03"};
  ASSERT_TRUE(board_->WaitForFrames(want.size() + 1, 2000));
  for (size_t i = 0; i < want.size(); ++i) EXPECT_EQ(Request(i), want[i]) << i;
}

TEST_F(BoardProtocolTest, RegisterReadIsNegativeWhenAnyStepFails) {
  board_->InjectFault({BoardFaultKind::kWrongByte, sim::kCmdSetCs, 1});
  EXPECT_EQ(proto_.RfmRegRead(0x07), -1);
  hw_.SetSpiReply(0x00);
  // The second SPI byte gets no reply.
  board_->InjectFault({BoardFaultKind::kNoReply, sim::kCmdSpiOut, 1, 1});
  EXPECT_EQ(proto_.RfmRegRead(0x07), -3);
  // Select and both SPI bytes pass, the deselect fails: the value 0 must not pass as success.
  board_->InjectFault({BoardFaultKind::kWrongByte, sim::kCmdSetCs, 1, 1});
  EXPECT_EQ(proto_.RfmRegRead(0x07), -4);
  board_->ClearFaults();
  EXPECT_EQ(proto_.RfmRegRead(0x07), 0);
  // An I2C byte refused in the middle of a write: the write fails at that byte, reported once.
  // The rest of its transaction went out with it and ends with the stop condition.
  hw_.ClearCalls();
  Logged();
  hw_.SetI2cWriteResult(sim::kI2cDataNack);
  const size_t frames = board_->CommandLog().Size();
  EXPECT_EQ(proto_.I2cRegWrite(3, 0xFF), -2);
  // The stop condition has no reply: the board may still be taking it when the write returns.
  ASSERT_TRUE(board_->WaitForFrames(frames + 5, 5000));
  const std::string error = "CC_Rele_Dlg::I2C_Out() - ошибка на шине I2C_Error = 2\n";
  const std::string log = Logged();
  ASSERT_NE(log.find(error), std::string::npos) << log;
  EXPECT_EQ(log.find(error, log.find(error) + 1), std::string::npos) << log;
  EXPECT_EQ(hw_.Calls(), (std::vector<std::string>{"i2c start", "i2c w C0>02", "i2c w 03>02", "i2c w FF>02",
                                                   "i2c stop"}));
}

TEST_F(BoardProtocolTest, I2cTransactionsKeepTheirRepliesInStepAfterAFailure) {
  const auto next_command_is_clean = [&](const char* what) {
    hw_.SetI2cReadByte(0x11);
    EXPECT_EQ(proto_.I2cRegRead(7), 0x11) << what;
    const uint8_t block[] = {4, 5};
    EXPECT_EQ(proto_.I2cBlockWrite(42, block, 2), 0) << what;
    const std::string log = Logged();
    EXPECT_EQ(log.find("лишние байты"), std::string::npos) << what << ": " << log;
  };
  // The register byte refused: the value's reply, still owed, is not the next command's.
  board_->InjectFault({BoardFaultKind::kI2cNack, sim::kCmdI2cOut, 1, 1});
  EXPECT_EQ(proto_.I2cRegWrite(3, 0xFF), -3);
  EXPECT_NE(Logged().find("I2C_Error = 1\n"), std::string::npos);
  next_command_is_clean("register byte refused");
  // The read address refused: the byte read after it is owed too.
  board_->InjectFault({BoardFaultKind::kI2cNack, sim::kCmdI2cOut, 1, 2});
  EXPECT_EQ(proto_.I2cRegRead(3), -5);
  next_command_is_clean("read address refused");
  // The value byte's reply never comes: reported as the value's, as the board would show it.
  board_->InjectFault({BoardFaultKind::kNoReply, sim::kCmdI2cOut, 1, 2});
  EXPECT_EQ(proto_.I2cRegWrite(3, 0xFF), -4);
  EXPECT_NE(Logged().find("CC_Rele_Dlg::I2C_Out() - ошибка, не пришел ответ от МК! \n"), std::string::npos);
  next_command_is_clean("missing reply");
  // The bytes on the wire are those of the single commands, in order, failures included.
  const std::string write = "CD 47 01|CD 48 C0|CD 48 03|CD 48 FF|CD 47 02|";
  const std::string read = "CD 47 01|CD 48 C0|CD 48 07|CD 47 02|CD 47 01|CD 48 C1|CD 49|CD 47 10|CD 47 02|";
  const std::string block = "CD 47 01|CD 48 C0|CD 48 2A|CD 48 04|CD 48 05|CD 47 02|";
  const std::string refused_read = "CD 47 01|CD 48 C0|CD 48 03" + read.substr(26);
  ASSERT_TRUE(board_->WaitForFrames(64, 2000));
  std::string sent;
  for (const sim::BoardLogEntry& e : board_->CommandLog().Entries()) sent += sim::BoardCommandLog::Hex(e.request) + "|";
  EXPECT_EQ(sent, write + read + block + refused_read + read + block + write + read + block);
  EXPECT_EQ(proto_.RequestsSent(), 64);
}

TEST_F(BoardProtocolTest, SpiModeIsSentOnlyWhenItChanges) {
  EXPECT_TRUE(proto_.SetSpiModeToGen(6, false));
  EXPECT_EQ(proto_.SpiMode(), 2);
  EXPECT_TRUE(proto_.SetSpiModeToGen(6, false));
  EXPECT_TRUE(proto_.SetSpiModeToGen(6, true));
  EXPECT_TRUE(proto_.SetSpiModeToGen(7, false));
  EXPECT_EQ(proto_.SpiMode(), 3);
  ASSERT_TRUE(board_->WaitForFrames(3, 1000));
  EXPECT_EQ(board_->CommandLog().Codes(), (std::vector<int>{0x3C, 0x3C, 0x3C}));
  EXPECT_NE(Logged().find("Включаю SPI mode2, был FFFE1EB4 IsForceSet=0\n"), std::string::npos);
  board_->InjectFault({BoardFaultKind::kWrongByte, sim::kCmdSpiSetMode, 1, 0, 2});
  EXPECT_FALSE(proto_.SetSpiModeToGen(1, false));
  EXPECT_EQ(proto_.SpiMode(), OBoardProtocol::kSpiModeUnknown);
}

}  // namespace
}  // namespace kavu::test
