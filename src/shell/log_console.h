#pragma once
// The log console every part of the program writes its diagnostic text to.
//
//   Log() << "Частота " << f << " Гц\n";            // one statement, written as one piece
//   Log().SetColour(12); Log() << "ошибка\n"; Log().SetColour(7);
//   Log() << LogColour(14) << "notice" << LogColour(7) << "\n";
//
// A chained statement is collected and written whole when it ends, so text from two threads
// never tears inside one statement. The colour is the calling thread's own: a colour set by one
// thread never colours another thread's text. Output is UTF-8; on a terminal the colour
// attributes become ANSI colours. Every statement also goes into the in-memory console screen.
//
// Conversions by argument type: char "%c", unsigned short "%hu", int "%d", unsigned "%u",
// double "%.9g", float "%g", LogHex "%X", unsigned long "%lu", long "%ld", texts as they are
// (UTF-8), UTF-16 texts converted to UTF-8. Numbers never depend on the locale.
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "shell/console_screen.h"

namespace kavu {

// Console colour attributes the program uses.
enum : int {
  kColourNormal = 7,
  kColourBanner = 11,
  kColourError = 12,
  kColourSync = 13,
  kColourNotice = 14,
  kColourHeading = 15,
  kColourWeb = 5,
};

struct LogColour {
  explicit LogColour(int a) : attribute(a) {}
  int attribute;
};
struct LogHex {
  explicit LogHex(uint32_t v) : value(v) {}
  uint32_t value;
};

class OLogConsole {
 public:
  enum class Sink { Stdout, Stderr, None };

  // One chained statement; written when it is destroyed at the end of the full expression.
  class Statement {
   public:
    explicit Statement(OLogConsole& log);
    Statement(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement();

    Statement& operator<<(char v);
    Statement& operator<<(unsigned short v);
    Statement& operator<<(short v);
    Statement& operator<<(int v);
    Statement& operator<<(unsigned v);
    Statement& operator<<(long v);
    Statement& operator<<(unsigned long v);
    Statement& operator<<(long long v);
    Statement& operator<<(unsigned long long v);
    Statement& operator<<(bool v);
    Statement& operator<<(double v);
    Statement& operator<<(float v);
    Statement& operator<<(LogHex v);
    Statement& operator<<(LogColour c);
    Statement& operator<<(const char* text);
    Statement& operator<<(std::string_view text);
    Statement& operator<<(const std::string& text);
    Statement& operator<<(const char16_t* text);
    Statement& operator<<(std::u16string_view text);
    Statement& operator<<(const std::u16string& text);

   private:
    std::string& Text();
    OLogConsole* log_;
    std::vector<std::pair<int, std::string>> pieces_;  // (attribute, UTF-8 text)
  };

  template <class T>
  Statement operator<<(const T& v) {
    Statement s(*this);
    s << v;
    return s;
  }

  // Colour of the calling thread's following text.
  void SetColour(int attribute);
  int Colour() const;

  // Where text goes besides the screen (stdout by default). Colours are used only when the
  // destination is a terminal.
  void SetSink(Sink sink);
  // Keeps a copy of everything written from now on (for tests and diagnostics).
  void SetCapture(bool on);
  std::string TakeCaptured();

  // A copy of the screen, taken under the log's lock.
  ConsoleScreen ScreenCopy();

 private:
  friend class Statement;
  void Flush(const std::vector<std::pair<int, std::string>>& pieces);

  std::mutex mutex_;
  Sink sink_ = Sink::Stdout;
  bool capture_ = false;
  std::string captured_;
  ConsoleScreen screen_;
};

// The program's one log console, usable from static initialisation until exit.
OLogConsole& Log();

// Writes `text` to the log console in the error colour (red), as one statement, and returns the
// calling thread to the normal colour. The text carries its own line end, if any.
void LogRed(std::string_view text);

}  // namespace kavu
