#pragma once
// The scan-result graph list: up to 256 graphs and 256 lines in all, each line a code
// (set number << 16) | quantity number, drawn by one shared OGrListItem_EKG.
// Set numbers: 0 current, 1 previous, 2 and 3 first- and second-harmonic sets (store sets 2 and
// 4), 4–9 comparison slots 1–6.
#include <array>
#include <cstdint>
#include <string>

#include "results/gr_list.h"
#include "results/graph_panel_settings.h"
#include "results/graph_point_source.h"

namespace kavu {

class ResultsStore;

// A scan-result line. Reads the store, the panel's settings and the point source it is given;
// all three must outlive it.
class OGrListItem_EKG : public OGrListItem {
 public:
  OGrListItem_EKG(ResultsStore& store, const GraphPanelSettings& panel,
                  const IGraphPointSource& source)
      : store_(&store), panel_(&panel), source_(&source) {}

  int32_t code = 0;
  int32_t parallel = 0;  // bit 0: R, X, C and L of the parallel equivalent circuit

  int GetKind() const override { return 0; }
  int HasBand() const override { return 0; }
  int32_t GetCount() const override;
  bool GetFixedRange(double& x0, double& x1, double& y0, double& y1) const override;
  int32_t GetPoint(int32_t i, double& x, double& y) const override;
  void GetName(std::string& text) const override;

  // The store set addressed by a set number 0–9 (null for any other number).
  static const AntIzms* SetOf(ResultsStore& store, int set_number);

 private:
  ResultsStore* store_;
  const GraphPanelSettings* panel_;
  const IGraphPointSource* source_;
};

class OGrList_EKG : public OGrList {
 public:
  static constexpr int32_t kMaxGraphs = 256;
  static constexpr int32_t kMaxLines = 256;

  OGrList_EKG(ResultsStore& store, const GraphPanelSettings& panel,
              const IGraphPointSource& source)
      : item_(store, panel, source) {}

  void Clear() { graphs_ = 0, lines_ = 0; }
  // Starts a graph of format `type`; false (nothing added) at the cap.
  bool AddGr(int32_t type);
  // Appends a line, starting a graph first when `new_graph` is set (then cleared). False when a
  // cap was reached; the first refusal of a build is logged.
  bool AddLine(int32_t code, bool& new_graph, int32_t type);
  void SetParallel(int32_t p) { item_.parallel = p; }

  int32_t GetGraphCount() const override { return graphs_; }
  TGrDia& GetAxis(int32_t g) override { return axes_[Index(g)]; }
  int32_t GetLineCount(int32_t g) const override { return line_count_[Index(g)]; }
  OGrListItem& GetLine(int32_t g, int32_t l) override;
  int32_t LineCode(int32_t g, int32_t l) const;
  int32_t TotalLines() const { return lines_; }

 private:
  static size_t Index(int32_t g) { return static_cast<size_t>(g < 0 ? 0 : (g >= kMaxGraphs ? kMaxGraphs - 1 : g)); }

  OGrListItem_EKG item_;
  int32_t graphs_ = 0;
  std::array<int32_t, kMaxGraphs> line_count_{};
  std::array<int32_t, kMaxGraphs> first_line_{};
  std::array<TGrDia, kMaxGraphs> axes_;
  std::array<int32_t, kMaxLines> codes_{};
  int32_t lines_ = 0;
  bool cap_logged_ = false;
};

// Rebuilds `list` from the panel's settings by the results window's rule. Returns whether a shown
// set carries second-channel data (the panel enables its second-channel boxes exactly then).
bool BuildResultsGraphList(OGrList_EKG& list, const GraphPanelSettings& panel,
                           ResultsStore& store);

}  // namespace kavu
