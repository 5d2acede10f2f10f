#include "board/port_list_model.h"

namespace kavu {

void PortListModel::Select(int index) {
  selection_ = index >= 0 && index < static_cast<int>(items_.size()) ? index : -1;
}

int PortListModel::ItemData(int index) const {
  return index >= 0 && index < static_cast<int>(items_.size()) ? items_[static_cast<size_t>(index)].number : 0;
}

int PortListModel::Find(int number) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].number == number) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace kavu
