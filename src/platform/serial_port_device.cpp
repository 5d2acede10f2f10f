#include "platform/serial_port_device.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "platform/steady_clock.h"

namespace kavu {
namespace {

}  // namespace

unsigned SerialSpeedConstant(int baud) {
  switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 921600: return B921600;
    default: return 0;
  }
}

SerialPortDevice::~SerialPortDevice() { Close(); }

int SerialPortDevice::Open(const std::string& path) {
  Close();
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int e = errno == EWOULDBLOCK ? EBUSY : errno;
    ::close(fd);
    return e;
  }
  if (::ioctl(fd, TIOCEXCL) != 0) {
    const int e = errno;
    ::close(fd);
    return e;
  }
  fd_ = fd;
  path_ = path;
  return 0;
}

void SerialPortDevice::Close() {
  if (fd_ < 0) return;
  ::ioctl(fd_, TIOCNXCL);
  ::close(fd_);  // also drops the flock
  fd_ = -1;
  path_.clear();
}

int SerialPortDevice::ApplyLineSettings(int baud) {
  if (fd_ < 0) return EBADF;
  const unsigned speed = SerialSpeedConstant(baud);
  if (speed == 0) return EINVAL;
  termios t{};
  if (::tcgetattr(fd_, &t) != 0) return errno;
  ::cfmakeraw(&t);
  t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | ISTRIP | IGNPAR | PARMRK);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  t.c_cflag |= CS8 | CREAD | CLOCAL;
  // With O_NONBLOCK, VMIN 1 makes "nothing there" EAGAIN and a hang-up end of file.
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  t.c_cc[VSTART] = 0x11;
  t.c_cc[VSTOP] = 0x13;
  if (::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0) return errno;
  if (::tcsetattr(fd_, TCSANOW, &t) != 0) return errno;
  return 0;
}

int SerialPortDevice::SetRtsOnDtrOff() {
  if (fd_ < 0) return EBADF;
  int rts = TIOCM_RTS;
  if (::ioctl(fd_, TIOCMBIS, &rts) != 0) return errno;
  int dtr = TIOCM_DTR;
  if (::ioctl(fd_, TIOCMBIC, &dtr) != 0) return errno;
  return 0;
}

int SerialPortDevice::SetNonBlocking() {
  if (fd_ < 0) return EBADF;
  const int flags = ::fcntl(fd_, F_GETFL);
  if (flags < 0 || ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK) != 0) return errno;
  return 0;
}

long SerialPortDevice::ReadSome(uint8_t* buffer, size_t max) {
  if (fd_ < 0) return -EBADF;
  if (max == 0) return 0;
  for (;;) {
    const ssize_t n = ::read(fd_, buffer, max);
    if (n > 0) return n;
    if (n == 0) {
      // With VMIN 0 a tty also reads 0 when nothing is there; only a hang-up sets POLLHUP.
      pollfd p{fd_, POLLIN, 0};
      return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR)) ? -EIO : 0;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    return -errno;
  }
}

size_t SerialPortDevice::Write(const uint8_t* data, size_t count, int deadline_ms, int* error) {
  *error = 0;
  if (fd_ < 0) {
    *error = EBADF;
    return 0;
  }
  const int64_t end = SteadyNowMs() + deadline_ms;
  size_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(fd_, data + done, count - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      *error = errno;
      return done;
    }
    const int64_t left = end - SteadyNowMs();
    if (left <= 0) {
      *error = ETIMEDOUT;
      return done;
    }
    pollfd p{fd_, POLLOUT, 0};
    const int r = ::poll(&p, 1, static_cast<int>(left));
    if (r < 0 && errno != EINTR) {
      *error = errno;
      return done;
    }
    if (r > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) && !(p.revents & POLLOUT)) {
      *error = EIO;
      return done;
    }
  }
  return done;
}

bool SerialPortDevice::WaitReadable(int timeout_ms) {
  if (fd_ < 0) return false;
  pollfd p{fd_, POLLIN, 0};
  const int64_t end = SteadyNowMs() + (timeout_ms > 0 ? timeout_ms : 0);
  for (;;) {
    const int64_t left = end - SteadyNowMs();
    const int r = ::poll(&p, 1, static_cast<int>(left > 0 ? left : 0));
    if (r > 0) return true;
    if (r == 0) return false;
    if (errno != EINTR) return true;  // let the read report the error
  }
}

}  // namespace kavu
