#pragma once
// Helpers shared by the FFT tests: random data, the direct DFT, and a death check for FatalError.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <string_view>

#include "dsp/fft_setup.h"
#include "dsp/ombpf2.h"
#include "shell/log_console.h"

namespace kavu::test {

// Tables up to 65536 with this processor's fastest kernel, as the program sets them up; one setup
// serves all cases of a test program (it is immutable).
inline const FftSetupPtr& HostFft() {
  static const FftSetupPtr setup = FftSetup::ForHost(65536);
  return setup;
}

inline FftVector RandomVector(int n, unsigned seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  FftVector v(static_cast<size_t>(n));
  for (auto& c : v) c = {u(rng), u(rng)};
  return v;
}

// X[k] = scale · Σ x[m] e^(sign·j2πkm/n), with exactly reduced angles: the twiddles are computed
// once in long double and rounded. The sums run in double: for random data of up to 4096 points
// their rounding stays near 1e-15 of the result, far inside the transforms' 1e-12 bounds, and it
// keeps the reference fast where long double is a 128-bit software type.
inline FftVector DirectDft(const FftVector& x, double sign, long double scale) {
  const size_t n = x.size();
  std::vector<double> c(n), s(n);
  const long double two_pi = 6.283185307179586476925286766559005768L;
  for (size_t i = 0; i < n; ++i) {
    const long double angle = two_pi * static_cast<long double>(i) / static_cast<long double>(n);
    c[i] = static_cast<double>(std::cos(angle));
    s[i] = sign * static_cast<double>(std::sin(angle));
  }
  FftVector out(n);
  for (size_t k = 0; k < n; ++k) {
    double re = 0, im = 0;
    size_t idx = 0;
    for (size_t m = 0; m < n; ++m) {
      re += x[m].real() * c[idx] - x[m].imag() * s[idx];
      im += x[m].real() * s[idx] + x[m].imag() * c[idx];
      idx += k;
      if (idx >= n) idx -= n;
    }
    out[k] = {static_cast<double>(re * scale), static_cast<double>(im * scale)};
  }
  return out;
}

inline double MaxAbs(const FftVector& v) {
  double m = 0;
  for (const auto& c : v) m = std::max(m, std::abs(c));
  return m;
}

inline double MaxDiff(const FftVector& a, const FftVector& b) {
  double m = 0;
  for (size_t i = 0; i < a.size(); ++i) m = std::max(m, std::abs(a[i] - b[i]));
  return m;
}

// A POSIX regular expression matching `text` literally.
inline std::string LiteralRegex(std::string_view text) {
  std::string r;
  for (char ch : text) {
    if (std::string_view("\\^$.|?*+()[]{}").find(ch) != std::string_view::npos) r += '\\';
    r += ch;
  }
  return r;
}

// Death checks run the test binary again in a fresh process ("threadsafe"), sound beside the
// log's thread. Under user-mode emulation that re-run cannot start (the emulator does not
// re-execute a foreign binary on its own), so GTEST_DEATH_TEST_STYLE=fast in the environment
// chooses a plain fork instead; without it the threadsafe style is used.
inline void UseThreadsafeDeathTests() {
  if (std::getenv("GTEST_DEATH_TEST_STYLE") == nullptr) GTEST_FLAG_SET(death_test_style, "threadsafe");
}

}  // namespace kavu::test

// The statement must stop the process through FatalError with exactly this text in the log.
#define EXPECT_FATAL(statement, text)                                                   \
  EXPECT_EXIT(                                                                          \
      {                                                                                 \
        ::kavu::Log().SetSink(::kavu::OLogConsole::Sink::Stderr);                       \
        statement;                                                                      \
      },                                                                                \
      ::testing::ExitedWithCode(3), ::kavu::test::LiteralRegex(std::string("HALTY ") + (text)))
