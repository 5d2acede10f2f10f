// kavusdraa-cli plot FILE.kant -o FILE.png [--size WxH] [--graphs LIST | --rx | --chart]: the
// scan's graphs, or its R and X diagram, as a picture drawn by the windows' own painters without
// a window.
#include <cstdio>
#include <sstream>

#include "app/cli/cli_command.h"
#include "platform/number_text.h"
#include "results/ui/scan_plot.h"

namespace kavu::cli {
namespace {

constexpr const char* kHelp =
    "usage: kavusdraa-cli plot FILE.kant -o FILE.png [--size WxH] [--graphs LIST | --rx | --chart]\n"
    "Draws the scan's graphs as the results window shows them into a PNG picture.\n"
    "  -o FILE.png     the picture to write\n"
    "  --size WxH      picture size in pixels (default 1600x900)\n"
    "  --graphs LIST   comma-separated quantities: R, X, RX, C, L, KSV, KSVG, FAZA, Delay, PPM\n"
    "                  (default: the graph-selection panel's stored choice)\n"
    "  --rx            instead of graphs: the R and X diagram, impedance in the R-X plane\n"
    "  --chart         instead of graphs: the circle diagram of the reflection coefficient\n"
    "                  (both with the diagram's stored SWR and cable-impedance lists)\n";

int Run(const std::vector<std::string>& args) {
  if (WantsHelp(args)) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  ScanPlotRequest rq;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool has_value = i + 1 < args.size();
    if (a == "-o" && has_value) {
      rq.png_file = args[++i];
    } else if (a == "--size" && has_value) {
      const std::string& s = args[++i];
      const size_t x = s.find('x');
      const auto w = x == std::string::npos ? std::nullopt : ParseInt(s.substr(0, x));
      const auto h = x == std::string::npos ? std::nullopt : ParseInt(s.substr(x + 1));
      if (!w || !h) return Fail("plot", "--size expects WxH, for example 1600x900");
      rq.width = *w, rq.height = *h;
    } else if (a == "--graphs" && has_value) {
      std::stringstream ss(args[++i]);
      for (std::string item; std::getline(ss, item, ',');) {
        if (!item.empty()) rq.graphs.push_back(item);
      }
    } else if (a == "--rx" || a == "--chart") {
      const auto kind = a == "--rx" ? ScanPlotRequest::kRxPlane : ScanPlotRequest::kCircleChart;
      if (rq.kind != ScanPlotRequest::kGraphs && rq.kind != kind) return Fail("plot", "--rx and --chart exclude each other");
      rq.kind = kind;
    } else if (!a.empty() && a[0] == '-') {
      return Fail("plot", "unknown option \"" + a + "\" (see --help)");
    } else if (rq.scan_file.empty()) {
      rq.scan_file = a;
    } else {
      return Fail("plot", "more than one FILE given");
    }
  }
  if (rq.scan_file.empty() || rq.png_file.empty()) return Fail("plot", "expects FILE.kant and -o FILE.png (see --help)");
  std::string error;
  if (!RenderScanPlot(rq, error)) return Fail("plot", error);
  std::printf("%s\n", rq.png_file.c_str());
  return 0;
}

const CliRegistrar kRegister({"plot", "draw a scan file's graphs into a PNG picture", kHelp, Run});

}  // namespace
}  // namespace kavu::cli
