#include "scan/spectrum_geometry.h"

#include <algorithm>
#include <cmath>

#include "platform/num_convert.h"

namespace kavu::spectrum_geometry {
namespace {

// One colour channel: 255 × fraction truncated, clamped to 0 … 255 (NaN: 0).
uint32_t Channel(double v) {
  if (!(v > 0)) return 0;
  if (v >= 255) return 255;
  return static_cast<uint32_t>(ToInt32Or(v, 0));
}

}  // namespace

int WaterfallWidth(int client_width) {
  return std::clamp(client_width, kMinWaterfallWidth, kMaxWaterfallWidth);
}

int DisplayBin(int j) {
  const int i = j - kBins / 2;
  return i < 0 ? i + kBins : i;
}

int BinColumn(int j, int width) {
  return static_cast<int>(static_cast<int64_t>(j) * width / kBins);
}

double LevelDb(double power) {
  if (std::isnan(power)) return power;
  if (power <= 0) return -INFINITY;
  return 10 * std::log10(power);
}

double LevelFraction(double level_db, double lo_db, double hi_db) {
  if (std::isnan(level_db)) return 0;
  if (lo_db == hi_db) return level_db > lo_db ? 1 : 0;
  const double t = (level_db - lo_db) / (hi_db - lo_db);
  if (!(t > 0)) return 0;
  return t < 1 ? t : 1;
}

uint32_t WaterfallColourOfH(double h) {
  if (!(h > 0)) return 0;
  const uint32_t blue = Channel(255 * h);
  const uint32_t red = Channel(255 * (h - 1));
  const uint32_t green = Channel(255 * (h - 2));
  return (red << 16) | (green << 8) | blue;
}

uint32_t WaterfallColour(double power, double vd_min_db, double vd_max_db) {
  const double level = LevelDb(power);
  if (std::isnan(level)) return 0;
  if (vd_min_db == vd_max_db) return level > vd_min_db ? 0xffffff : 0;
  return WaterfallColourOfH(3 * (level - vd_min_db) / (vd_max_db - vd_min_db));
}

int SpectrumRow(double level_db, double gr_min_db, double gr_max_db, int top, int middle) {
  const double t = LevelFraction(level_db, gr_min_db, gr_max_db);
  const double y = (middle - 1) - t * (middle - 1 - top);
  return ToInt32Or(std::floor(y + 0.5), middle - 1);
}

std::optional<MarkerPlace> Marker(double receiver_hz, double rate_hz, double generator_hz,
                                  double bandwidth_hz, int width) {
  if (!std::isfinite(receiver_hz) || !std::isfinite(rate_hz) || !std::isfinite(generator_hz) ||
      !std::isfinite(bandwidth_hz) || rate_hz <= 0 || width < 1)
    return std::nullopt;
  const double delta = generator_hz - receiver_hz;
  if (!(std::fabs(delta) < kMarkerRangeHz)) return std::nullopt;
  const double k = std::floor(delta / rate_hz + 0.5);
  MarkerPlace m;
  const double x = ((delta - k * rate_hz) / rate_hz * kBins + kBins / 2) * width / kBins;
  m.x = ToInt32Or(x, 0);
  const double w = std::floor(bandwidth_hz / rate_hz * (kBins / 2));
  m.w = static_cast<int>(std::clamp(w, 1.0, 4.0 * width));
  const double entry = std::fabs(k) + 1;
  m.colour = entry >= kMarkerLastColour ? kMarkerLastColour : static_cast<int>(entry);
  return m;
}

}  // namespace kavu::spectrum_geometry
