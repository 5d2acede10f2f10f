#include "board/serial_port.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "board/port_list.h"
#include "shell/log_console.h"
#include "platform/steady_clock.h"

namespace kavu {
namespace {


constexpr int kWriteBaseMs = 1500;
constexpr int kNetworkExtraMs = 1000;
constexpr int kCancelSliceMs = 20;

}  // namespace

void OSerialPort::SetNetworkBridge(INetworkSerialBridge* bridge) {
  if (network_) Close();  // the reader leaves the bridge it attached to
  bridge_ = bridge;
}

void OSerialPort::SetPathResolver(std::function<std::string(int)> resolver) {
  resolver_ = std::move(resolver);
}

void OSerialPort::KeepError(int code) {
  if (last_error_ == 0 && code != 0) last_error_ = static_cast<uint32_t>(code);
}

void OSerialPort::HangUp(int code) {
  KeepError(code);
  Log() << LogColour(kColourError) << "Порт " << device_.Path() << " пропал (" << std::strerror(code)
        << "), закрываю его\n"
        << LogColour(kColourNormal);
  device_.Close();
  device_open_ = false;
}

bool OSerialPort::Open(int port, int baud) {
  Close();
  network_ = false;
  last_error_ = 0;
  last_error_text_.clear();
  port_ = port;
  if (port == kNetworkPortNumber) return OpenNetwork();
  const std::string path = resolver_ ? resolver_(port) : PortPathForNumber(port);
  if (path.empty()) {
    KeepError(ENOENT);
    last_error_text_ = "Не могу открыть выбранный порт COM" + std::to_string(port) + "\n" +
                       std::strerror(ENOENT);
    return false;
  }
  Log() << "Открываю " << path << "\n";
  if (const int e = device_.Open(path)) {
    KeepError(e);
    last_error_text_ = "Не могу открыть выбранный порт " + path + "\n" + std::strerror(e);
    return false;
  }
  int e = device_.ApplyLineSettings(baud);
  if (e == 0) e = device_.SetRtsOnDtrOff();
  if (e != 0) {
    KeepError(e);
    Log() << LogColour(kColourError) << "!!! Не могу установить для порта требуемый режим (" << baud
          << "  бод) !\n"
          << std::strerror(e) << "\n"
          << LogColour(kColourNormal)
          << "Ради кривого cdc от stm32 игнорирую это проблему и пытаюсь продолжить работу \n";
  }
  Log() << "m_dcb.BaudRate = " << baud << "   \n";
  if (const int t = device_.SetNonBlocking()) {
    KeepError(t);
    last_error_text_ = std::string("Не могу установить необходимые тайм-ауты для выбранного порта\n") +
                       std::strerror(t);
    device_.Close();
    return false;
  }
  device_open_ = true;
  return true;
}

bool OSerialPort::OpenNetwork() {
  INetworkSerialBridge* bridge = bridge_;
  if (!bridge) {
    last_error_text_ =
        "Сетевой com-порт недоступен! Включите в настройках запуск Http сервера и перезапустите "
        "программу\n";
    return false;
  }
  Log() << "Открываю сетевой com-порт (мост Cеть - Angroid - usb_host)\n";
  ring_read_ = bridge->ReceiveWriteIndex();
  bridge->ReaderAttached(true);
  bridge->ReceiveRead(ring_read_);
  network_ = true;
  return true;
}

void OSerialPort::Close() {
  if (INetworkSerialBridge* bridge = network_ ? bridge_ : nullptr) bridge->ReaderAttached(false);
  network_ = false;
  device_.Close();
  device_open_ = false;
}

void OSerialPort::Write(const uint8_t* data, size_t count) {
  if (network_) {
    INetworkSerialBridge* bridge = bridge_;
    if (bridge && bridge->Send(data, count) == count) return;
    KeepError(EAGAIN);
    Log() << LogColour(kColourError) << "ОШИБКА записи данных com-порт !!! \n" << LogColour(kColourNormal);
    return;
  }
  if (!device_.IsOpen()) return;
  int error = 0;
  const size_t done = device_.Write(data, count, kWriteBaseMs + static_cast<int>(std::min<size_t>(count, 1 << 20)), &error);
  if (done == count && error == 0) return;
  KeepError(error != 0 ? error : EIO);
  Log() << LogColour(kColourError) << "ОШИБКА записи данных com-порт !!! \n" << LogColour(kColourNormal);
  if (error == EIO || error == ENXIO || error == ENODEV) HangUp(error);
}

bool OSerialPort::ReadSome(uint8_t* buffer, int max, int* count) {
  *count = 0;
  if (max <= 0) return true;
  if (network_) {
    INetworkSerialBridge* bridge = bridge_;
    if (!bridge) return true;
    const int write = bridge->ReceiveWriteIndex();
    const int available = (write - ring_read_ + INetworkSerialBridge::kRingSize) % INetworkSerialBridge::kRingSize;
    const int n = std::min(max, available);
    const uint8_t* ring = bridge->ReceiveRing();
    for (int i = 0; i < n; ++i) {
      buffer[i] = ring[ring_read_];
      ring_read_ = (ring_read_ + 1) % INetworkSerialBridge::kRingSize;
    }
    if (n > 0) bridge->ReceiveRead(ring_read_);
    *count = n;
    return true;
  }
  if (!device_.IsOpen()) return true;
  const long n = device_.ReadSome(buffer, static_cast<size_t>(max));
  if (n >= 0) {
    *count = static_cast<int>(n);
    return true;
  }
  const int e = static_cast<int>(-n);
  read_error_ = e;
  if (e == EIO || e == ENXIO || e == ENODEV) {
    HangUp(e);
  } else {
    KeepError(e);
  }
  return false;
}

int OSerialPort::WaitTimeLeft(int64_t deadline_ms) const {
  return static_cast<int>(std::max<int64_t>(0, deadline_ms - SteadyNowMs()));
}

int OSerialPort::ReadAll(uint8_t* buffer, int wanted, int timeout_ms, const std::atomic<bool>* cancel) {
  if (network_) timeout_ms += kNetworkExtraMs;
  const int64_t deadline = SteadyNowMs() + timeout_ms;
  int got = 0;
  while (got < wanted && IsOpen()) {
    int n = 0;
    const bool ok = ReadSome(buffer + got, wanted - got, &n);  // a failure only keeps its code
    got += n;
    if (got >= wanted) break;
    int left = WaitTimeLeft(deadline);
    if (left <= 0 || (cancel && cancel->load())) break;
    if (cancel) left = std::min(left, kCancelSliceMs);
    if (!ok) {
      // The descriptor may stay "readable" with an error: pause instead of spinning.
      std::this_thread::sleep_for(std::chrono::milliseconds(std::min(left, 10)));
    } else if (network_) {
      if (INetworkSerialBridge* bridge = bridge_) {
        bridge->WaitForData(ring_read_, left);
      } else {
        break;
      }
    } else if (device_.IsOpen()) {
      device_.WaitReadable(left);
    }
  }
  return got;
}

}  // namespace kavu
