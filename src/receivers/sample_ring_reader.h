#pragma once
// The consumer's side of the sample rings: reads entries in order and notices when the writer
// has lapped it (an overrun), which the ring index alone cannot show.
//
// The reader keeps its own 64-bit position and compares it with the rings' 64-bit write count.
// When more than a ring's capacity lies between them, entries were overwritten before they were
// read: the read reports kOverrun, the overrun is logged once (red) and counted, and the reader
// moves to the writer's current position, so the next read continues with fresh samples. A
// scan group in progress must be treated as failed then (its timeline has a hole).
//
// One reader per thread; the rings' producer runs concurrently.
#include <cstdint>

#include "receivers/sample_rings.h"

namespace kavu {

class SampleRingReader {
 public:
  enum class ReadResult { kOk, kNotEnough, kOverrun };

  explicit SampleRingReader(const SampleRings& rings);

  // Moves the read position to the newest entry: what was written so far is skipped.
  void SyncToWriter();
  // Entries written but not yet read (larger than the capacity after an overrun).
  uint64_t Available() const;
  // Copies the next n entries of ring A into a (and of ring B into b when b is not null) and
  // advances. kNotEnough (nothing copied) when fewer than n are ready; kOverrun (nothing
  // usable, position resynchronised) when the writer lapped the reader before or during the copy.
  ReadResult Read(IqEntry* a, IqEntry* b, int32_t n);

  // Entries consumed (or skipped by resynchronisation) since construction, in stream order.
  uint64_t Position() const { return position_; }
  // Overruns seen so far, and entries they lost in total.
  int64_t Overruns() const { return overruns_; }
  uint64_t LostEntries() const { return lost_; }

 private:
  void Resync(uint64_t written);

  const SampleRings& rings_;
  uint64_t position_ = 0;
  int64_t overruns_ = 0;
  uint64_t lost_ = 0;
};

}  // namespace kavu
