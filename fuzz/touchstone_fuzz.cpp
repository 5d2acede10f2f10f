// Feeds arbitrary text to the Touchstone reader. Accepted files give at least one point, finite
// frequencies that rise strictly and finite impedances; the points written back as an
// impedance file (Hz, Z, RI, R 1) read back to the same numbers; interpolation at the ends gives
// the end points and never leaves the range of the data between them.
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "sim/touchstone_reader.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

std::string WriteBack(const std::vector<kavu::sim::TouchstonePoint>& points) {
  std::string text = "! written back\n# Hz Z RI R 1\n";
  char line[128];
  for (const auto& p : points) {
    std::snprintf(line, sizeof line, "%.17g %.17g %.17g\n", p.hz, p.z.real(), p.z.imag());
    text += line;
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kavu::sim;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string error;
  const auto points = ParseTouchstone1(text, &error);
  if (!points) {
    Check(!error.empty());
    return 0;
  }
  Check(!points->empty());
  for (size_t i = 0; i < points->size(); ++i) {
    const TouchstonePoint& p = (*points)[i];
    Check(std::isfinite(p.hz) && p.hz >= 0);
    Check(std::isfinite(p.z.real()) && std::isfinite(p.z.imag()));
    if (i > 0) Check(p.hz > (*points)[i - 1].hz);
  }
  std::string again_error;
  const auto again = ParseTouchstone1(WriteBack(*points), &again_error);
  Check(again && again->size() == points->size());
  for (size_t i = 0; i < points->size(); ++i) {
    Check((*again)[i].hz == (*points)[i].hz && (*again)[i].z == (*points)[i].z);
  }
  Check(InterpolateImpedance(*points, points->front().hz) == points->front().z);
  Check(InterpolateImpedance(*points, points->back().hz) == points->back().z);
  for (size_t i = 1; i < points->size(); ++i) {
    const TouchstonePoint& a = (*points)[i - 1];
    const TouchstonePoint& b = (*points)[i];
    const double mid = a.hz + (b.hz - a.hz) / 2;
    const std::complex<double> z = InterpolateImpedance(*points, mid);
    const double lo = std::fmin(a.z.real(), b.z.real()), hi = std::fmax(a.z.real(), b.z.real());
    // Between two finite values (whose difference is finite) the line stays between them.
    if (std::isfinite(b.z.real() - a.z.real())) Check(z.real() >= lo && z.real() <= hi);
  }
  return 0;
}
