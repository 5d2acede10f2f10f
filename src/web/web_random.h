#pragma once
// The shared random generator of the web server (visitor ids): a linear congruential generator
// (multiplier 214013, increment 2531011) seeded once from the clock and the processor's
// time-stamp counter and advanced under a lock. Any thread.
#include <cstdint>

namespace kavu {

// A non-zero 64-bit random value.
uint64_t WebRandom64();

}  // namespace kavu
