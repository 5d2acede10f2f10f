#pragma once
// A serial device opened through termios: exclusive, raw 8N1 at a given baud rate, no flow
// control, non-blocking reads and writes bounded by a deadline. Errors are errno values; the
// caller decides what to tell the user. Not thread-safe: one owner thread.
#include <cstddef>
#include <cstdint>
#include <string>

namespace kavu {

class SerialPortDevice {
 public:
  SerialPortDevice() = default;
  ~SerialPortDevice();
  SerialPortDevice(const SerialPortDevice&) = delete;
  SerialPortDevice& operator=(const SerialPortDevice&) = delete;

  // Opens `path` for reading and writing, non-blocking, without becoming the controlling
  // terminal, and takes it exclusively: an advisory lock (flock) and TIOCEXCL, so a second
  // opener (this or another program) fails with EBUSY. Closes any previous device first.
  // Returns 0 or the errno of the failing step (the device is closed again then).
  int Open(const std::string& path);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  int Fd() const { return fd_; }
  const std::string& Path() const { return path_; }

  // Raw mode, 8 data bits, no parity, one stop bit, receiver on, modem status ignored, no
  // hardware or software flow control, reads return at once. Returns 0 or errno (EINVAL for a
  // baud rate termios cannot express).
  int ApplyLineSettings(int baud);
  // RTS asserted and DTR off. Returns 0 or errno (a pseudo-terminal answers ENOTTY or EINVAL).
  int SetRtsOnDtrOff();
  // Makes reads and writes non-blocking (already so after Open; kept as the step that stands for
  // the time-outs of other platforms). Returns 0 or errno.
  int SetNonBlocking();

  // Reads what has arrived, up to `max` bytes, without waiting. Returns the count (0 = nothing
  // there) or -errno; a device that hung up (unplugged, or the far end of a pseudo-terminal
  // closed) gives -EIO.
  long ReadSome(uint8_t* buffer, size_t max);
  // Writes all `count` bytes, waiting for room as needed, until `deadline_ms` has passed.
  // Returns the count written; *error is 0 when all went, else the errno (ETIMEDOUT when the
  // deadline passed first).
  size_t Write(const uint8_t* data, size_t count, int deadline_ms, int* error);
  // Waits until bytes can be read (or the device hung up) or `timeout_ms` has passed, without
  // using the processor meanwhile. Returns true when a read should be tried.
  bool WaitReadable(int timeout_ms);

 private:
  int fd_ = -1;
  std::string path_;
};

// The termios speed constant for a baud rate, or 0 when there is none.
unsigned SerialSpeedConstant(int baud);

}  // namespace kavu
