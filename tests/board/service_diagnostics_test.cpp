// The service menu's tests against the emulated board: its timer counter, the I2C bus on which
// only the Si5351 answers, the -5 V PWM and the display stub on CS0.
#include "board/service_diagnostics.h"

#include <gtest/gtest.h>

#include "pty_board.h"
#include "sim/board_fault.h"
#include "sim/board_peripherals.h"
#include "sim/display_stub_model.h"

namespace kavu {
namespace {

class ServiceDiagnosticsTest : public ::testing::Test {
 protected:
  void SetUp() override { pty_.Start(hw_); }
  std::string Logged() { return pty_.Logged(); }

  sim::BoardPeripherals hw_;
  test::PtyBoard pty_;
  std::unique_ptr<sim::EmulatedBoard>& board_ = pty_.board;
  OBoardProtocol& proto_ = pty_.proto;
  RecordingNotice notice_;
  ErrorBox box_{notice_};
  OServiceDiagnostics d_{proto_, box_};
};

TEST_F(ServiceDiagnosticsTest, ChipSelectsModesAndTheTimer) {
  ASSERT_TRUE(d_.SelectCs(1));
  EXPECT_EQ(hw_.Outputs() & 7, 0x05);
  const auto counters = d_.DeselectAndReadTimer();
  EXPECT_EQ(hw_.Outputs() & 7, 0x07);
  ASSERT_EQ(counters.size(), 10u);
  EXPECT_NE(counters.front(), counters.back());  // the counter runs
  EXPECT_NE(Logged().find("Tim4Cnt = "), std::string::npos);
  ASSERT_TRUE(d_.SelectSpiMode(2));
  EXPECT_EQ(hw_.SpiMode(), 2);
  EXPECT_EQ(proto_.SpiMode(), OBoardProtocol::kSpiModeUnknown);
  EXPECT_EQ(d_.SendSpiByte(), 0xFF);  // nothing selected answers
  EXPECT_NE(Logged().find("Посыл по SPI байта C1, принят байт FF"), std::string::npos);

  // A board that does not answer 55: one no-reply line, and the reads stop.
  board_->InjectFault({sim::BoardFaultKind::kNoReply, 0x55, -1});
  EXPECT_TRUE(d_.DeselectAndReadTimer().empty());
  const std::string log = Logged();
  const std::string line = "Cmd_GetTIM4() - не принят ответ";
  ASSERT_NE(log.find(line), std::string::npos);
  EXPECT_EQ(log.find(line, log.find(line) + 1), std::string::npos);
}

TEST_F(ServiceDiagnosticsTest, I2cScanFindsOnlyTheSi5351AndCalibrReadsIt) {
  const auto found = d_.I2cScan();
  ASSERT_EQ(found, (std::vector<int>{0xC0}));
  EXPECT_NE(Logged().find("!!! Нашел, adr = C0"), std::string::npos);
  EXPECT_GE(d_.Si5351Calibr(), 0);
  EXPECT_NE(Logged().find("V0="), std::string::npos);
  hw_.SetSi5351Present(false);
  EXPECT_TRUE(d_.I2cScan().empty());
  EXPECT_LT(d_.Si5351Calibr(), 0);
}

TEST_F(ServiceDiagnosticsTest, MinusGenPwmAndItsFailure) {
  ASSERT_TRUE(d_.MinusGenPwm(true, 40));
  EXPECT_NE(board_->CommandLog().Text().find("CD 28 27 14"), std::string::npos);
  ASSERT_TRUE(d_.MinusGenPwm(false, 0));
  EXPECT_NE(board_->CommandLog().Text().find("CD 28 28 00"), std::string::npos);
  board_->InjectFault({sim::BoardFaultKind::kNoReply, 0x28, -1});
  EXPECT_FALSE(d_.MinusGenPwm(true, 0));
  ASSERT_EQ(notice_.Texts().size(), 1u);
  EXPECT_EQ(notice_.Texts()[0].rfind("Не удалось задать режим ШИМ генератору -5в", 0), 0u);
}

TEST_F(ServiceDiagnosticsTest, DisplayTestDrivesTheStubOnCs0) {
  auto stub = std::make_unique<sim::DisplayStubModel>();
  const sim::DisplayStubModel* seen = stub.get();
  hw_.FitSpiChip(0, std::move(stub));
  EXPECT_EQ(d_.DisplayTest(), 8 * 6 + 3 * 6 + 67);
  const std::string log = Logged();
  EXPECT_NE(log.find("cmd=4 Read = 0, 54, 80, 66,  0, 54"), std::string::npos);
  EXPECT_NE(log.find("Конец инициализации \n"), std::string::npos);
  long bytes = 0;
  hw_.InspectSpiChip(0, [&](const sim::ISpiChipModel*) { bytes = seen->Bytes(); });
  EXPECT_GT(bytes, 2048);
  EXPECT_EQ(proto_.SpiMode(), OBoardProtocol::kSpiModeUnknown);
}

}  // namespace
}  // namespace kavu
