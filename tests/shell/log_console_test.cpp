#include "shell/log_console.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "shell/fatal_error.h"
#include "shell/kavu_timer.h"

namespace kavu {
namespace {

class LogConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Log().SetSink(OLogConsole::Sink::None);
    Log().SetCapture(true);
  }
  void TearDown() override { Log().SetCapture(false); }
};

TEST_F(LogConsoleTest, ConversionsFollowTheirTypes) {
  Log() << 'x' << static_cast<unsigned short>(65535) << " " << -5 << " " << 7u << " " << 0.1
        << " " << 1.0 / 3.0 << " " << 2.5f << " " << LogHex(0xBEEF) << " " << 123456789012L
        << " " << u"Привет" << " " << std::string("т") << "\n";
  EXPECT_EQ(Log().TakeCaptured(), "x65535 -5 7 0.1 0.333333333 2.5 BEEF 123456789012 Привет т\n");
}

TEST_F(LogConsoleTest, StatementsFromTwoThreadsNeverTearAndColoursStayWithTheirThread) {
  constexpr int kLines = 300;
  auto writer = [](char c, int colour) {
    Log().SetColour(colour);
    for (int i = 0; i < kLines; ++i) {
      Log() << c << c << c << ' ' << i << ' ' << c << c << c << "\n";
    }
    Log().SetColour(kColourNormal);
  };
  std::thread a(writer, 'a', kColourError);
  std::thread b(writer, 'b', kColourNotice);
  a.join();
  b.join();
  const std::string text = Log().TakeCaptured();
  int lines = 0;
  for (size_t pos = 0; pos < text.size();) {
    const size_t nl = text.find('\n', pos);
    ASSERT_NE(nl, std::string::npos);
    const std::string line = text.substr(pos, nl - pos);
    ASSERT_GE(line.size(), 9u);
    const char c = line[0];
    EXPECT_TRUE(line.starts_with(std::string(3, c) + " ")) << line;
    EXPECT_TRUE(line.ends_with(" " + std::string(3, c))) << line;
    ++lines;
    pos = nl + 1;
  }
  EXPECT_EQ(lines, 2 * kLines);
  // On the screen every 'a' is red and every 'b' yellow, whatever the interleaving.
  const ConsoleScreen screen = Log().ScreenCopy();
  int checked = 0;
  for (int row = 0; row < ConsoleScreen::kRows; ++row) {
    const auto& cell = screen.At(row, 0);
    if (cell.ch == U'a') {
      EXPECT_EQ(cell.attribute, kColourError);
      ++checked;
    }
    if (cell.ch == U'b') {
      EXPECT_EQ(cell.attribute, kColourNotice);
      ++checked;
    }
  }
  EXPECT_GT(checked, 500);
}

TEST(LogRed, WritesOneRedLineAndReturnsToTheNormalColour) {
  Log().SetSink(OLogConsole::Sink::None);
  Log().SetCapture(true);
  Log().SetColour(kColourNormal);
  LogRed("ошибка порта\n");
  Log() << "дальше\n";
  EXPECT_EQ(Log().TakeCaptured(), "ошибка порта\nдальше\n");
  Log().SetCapture(false);
  EXPECT_EQ(Log().Colour(), kColourNormal);
  const ConsoleScreen screen = Log().ScreenCopy();
  const int row = screen.CursorRow();
  ASSERT_GE(row, 2);
  ASSERT_EQ(screen.LineText(row - 2), "ошибка порта");
  EXPECT_EQ(screen.At(row - 2, 0).attribute, kColourError);
  ASSERT_EQ(screen.LineText(row - 1), "дальше");
  EXPECT_EQ(screen.At(row - 1, 0).attribute, kColourNormal);
}

TEST(ConsoleScreen, WrapsAtEightyColumnsAndScrollsAfterTheLastLine) {
  ConsoleScreen s;
  s.Put(std::string(85, 'x') + "\nЖ\tz", 12);
  EXPECT_EQ(s.LineText(0), std::string(80, 'x'));
  EXPECT_EQ(s.LineText(1), "xxxxx");
  EXPECT_EQ(s.LineText(2), "Ж       z");
  EXPECT_EQ(s.At(2, 0).attribute, 12);
  for (int i = 0; i < ConsoleScreen::kRows; ++i) s.Put("line " + std::to_string(i) + "\n", 7);
  EXPECT_EQ(s.CursorRow(), ConsoleScreen::kRows - 1);
  EXPECT_EQ(s.LineText(ConsoleScreen::kRows - 2), "line 1023");
  // 1,027 lines were written (the first text shares its last line with "line 0"): the three
  // oldest scrolled away.
  EXPECT_EQ(s.LineText(0), "line 1");
}

TEST(KavuTimer, MeasuresMonotonicIntervalsAndLapRestarts) {
  CKavuTimer1 t;
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const auto beforeLap = std::chrono::steady_clock::now();
  const double lap = t.Lap();
  EXPECT_GE(lap, 0.019);
  // The lap restarted the timer: what it shows since is no more than what passed since just
  // before the lap (however long this thread was held in between).
  const double sinceLap = t.Elapsed();
  const double passed = std::chrono::duration<double>(std::chrono::steady_clock::now() - beforeLap).count();
  EXPECT_LE(sinceLap, passed);
}

TEST(FatalErrorDeathTest, LogsHaltyAndStops) {
  EXPECT_EXIT(
      {
        Log().SetSink(OLogConsole::Sink::Stderr);
        FatalError("table overflow");
      },
      ::testing::ExitedWithCode(3), "HALTY table overflow");
}

}  // namespace
}  // namespace kavu
