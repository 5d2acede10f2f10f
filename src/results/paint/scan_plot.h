#pragma once
// A scan file drawn as the results window would draw it, into a PNG, without a window.
// Plain C++ interface so the command-line tool stays free of Qt headers.
#include <string>
#include <vector>

namespace kavu {

struct ScanPlotRequest {
  std::string scan_file;
  std::string png_file;
  int width = 1600, height = 900;  // pixels
  // Quantities to draw ("R", "X", "RX", "C", "L", "KSV", "KSVG", "FAZA", "Delay", "PPM",
  // case-insensitive); empty: the panel's stored choice.
  std::vector<std::string> graphs;
  // What to draw: the graphs, or the R and X diagram's R–X plane or circle diagram over the
  // scan's whole frequency range (with the diagram's stored lists and colour mode).
  enum Kind { kGraphs, kRxPlane, kCircleChart };
  Kind kind = kGraphs;
};

// Draws and writes the PNG. False with the reason in `error` (file unreadable or empty, unknown
// quantity, bad size, PNG not written).
bool RenderScanPlot(const ScanPlotRequest& request, std::string& error);

}  // namespace kavu
