#pragma once
// The network serial bridge as the serial port sees it: a board hosted on a phone's USB port,
// reached through the web server. The analyzer session hands its web server's bridge to the serial
// port (OSerialPort::SetNetworkBridge); a port without one cannot open the network port (-33).
#include <cstddef>
#include <cstdint>

namespace kavu {

class INetworkSerialBridge {
 public:
  static constexpr int kRingSize = 4096;
  virtual ~INetworkSerialBridge() = default;
  // The receive ring (bytes that came from the network, kRingSize long) and its write index
  // 0..kRingSize-1, published with release order by the bridge's thread, the only writer.
  virtual const uint8_t* ReceiveRing() const = 0;
  virtual int ReceiveWriteIndex() const = 0;
  // Copies as many bytes as the send ring has room for and wakes the sender; returns how many
  // were taken (fewer than `count` when the network side does not keep up, like a serial write
  // that could not finish). Never blocks. Any thread.
  virtual size_t Send(const uint8_t* data, size_t count) = 0;
  // The reader's position in the receive ring after it consumed bytes (0..kRingSize-1): bytes
  // from the network are only written where the reader has been, never over unread ones.
  virtual void ReceiveRead(int /*read_index*/) {}
  // The network port was opened (true) or closed (false); while nobody reads, received bytes
  // are discarded and counted as lost.
  virtual void ReaderAttached(bool /*attached*/) {}
  // Waits up to `timeout_ms` until the write index differs from `seen_index`; true when it does.
  virtual bool WaitForData(int seen_index, int timeout_ms) = 0;
};

}  // namespace kavu
