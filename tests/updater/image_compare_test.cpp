#include "updater/image_compare.h"

#include <gtest/gtest.h>

#include "updater/hex_dump.h"

namespace kavu {
namespace {

TEST(ImageCompareTest, AreasAreComparedOnlyWhereTheFileDefinesBytes) {
  FirmwareImage file;
  FirmwareImage chip;
  for (size_t i = 0; i < kImageSize; ++i) chip.Set(i, static_cast<uint8_t>(i * 3));
  for (size_t i = 0; i < kProgramSize; ++i) file.Set(i, chip.bytes[i]);
  // The chip's identifiers and configuration are nowhere in the file: no error.
  CompareResult c = CompareImages(file, chip);
  EXPECT_EQ(c.user_errors + c.monitor_errors + c.config_errors, 0);
  EXPECT_EQ(c.box.caption, "ВЕРИФИКАЦИЯ ПРОШИВКИ");
  EXPECT_EQ(c.box.text, "Все в порядке, данные одинаковы !\nНажмите 'Пуск' для запуска прошивки");
  EXPECT_EQ(c.summary.text, "ErrUserN = 0 ErrNMon=0\n");

  // A configuration byte the file sets differently is an error; one it leaves alone is not.
  const SpecialArea& config = kSpecialAreas[1];
  file.Set(config.slot + 1, static_cast<uint8_t>(chip.bytes[config.slot + 1] ^ 1));
  file.Set(config.slot + 2, chip.bytes[config.slot + 2]);
  file.Set(0x0100, static_cast<uint8_t>(~chip.bytes[0x0100]));  // monitor
  file.Set(0x8000, static_cast<uint8_t>(chip.bytes[0x8000] ^ 0x80));
  file.Set(0x8001, static_cast<uint8_t>(chip.bytes[0x8001] ^ 0x80));
  c = CompareImages(file, chip);
  EXPECT_EQ(c.config_errors, 1);
  EXPECT_EQ(c.user_errors, 2);
  EXPECT_EQ(c.monitor_errors, 1);
  EXPECT_EQ(c.summary.text, "ErrUserN = 2 ErrNMon=1\n");
  EXPECT_FALSE(c.Matches());
  EXPECT_EQ(c.box.caption, "ОШИБКА ВЕРИФИКАЦИИ");
  EXPECT_EQ(c.box.icon, BoxIcon::kError);
  EXPECT_EQ(c.box.text, "Данные пользователя не совпадают!\r\nДанные конфигурации / идентификаторы не "
                        "совпадают!\r\nНесовпадения есть только в области монитора, но это ерунда!\r\n"
                        "Не совпадения выделены синим цветом");
}

TEST(ImageCompareTest, TheHexDumpShowsWordsOddByteFirstAndMarksDifferences) {
  FirmwareImage shown;
  shown.Set(0x0010, 0x12);
  shown.Set(0x0011, 0xEF);
  shown.Set(kSpecialAreas[5].slot, 0x4B);
  std::vector<uint8_t> differs(kImageSize, 0);
  differs[0x0011] = 1;
  differs[kSpecialAreas[5].slot + 1] = 1;
  const HexDumpText d = FormatHexDump(shown, differs);
  EXPECT_EQ(d.text.substr(0, 8), "0000    ");
  const std::string line1 = "0010    ef12  ffff  ffff  ffff  ffff  ffff  ffff  ffff  \n";
  ASSERT_EQ(d.text.find(line1), 8 + 8 * 6 + 1u);
  EXPECT_NE(d.text.find("FFF0    "), std::string::npos);
  EXPECT_NE(d.text.find("Device ID: \n3FFFFE    4b  ff  \n"), std::string::npos);
  EXPECT_NE(d.text.find("Device Information Area: \n3F0000    ff  "), std::string::npos);
  ASSERT_EQ(d.marked.size(), 2u);
  EXPECT_EQ(d.text.substr(d.marked[0].first, d.marked[0].second), "ef12");
  EXPECT_EQ(d.text.substr(d.marked[1].first, d.marked[1].second), "ff");
  EXPECT_GT(d.marked[1].first, d.text.find("Device ID"));
  size_t lines = 0;
  for (char ch : d.text) lines += ch == '\n' ? 1 : 0;
  EXPECT_EQ(lines, 4096u + 12u);
}

}  // namespace
}  // namespace kavu
