#include "platform/console_output.h"

#include <unistd.h>

#include <cerrno>

namespace kavu {

std::string AnsiColour(int attribute) {
  const int fg = attribute & 15;
  if (fg == 7) return "\x1b[0m";
  // Console bit order is blue, green, red; ANSI's is red, green, blue.
  const int ansi = ((fg & 4) ? 1 : 0) | ((fg & 2) ? 2 : 0) | ((fg & 1) ? 4 : 0);
  return "\x1b[" + std::to_string(((fg & 8) ? 90 : 30) + ansi) + "m";
}

bool IsTerminal(std::FILE* stream) { return stream && isatty(fileno(stream)) == 1; }

void WriteConsoleText(std::FILE* stream, std::string_view utf8, int attribute, bool colour) {
  if (!stream || utf8.empty()) return;
  std::string buf;
  if (colour && (attribute & 15) != 7) {
    buf = AnsiColour(attribute);
    buf.append(utf8);
    buf += "\x1b[0m";
    utf8 = buf;
  }
  std::fflush(stream);
  const int fd = fileno(stream);
  while (!utf8.empty()) {
    const ssize_t n = write(fd, utf8.data(), utf8.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return;  // a closed or broken console loses the text, never the program
    }
    utf8.remove_prefix(static_cast<size_t>(n));
  }
}

}  // namespace kavu
