#pragma once
// The sample rings every receiver back end delivers into, and the delivery contract.
//
// One receiver streams at a time, so there is one producer: the receiver library's own thread
// (or the back end's reading thread) calls one of the Deliver*() functions per block. The
// consumer is the sample loop; it reads through a SampleRingReader.
//
// Delivery of one block, in this order:
//   1. m_MaxBlockN := max(m_MaxBlockN, block length as the library gives it: bytes for the 8-bit
//      kinds, samples for the 16-bit kinds);
//   2. while m_SkipBlocks > 0 the block is dropped and m_SkipBlocks decremented (no event);
//   3. the samples are converted in order into m_RingA (and m_RingB in dual-tuner mode) from
//      index m_RingWr on, wrapping after the last entry;
//   4. m_WriteCount and then m_RingWr are published (release) only after all entries are written;
//   5. a block that held a converter rail value increments m_OverloadA once;
//   6. m_hDataEvent is signalled.
// Conversions, all to float without scaling: unsigned 8-bit byte − 128 (rail 0 or 255); signed
// 8-bit as it is (rail −128 or 127); 16-bit values as they are (no rail test). The odd last byte
// of an odd byte count is ignored. Plug-in blocks (DeliverExtIO*) have no rail test: int16 and
// float values less the block's offset, unsigned bytes − 128.
//
// Deliver*() takes no lock and allocates nothing. Every shared value is an atomic, and ring
// entries are written and read as atomics (StoreRingEntry, LoadRingEntry).
#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/auto_reset_event.h"

namespace kavu {

struct IqEntry {
  float i;
  float q;
};

// A ring entry is written by the producer while a reader that the producer has lapped may still
// be copying it; the reader finds that out afterwards (m_WriteClaim) and throws the copy away.
// Both sides therefore access an entry in the rings through these two, as two relaxed atomic
// floats: an overlap is a detected overrun, never a data race. They cost a plain load or store.
inline void StoreRingEntry(IqEntry& slot, IqEntry value) {
  std::atomic_ref<float>(slot.i).store(value.i, std::memory_order_relaxed);
  std::atomic_ref<float>(slot.q).store(value.q, std::memory_order_relaxed);
}
inline IqEntry LoadRingEntry(const IqEntry& slot) {
  // atomic_ref needs a non-const object; the entry is only read.
  auto& s = const_cast<IqEntry&>(slot);
  return {std::atomic_ref<float>(s.i).load(std::memory_order_relaxed),
          std::atomic_ref<float>(s.q).load(std::memory_order_relaxed)};
}

class SampleRings {
 public:
  static constexpr int32_t kProgramCapacity = 8388608;  // entries per ring in the program
  static constexpr int32_t kStagedCapacity = 32768;     // tuner-A pairs awaiting tuner B

  // `capacity` entries per ring (at least 1; the program uses kProgramCapacity, tests less).
  explicit SampleRings(int32_t capacity);
  SampleRings(const SampleRings&) = delete;
  SampleRings& operator=(const SampleRings&) = delete;

  int32_t Capacity() const { return capacity_; }
  const IqEntry* RingA() const { return ring_a_.get(); }
  const IqEntry* RingB() const { return ring_b_.get(); }

  // RTL-SDR: `len` bytes of interleaved unsigned 8-bit I, Q.
  void DeliverU8(const uint8_t* buf, uint32_t len);
  // HackRF: `len` bytes of interleaved signed 8-bit I, Q.
  void DeliverS8(const int8_t* buf, uint32_t len);
  // Receiver plug-in blocks: `pairs` interleaved I, Q pairs (block length = pairs). int16 and
  // float values less `offset`; unsigned bytes less 128 (the offset is not applied to them).
  void DeliverExtIOI16(const int16_t* iq, uint32_t pairs, float offset);
  void DeliverExtIOF32(const float* iq, uint32_t pairs, float offset);
  void DeliverExtIOU8(const uint8_t* iq, uint32_t pairs);
  // One 16-bit tuner: n pairs from separate I and Q arrays.
  void DeliverI16(const int16_t* xi, const int16_t* xq, uint32_t n);
  // Dual-tuner mode: tuner A's block is staged (at most kStagedCapacity pairs; the rest is
  // dropped), then tuner B's block writes both rings entry by entry at one index. A tuner-B
  // block whose length differs from the staged one logs "m_StreamABufN != numSamples \n" and fills the rest of
  // ring A from what the staging array still holds (zeros beyond its capacity).
  void StageA(const int16_t* xi, const int16_t* xq, uint32_t n);
  void DeliverDualB(const int16_t* xi, const int16_t* xq, uint32_t n);

  // Clears counters, indexes and pending events (the rings' contents stay). Not while streaming.
  void ResetCounters();

  // Shared state (see the header comment). The window thread writes m_SkipBlocks
  // (1,000,000,000 drops everything, 0 resumes); the producer decrements it.
  std::atomic<int32_t> m_RingWr{0};
  std::atomic<int32_t> m_SkipBlocks{0};
  std::atomic<int32_t> m_OverloadA{0};
  std::atomic<int32_t> m_OverloadB{0};
  std::atomic<uint32_t> m_MaxBlockN{0};
  // Entries written since the rings were made: lets the reader detect that it was lapped.
  std::atomic<uint64_t> m_WriteCount{0};
  // Entries written or being written: raised before a block's entries are written, so a reader
  // can tell whether the entries it just copied may have been overwritten meanwhile.
  std::atomic<uint64_t> m_WriteClaim{0};
  AutoResetEvent m_hDataEvent;

 private:
  // Steps 1 and 2; true when the block is to be delivered.
  bool Admit(uint32_t length);
  // Announces n entries about to be written.
  void Claim(uint32_t n);
  // Steps 4 to 6 for a block of n entries.
  void Publish(int32_t next_index, uint32_t n, bool rail);
  template <class Value, class Convert>
  void DeliverPairsNoRail(const Value* iq, uint32_t pairs, Convert convert);

  int32_t capacity_;
  std::unique_ptr<IqEntry[]> ring_a_;
  std::unique_ptr<IqEntry[]> ring_b_;
  std::unique_ptr<int16_t[]> staged_a_;  // m_StagedA: I, Q interleaved
  std::atomic<uint32_t> m_StreamABufN{0};
};

// Block sink for the RTL-SDR library's asynchronous read: `context` is the SampleRings.
// Has the librtlsdr callback's C signature; never throws.
extern "C" void KavuRtlSdrBlockSink(unsigned char* buf, uint32_t len, void* context);

}  // namespace kavu
