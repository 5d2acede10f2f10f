#pragma once
// FlowLayout: lays its items out left to right like words in a line and wraps to a new line when
// the width runs out, so a row of controls that is wider than a small screen (or a window at a
// large scale factor) takes two or three lines instead of pushing the window past the screen.
//
// Items keep their preferred width; an item added with a stretch above 0 also takes its share of
// what is left over on its line (up to its maximum width), as in a box layout. Items of one line
// are centred vertically on it. The layout reports its height for a width (heightForWidth), so a
// box layout around it gives it the lines it needs.
#include <QLayout>
#include <QList>

namespace kavu {

class FlowLayout : public QLayout {
 public:
  // Spacing between items and between lines in pixels; −1 takes the style's spacing.
  explicit FlowLayout(QWidget* parent = nullptr, int spacing = -1);
  ~FlowLayout() override;

  // Adds `w` with `stretch` (0: keeps its preferred width).
  void addWidget(QWidget* w, int stretch);
  using QLayout::addWidget;

  void addItem(QLayoutItem* item) override;
  int count() const override;
  QLayoutItem* itemAt(int index) const override;
  QLayoutItem* takeAt(int index) override;
  Qt::Orientations expandingDirections() const override;
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;
  // The widest item's minimum: the narrowest the layout can go, each item on a line of its own.
  QSize minimumSize() const override;
  // All items on one line.
  QSize sizeHint() const override;
  void setGeometry(const QRect& rect) override;

 private:
  struct Entry {
    QLayoutItem* item;
    int stretch;
  };
  int Gap() const;
  // Places the items within `rect` (when `apply`) and returns the height they take.
  int Arrange(const QRect& rect, bool apply) const;
  void PlaceLine(const QList<Entry>& line, int left, int top, int width, int height) const;

  QList<Entry> items_;
};

}  // namespace kavu
