#include "updater/chip_operations.h"

#include <gtest/gtest.h>

#include "updater/boot_loader_fixture.h"
#include "updater/hex_file_reader.h"
#include "updater/hex_records.h"
#include "updater/image_compare.h"

namespace kavu {
namespace {

using test::BootLoaderTest;

// A program from 0x400 up to 0x2400 with its vectors at 0x0008 and 0x0018, and the
// configuration words' first three bytes as the bench's chip holds them.
HexReadResult Program() {
  std::string text = test::HexRecord(0x0008, 0, {0xEF, 0x10, 0xF0, 0x02}) +
                     test::HexRecord(0x0018, 0, {0xEF, 0x20, 0xF0, 0x02});
  for (unsigned a = 0x420; a < 0x2400; a += 16) {
    std::vector<uint8_t> data(16);
    for (unsigned i = 0; i < 16; ++i) data[i] = static_cast<uint8_t>((a + i) * 31 + 0xCD);
    text += test::HexRecord(a, 0, data);
  }
  text += test::HexRecord(0, 4, {0x00, 0x30}) + test::HexRecord(0, 0, {0xEC, 0xFF, 0x3F});
  text += test::EndRecord();
  return ReadHexText(text);
}

class ChipOperationsTest : public BootLoaderTest {};

TEST_F(ChipOperationsTest, WriteThenVerifyLeavesTheProgramOnTheChip) {
  StartBoard();
  const HexReadResult file = Program();
  ASSERT_TRUE(file.ok) << file.error;
  const ChipWriteResult w = WriteChip(client_, file.image, file.program_bytes);
  ASSERT_TRUE(w.ok) << (w.box ? w.box->text : "");
  EXPECT_EQ(w.blocks_sent, 2048);
  // The factory monitor refuses its own 32 blocks: no red line for those.
  EXPECT_EQ(w.protected_blocks, 32);
  EXPECT_EQ(w.protected_user, 0);
  const std::string log = Logged();
  EXPECT_NE(log.find("Начинаю запись \n"), std::string::npos);
  EXPECT_NE(log.find("Конец записи, записано блоков = 2048 из них защищено от изменений = 32\n"),
            std::string::npos) << log;
  EXPECT_EQ(log.find("Странно"), std::string::npos);
  const std::vector<uint8_t> chip = board_->Monitor().Program();
  for (size_t a = kMonitorEnd; a < kProgramSize; ++a) ASSERT_EQ(chip[a], file.image.bytes[a]) << a;
  EXPECT_EQ(chip[0x0408], 0xEF);
  EXPECT_EQ(chip[0x0419], 0x20);

  FirmwareImage read;
  const ChipReadResult r = ReadChip(client_, read);
  ASSERT_TRUE(r.ok) << (r.box ? r.box->text : "");
  EXPECT_EQ(FramesOf(0xE6), 2048u + 7u);  // the 64-byte area in two reads
  const CompareResult c = CompareImages(file.image, read);
  // The file has nothing below 0x400 but the vectors; the chip has its monitor there.
  EXPECT_EQ(c.user_errors, 0);
  EXPECT_EQ(c.config_errors, 0);
  EXPECT_GT(c.monitor_errors, 0);
  EXPECT_TRUE(c.Matches());
  EXPECT_EQ(c.box.caption, "ИНФОРМАЦИЯ");
  EXPECT_EQ(c.box.icon, BoxIcon::kWarning);
  EXPECT_EQ(c.box.text, "Несовпадения есть только в области монитора, но это ерунда!\r\nНе совпадения "
                        "выделены синим цветом");
  // Areas as the bench's chip holds them, the 64-byte one whole.
  const SpecialArea& info = kSpecialAreas[2];
  for (size_t i = 0; i < info.length; ++i) ASSERT_EQ(int{read.bytes[info.slot + i]}, static_cast<int>(0x40 + i)) << i;
  EXPECT_EQ(read.bytes[kSpecialAreas[5].slot], 0x4B);
  EXPECT_EQ(read.bytes[kSpecialAreas[5].slot + 1], 0x56);
  EXPECT_EQ(read.bytes[kSpecialAreas[5].slot + 2], 0xFF);  // slot bytes past the area stay erased
}

TEST_F(ChipOperationsTest, NothingLoadedIsNeverWritten) {
  StartBoard();
  const HexReadResult only_config =
      ReadHexText(test::HexRecord(0, 4, {0x00, 0x30}) + test::HexRecord(0, 0, {0x01}) + test::EndRecord());
  ASSERT_TRUE(only_config.ok);
  ChipWriteResult w = WriteChip(client_, only_config.image, only_config.program_bytes);
  EXPECT_FALSE(w.ok);
  ASSERT_TRUE(w.box);
  EXPECT_EQ(w.box->caption, "ОШИБКА ЗАПИСИ");
  w = WriteChip(client_, FirmwareImage{}, 0);
  EXPECT_FALSE(w.ok);
  EXPECT_EQ(FramesOf(0xE7), 0u);
  EXPECT_EQ(board_->CommandLog().Size(), 0u);
}

TEST_F(ChipOperationsTest, AWriteThatStopsSaysWhereAndNeverSucceeds) {
  const HexReadResult file = Program();
  struct Case {
    sim::BoardFaultKind kind;
    int skip;
    const char* starts;
  };
  const Case cases[] = {
      {sim::BoardFaultKind::kNoReply, 100, "Ошибка при записи, нет ответа!"},
      {sim::BoardFaultKind::kWrongByte, 50, "Ошибка при записи - неверный ответ!"},
      {sim::BoardFaultKind::kLateReply, 40, "Ошибка при записи, нет ответа!"},
      {sim::BoardFaultKind::kUnplug, 200, "Ошибка при записи, нет ответа!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(sim::BoardFaultName(c.kind));
    StartBoard();
    sim::BoardFault fault;
    fault.kind = c.kind;
    fault.command = 0xE7;
    fault.skip = c.skip;
    fault.late_ms = 400;  // past the write's 300 ms
    board_->InjectFault(fault);
    Logged();
    const ChipWriteResult w = WriteChip(client_, file.image, file.program_bytes);
    EXPECT_FALSE(w.ok);
    EXPECT_EQ(w.blocks_sent, c.skip);
    ASSERT_TRUE(w.box);
    EXPECT_EQ(w.box->caption, "ОШИБКА ЗАПИСИ");
    EXPECT_EQ(w.box->text.rfind(c.starts, 0), 0u) << w.box->text;
    EXPECT_NE(w.box->text.find("на блоке " + std::to_string(c.skip) + " из 2048"), std::string::npos)
        << w.box->text;
    EXPECT_NE(w.box->text.find("программа в МК неполная"), std::string::npos);
    EXPECT_EQ(Logged().find("Конец записи"), std::string::npos);
  }
}

TEST_F(ChipOperationsTest, ProtectedUserBlocksAreCountedAndShowInTheCompare) {
  StartBoard();
  const HexReadResult file = Program();
  sim::BoardFault fault;
  fault.kind = sim::BoardFaultKind::kProtect;
  fault.command = 0xE7;
  fault.skip = 40;
  fault.count = 3;
  board_->InjectFault(fault);
  const ChipWriteResult w = WriteChip(client_, file.image, file.program_bytes);
  ASSERT_TRUE(w.ok) << (w.box ? w.box->text : "") << Logged();
  EXPECT_EQ(w.protected_blocks, 35);
  EXPECT_EQ(w.protected_user, 3);
  EXPECT_NE(Logged().find("Странно, защищено от изменений 3 блоков в пользовательской области \n"),
            std::string::npos);
  FirmwareImage read;
  ASSERT_TRUE(ReadChip(client_, read).ok);
  const CompareResult c = CompareImages(file.image, read);
  EXPECT_EQ(c.user_errors, 3 * 32);
  EXPECT_FALSE(c.Matches());
  EXPECT_EQ(c.box.caption, "ОШИБКА ВЕРИФИКАЦИИ");
  EXPECT_EQ(c.box.text.rfind("Данные пользователя не совпадают!\r\n", 0), 0u);
  EXPECT_TRUE(c.differs[40 * 32]);
  EXPECT_FALSE(c.differs[43 * 32]);
}

TEST_F(ChipOperationsTest, ReadFaultsEndWithTheirBoxes) {
  struct Case {
    sim::BoardFaultKind kind;
    int skip;
    const char* caption;
    const char* line;
  };
  const Case cases[] = {
      {sim::BoardFaultKind::kShortReply, 5, "ОШИБКА ЧТЕНИЯ", "Err, RdSz=31\n"},
      {sim::BoardFaultKind::kNoReply, 9, "ОШИБКА ЧТЕНИЯ", "Err, RdSz=0\n"},
      {sim::BoardFaultKind::kLateReply, 1, "ОШИБКА ЧТЕНИЯ", "Err, RdSz=0\n"},
      {sim::BoardFaultKind::kShortReply, 2048 + 2, "ОШИБКА", "Err, RdSz=31\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.skip);
    StartBoard();
    sim::BoardFault fault;
    fault.kind = c.kind;
    fault.command = 0xE6;
    fault.skip = c.skip;
    board_->InjectFault(fault);
    Logged();
    FirmwareImage read;
    const ChipReadResult r = ReadChip(client_, read);
    EXPECT_FALSE(r.ok);
    ASSERT_TRUE(r.box);
    EXPECT_EQ(r.box->caption, c.caption);
    EXPECT_NE(Logged().find(c.line), std::string::npos);
  }
  // A wrong byte reads as data: the compare finds it.
  StartBoard();
  sim::BoardFault fault;
  fault.kind = sim::BoardFaultKind::kWrongByte;
  fault.command = 0xE6;
  fault.skip = 100;
  fault.byte_index = 3;
  board_->InjectFault(fault);
  FirmwareImage read;
  ASSERT_TRUE(ReadChip(client_, read).ok);
  FirmwareImage truth;
  for (uint32_t a = 0; a < kProgramSize; ++a) truth.Set(a, board_->Monitor().ReadByte(a));
  const CompareResult c = CompareImages(truth, read);
  EXPECT_EQ(c.user_errors, 1);
  EXPECT_TRUE(c.differs[100 * 32 + 3]);
}

}  // namespace
}  // namespace kavu
