#pragma once
// The commands of the control board's boot loader (the "monitor") over an open OSerialPort.
// Every command begins with 0xCD; addresses are 24-bit, least significant byte first:
//   read block   CD E6 a0 a1 a2          -> 32 bytes within 1000 ms
//   write block  CD E7 a0 a1 a2 d0..d31  -> 0xAA written, 0xEE protected, within 300 ms
//   start        CD EB                   -> nothing (the application starts)
//   capture      CD x 8                  -> nothing (a board being switched on stays in the monitor)
// Each read, write and start is preceded by the wake-up: what waits in the input is discarded,
// 0xCD goes out, after 10 ms the input is discarded again and 0x00 goes out.
//
// One thread at a time uses the client and its port. A closed or unplugged port makes reads
// return 0 bytes and writes report no reply; nothing here waits past its time-out.
#include <atomic>
#include <cstdint>
#include <functional>

#include "board/serial_port.h"

namespace kavu {

class BootLoaderClient {
 public:
  static constexpr uint8_t kPrefix = 0xCD;
  static constexpr uint8_t kCmdRead = 0xE6;
  static constexpr uint8_t kCmdWrite = 0xE7;
  static constexpr uint8_t kCmdStart = 0xEB;
  static constexpr uint8_t kWritten = 0xAA;
  static constexpr uint8_t kProtected = 0xEE;
  static constexpr int kReadTimeoutMs = 1000;
  static constexpr int kWriteTimeoutMs = 300;
  static constexpr int kWakeUpGapMs = 10;
  static constexpr int kCaptureBytes = 8;

  // `cancel` (optional): when it turns true, a wait for a reply ends early (as no reply).
  explicit BootLoaderClient(OSerialPort& port, const std::atomic<bool>* cancel = nullptr)
      : port_(&port), cancel_(cancel) {}

  void WakeUp();
  // Sends the read command for the block at `address` and waits for its 32 bytes; returns how
  // many came (32 on success) and stores them in `out`.
  int ReadBlock(uint32_t address, uint8_t* out);
  // Sends the write command with 32 bytes; returns the reply byte, or -1 when none came.
  int WriteBlock(uint32_t address, const uint8_t* data);
  // Sends the start command (the application runs; the boot loader answers no more).
  void Start();
  // Sends the capture sequence once.
  void SendCapture();
  bool Cancelled() const { return cancel_ && cancel_->load(); }
  // Replaces how the wake-up waits its 10 ms (std::this_thread::sleep_for unless set); a test
  // uses it to see the pause fall between the 0xCD and the 0x00.
  void SetPause(std::function<void(int ms)> pause) { pause_ = std::move(pause); }

 private:
  void Discard();
  void SendAddress(uint8_t command, uint32_t address, const uint8_t* data, size_t count);

  OSerialPort* port_;
  const std::atomic<bool>* cancel_;
  std::function<void(int ms)> pause_;
};

}  // namespace kavu
