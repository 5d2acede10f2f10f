#pragma once
// Pure mapping of the live picture (spectrum, waterfall, generator marker): power → colour,
// level → pixel row, bin → pixel column, generator offset → marker place. No drawing here; the
// view in scan/ui wires these to a painter, and tests check them without a widget.
//
// Bins come in transform order (LiveSpectrum: 0 … 1023 positive offsets, 1024 … 2047 negative);
// "display order" runs from −r/2 at the left to +r/2 at the right. Powers are in squared sample
// units, levels in dB (10 log10 of the power).
#include <cstdint>
#include <optional>

namespace kavu::spectrum_geometry {

constexpr int kBins = 2048;
constexpr int kWaterfallRows = 512;
constexpr int kMinWaterfallWidth = 16;
constexpr int kMaxWaterfallWidth = 2048;
// The marker is drawn only for a generator closer than this to the receiver frequency (Hz).
constexpr double kMarkerRangeHz = 8e6;
// Colour entries the marker may use: 1 … 18 of the line colour table (entry 1 is 204, 0, 0).
constexpr int kMarkerFirstColour = 1;
constexpr int kMarkerLastColour = 18;

// Waterfall bitmap width for a client width (pixels): clamped to 16 … 2048.
int WaterfallWidth(int client_width);

// Transform-order bin shown at display position `j` (0 … 2047, left to right).
int DisplayBin(int j);
// Pixel column of display position `j` in a picture `width` pixels wide: ⌊j × width / 2048⌋.
int BinColumn(int j, int width);

// Level of a power in dB; −∞ for a power of zero or less, NaN stays NaN.
double LevelDb(double power);

// Where a level sits between two limits: (level − lo) / (hi − lo) clamped to 0 … 1. Equal limits
// cannot scale, so they act as a threshold: 1 above the limit, 0 at or below it. NaN gives 0.
double LevelFraction(double level_db, double lo_db, double hi_db);

// Waterfall pixel (0x00RRGGBB) for a power: H = 3 (level − vd_min) / (vd_max − vd_min), at least
// 0; blue = 255 H, red = 255 (H − 1), green = 255 (H − 2), each truncated and clamped to 0 … 255:
// black → blue → magenta → white. Equal limits saturate: white above the limit, black at or
// below it (H infinite or undefined); a zero or NaN power is black.
uint32_t WaterfallColour(double power, double vd_min_db, double vd_max_db);
// The same colour for a fraction H already computed (NaN or negative: black).
uint32_t WaterfallColourOfH(double h);

// Spectrum pixel row for a level: (middle − 1) − t × (middle − 1 − top), t = LevelFraction.
// `top` is the graph top and `middle` the first row of the waterfall.
int SpectrumRow(double level_db, double gr_min_db, double gr_max_db, int top, int middle);

// The generator marker: centre x, half width w (pixels) and the entry of the line colour table.
struct MarkerPlace {
  int x = 0;
  int w = 1;
  int colour = kMarkerFirstColour;
};

// Marker for a generator at `generator_hz` while the receiver is tuned to `receiver_hz` with
// sample rate `rate_hz` and measuring bandwidth `bandwidth_hz`, in a picture `width` pixels wide.
// Δ = generator − receiver, k = ⌊Δ / r + 0.5⌋ (the alias band), x = ((Δ − k r) / r × 2048 + 1024)
// × width / 2048, w = max(⌊BW / r × 1024⌋, 1) (at most 4 × width, so a huge bandwidth cannot
// overflow), colour |k| + 1 clamped to 1 … 18. Empty when |Δ| ≥ 8 MHz, the rate is not positive,
// the width is below 1 or any input is not finite.
std::optional<MarkerPlace> Marker(double receiver_hz, double rate_hz, double generator_hz,
                                  double bandwidth_hz, int width);

}  // namespace kavu::spectrum_geometry
