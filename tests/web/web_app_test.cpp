// The web application's data commands and the console mirror, through the server.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/text_cp1251.h"
#include "shell/log_console.h"
#include "web/console_mirror.h"
#include "web/data_command.h"
#include "web/raw_client_fixture.h"

namespace kavu::test {
namespace {

constexpr const char* kData = "KavuAASdr/AntIzm.dat";

std::vector<int32_t> Ints(const std::string& s) {
  std::vector<int32_t> v(s.size() / 4);
  std::memcpy(v.data(), s.data(), v.size() * 4);
  return v;
}
std::vector<float> Floats(const std::string& s) {
  std::vector<float> v(s.size() / 4);
  std::memcpy(v.data(), s.data(), v.size() * 4);
  return v;
}

class WebApp : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(srv.started, 0); }
  Answer Command(const std::string& body) { return ParseAnswer(Exchange(srv.Port(), Post(kData, body))); }
  FakeAnalyzer an;
  TestServer srv{&an};
};

TEST_F(WebApp, StatisticsAndPoints) {
  const Answer a = Command("0");
  EXPECT_EQ(a.statusLine, "HTTP/1.0 200 OK");
  EXPECT_TRUE(a.hasAASdr);
  EXPECT_EQ(a.head, "AASdr\r\nContent-Type: application/octet-stream\r\nCache-Control: no-cache, must-revalidate\r\n"
                    "Connection: close\r\n");
  EXPECT_EQ(Ints(a.body), (std::vector<int32_t>{7, 3, 6, 0, 2}));

  EXPECT_EQ(Floats(Command("1 0 1").body), (std::vector<float>{1e6f, 1, -1, 2e6f, 2, -2}));
  EXPECT_EQ(Command("1 0 5").body, "");   // beyond the set
  EXPECT_EQ(Command("1 0 -1").body, "");  // a negative start gives nothing
  EXPECT_EQ(Command("1 0").body, "");     // needs all three numbers

  an.count[1] = 50000;
  EXPECT_EQ(Command("1 1 0").body.size(), 240000u);  // 20,000 points of the previous set
  EXPECT_EQ(Command("1 1 49990").body.size(), 120u);
  an.count[0] = 60000;
  // As many points as fit in the 393,216-byte answer buffer, head included.
  const std::string raw = Exchange(srv.Port(), Post(kData, "1 0 0"));
  const std::string many = ParseAnswer(raw).body;
  EXPECT_EQ(many.size() % 12, 0u);
  EXPECT_LE(raw.size(), 393216u);
  EXPECT_GT(raw.size() + 12, 393216u);
  EXPECT_EQ(Floats(many)[3 * 1000 + 1], 1000.0f);
}

TEST_F(WebApp, ActionsAndRangeText) {
  EXPECT_EQ(Command("2").body, "");
  EXPECT_EQ(Command("3").body, "");
  EXPECT_EQ(an.starts.load(), 1);
  EXPECT_EQ(an.pauses.load(), 1);

  Command("S ");
  EXPECT_EQ(an.rangeChanges.load(), 0);  // "S " alone changes nothing
  Command("S 1140-150 0.5");
  EXPECT_TRUE(an.cyclic);
  EXPECT_EQ(an.range, "140-150 0.5");
  Command("S 07-7.3 0.01; 14-14.35 0.01");
  EXPECT_FALSE(an.cyclic);
  EXPECT_EQ(an.range, "7-7.3 0.01; 14-14.35 0.01");
  EXPECT_EQ(Command("S 1" + std::string(9000, '1')).statusLine, "HTTP/1.0 200 OK");
  EXPECT_EQ(an.range.size(), 8000u);  // cut to 8,000 characters

  an.range = "Диапазон 1-2 0.1";
  an.cyclic = true;
  EXPECT_EQ(Command("5").body, "\1" + Utf8ToCp1251("Диапазон 1-2 0.1"));

  Log().SetCapture(true);
  EXPECT_EQ(Command("what").body, "");
  EXPECT_EQ(Command("99").body, "");
  EXPECT_NE(Log().TakeCaptured().find("Непонятный запрос от АА p=what\n"), std::string::npos);
  Log().SetCapture(false);
}

TEST(DataCommand, ParsesNumbersWithOverflowGuards) {
  DataCommand c = ParseDataCommand(" 1  0\t25");
  EXPECT_EQ(c.kind, DataCommand::kNumbers);
  EXPECT_EQ(c.numbers, 3);
  EXPECT_EQ(c.first, 25);
  c = ParseDataCommand("1 0 99999999999");
  EXPECT_EQ(c.numbers, 2);  // the third does not fit: not read
  c = ParseDataCommand("-2147483648");
  EXPECT_EQ(c.command, INT32_MIN);
  EXPECT_EQ(ParseDataCommand("").kind, DataCommand::kUnknown);
  EXPECT_EQ(ParseDataCommand("S").kind, DataCommand::kUnknown);
  // Range text that is not UTF-8 is read as code page 1251.
  EXPECT_EQ(ParseDataCommand("S 1" + Utf8ToCp1251("Ш")).rangeText, "Ш");
}

TEST(ConsoleMirror, KeepsColoursAndLines) {
  ConsoleScreen screen;
  screen.Put("ab", 7);
  screen.Put("Ош", 12);
  screen.Put("\n\n  x  \n", 14);
  const std::string text = ConsoleMirrorText(screen);
  const std::string expected = std::string("\n\x07") + "ab" + "\n\x0C" + Utf8ToCp1251("Ош") + "\r" + "\r" +
                               "\n\x0E" + "  x" + "\r";  // the cursor's empty row is the last
  EXPECT_EQ(text, expected);
}

TEST_F(WebApp, ConsoleCommandMirrorsTheLog) {
  Log() << LogColour(kColourError) << "ЗЕРКАЛО-КОНСОЛИ-ТЕСТ" << LogColour(kColourNormal) << "\n";
  const std::string body = Command("4").body;
  const size_t at = body.find(Utf8ToCp1251("ЗЕРКАЛО-КОНСОЛИ-ТЕСТ"));
  ASSERT_NE(at, std::string::npos);
  ASSERT_GE(at, 2u);
  EXPECT_EQ(body.substr(at - 2, 2), "\n\x0C");  // red
  EXPECT_LE(std::count(body.begin(), body.end(), '\r'), 189);
}

}  // namespace
}  // namespace kavu::test
