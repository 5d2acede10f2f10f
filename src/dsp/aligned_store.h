#pragma once
// A fixed-capacity array allocated once, 64-byte aligned, left uninitialised (pages of a large
// store are only touched as samples arrive). Copying copies the first `used` elements a caller
// names through CopyFrom; the capacity never changes after construction.
#include <cstddef>
#include <cstring>
#include <new>
#include <type_traits>

namespace kavu {

template <class T>
class AlignedStore {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  static constexpr std::align_val_t kAlign{64};

  AlignedStore() = default;
  explicit AlignedStore(size_t n) : n_(n), p_(n ? static_cast<T*>(::operator new(n * sizeof(T), kAlign)) : nullptr) {}
  AlignedStore(const AlignedStore&) = delete;
  AlignedStore& operator=(const AlignedStore&) = delete;
  AlignedStore(AlignedStore&& o) noexcept : n_(o.n_), p_(o.p_) {
    o.n_ = 0;
    o.p_ = nullptr;
  }
  ~AlignedStore() {
    if (p_) ::operator delete(p_, kAlign);
  }

  size_t size() const { return n_; }
  T* data() { return p_; }
  const T* data() const { return p_; }
  T& operator[](size_t i) { return p_[i]; }
  const T& operator[](size_t i) const { return p_[i]; }

  // Copies the first `used` elements of `o` (both stores hold at least that many).
  void CopyFrom(const AlignedStore& o, size_t used) {
    if (used) std::memcpy(static_cast<void*>(p_), o.p_, used * sizeof(T));
  }
  void Zero(size_t used) {
    if (used) std::memset(static_cast<void*>(p_), 0, used * sizeof(T));
  }

 private:
  size_t n_ = 0;
  T* p_ = nullptr;
};

}  // namespace kavu
