#pragma once
// The network serial bridge as the serial port sees it: a board hosted on a phone's USB port,
// reached through the web server. The web server registers its bridge while it runs; with none
// registered the network port (number -33) cannot be opened.
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
  // Copies bytes into the send ring and wakes the sender. Any thread.
  virtual void Send(const uint8_t* data, size_t count) = 0;
  // Waits up to `timeout_ms` until the write index differs from `seen_index`; true when it does.
  virtual bool WaitForData(int seen_index, int timeout_ms) = 0;
};

// The bridge of the running web server, or null.
INetworkSerialBridge* NetworkSerialBridge();
void SetNetworkSerialBridge(INetworkSerialBridge* bridge);

}  // namespace kavu
