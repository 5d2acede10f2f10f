#pragma once
// What the measurement reads from the active receiver for every point: its gains and its
// running overload counts. Implemented by the receiver side; read from the sample thread.
#include <cstdint>

namespace kavu {

struct ReceiverLevels {
  double gain_db = 0;       // main channel gain, dB
  double gain_duo_db = 0;   // second channel gain, dB (0 without a second channel)
  int32_t overloads = 0;    // running overload count, main channel
  int32_t overloads_duo = 0;
  bool duo = false;         // the receiver delivers a second channel
};

class IReceiverLevels {
 public:
  virtual ~IReceiverLevels() = default;
  // Safe from any thread; values may be a few blocks old.
  virtual ReceiverLevels Levels() const = 0;
};

}  // namespace kavu
