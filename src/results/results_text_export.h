#pragma once
// The text export of the current set: "<file of set 0>.txt", one line per point, tab-separated,
// lines ending in CR LF, the Russian header texts in code page 1251:
//   frequency MHz "%0.6f", R and X Ω "%f", |A/O| dB, phase A/O degrees, |O| dB, |In_O| dB;
// the first line ends with the column legend, the second with the cable note when a cable
// length is set. A failed write (open, write or close) is a failure, never a success.
#include <string>

#include "results/ant_izms.h"
#include "results/graph_panel_settings.h"
#include "results/graph_point_source.h"

namespace kavu {

struct TextExportResult {
  bool ok = false;
  std::string path;
  std::string error;
};

// The file's bytes, for the set as it stands.
std::string ResultsTextExportBytes(const AntIzms& set, const GraphPanelSettings& panel,
                                   const IGraphPointSource& source);
// Writes the bytes to `path`.
TextExportResult WriteResultsTextExport(const std::string& path, const AntIzms& set,
                                        const GraphPanelSettings& panel, const IGraphPointSource& source);

}  // namespace kavu
