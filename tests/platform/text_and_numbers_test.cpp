#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "platform/num_convert.h"
#include "platform/number_text.h"
#include "platform/text_cp1251.h"

namespace kavu {
namespace {

TEST(TextCp1251, RussianRoundTripsAndUnknownCharactersBecomeQuestionMarks) {
  const std::string ru = "Антенный анализатор: Ёё №5 «КСВ» — 100 µs";
  const std::string cp = Utf8ToCp1251(ru);
  // Every letter is one byte in code page 1251.
  EXPECT_EQ(cp.size(), 41u);
  EXPECT_EQ(static_cast<unsigned char>(cp[0]), 0xC0);  // А
  EXPECT_EQ(Cp1251ToUtf8(cp), ru);
  EXPECT_EQ(Utf8ToCp1251("日本 x"), "?? x");
  EXPECT_EQ(Utf8ToCp1251("a\xFF\xC3"), "a??");  // malformed UTF-8 never loops or crashes
  EXPECT_EQ(Cp1251ToUtf8("\x98"), "\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToUtf8(u"Ж\U0001F600"), "Ж\U0001F600");
}

TEST(NumberText, FormatsAndParsesWithAPointWhateverTheLocale) {
  ASSERT_NE(std::setlocale(LC_NUMERIC, "ru_RU.UTF-8"), nullptr)
      << "the ru_RU.UTF-8 locale must be installed (scripts/setup.sh generates it)";
  EXPECT_EQ(ParseReal("2.5").value(), 2.5);
  EXPECT_EQ(ParseReal("  -1e3xyz").value(), -1000.0);
  EXPECT_EQ(FormatG(0.1, 9), "0.1");
  EXPECT_EQ(FormatG(1234567.891, 9), "1234567.89");
  EXPECT_EQ(FormatTrimmed(140.5, 6), "140.5");
  EXPECT_EQ(FormatTrimmed(144, 6), "144");
  EXPECT_EQ(FormatTrimmed(-0.0000001, 6), "0");
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_FALSE(ParseReal("2,5").has_value() && ParseReal("2,5").value() != 2.0);
  for (const char* bad : {"nan", "inf", "-inf", "1e999", "", "abc", "+-1", "NaN"}) {
    EXPECT_FALSE(ParseReal(bad).has_value()) << bad;
  }
  EXPECT_FALSE(ParseRealWhole("2.5abc").has_value());
  EXPECT_EQ(ParseRealWhole(" 2.5 ").value(), 2.5);
  EXPECT_EQ(ParseInt(" -42x").value(), -42);
  EXPECT_FALSE(ParseInt("99999999999").has_value());
}

TEST(NumConvert, NonFiniteAndOutOfRangeNeverReachACast) {
  EXPECT_FALSE(ToInt64(NAN).has_value());
  EXPECT_FALSE(ToInt64(INFINITY).has_value());
  EXPECT_FALSE(ToInt64(9.3e18).has_value());
  EXPECT_EQ(ToInt64(-2.9).value(), -2);
  EXPECT_FALSE(ToUInt32(4294967296.0).has_value());
  EXPECT_EQ(ToUInt32(4294967295.0).value(), 4294967295u);
  EXPECT_FALSE(ToUInt32(-1.0).has_value());
  EXPECT_EQ(ToInt32(-2147483648.9).value(), INT32_MIN);
  EXPECT_FALSE(ToInt32(2147483648.0).has_value());
  EXPECT_EQ(RoundToInt64(2.5).value(), 3);
  EXPECT_EQ(ToInt32Or(NAN, -7), -7);
}

}  // namespace
}  // namespace kavu
