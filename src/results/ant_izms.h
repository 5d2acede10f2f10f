#pragma once
// AntIzms: the points of one scan (or of one loaded file) with its header fields.
// The scan appends from the sample thread: it writes the record at index `count` and then
// publishes it with a release-store of `count`; readers load `count` with acquire and read only
// below it. Replacing the content (empty, load, copy, a group's points taken back) happens on the
// window thread while no scan appends to the set. The header fields are atomic: any thread (the
// web server, a window) may read them while the window thread changes them.
//
// A reader on another thread than the window thread (the web server) must not see a set
// half-copied, or read a record that a reset set is writing anew: such a reader copies points
// only through Snapshot(), which holds the set's lock and reads below the count it loaded under
// it. Everything that lowers the count or rewrites records below it holds the same lock; records
// at or above the count are written without it (Append, a file being read after the count was
// lowered) and published by raising the count.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "results/ant_izm.h"

namespace kavu {

class AntIzms {
 public:
  static constexpr int32_t kCapacity = 65536;

  // The points store is allocated once here; its pages are touched only as points arrive.
  explicit AntIzms(int32_t capacity = kCapacity);
  AntIzms(const AntIzms&) = delete;
  AntIzms& operator=(const AntIzms&) = delete;

  int32_t Capacity() const { return capacity_; }
  int32_t Count() const { return count_.load(std::memory_order_acquire); }
  // The point at `index`, clamped into 0 .. capacity-1 (negative to 0, larger to the last slot).
  const AntIzm& At(int64_t index) const;
  AntIzm* Data() { return points_.get(); }
  const AntIzm* Data() const { return points_.get(); }

  // Appends one point (record first, then the count); false when the set is full. Takes no
  // lock: the sample thread never waits.
  bool Append(const AntIzm& point);
  // Sets the count: after the points were written in place (loading a file), or lower (points
  // taken back). Holds the lock.
  void SetCount(int32_t n);
  // Copies points and header fields of `other` (generation included), under this set's lock.
  void CopyFrom(const AntIzms& other);
  // Empties the set (count 0) with these header fields, under the lock: a reader sees the old
  // set whole or the new one empty.
  void Reset(uint64_t time_ft, int32_t from_file, int32_t has_duo, int32_t new_generation);

  // What a reader on another thread copied: the set's generation, count and hasDuo as they were
  // together, and the points [first, first + points.size()) of that version.
  struct View {
    int32_t generation = 0;
    int32_t count = 0;
    bool hasDuo = false;
  };
  // Any thread. Copies up to `max` points from `first` on (none for first < 0) into `points`
  // (replacing its content) and returns the header they belong to.
  View Snapshot(int32_t first, int32_t max, std::vector<AntIzm>& points) const;

  // A scan's start: copies this set into `previous` (as CopyFrom) and empties this one (as
  // Reset), holding both sets' locks (this one first), so a reader of both (Views) sees them as
  // they were before or after, never the copy done and this set not yet emptied.
  void MoveTo(AntIzms& previous, uint64_t time_ft, int32_t has_duo, int32_t new_generation);
  // Any thread: the headers of `current` and `previous` as they were together (locks in
  // MoveTo's order).
  static std::pair<View, View> Views(const AntIzms& current, const AntIzms& previous);

  std::atomic<uint64_t> time{0};  // FILETIME: 100-ns ticks since 1601-01-01
  std::atomic<int32_t> reserved{0};
  std::atomic<int32_t> hasDuo{0};
  std::atomic<int32_t> fromFile{0};
  std::atomic<int32_t> generation{0};

 private:
  // The same without taking the lock (the caller holds it).
  void CopyFromLocked(const AntIzms& other);
  void ResetLocked(uint64_t time_ft, int32_t from_file, int32_t has_duo, int32_t new_generation);
  View HeaderLocked() const;

  int32_t capacity_;
  std::unique_ptr<AntIzm[]> points_;
  std::atomic<int32_t> count_{0};
  mutable std::mutex lock_;  // see the header comment
};

// FILETIME helpers: Unix seconds (and nanoseconds) to 100-ns ticks since 1601-01-01.
uint64_t FileTimeFromUnix(int64_t seconds, int64_t nanoseconds);
// The local clock read as if it were UTC, as FILETIME.
uint64_t LocalClockAsFileTime();

}  // namespace kavu
