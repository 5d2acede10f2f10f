// ScanStation: the serial poll, bytes the board sends without being asked.
#include <cstdio>
#include <cstring>

#include "scan/scan_station.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

constexpr int kShownBytes = 128;

std::string UnaskedLine(const uint8_t* bytes, int n) {
  std::string line = "Принято " + std::to_string(n) + " байт: ";
  const int shown = n < kShownBytes ? n : kShownBytes;
  for (int i = 0; i < shown; ++i) {
    char piece[8];
    std::snprintf(piece, sizeof piece, i == 0 ? "%02x" : ", %02x", bytes[i]);
    line += piece;
  }
  if (n > shown) line += ", ...";
  return line + "\n";
}

}  // namespace

void ScanStation::PollSerial() {
  // One poll waits at most: a run's reply may hold the port for seconds.
  if (poll_queued_ || !port_.IsOpen()) return;
  poll_queued_ = true;
  board_.WhenFree([this] {
    poll_queued_ = false;
    ReadUnasked();
  });
}

void ScanStation::ReadUnasked() {
  if (!port_.IsOpen()) return;
  poll_buffer_.resize(kSerialPollBytes);
  int n = 0;
  if (!port_.ReadSome(poll_buffer_.data(), kSerialPollBytes, &n)) {
    const std::string why = std::strerror(port_.LastReadError());
    board_.CancelPending();
    port_.Close();
    NotifyPorts();
    box_.Show("Ошибка при запросе данных с выбранного порта\n" + why + "\n" + "Попробуйте выбрать порт заново\n");
    return;
  }
  if (n > 0) Log() << UnaskedLine(poll_buffer_.data(), n);
}

}  // namespace kavu
