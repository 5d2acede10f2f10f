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
  count_.store(std::clamp<int32_t>(n, 0, capacity_), std::memory_order_release);
}

void AntIzms::CopyFrom(const AntIzms& other) {
  const int32_t n = std::min(other.Count(), capacity_);
  std::memcpy(points_.get(), other.points_.get(), sizeof(AntIzm) * static_cast<size_t>(n));
  time.store(other.time.load());
  reserved.store(other.reserved.load());
  hasDuo.store(other.hasDuo.load());
  fromFile.store(other.fromFile.load());
  generation.store(other.generation.load());
  SetCount(n);
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
