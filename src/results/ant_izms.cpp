#include "results/ant_izms.h"

#include <algorithm>
#include <cstring>
#include <ctime>

namespace kavu {

AntIzms::AntIzms(int32_t capacity)
    : capacity_(std::max<int32_t>(1, capacity)), points_(new AntIzm[static_cast<size_t>(capacity_)]) {}

const AntIzm& AntIzms::At(int64_t index) const {
  return points_[static_cast<size_t>(std::clamp<int64_t>(index, 0, capacity_ - 1))];
}

bool AntIzms::Append(const AntIzm& point) {
  const int32_t n = count_.load(std::memory_order_relaxed);
  if (n >= capacity_) return false;
  points_[static_cast<size_t>(n)] = point;
  count_.store(n + 1, std::memory_order_release);
  return true;
}

void AntIzms::SetCount(int32_t n) {
  std::lock_guard lock(lock_);
  count_.store(std::clamp<int32_t>(n, 0, capacity_), std::memory_order_release);
}

void AntIzms::Reset(uint64_t time_ft, int32_t from_file, int32_t has_duo, int32_t new_generation) {
  std::lock_guard lock(lock_);
  ResetLocked(time_ft, from_file, has_duo, new_generation);
}

void AntIzms::ResetLocked(uint64_t time_ft, int32_t from_file, int32_t has_duo, int32_t new_generation) {
  count_.store(0, std::memory_order_release);
  time.store(time_ft);
  hasDuo.store(has_duo);
  fromFile.store(from_file);
  generation.store(new_generation);
}

AntIzms::View AntIzms::HeaderLocked() const {
  View v;
  v.generation = generation.load();
  v.count = count_.load(std::memory_order_acquire);
  v.hasDuo = hasDuo.load() != 0;
  return v;
}

AntIzms::View AntIzms::Snapshot(int32_t first, int32_t max, std::vector<AntIzm>& points) const {
  std::lock_guard lock(lock_);
  const View v = HeaderLocked();
  const int64_t begin = first;
  const int64_t end = std::min<int64_t>(v.count, begin + std::max<int32_t>(max, 0));
  if (first < 0 || begin >= end) {
    points.clear();
  } else {
    points.assign(points_.get() + begin, points_.get() + end);
  }
  return v;
}

void AntIzms::CopyFrom(const AntIzms& other) {
  std::lock_guard lock(lock_);
  CopyFromLocked(other);
}

void AntIzms::CopyFromLocked(const AntIzms& other) {
  const int32_t n = std::min(other.Count(), capacity_);
  std::memcpy(points_.get(), other.points_.get(), sizeof(AntIzm) * static_cast<size_t>(n));
  time.store(other.time.load());
  reserved.store(other.reserved.load());
  hasDuo.store(other.hasDuo.load());
  fromFile.store(other.fromFile.load());
  generation.store(other.generation.load());
  count_.store(n, std::memory_order_release);
}

void AntIzms::MoveTo(AntIzms& previous, uint64_t time_ft, int32_t has_duo, int32_t new_generation) {
  std::lock_guard mine(lock_);
  std::lock_guard theirs(previous.lock_);
  previous.CopyFromLocked(*this);
  ResetLocked(time_ft, 0, has_duo, new_generation);
}

std::pair<AntIzms::View, AntIzms::View> AntIzms::Views(const AntIzms& current, const AntIzms& previous) {
  std::lock_guard mine(current.lock_);
  std::lock_guard theirs(previous.lock_);
  return {current.HeaderLocked(), previous.HeaderLocked()};
}

uint64_t FileTimeFromUnix(int64_t seconds, int64_t nanoseconds) {
  const int64_t ticks = (seconds + 11644473600LL) * 10000000LL + nanoseconds / 100;
  return ticks < 0 ? 0 : static_cast<uint64_t>(ticks);
}

uint64_t LocalClockAsFileTime() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm local{};
  localtime_r(&ts.tv_sec, &local);
  return FileTimeFromUnix(ts.tv_sec + local.tm_gmtoff, ts.tv_nsec);
}

}  // namespace kavu
