#include "receivers/sample_rings.h"

#include <algorithm>

#include "shell/fatal_error.h"
#include "shell/log_console.h"

namespace kavu {

SampleRings::SampleRings(int32_t capacity) : capacity_(capacity) {
  if (capacity < 1) FatalError("SampleRings: ёмкость колец должна быть не меньше 1");
  const auto n = static_cast<size_t>(capacity);
  // Pages are touched only when written: ring B stays untouched unless a dual tuner streams.
  ring_a_ = std::make_unique_for_overwrite<IqEntry[]>(n);
  ring_b_ = std::make_unique_for_overwrite<IqEntry[]>(n);
  staged_a_ = std::make_unique<int16_t[]>(2 * static_cast<size_t>(kStagedCapacity));
}

void SampleRings::ResetCounters() {
  m_RingWr.store(0);
  m_SkipBlocks.store(0);
  m_OverloadA.store(0);
  m_OverloadB.store(0);
  m_MaxBlockN.store(0);
  m_WriteCount.store(0);
  m_WriteClaim.store(0);
  m_StreamABufN.store(0);
  m_hDataEvent.Reset();
}

bool SampleRings::Admit(uint32_t length) {
  uint32_t seen = m_MaxBlockN.load(std::memory_order_relaxed);
  while (length > seen && !m_MaxBlockN.compare_exchange_weak(seen, length, std::memory_order_relaxed)) {
  }
  int32_t skip = m_SkipBlocks.load(std::memory_order_acquire);
  while (skip > 0) {
    if (m_SkipBlocks.compare_exchange_weak(skip, skip - 1, std::memory_order_acq_rel)) return false;
  }
  return true;
}

void SampleRings::Claim(uint32_t n) {
  m_WriteClaim.store(m_WriteCount.load(std::memory_order_relaxed) + n, std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_release);
}

void SampleRings::Publish(int32_t next_index, uint32_t n, bool rail) {
  m_WriteCount.fetch_add(n, std::memory_order_release);
  m_RingWr.store(next_index, std::memory_order_release);
  if (rail) m_OverloadA.fetch_add(1, std::memory_order_relaxed);
  m_hDataEvent.Signal();
}

namespace {

// Converts n interleaved pairs into ring entries from index wr, in at most two runs (up to
// the ring's end, then from its start); returns the next index and whether a rail value was seen.
template <class Value, class Convert, class Rail>
int32_t ConvertPairs(const Value* buf, uint32_t n, IqEntry* ring, int32_t wr, int32_t capacity,
                     Convert convert, Rail is_rail, bool& rail) {
  uint32_t done = 0;
  unsigned seen = 0;
  while (done < n) {
    const uint32_t run = std::min<uint32_t>(n - done, static_cast<uint32_t>(capacity - wr));
    IqEntry* out = ring + wr;
    const Value* in = buf + 2 * static_cast<size_t>(done);
    for (uint32_t k = 0; k < run; ++k) {
      seen |= is_rail(in[2 * k]) | is_rail(in[2 * k + 1]);
      StoreRingEntry(out[k], {convert(in[2 * k]), convert(in[2 * k + 1])});
    }
    done += run;
    wr += static_cast<int32_t>(run);
    if (wr == capacity) wr = 0;
  }
  rail = seen != 0;
  return wr;
}

}  // namespace

void SampleRings::DeliverU8(const uint8_t* buf, uint32_t len) {
  if (!Admit(len)) return;
  const uint32_t n = len / 2;
  Claim(n);
  bool rail = false;
  const int32_t wr = ConvertPairs(
      buf, n, ring_a_.get(), m_RingWr.load(std::memory_order_relaxed), capacity_,
      [](uint8_t b) { return static_cast<float>(b) - 128.0f; },
      [](uint8_t b) { return static_cast<unsigned>(static_cast<uint8_t>(b + 1) < 2); }, rail);
  Publish(wr, n, rail);
}

void SampleRings::DeliverS8(const int8_t* buf, uint32_t len) {
  if (!Admit(len)) return;
  const uint32_t n = len / 2;
  Claim(n);
  bool rail = false;
  const int32_t wr = ConvertPairs(
      buf, n, ring_a_.get(), m_RingWr.load(std::memory_order_relaxed), capacity_,
      [](int8_t b) { return static_cast<float>(b); },
      [](int8_t b) { return static_cast<unsigned>(b == -128 || b == 127); }, rail);
  Publish(wr, n, rail);
}

// Plug-in blocks: no rail test, so the rail lambda is a constant the loop drops.
template <class Value, class Convert>
void SampleRings::DeliverPairsNoRail(const Value* iq, uint32_t pairs, Convert convert) {
  if (!Admit(pairs)) return;
  Claim(pairs);
  bool rail = false;
  const int32_t wr = ConvertPairs(iq, pairs, ring_a_.get(), m_RingWr.load(std::memory_order_relaxed),
                                  capacity_, convert, [](Value) { return 0u; }, rail);
  Publish(wr, pairs, false);
}

void SampleRings::DeliverExtIOI16(const int16_t* iq, uint32_t pairs, float offset) {
  DeliverPairsNoRail(iq, pairs, [offset](int16_t v) { return static_cast<float>(v) - offset; });
}

void SampleRings::DeliverExtIOF32(const float* iq, uint32_t pairs, float offset) {
  DeliverPairsNoRail(iq, pairs, [offset](float v) { return v - offset; });
}

void SampleRings::DeliverExtIOU8(const uint8_t* iq, uint32_t pairs) {
  DeliverPairsNoRail(iq, pairs, [](uint8_t v) { return static_cast<float>(v) - 128.0f; });
}

void SampleRings::DeliverI16(const int16_t* xi, const int16_t* xq, uint32_t n) {
  if (!Admit(n)) return;
  Claim(n);
  int32_t wr = m_RingWr.load(std::memory_order_relaxed);
  IqEntry* ring = ring_a_.get();
  for (uint32_t k = 0; k < n; ++k) {
    StoreRingEntry(ring[wr], {static_cast<float>(xi[k]), static_cast<float>(xq[k])});
    if (++wr == capacity_) wr = 0;
  }
  Publish(wr, n, false);
}

void SampleRings::StageA(const int16_t* xi, const int16_t* xq, uint32_t n) {
  const uint32_t keep = std::min<uint32_t>(n, kStagedCapacity);
  int16_t* staged = staged_a_.get();
  for (uint32_t k = 0; k < keep; ++k) {
    staged[2 * k] = xi[k];
    staged[2 * k + 1] = xq[k];
  }
  m_StreamABufN.store(n, std::memory_order_release);
}

void SampleRings::DeliverDualB(const int16_t* xi, const int16_t* xq, uint32_t n) {
  if (!Admit(n)) return;
  if (m_StreamABufN.load(std::memory_order_acquire) != n) {
    Log() << "m_StreamABufN != numSamples \n";
  }
  m_StreamABufN.store(0, std::memory_order_relaxed);
  Claim(n);
  int32_t wr = m_RingWr.load(std::memory_order_relaxed);
  IqEntry* a = ring_a_.get();
  IqEntry* b = ring_b_.get();
  const int16_t* staged = staged_a_.get();
  for (uint32_t k = 0; k < n; ++k) {
    StoreRingEntry(b[wr], {static_cast<float>(xi[k]), static_cast<float>(xq[k])});
    // Nothing beyond the staging array is ever read.
    StoreRingEntry(a[wr], k < static_cast<uint32_t>(kStagedCapacity)
                              ? IqEntry{static_cast<float>(staged[2 * k]), static_cast<float>(staged[2 * k + 1])}
                              : IqEntry{0.0f, 0.0f});
    if (++wr == capacity_) wr = 0;
  }
  Publish(wr, n, false);
}

extern "C" void KavuRtlSdrBlockSink(unsigned char* buf, uint32_t len, void* context) {
  if (!context || (!buf && len)) return;
  static_cast<SampleRings*>(context)->DeliverU8(buf, len);
}

}  // namespace kavu
