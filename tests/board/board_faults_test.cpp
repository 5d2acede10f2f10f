// Every fault the emulated board can commit gives the program's error text, and the port stays
// usable afterwards (or, for an unplugged device, closes with an error).
#include <gtest/gtest.h>

#include <thread>

#include "board/emulated_board_fixture.h"
#include "sim/firmware_assumptions.h"

namespace kavu::test {
namespace {

using sim::BoardFault;
using sim::BoardFaultKind;

class BoardFaultsTest : public EmulatedBoardTest {
 protected:
  void SetUp() override {
    EmulatedBoardTest::SetUp();
    StartBoard();
    Logged();
  }
  // The port still carries commands.
  void ExpectUsable() {
    EXPECT_TRUE(port_.IsOpen());
    EXPECT_TRUE(proto_.SetCS(7, 0xFF)) << Logged();
  }
  void ExpectLogged(const std::string& text) {
    const std::string log = Logged();
    EXPECT_NE(log.find(text), std::string::npos) << "wanted: " << text << "\nlog:\n" << log;
  }
};

TEST_F(BoardFaultsTest, NoReply) {
  board_->InjectFault({BoardFaultKind::kNoReply, sim::kCmdSetCs});
  EXPECT_FALSE(proto_.SetCS(0x28, 0xE7));
  ExpectLogged("SetCS() - не принят ответ на SetCS, вероятно не работает ком-порт или МК управления \n");
  ExpectUsable();
}

TEST_F(BoardFaultsTest, ShortReply) {
  board_->InjectFault({BoardFaultKind::kShortReply, sim::kCmdSpiSetMode});
  EXPECT_FALSE(proto_.SpiSetMode(1));
  ExpectLogged("Не принят ответ на SpiSetMode(), RdSz=2, вероятно не работает ком-порт или МК управления\n");
  ExpectUsable();
}

TEST_F(BoardFaultsTest, ShortTimerReportFailsEvenWithSensibleStart) {
  board_->InjectFault({BoardFaultKind::kShortReply, sim::kCmdGetDelaysTimerInfo});
  EXPECT_FALSE(proto_.GetDelaysTimerInfo());
  ExpectLogged("Не принят ответ на GetDelaysTimerInfo(), RdSz=15, вероятно не работает ком-порт или МК "
               "управления\n fm=10000000 div=64 fm2=10000000 div2=64\n");
  EXPECT_EQ(proto_.TimerDivider(), 64u);
  ExpectUsable();
}

TEST_F(BoardFaultsTest, WrongBytes) {
  board_->InjectFault({BoardFaultKind::kWrongByte, sim::kCmdSetCs});
  EXPECT_FALSE(proto_.SetCS(0x28, 0xE7));
  ExpectLogged("i=0 R=AE\n");
  board_->InjectFault({BoardFaultKind::kWrongByte, sim::kCmdGetMkBufSz, 1, 0, 3});
  EXPECT_FALSE(proto_.GetMKBufSz());
  ExpectLogged("Не принят ответ на GetMKBufSz(), неверная сигнатура, вероятно не работает ком-порт или "
               "МК управления, R0=4096 R1=4351\n");
  board_->InjectFault({BoardFaultKind::kWrongByte, sim::kCmdSetBigCmdAbonent});
  EXPECT_FALSE(proto_.SetBigCmdAbonent());
  ExpectLogged("Не принят ответ на SetBigCmdAbonent(), неверная сигнатура, вероятно не работает ком-порт "
               "или МК управления, R0=65\n");
  board_->InjectFault({BoardFaultKind::kWrongByte, sim::kCmdSetMinusGenPeriod});
  EXPECT_FALSE(proto_.SetMinusGenPeriod(40, 0));
  ExpectLogged("Не принят ответ на SetMinusGenPeriod(), вероятно не работает ком-порт или МК управления\n");
  board_->InjectFault({BoardFaultKind::kWrongByte, sim::kCmdGetDelaysTimerInfo, 1, 0, 13});
  EXPECT_FALSE(proto_.GetDelaysTimerInfo());
  ExpectLogged("Неверный ответ на GetDelaysTimerInfo() \n");
  board_->InjectFault({BoardFaultKind::kWrongByte, sim::kCmdGetTim4, 1, 0, 2});
  int counter = 0;
  EXPECT_FALSE(proto_.Cmd_GetTIM4(&counter));
  ExpectLogged("Cmd_GetTIM4() - неверная сигнатура ответа, RdSz=3 R=");
  ExpectUsable();
}

TEST_F(BoardFaultsTest, WrongBytesInBatchReplies) {
  const uint8_t batch[] = {0x00, 0x10, 0xFF};
  board_->InjectFault({BoardFaultKind::kWrongByte, sim::kCmdBigCmdStore});
  EXPECT_FALSE(proto_.BigCmd2(batch, 3, false));
  ExpectLogged("Неверный ответ на BigCmd2() 63 != 0x9c, Len=3\n");
  board_->InjectFault({BoardFaultKind::kWrongByte, sim::kCmdBigCmdStoreRun, 1, 0, 1});
  EXPECT_FALSE(proto_.BigCmd2(batch, 3, true));
  ExpectLogged("Неверный ответ на BigCmd2() с исп. FC Len=3\n");
  board_->InjectFault({BoardFaultKind::kWrongByte, sim::kCmdBigCmdExec});
  EXPECT_FALSE(proto_.BigCmd2_Exec());
  ExpectLogged("Err ответ BigCmd2_Exec, R[0]=0xFC R[1]=0 не равен Len=3 = 0x3\n");
  ExpectUsable();
  EXPECT_TRUE(proto_.BigCmd2_Exec());
}

TEST_F(BoardFaultsTest, I2cNotAcknowledged) {
  board_->InjectFault({BoardFaultKind::kI2cNack});
  EXPECT_TRUE(proto_.SetCS(7, 0xFF));  // not an I2C command: left alone
  EXPECT_EQ(proto_.I2cRegWrite(3, 0xFF), -2);
  ExpectLogged("CC_Rele_Dlg::I2C_Out() - ошибка на шине I2C_Error = 1\n");
  const uint8_t batch[] = {0xA2, 0x03, 0xFF, 0xFF};
  board_->InjectFault({BoardFaultKind::kI2cNack});
  EXPECT_FALSE(proto_.BigCmd2(batch, 4, true));
  ExpectLogged("Неверный ответ на BigCmd2 с исп. , I2C_Error 1\n");
  board_->InjectFault({BoardFaultKind::kI2cNack});
  EXPECT_FALSE(proto_.BigCmd2_Exec());
  ExpectLogged("Err ответ BigCmd2_Exec, I2C_Error 1\n");
  EXPECT_EQ(proto_.I2cRegWrite(3, 0xFF), 0);
  ExpectUsable();
}

TEST_F(BoardFaultsTest, LateReplyWithinTheWaitIsAccepted) {
  board_->InjectFault({BoardFaultKind::kLateReply, sim::kCmdSetCs, 1, 0, 0, 300});
  EXPECT_TRUE(proto_.SetCS(0x28, 0xE7));
}

TEST_F(BoardFaultsTest, LateReplyAfterTheWaitIsDrainedBeforeTheNextCommand) {
  board_->InjectFault({BoardFaultKind::kLateReply, sim::kCmdSetCs, 1, 0, 0, 1300});
  EXPECT_FALSE(proto_.SetCS(0x28, 0xE7));
  ExpectLogged("SetCS() - не принят ответ на SetCS");
  ASSERT_TRUE(board_->WaitIdle(2000));
  hw_.SetSpiReply(0x77);
  EXPECT_EQ(proto_.SpiOut(0x01), 0x77);
  ExpectLogged("Перед командой SpiOut из порта прочитаны лишние байты (1): 51");
  ExpectUsable();
}

TEST_F(BoardFaultsTest, MissingSingleByteReplies) {
  board_->InjectFault({BoardFaultKind::kNoReply, sim::kCmdSpiOut});
  EXPECT_EQ(proto_.SpiOut(0x01), -1);
  ExpectLogged("Не принят ответ на SpiOut(), вероятно не работает ком-порт или МК управления\n");
  board_->InjectFault({BoardFaultKind::kNoReply, sim::kCmdI2cIn});
  EXPECT_EQ(proto_.I2C_In(), -1);
  ExpectLogged("CC_Rele_Dlg::I2C_In() - ошибка, не пришел ответ ! \n");
  ExpectUsable();
}

TEST_F(BoardFaultsTest, BatchLongerThanTheBoardBufferIsRefusedByTheBoard) {
  std::vector<uint8_t> batch(sim::kDefaultBufferSize + 1, 0x84);
  batch.back() = 0xFF;
  EXPECT_FALSE(proto_.BigCmd2(batch.data(), static_cast<int>(batch.size()), false));
  ExpectLogged("Неверный ответ на BigCmd2() E5 != 0x9c, Len=1001\n");
  EXPECT_FALSE(proto_.BigCmd2_Exec());  // nothing stored: never reported as a success
  ExpectLogged("Err ответ BigCmd2_Exec, R[0]=0x0 R[1]=0 не равен Len=4097 = 0x1001\n");
  ExpectUsable();
}

TEST_F(BoardFaultsTest, UnpluggedDeviceClosesThePortWithAnError) {
  EXPECT_TRUE(proto_.SetCS(7, 0xFF));
  board_->Unplug();
  EXPECT_FALSE(board_->IsPlugged());
  EXPECT_FALSE(proto_.SetCS(0x28, 0xE7));
  EXPECT_FALSE(port_.IsOpen());
  EXPECT_NE(port_.LastErrorCode(), 0u);
  const std::string log = Logged();
  EXPECT_NE(log.find("пропал"), std::string::npos) << log;
  EXPECT_NE(log.find("SetCS() - не принят ответ"), std::string::npos) << log;
  // Later commands take their closed-port results without waiting.
  EXPECT_TRUE(proto_.SetCS(7, 0xFF));
  EXPECT_FALSE(proto_.BigCmd2_Exec());
  // Re-opening the vanished device fails with the open-failure text.
  EXPECT_FALSE(port_.Open(901, OSerialPort::kBaud));
  EXPECT_EQ(port_.LastErrorText().rfind("Не могу открыть выбранный порт /dev/pts/", 0), 0u)
      << port_.LastErrorText();
}

TEST_F(BoardFaultsTest, WritingToAnUnpluggedDeviceIsLoggedAndClosesThePort) {
  board_->Unplug();
  const uint8_t bytes[] = {0xCD, 0x32, 0x07, 0xFF};
  port_.Write(bytes, sizeof bytes);
  EXPECT_FALSE(port_.IsOpen());
  ExpectLogged("ОШИБКА записи данных com-порт !!! \n");
}

TEST_F(BoardFaultsTest, DeviceUnpluggedByACommand) {
  board_->InjectFault({BoardFaultKind::kUnplug, sim::kCmdGetMkBufSz});
  EXPECT_TRUE(proto_.SetCS(7, 0xFF));
  EXPECT_FALSE(proto_.GetMKBufSz());
  EXPECT_FALSE(port_.IsOpen());
  EXPECT_EQ(proto_.BufferSize(), 1536);
  EXPECT_EQ(board_->CommandLog().Entries().back().note, "fault unplug");
}

TEST_F(BoardFaultsTest, SecondOpenOfABusyPortFails) {
  OSerialPort second;
  const std::string path = board_->DevicePath();
  second.SetPathResolver([path](int) { return path; });
  EXPECT_FALSE(second.Open(901, OSerialPort::kBaud));
  EXPECT_NE(second.LastErrorText().find("Не могу открыть выбранный порт " + path + "\n"), std::string::npos);
  ExpectUsable();
}

}  // namespace
}  // namespace kavu::test
