#pragma once
// OSerialPort: the byte pipe to the control board, either a serial device (port numbers 1 and up,
// mapped to device paths by board/port_list.h) or the network serial bridge (-33). One thread at
// a time: the window thread, or the board protocol's exchange thread while an exchange it started
// owns the port (board_protocol.h). Failures are kept as an error code (the first since Open) and, for Open, a text for the
// error box; read and write failures are also logged.
//
// A device that hangs up while open (unplugged, or the emulated board closed its end) is closed
// by the first read or write that sees it: IsOpen() turns false, the error is logged in red, and
// later commands take their closed-port results instead of waiting for replies that cannot come.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "board/network_serial_bridge.h"
#include "platform/serial_port_device.h"

namespace kavu {

class OSerialPort {
 public:
  static constexpr int kBaud = 115200;

  OSerialPort() = default;
  ~OSerialPort() = default;
  OSerialPort(const OSerialPort&) = delete;
  OSerialPort& operator=(const OSerialPort&) = delete;

  // Closes any previous port, then opens port `port` at `baud`: exclusive, raw 8N1, no flow
  // control, RTS on and DTR off where the device allows. Logs "Открываю <path>". False with
  // LastErrorText() set when the device cannot be opened or made non-blocking.
  bool Open(int port, int baud);
  // Network mode: clears the network flag; device: closes it. Closing a closed port does nothing.
  void Close();
  // Safe from any thread (the window thread looks while an exchange thread owns the port).
  bool IsOpen() const { return network_.load() || device_open_.load(); }
  bool IsNetwork() const { return network_.load(); }
  int PortNumber() const { return port_; }
  // The device path of the open device (empty in network mode or when closed).
  const std::string& DevicePath() const { return device_.Path(); }

  // Sends all bytes (nothing when closed). A failed or short write logs the red line
  // "ОШИБКА записи данных com-порт !!! " and keeps the error code; the caller is not told.
  // The write gives up after 1500 ms + 1 ms per byte.
  void Write(const uint8_t* data, size_t count);
  // Takes what has arrived, up to `max` bytes, without waiting. Closed: true with 0. A failed
  // read: false (error code kept).
  bool ReadSome(uint8_t* buffer, int max, int* count);
  // Reads until `wanted` bytes came or `timeout_ms` passed (network mode: 1000 ms more), waiting
  // on the descriptor meanwhile. Returns the count read; returns at once when the port is closed
  // or closes on a hang-up. With `cancel`, the wait also ends within about 20 ms of *cancel
  // turning true.
  int ReadAll(uint8_t* buffer, int wanted, int timeout_ms, const std::atomic<bool>* cancel = nullptr);

  uint32_t LastErrorCode() const { return last_error_; }
  // The error of the last ReadSome that failed (LastErrorCode keeps the first error only).
  int LastReadError() const { return read_error_; }
  const std::string& LastErrorText() const { return last_error_text_; }

  // The network serial bridge that port -33 opens onto; null (the default): -33 cannot be opened.
  // Handed in by whoever owns both the port and the web server (the analyzer session), before the
  // saved port is opened; a network port open on the old bridge is closed first. The bridge must
  // outlive its use here: hand in null before it goes.
  void SetNetworkBridge(INetworkSerialBridge* bridge);
  INetworkSerialBridge* NetworkBridge() const { return bridge_; }

  // How port numbers become device paths; PortPathForNumber unless replaced (tests).
  void SetPathResolver(std::function<std::string(int)> resolver);

 private:
  void KeepError(int code);
  void HangUp(int code);
  bool OpenNetwork();
  int WaitTimeLeft(int64_t deadline_ms) const;

  SerialPortDevice device_;
  std::atomic<bool> network_{false};
  std::atomic<bool> device_open_{false};  // device_.IsOpen(), readable from any thread
  int ring_read_ = 0;
  int port_ = 0;
  uint32_t last_error_ = 0;
  int read_error_ = 0;
  std::string last_error_text_;
  std::function<std::string(int)> resolver_;
  INetworkSerialBridge* bridge_ = nullptr;
};

}  // namespace kavu
