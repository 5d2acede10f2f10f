#include "sim/pseudo_terminal.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kavu::sim {

PseudoTerminal::~PseudoTerminal() { Close(); }

bool PseudoTerminal::Create(std::string* error) {
  Close();
  const auto fail = [&](const char* step) {
    *error = std::string(step) + ": " + std::strerror(errno);
    Close();
    return false;
  };
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) return fail("posix_openpt");
  if (::grantpt(master_) != 0) return fail("grantpt");
  if (::unlockpt(master_) != 0) return fail("unlockpt");
  char name[128];
  if (::ptsname_r(master_, name, sizeof name) != 0) return fail("ptsname");
  slave_path_ = name;
  slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0) return fail("open slave");
  termios t{};
  if (::tcgetattr(slave_, &t) != 0) return fail("tcgetattr");
  ::cfmakeraw(&t);
  if (::tcsetattr(slave_, TCSANOW, &t) != 0) return fail("tcsetattr");
  const int flags = ::fcntl(master_, F_GETFL);
  if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) return fail("fcntl");
  return true;
}

void PseudoTerminal::Close() {
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
  slave_ = master_ = -1;
}

}  // namespace kavu::sim
