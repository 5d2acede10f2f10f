#include "web/web_random.h"

#include <chrono>
#include <mutex>
#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

namespace kavu {
namespace {

uint32_t Seed() {
  uint64_t s = static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
#if defined(__x86_64__) || defined(__i386__)
  s ^= __rdtsc();
#endif
  return static_cast<uint32_t>(s ^ (s >> 32));
}

}  // namespace

uint64_t WebRandom64() {
  static std::mutex mutex;
  static uint32_t state = Seed();
  std::lock_guard lock(mutex);
  uint64_t v = 0;
  do {
    for (int i = 0; i < 5; ++i) {  // 15 useful bits per step
      state = state * 214013u + 2531011u;
      v = (v << 15) ^ ((state >> 16) & 0x7FFF);
    }
  } while (v == 0);
  return v;
}

}  // namespace kavu
