#pragma once
// AntIzms: the points of one scan (or of one loaded file) with its header fields.
// The scan appends from the sample thread: it writes the record at index `count` and then
// publishes it with a release-store of `count`; readers load `count` with acquire and read only
// below it. Replacing the content (empty, load, copy) happens on the window thread while no scan
// appends to the set. The header fields are atomic: any thread (the web server, a window) may
// read them while the window thread changes them.
#include <atomic>
#include <cstdint>
#include <memory>

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

  // Appends one point (record first, then the count); false when the set is full.
  bool Append(const AntIzm& point);
  // Sets the count after the points were written in place (loading a file).
  void SetCount(int32_t n);
  // Copies points and header fields of `other` (generation included).
  void CopyFrom(const AntIzms& other);

  std::atomic<uint64_t> time{0};  // FILETIME: 100-ns ticks since 1601-01-01
  std::atomic<int32_t> reserved{0};
  std::atomic<int32_t> hasDuo{0};
  std::atomic<int32_t> fromFile{0};
  std::atomic<int32_t> generation{0};

 private:
  int32_t capacity_;
  std::unique_ptr<AntIzm[]> points_;
  std::atomic<int32_t> count_{0};
};

// FILETIME helpers: Unix seconds (and nanoseconds) to 100-ns ticks since 1601-01-01.
uint64_t FileTimeFromUnix(int64_t seconds, int64_t nanoseconds);
// The local clock read as if it were UTC, as FILETIME.
uint64_t LocalClockAsFileTime();

}  // namespace kavu
