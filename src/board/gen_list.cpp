#include "board/gen_list.h"

#include "shell/settings_store.h"

namespace kavu {

void GenList::Build(const Si5351Config& si, const GenDesks& desks, int saved_index) {
  items_.clear();
  if (si.FrefHz > 0.0) {
    for (int k = 0; k < Si5351Config::kOutputs; ++k) {
      if (si.IsSwept(k)) items_.push_back({"Si5351A, вых. CLK" + std::to_string(k), k});
    }
  }
  for (int i = 0; i < kGenSlots; ++i) {
    const GenDesk& d = desks[static_cast<size_t>(i)];
    if (d.m_GenRfmType < 1 || d.m_GenRfmType >= kGenKindCount || d.IsFixed()) continue;
    std::string text = GenKind(d.m_GenRfmType).list_text;
    if (i == 0) text += " на RB0";
    items_.push_back({text, 100 + i});
  }
  if (items_.empty()) items_.push_back({"настройте сперва", kGenNothingConfigured});
  selected_ = (saved_index >= 0 && saved_index < static_cast<int>(items_.size())) ? saved_index : 0;
}

void GenList::BuildFromSettings(const Si5351Config& si, const GenDesks& desks) {
  Build(si, desks, Settings().GetProfileInt(kSection, kKey, 0));
}

bool GenList::Select(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size())) return false;
  selected_ = index;
  Settings().WriteProfileInt(kSection, kKey, index);
  return true;
}

bool GenList::SelectData(int data) {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].data == data) {
      selected_ = static_cast<int>(i);
      return true;
    }
  }
  return false;
}

int GenList::GetGenNum() const {
  if (selected_ < 0 || selected_ >= static_cast<int>(items_.size())) return -1;
  return items_[static_cast<size_t>(selected_)].data;
}

}  // namespace kavu
