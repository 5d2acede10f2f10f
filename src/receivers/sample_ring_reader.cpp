#include "receivers/sample_ring_reader.h"

#include <atomic>

#include "shell/log_console.h"

namespace kavu {

SampleRingReader::SampleRingReader(const SampleRings& rings)
    : rings_(rings), position_(rings.m_WriteCount.load(std::memory_order_acquire)) {}

void SampleRingReader::SyncToWriter() {
  position_ = rings_.m_WriteCount.load(std::memory_order_acquire);
}

uint64_t SampleRingReader::Available() const {
  return rings_.m_WriteCount.load(std::memory_order_acquire) - position_;
}

void SampleRingReader::Resync(uint64_t written) {
  ++overruns_;
  const uint64_t lost = written - position_;
  lost_ += lost;
  Log() << LogColour(kColourError) << "Переполнение кольцевого буфера приёмника: потеряно "
        << static_cast<unsigned long long>(lost) << " отсчётов, чтение продолжено с новых\n"
        << LogColour(kColourNormal);
  position_ = written;
}

SampleRingReader::ReadResult SampleRingReader::Read(IqEntry* a, IqEntry* b, int32_t n) {
  const auto cap = static_cast<uint64_t>(rings_.Capacity());
  const uint64_t written = rings_.m_WriteCount.load(std::memory_order_acquire);
  if (written - position_ > cap) {
    Resync(written);
    return ReadResult::kOverrun;
  }
  if (n < 0 || written - position_ < static_cast<uint64_t>(n)) return ReadResult::kNotEnough;
  uint64_t index = position_ % cap;
  const IqEntry* ra = rings_.RingA();
  const IqEntry* rb = rings_.RingB();
  for (int32_t k = 0; k < n; ++k) {
    a[k] = LoadRingEntry(ra[index]);
    if (b) b[k] = LoadRingEntry(rb[index]);
    if (++index == cap) index = 0;
  }
  // The producer may have overwritten what was just copied: it claims a block's entries before
  // writing them, so the claim seen after the copy covers every write that could have reached it.
  std::atomic_thread_fence(std::memory_order_acquire);
  const uint64_t claimed = rings_.m_WriteClaim.load(std::memory_order_relaxed);
  if (claimed - position_ > cap) {
    Resync(rings_.m_WriteCount.load(std::memory_order_acquire));
    return ReadResult::kOverrun;
  }
  position_ += static_cast<uint64_t>(n);
  return ReadResult::kOk;
}

}  // namespace kavu
