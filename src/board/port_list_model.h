#pragma once
// PortListModel: the serial-port list as data, for front ends without a drop-down control of
// their own (the command line, the web page) and for the station's view of what is listed. It
// is what the port selector fills; a window may mirror it into its combo box.
#include <string>
#include <vector>

#include "board/serial_port_selector.h"

namespace kavu {

struct PortListItem {
  std::string text;  // "Не выбран", "COM901 /dev/...", "сеть - андрод_otg"
  int number = 0;    // 0 none, 1 and up a port, -33 the network bridge
};

class PortListModel : public IPortListView {
 public:
  void Clear() override { items_.clear(), selection_ = -1; }
  void AddItem(const std::string& text, int data) override { items_.push_back({text, data}); }
  void Select(int index) override;
  int Selection() const override { return selection_; }
  int ItemData(int index) const override;

  const std::vector<PortListItem>& Items() const { return items_; }
  // The item listing port `number`, or -1.
  int Find(int number) const;

 private:
  std::vector<PortListItem> items_;
  int selection_ = -1;
};

}  // namespace kavu
