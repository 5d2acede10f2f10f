// The portable FFT kernel: decimation in frequency, stage by stage, as plain double arithmetic.
// It defines the values every other kernel must reproduce bit for bit:
//   butterfly of stage s:  x[k] = a + b;  x[k + s/2] = (a - b) × w_s(k)   (FftMul, also for w = 1)
//   complex product d × w:  (d.re·w.re − d.im·w.im, d.im·w.re + d.re·w.im), in this operand
//   order, so that even the sign of a NaN comes out the same in the SIMD kernels
//   last stage (s = 2):    x[2i] = a + b; x[2i+1] = a - b
//   forward: every value × (1/n); then bit-reversal swaps; ForwardMul: then × h[k] (FftMul).
#include <utility>

#include "dsp/fft_plan.h"

namespace kavu {
namespace {

void Stage(double* x, int n, int s, const double* w) {
  const int half = s / 2;
  for (int base = 0; base < n; base += s) {
    double* lo = x + 2 * base;
    double* hi = lo + 2 * half;
    for (int k = 0; k < half; ++k) {
      const double ar = lo[2 * k], ai = lo[2 * k + 1];
      const double br = hi[2 * k], bi = hi[2 * k + 1];
      const double dr = ar - br, di = ai - bi;
      const double wr = w[2 * k], wi = w[2 * k + 1];
      lo[2 * k] = ar + br;
      lo[2 * k + 1] = ai + bi;
      hi[2 * k] = dr * wr - di * wi;
      hi[2 * k + 1] = di * wr + dr * wi;
    }
  }
}

void LastStage(double* x, int n) {
  for (int i = 0; i < n; i += 2) {
    const double ar = x[2 * i], ai = x[2 * i + 1];
    const double br = x[2 * i + 2], bi = x[2 * i + 3];
    x[2 * i] = ar + br;
    x[2 * i + 1] = ai + bi;
    x[2 * i + 2] = ar - br;
    x[2 * i + 3] = ai - bi;
  }
}

}  // namespace

void FftRunPortable(const FftJob& job) {
  const int n = job.n;
  double* x = job.x;
  for (int s = n; s > 2; s /= 2) Stage(x, n, s, job.tw + 2 * (n - s));
  if (n >= 2) LastStage(x, n);
  if (job.scale) {
    for (int i = 0; i < 2 * n; ++i) x[i] *= job.factor;
  }
  for (size_t p = 0; p < job.swap_pairs; ++p) {
    double* a = x + 2 * job.swaps[2 * p];
    double* b = x + 2 * job.swaps[2 * p + 1];
    std::swap(a[0], b[0]);
    std::swap(a[1], b[1]);
  }
  if (job.h) {
    for (int k = 0; k < n; ++k) {
      const double xr = x[2 * k], xi = x[2 * k + 1];
      const double hr = job.h[2 * k], hi = job.h[2 * k + 1];
      x[2 * k] = xr * hr - xi * hi;
      x[2 * k + 1] = xi * hr + xr * hi;
    }
  }
}

}  // namespace kavu
