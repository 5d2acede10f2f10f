#include "updater/hex_file_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "updater/hex_file_writer.h"
#include "updater/hex_records.h"

namespace kavu {
namespace {

using test::EndRecord;
using test::HexRecord;

std::string AllLines(const HexReadResult& r) {
  std::string text;
  for (const UpdaterLine& l : r.log) text += l.text;
  return text;
}

int CountOf(const std::string& text, const std::string& piece) {
  int n = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
  return n;
}

const SpecialArea& Area(const char* name) {
  return *std::find_if(kSpecialAreas.begin(), kSpecialAreas.end(),
                       [&](const SpecialArea& a) { return std::string(a.name) == name; });
}

TEST(HexFileReaderTest, ExtendedAddressesReachTheAreasAndDropTheRest) {
  const std::string text = HexRecord(0x0400, 0, {0x11, 0x22}) + HexRecord(0, 4, {0x00, 0x30}) +
                           HexRecord(0x0000, 0, {0xA1, 0xA2, 0xA3}) + HexRecord(0, 4, {0x00, 0x31}) +
                           HexRecord(0x0000, 0, {0x55, 0x66}) + EndRecord();
  const HexReadResult r = ReadHexText(text);
  ASSERT_TRUE(r.ok) << r.error;
  const SpecialArea& config = Area("Configuration Words");
  EXPECT_EQ(r.image.bytes[config.slot], 0xA1);
  EXPECT_EQ(r.image.bytes[config.slot + 2], 0xA3);
  EXPECT_TRUE(r.image.defined[config.slot + 2]);
  EXPECT_FALSE(r.image.defined[config.slot + 3]);
  EXPECT_EQ(r.image.bytes[0x0400], 0x11);
  // Area bytes are not counted; 0x310000 (data EEPROM) lands nowhere.
  EXPECT_EQ(r.program_bytes, 2);
  EXPECT_EQ(std::count(r.image.defined.begin(), r.image.defined.end(), 1), 5);
  const std::string lines = AllLines(r);
  EXPECT_NE(lines.find("BASE adr = 30\n"), std::string::npos) << lines;
  EXPECT_NE(lines.find("Adr = 300000 высокий, sz = 3\nA1  A2  A3  \n"), std::string::npos) << lines;
  EXPECT_NE(lines.find("Adr = 310000 высокий, sz = 2\n"), std::string::npos);
  EXPECT_NE(lines.find("Прочитано 2 байт \n"), std::string::npos);
  EXPECT_FALSE(r.box);
}

TEST(HexFileReaderTest, BytesPastTheTopOfProgramMemoryAreDroppedOneByOne) {
  std::vector<uint8_t> data(16);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
  const HexReadResult r = ReadHexText(HexRecord(0xFFF8, 0, data) + EndRecord());
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.program_bytes, 8);
  EXPECT_EQ(r.image.bytes[0xFFFF], 7);
  const std::string lines = AllLines(r);
  EXPECT_EQ(CountOf(lines, "вне диапазона"), 8) << lines;
  EXPECT_NE(lines.find("Adr = 10000 вне диапазона \n"), std::string::npos);
  EXPECT_NE(lines.find("Adr = 10007 вне диапазона \n"), std::string::npos);
  EXPECT_NE(lines.find("Adr=FFF8 Sz=16 type=0\n"), std::string::npos);
}

TEST(HexFileReaderTest, LowerCaseAndRecordsAfterTheEndRecordAreRead) {
  std::string low = HexRecord(0x0500, 0, {0xAB, 0xCD});
  std::transform(low.begin(), low.end(), low.begin(), [](char c) { return static_cast<char>(std::tolower(c)); });
  const std::string text = "; a comment line\r\n" + low + EndRecord() + HexRecord(0x0600, 0, {0xEF});
  const HexReadResult r = ReadHexText(text);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.image.bytes[0x0500], 0xAB);
  EXPECT_EQ(r.image.bytes[0x0501], 0xCD);
  EXPECT_EQ(r.image.bytes[0x0600], 0xEF);
  EXPECT_EQ(r.program_bytes, 3);
}

