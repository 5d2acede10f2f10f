#pragma once
// Where one frequency of a group lies in the decimated samples, once the sync index E is known.
//
// Timeline per frequency m: block start S = E + ((2N+1)·q + p)·m; then (for m > 0 the settling
// pause) the pause of length p, then N pairs of antenna (A) and reference (O) slots of length q.
// Repetition j measures W1 (the O slot before), W2 (the A slot) and W3 (the O slot after); for
// j = 0 and m = 0 W1 is the end of the reference burst before the sync pause. Every window is
// narrowed by the guard G at both ends. Windows are half-open [begin, end) sample ranges.
#include <array>
#include <cstdint>

namespace kavu {

struct SampleWindow {
  int64_t begin = 0, end = 0;
  int64_t Size() const { return end > begin ? end - begin : 0; }
};

struct RepetitionWindows {
  SampleWindow w1, w2, w3;
};

inline constexpr int kMaxZondN = 255;

struct FrequencyWindows {
  double blockStart = 0;            // S, decimated samples (real)
  SampleWindow pause;               // [⌈S + p/4⌉, ⌊S + p − p/4⌋)
  std::array<RepetitionWindows, kMaxZondN> reps{};
  int n = 0;                        // repetitions
  int64_t lastEnd = 0;              // end of the last repetition's W3: the samples needed
  int64_t firstBegin = 0;           // the earliest sample any window reads
};

// The windows of frequency m (0-based) of a group, with N repetitions (1 … 255).
FrequencyWindows ComputeWindows(int64_t E, double q, double p, int G, int N, int m);

// The decimated position in the middle of the unused part of the settling pause before
// frequency m ≥ 1: between the end of frequency m−1's last O slot and frequency m's first W1.
// Switching the oscillator there keeps both frequencies' windows mixed at their own frequency.
double SettlingMiddle(int64_t E, double q, double p, int N, int m);

}  // namespace kavu
