#include "shell/ui/flow_layout.h"

#include <QStyle>
#include <QWidget>
#include <algorithm>

namespace kavu {

FlowLayout::FlowLayout(QWidget* parent, int spacing) : QLayout(parent) {
  if (spacing >= 0) setSpacing(spacing);
  setContentsMargins(0, 0, 0, 0);
}

FlowLayout::~FlowLayout() {
  while (QLayoutItem* item = takeAt(0)) delete item;
}

void FlowLayout::addWidget(QWidget* w, int stretch) {
  QLayout::addWidget(w);
  items_.back().stretch = std::max(0, stretch);
}

void FlowLayout::addItem(QLayoutItem* item) { items_.append({item, 0}); }

int FlowLayout::count() const { return static_cast<int>(items_.size()); }

QLayoutItem* FlowLayout::itemAt(int index) const {
  return index >= 0 && index < items_.size() ? items_[index].item : nullptr;
}

QLayoutItem* FlowLayout::takeAt(int index) {
  if (index < 0 || index >= items_.size()) return nullptr;
  return items_.takeAt(index).item;
}

Qt::Orientations FlowLayout::expandingDirections() const {
  for (const Entry& e : items_) {
    if (e.stretch > 0) return Qt::Horizontal;
  }
  return {};
}

int FlowLayout::Gap() const {
  if (spacing() >= 0) return spacing();
  const QWidget* w = parentWidget();
  return w ? w->style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing, nullptr, w) : 6;
}

int FlowLayout::heightForWidth(int width) const { return Arrange(QRect(0, 0, width, 0), false); }

QSize FlowLayout::minimumSize() const {
  QSize s;
  for (const Entry& e : items_) {
    if (!e.item->isEmpty()) s = s.expandedTo(e.item->minimumSize());
  }
  const QMargins m = contentsMargins();
  return s + QSize(m.left() + m.right(), m.top() + m.bottom());
}

QSize FlowLayout::sizeHint() const {
  int width = 0, height = 0, n = 0;
  for (const Entry& e : items_) {
    if (e.item->isEmpty()) continue;
    const QSize h = e.item->sizeHint();
    width += h.width() + (n++ > 0 ? Gap() : 0);
    height = std::max(height, h.height());
  }
  const QMargins m = contentsMargins();
  return QSize(width + m.left() + m.right(), height + m.top() + m.bottom());
}

void FlowLayout::setGeometry(const QRect& rect) {
  QLayout::setGeometry(rect);
  Arrange(rect, true);
}

int FlowLayout::Arrange(const QRect& rect, bool apply) const {
  const QRect area = rect.marginsRemoved(contentsMargins());
  const int gap = Gap();
  int top = area.top(), used = 0, line_height = 0;
  QList<Entry> line;
  auto finish = [&] {
    if (line.isEmpty()) return;
    if (apply) PlaceLine(line, area.left(), top, area.width(), line_height);
    top += line_height + gap;
    line.clear();
    used = line_height = 0;
  };
  for (const Entry& e : items_) {
    if (e.item->isEmpty()) continue;
    const QSize h = e.item->sizeHint();
    if (!line.isEmpty() && used + gap + h.width() > area.width()) finish();
    used += (line.isEmpty() ? 0 : gap) + h.width();
    line_height = std::max(line_height, h.height());
    line.append(e);
  }
  finish();
  const int height = top == area.top() ? 0 : top - gap - area.top();
  const QMargins m = contentsMargins();
  return height + m.top() + m.bottom();
}

void FlowLayout::PlaceLine(const QList<Entry>& line, int left, int top, int width, int height) const {
  const int gap = Gap();
  int used = 0, stretch = 0;
  for (const Entry& e : line) {
    used += e.item->sizeHint().width();
    stretch += e.stretch;
  }
  used += gap * (static_cast<int>(line.size()) - 1);
  const int spare = std::max(0, width - used);
  int x = left;
  for (const Entry& e : line) {
    const QSize h = e.item->sizeHint();
    int w = h.width();
    if (stretch > 0 && e.stretch > 0) w = std::min(e.item->maximumSize().width(), w + spare * e.stretch / stretch);
    // A single item wider than the line (the narrowest window) is given the line, not more.
    w = std::min(w, std::max(width - (x - left), e.item->minimumSize().width()));
    const int item_height = std::clamp(height, e.item->minimumSize().height(), e.item->maximumSize().height());
    e.item->setGeometry(QRect(x, top + (height - item_height) / 2, w, item_height));
    x += w + gap;
  }
}

}  // namespace kavu
