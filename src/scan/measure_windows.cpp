#include "scan/measure_windows.h"

#include <algorithm>
#include <cmath>

#include "platform/num_convert.h"

namespace kavu {
namespace {

int64_t Floor(double v) { return ToInt64(std::floor(v)).value_or(INT64_MIN / 4); }
int64_t Ceil(double v) { return ToInt64(std::ceil(v)).value_or(INT64_MIN / 4); }

}  // namespace

FrequencyWindows ComputeWindows(int64_t E, double q, double p, int G, int N, int m) {
  FrequencyWindows f;
  f.n = std::clamp(N, 1, kMaxZondN);
  const double S = static_cast<double>(E) + ((2.0 * f.n + 1) * q + p) * m;
  // The block start is a whole sample (truncated), as the windows are counted from it.
  const double Si = static_cast<double>(ToInt64(S).value_or(0));
  f.blockStart = Si;
  f.pause = {Ceil(Si + p / 4), Floor(Si + p - p / 4)};
  const int64_t fq = Floor(q), fp = Floor(p);
  for (int j = 0; j < f.n; ++j) {
    RepetitionWindows& r = f.reps[static_cast<size_t>(j)];
    if (j == 0) {
      r.w1 = {Ceil(Si - q), static_cast<int64_t>(Si)};
      if (m > 0) r.w1 = {r.w1.begin + fp, r.w1.end + fp};
    } else {
      r.w1.begin = Ceil(Si + p + (2.0 * j - 1) * q);
      r.w1.end = Floor(static_cast<double>(r.w1.begin) + q);
    }
    r.w2.begin = Floor(Si + p + 2.0 * j * q);
    r.w2.end = Floor(static_cast<double>(r.w2.begin) + q);
    r.w3 = {r.w2.end, r.w2.end + fq};
    for (SampleWindow* w : {&r.w1, &r.w2, &r.w3}) {
      w->begin += G;
      w->end -= G;
    }
  }
  f.lastEnd = f.reps[static_cast<size_t>(f.n - 1)].w3.end;
  f.firstBegin = std::min(f.pause.begin, f.reps[0].w1.begin);
  return f;
}

double SettlingMiddle(int64_t E, double q, double p, int N, int m) {
  const double S = static_cast<double>(E) + ((2.0 * N + 1) * q + p) * m;
  return S - q + p / 2;
}

}  // namespace kavu
