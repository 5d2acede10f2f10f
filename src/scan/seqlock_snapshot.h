#pragma once
// A value written by one thread and copied whole by others without locks: the writer never
// waits, a reader retries until it copied a version no write overlapped. T must be trivially
// copyable. The words are atomics, so a torn copy is never undefined behaviour, only retried.
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace kavu {

template <class T>
class SeqlockSnapshot {
  static_assert(std::is_trivially_copyable_v<T>);
  static constexpr size_t kWords = (sizeof(T) + 7) / 8;

 public:
  SeqlockSnapshot() { Write(T{}); }

  // One writer thread only.
  void Write(const T& value) {
    std::array<uint64_t, kWords> w{};
    std::memcpy(w.data(), static_cast<const void*>(&value), sizeof(T));
    const uint32_t s = seq_.load(std::memory_order_relaxed);
    seq_.store(s + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    for (size_t i = 0; i < kWords; ++i) words_[i].store(w[i], std::memory_order_relaxed);
    seq_.store(s + 2, std::memory_order_release);
  }

  // Any thread: a consistent copy of the last complete write.
  T Read() const {
    std::array<uint64_t, kWords> w{};
    for (;;) {
      const uint32_t s1 = seq_.load(std::memory_order_acquire);
      if (s1 & 1u) continue;
      for (size_t i = 0; i < kWords; ++i) w[i] = words_[i].load(std::memory_order_relaxed);
      std::atomic_thread_fence(std::memory_order_acquire);
      if (seq_.load(std::memory_order_relaxed) == s1) break;
    }
    T out;
    std::memcpy(static_cast<void*>(&out), w.data(), sizeof(T));
    return out;
  }

 private:
  std::atomic<uint32_t> seq_{0};
  std::array<std::atomic<uint64_t>, kWords> words_{};
};

}  // namespace kavu
