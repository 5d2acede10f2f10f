#include "results/gr_list_ekg.h"

#include <algorithm>

#include "shell/log_console.h"

namespace kavu {

bool OGrList_EKG::AddGr(int32_t type) {
  if (graphs_ >= kMaxGraphs) return false;
  const auto g = static_cast<size_t>(graphs_);
  line_count_[g] = 0;
  first_line_[g] = lines_;
  axes_[g].ResetForGraph(type);
  ++graphs_;
  return true;
}

bool OGrList_EKG::AddLine(int32_t code, bool& new_graph, int32_t type) {
  bool ok = lines_ < kMaxLines;
  if (ok && new_graph) {
    ok = AddGr(type);
    if (ok) new_graph = false;
  }
  ok = ok && graphs_ > 0;
  if (!ok) {
    if (!cap_logged_) {
      Log() << "OGrList_EKG::AddLine() - список графиков полон (" << graphs_ << " графиков, "
            << lines_ << " линий), линия " << code << " не добавлена\n";
      cap_logged_ = true;
    }
    return false;
  }
  codes_[static_cast<size_t>(lines_++)] = code;
  ++line_count_[static_cast<size_t>(graphs_ - 1)];
  return true;
}

int32_t OGrList_EKG::LineCode(int32_t g, int32_t l) const {
  const size_t gi = Index(g);
  const int32_t idx = first_line_[gi] + std::clamp(l, 0, std::max(line_count_[gi] - 1, 0));
  return codes_[static_cast<size_t>(std::clamp(idx, 0, kMaxLines - 1))];
}

OGrListItem& OGrList_EKG::GetLine(int32_t g, int32_t l) {
  item_.code = LineCode(g, l);
  return item_;
}

}  // namespace kavu