TEST(HexFileReaderTest, DamagedRecordsRefuseTheFileNamingTheLine) {
  const std::string good = HexRecord(0x0400, 0, {1, 2, 3, 4});
  std::string bad_sum = good;
  bad_sum[bad_sum.size() - 2] = bad_sum[bad_sum.size() - 2] == '0' ? '1' : '0';
  std::string bad_char = good;
  bad_char[11] = 'G';
  std::string short_data = HexRecord(0x0400, 0, {1, 2, 3, 4});
  short_data.replace(1, 2, "05");  // announces 5 bytes, carries 4
  const struct {
    std::string record;
    const char* why;
  } cases[] = {
      {bad_sum, "контрольная сумма"},
      {bad_char, "недопустимый символ 'G'"},
      {short_data, "не совпадает с длиной"},
      {HexRecord(0, 2, {0x10, 0x00}), "типа 2"},
      {HexRecord(0, 4, {0x00}), "типа 4"},
      {":0004", "короче заголовка"},
  };
  for (const auto& c : cases) {
    const HexReadResult r = ReadHexText(good + "\n" + c.record + "\n" + EndRecord());
    EXPECT_FALSE(r.ok) << c.record;
    EXPECT_EQ(r.error.rfind("строка 3: ", 0), 0u) << r.error;
    EXPECT_NE(r.error.find(c.why), std::string::npos) << r.error;
    EXPECT_EQ(std::count(r.image.bytes.begin(), r.image.bytes.end(), 0xFF), static_cast<long>(kImageSize));
    EXPECT_EQ(r.program_bytes, 0);
  }
}

TEST(HexFileReaderTest, VectorsMoveToTheApplicationAndOnlyWhenTheFileHasThem) {
  // No vectors in the file: the application's own bytes at 0x0408 stay.
  HexReadResult r = ReadHexText(HexRecord(0x0408, 0, {0x12, 0x34}) + EndRecord());
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.image.bytes[0x0408], 0x12);
  EXPECT_EQ(r.image.bytes[0x0409], 0x34);
  EXPECT_EQ(r.image.bytes[0x0418], 0xFF);
  EXPECT_FALSE(r.box);
  EXPECT_NE(AllLines(r).find("Модификация под дуратский XC8 v2"), std::string::npos);

  // Vectors at 0x0008 and 0x0018 are copied with a line per byte.
  r = ReadHexText(HexRecord(0x0008, 0, {0xEF, 0x04, 0xF0, 0x02}) + HexRecord(0x0018, 0, {0xEF, 0x0C}) +
                  EndRecord());
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.image.bytes[0x0408], 0xEF);
  EXPECT_EQ(r.image.bytes[0x040B], 0x02);
  EXPECT_EQ(r.image.bytes[0x0419], 0x0C);
  EXPECT_EQ(r.image.bytes[0x041A], 0xFF);
  EXPECT_NE(AllLines(r).find(" adr=408 d=FF <- EF\n"), std::string::npos) << AllLines(r);
  EXPECT_FALSE(r.box);

  // Vectors over data the file put at 0x0408: copied, and the box says data was overwritten.
  r = ReadHexText(HexRecord(0x0008, 0, {0xEF, 0x04}) + HexRecord(0x0408, 0, {0x55}) + EndRecord());
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.image.bytes[0x0408], 0xEF);
  ASSERT_TRUE(r.box);
  EXPECT_EQ(r.box->caption, "ВНИМАНИЕ!");
  EXPECT_EQ(r.box->text, "При перемещении ссылок на Irg с ORG 0 на ORG 0x400 были затёрты данные");
}

TEST(HexFileReaderTest, AWrittenBackupReadsBackToTheSameProgram) {
  FirmwareImage chip;
  for (size_t a = 0; a < kProgramSize; ++a) chip.Set(a, static_cast<uint8_t>(a * 7 + (a >> 8)));
  for (size_t a = 0x2000; a < 0x3000; ++a) chip.Set(a, 0xFF);  // an erased stretch
  chip.Set(0x2345, 0x00);
  const HexReadResult r = ReadHexText(WriteHexText(chip));
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_FALSE(r.box);
  for (size_t a = kMonitorEnd; a < kProgramSize; ++a) ASSERT_EQ(r.image.bytes[a], chip.bytes[a]) << a;
  for (size_t a = 0; a < kMonitorEnd; ++a) ASSERT_EQ(r.image.bytes[a], 0xFF) << a;  // the monitor's own
}

}  // namespace
}  // namespace kavu
