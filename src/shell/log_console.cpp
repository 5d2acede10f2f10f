#include "shell/log_console.h"

#include <cinttypes>

#include "platform/console_output.h"
#include "platform/number_text.h"
#include "platform/text_cp1251.h"

namespace kavu {
namespace {

thread_local int t_colour = kColourNormal;

template <class... A>
std::string Printf(const char* fmt, A... args) {
  char buf[64];
  const int n = std::snprintf(buf, sizeof buf, fmt, args...);
  return std::string(buf, n < 0 ? 0 : static_cast<size_t>(n));
}

}  // namespace

OLogConsole& Log() {
  // Never destroyed: threads and static destructors may still write at exit.
  static OLogConsole* log = new OLogConsole();
  return *log;
}

OLogConsole::Statement::Statement(OLogConsole& log) : log_(&log) {}

OLogConsole::Statement::Statement(Statement&& other) noexcept
    : log_(std::exchange(other.log_, nullptr)), pieces_(std::move(other.pieces_)) {}

OLogConsole::Statement::~Statement() {
  if (log_ && !pieces_.empty()) log_->Flush(pieces_);
}

std::string& OLogConsole::Statement::Text() {
  if (pieces_.empty() || pieces_.back().first != t_colour) pieces_.emplace_back(t_colour, "");
  return pieces_.back().second;
}

using S = OLogConsole::Statement;
S& S::operator<<(char v) { Text() += v; return *this; }
S& S::operator<<(unsigned short v) { Text() += Printf("%hu", v); return *this; }
S& S::operator<<(short v) { Text() += Printf("%d", v); return *this; }
S& S::operator<<(int v) { Text() += Printf("%d", v); return *this; }
S& S::operator<<(unsigned v) { Text() += Printf("%u", v); return *this; }
S& S::operator<<(long v) { Text() += Printf("%ld", v); return *this; }
S& S::operator<<(unsigned long v) { Text() += Printf("%lu", v); return *this; }
S& S::operator<<(long long v) { Text() += Printf("%lld", v); return *this; }
S& S::operator<<(unsigned long long v) { Text() += Printf("%llu", v); return *this; }
S& S::operator<<(bool v) { Text() += v ? '1' : '0'; return *this; }
S& S::operator<<(double v) { Text() += FormatG(v, 9); return *this; }
S& S::operator<<(float v) { Text() += FormatG(v, 6); return *this; }
S& S::operator<<(LogHex v) { Text() += Printf("%X", v.value); return *this; }
S& S::operator<<(LogColour c) { t_colour = c.attribute; return *this; }
S& S::operator<<(const char* text) { if (text) Text() += text; return *this; }
S& S::operator<<(std::string_view text) { Text() += text; return *this; }
S& S::operator<<(const std::string& text) { Text() += text; return *this; }
S& S::operator<<(const char16_t* text) {
  if (text) Text() += Utf16ToUtf8(text);
  return *this;
}
S& S::operator<<(std::u16string_view text) { Text() += Utf16ToUtf8(text); return *this; }
S& S::operator<<(const std::u16string& text) { Text() += Utf16ToUtf8(text); return *this; }

void OLogConsole::SetColour(int attribute) { t_colour = attribute; }
int OLogConsole::Colour() const { return t_colour; }

void OLogConsole::SetSink(Sink sink) {
  std::lock_guard<std::mutex> lock(mutex_);
  sink_ = sink;
}

void OLogConsole::SetCapture(bool on) {
  std::lock_guard<std::mutex> lock(mutex_);
  capture_ = on;
  if (!on) captured_.clear();
}

std::string OLogConsole::TakeCaptured() {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::exchange(captured_, {});
}

ConsoleScreen OLogConsole::ScreenCopy() {
  std::lock_guard<std::mutex> lock(mutex_);
  return screen_;
}

void OLogConsole::Flush(const std::vector<std::pair<int, std::string>>& pieces) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::FILE* out = sink_ == Sink::Stdout ? stdout : sink_ == Sink::Stderr ? stderr : nullptr;
  const bool colour = out && IsTerminal(out);
  std::string whole;
  for (const auto& [attr, text] : pieces) {
    screen_.Put(text, attr);
    if (capture_) captured_ += text;
    if (colour && (attr & 15) != kColourNormal) {
      whole += AnsiColour(attr);
      whole += text;
      whole += AnsiColour(kColourNormal);
    } else {
      whole += text;
    }
  }
  if (out) WriteConsoleText(out, whole, kColourNormal, false);
}

void LogRed(std::string_view text) { Log() << LogColour(kColourError) << text << LogColour(kColourNormal); }

}  // namespace kavu
