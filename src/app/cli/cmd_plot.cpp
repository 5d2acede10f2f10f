// kavusdraa-cli plot FILE.kant -o FILE.png [--size WxH] [--graphs LIST | --rx | --chart]: the
// scan's graphs, or its R and X diagram, as a picture drawn by the windows' own painters without
// a window.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>
#include <string_view>

#include "app/cli/cli_command.h"
#include "platform/atomic_file.h"
#include "results/paint/scan_plot.h"

namespace kavu::cli {
namespace {

constexpr const char* kHelp =
    "usage: kavusdraa-cli plot FILE.kant -o FILE.png [--size WxH] [--graphs LIST | --rx | --chart]\n"
    "Draws the scan's graphs as the results window shows them into a PNG picture.\n"
    "  -o FILE.png     the picture to write: a new file or a regular one (a link to one is\n"
    "                  written through), never the scan itself; written whole or not at all\n"
    "  --size WxH      picture size in pixels (default 1600x900)\n"
    "  --graphs LIST   comma-separated quantities: R, X, RX, C, L, KSV, KSVG, FAZA, Delay, PPM\n"
    "                  (default: the graph-selection panel's stored choice)\n"
    "  --rx            instead of graphs: the R and X diagram, impedance in the R-X plane\n"
    "  --chart         instead of graphs: the circle diagram of the reflection coefficient\n"
    "                  (both with the diagram's stored SWR and cable-impedance lists)\n";

// The whole text as one non-negative integer: "800" but not "800x3", "1e3" or "".
std::optional<int> WholeInt(std::string_view s) {
  int v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size() || v < 0) return std::nullopt;
  return v;
}

// "--graphs R,X,KSV": the names, blanks around each trimmed; an empty list or an empty name
// ("", ",,,", "R,,X") is refused rather than read as "the stored choice".
bool SplitGraphs(const std::string& list, std::vector<std::string>& names) {
  size_t from = 0;
  for (;;) {
    const size_t comma = std::min(list.find(',', from), list.size());
    std::string_view item(list.data() + from, comma - from);
    while (!item.empty() && (item.front() == ' ' || item.front() == '\t')) item.remove_prefix(1);
    while (!item.empty() && (item.back() == ' ' || item.back() == '\t')) item.remove_suffix(1);
    if (item.empty()) return false;
    names.emplace_back(item);
    if (comma == list.size()) return true;
    from = comma + 1;
  }
}

int Run(const std::vector<std::string>& args) {
  if (WantsHelp(args)) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  ScanPlotRequest rq;
  bool graphs_given = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool has_value = i + 1 < args.size();
    if ((a == "-o" || a == "--size" || a == "--graphs") && !has_value) {
      return Fail("plot", a + " needs a value (see --help)");
    }
    if (a == "-o") {
      rq.png_file = args[++i];
      if (rq.png_file.empty()) return Fail("plot", "empty output file name");
    } else if (a == "--size") {
      const std::string& s = args[++i];
      const size_t x = s.find('x');
      const auto w = x == std::string::npos ? std::nullopt : WholeInt(std::string_view(s).substr(0, x));
      const auto h = x == std::string::npos ? std::nullopt : WholeInt(std::string_view(s).substr(x + 1));
      if (!w || !h) return Fail("plot", "--size expects WxH, for example 1600x900, not \"" + s + "\"");
      rq.width = *w, rq.height = *h;
    } else if (a == "--graphs") {
      const std::string& list = args[++i];
      if (!SplitGraphs(list, rq.graphs)) {
        return Fail("plot", "--graphs \"" + list + "\" holds an empty name: give a comma-separated list "
                            "such as R,X,KSV (see --help)");
      }
      graphs_given = true;
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
  if (graphs_given && rq.kind != ScanPlotRequest::kGraphs) {
    return Fail("plot", std::string("--graphs chooses graphs, ") + (rq.kind == ScanPlotRequest::kRxPlane ? "--rx" : "--chart") +
                            " draws a diagram instead of them: give one of the two");
  }
  if (rq.scan_file.empty() || rq.png_file.empty()) return Fail("plot", "expects FILE.kant and -o FILE.png (see --help)");
  // The same rules as export: only a regular file (or a link to one, written through) is
  // replaced, never the scan being drawn; a FIFO or device is refused without opening it.
  if (const std::string problem = OutputPathProblem(rq.png_file); !problem.empty()) {
    return Fail("plot", "refusing to write: " + problem);
  }
  if (SameFile(rq.png_file, rq.scan_file)) {
    return Fail("plot", "refusing to write \"" + rq.png_file + "\": it is the scan file being drawn");
  }
  std::string error;
  if (!RenderScanPlot(rq, error)) return Fail("plot", error);
  std::printf("%s\n", rq.png_file.c_str());
  return 0;
}

const CliRegistrar kRegister({"plot", "draw a scan file's graphs into a PNG picture", kHelp, Run});

}  // namespace
}  // namespace kavu::cli
