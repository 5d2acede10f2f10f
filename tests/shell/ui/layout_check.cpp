#include "shell/ui/layout_check.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>

namespace kavu::test {
namespace {

std::string Describe(const QWidget* w) {
  QString name;
  if (auto* b = qobject_cast<const QAbstractButton*>(w)) name = b->text();
  if (auto* l = qobject_cast<const QLabel*>(w)) name = l->text().left(40);
  if (name.isEmpty()) name = w->objectName();
  return "\"" + name.toStdString() + "\" (" + w->metaObject()->className() + ")";
}

std::string Rect(const QRect& r) {
  return std::to_string(r.x()) + "," + std::to_string(r.y()) + " " + std::to_string(r.width()) + "x" +
         std::to_string(r.height());
}

// The scroll area whose scrolled content `w` is, or null.
QScrollArea* AreaOfContent(const QWidget* w) {
  const QWidget* viewport = w->parentWidget();
  auto* area = viewport ? qobject_cast<QScrollArea*>(viewport->parentWidget()) : nullptr;
  return area && area->widget() == w ? area : nullptr;
}

// True when a user can scroll `area` far enough to see all of its content.
bool ScrollsToAll(const QScrollArea& area) {
  const QWidget* content = area.widget();
  const QWidget* viewport = area.viewport();
  auto reaches = [](int need, const QScrollBar* bar, Qt::ScrollBarPolicy policy) {
    return need <= 0 || (policy != Qt::ScrollBarAlwaysOff && bar->maximum() >= need);
  };
  return reaches(content->width() - viewport->width(), area.horizontalScrollBar(),
                 area.horizontalScrollBarPolicy()) &&
         reaches(content->height() - viewport->height(), area.verticalScrollBar(), area.verticalScrollBarPolicy());
}

// What keeps `w` out of reach, empty when it can be seen (perhaps after scrolling).
std::string ReachProblem(const QWidget* w, const QWidget& window) {
  QRect r = w->geometry();
  for (const QWidget* child = w; child != &window;) {
    const QWidget* parent = child->parentWidget();
    if (!parent) return "is not inside the window";
    if (!parent->rect().contains(r)) return "at " + Rect(r) + " lies outside " + Describe(parent) + " " + Rect(parent->rect());
    if (QScrollArea* area = AreaOfContent(parent)) {
      if (!ScrollsToAll(*area)) return "sits in a scroll area that cannot scroll to all of its content";
      child = area;
      r = area->geometry();
      continue;
    }
    child = parent;
    if (child != &window) r.translate(child->pos());
  }
  return {};
}

// What the text of `w` needs and does not get, empty when it fits.
std::string SqueezeProblem(const QWidget* w) {
  int need = 0;
  if (auto* b = qobject_cast<const QPushButton*>(w)) {
    if (b->text().isEmpty()) return {};
    need = b->fontMetrics().horizontalAdvance(QString(b->text()).remove('&')) + 4;
  } else if (qobject_cast<const QCheckBox*>(w) || qobject_cast<const QRadioButton*>(w)) {
    need = w->sizeHint().width();
  } else if (auto* l = qobject_cast<const QLabel*>(w)) {
    if (l->wordWrap() || l->sizePolicy().horizontalPolicy() == QSizePolicy::Ignored) return {};
    need = l->minimumSizeHint().width();
  } else {
    return {};
  }
  if (w->width() >= need && w->height() >= w->fontMetrics().height()) return {};
  return "is squeezed to " + Rect(w->rect()) + ", its text needs " + std::to_string(need) + "x" +
         std::to_string(w->fontMetrics().height());
}

bool IsComposite(const QWidget* w) {
  return qobject_cast<const QComboBox*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
         (qobject_cast<const QAbstractScrollArea*>(w) && !qobject_cast<const QScrollArea*>(w));
}

// A widget whose visible children are only scroll bars (a drawing area) counts as one control.
bool HasOnlyBars(const QWidget* w, const QWidget& window) {
  for (const QWidget* c : w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (!c->isWindow() && c->isVisibleTo(&window) && !qobject_cast<const QScrollBar*>(c)) return false;
  }
  return true;
}

void Collect(QWidget* w, const QWidget& window, std::vector<QWidget*>& out) {
  for (QWidget* c : w->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (c->isWindow() || !c->isVisibleTo(&window) || qobject_cast<QScrollBar*>(c)) continue;
    if (auto* area = qobject_cast<QScrollArea*>(c)) {
      out.push_back(area);
      if (area->widget() && area->widget()->isVisibleTo(&window)) Collect(area->widget(), window, out);
      continue;
    }
    if (IsComposite(c) || HasOnlyBars(c, window)) {
      out.push_back(c);
      continue;
    }
    Collect(c, window, out);
  }
}

// The widget whose coordinates place `w` among its neighbours: the nearest scrolled content, or
// the window.
const QWidget* Root(const QWidget* w, const QWidget& window) {
  for (const QWidget* p = w->parentWidget(); p && p != &window; p = p->parentWidget()) {
    if (AreaOfContent(p)) return p;
  }
  return &window;
}

QRect InRoot(const QWidget* w, const QWidget* root) {
  return QRect(w->mapTo(root, QPoint(0, 0)), w->size());
}

void Settle() {
  for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

}  // namespace

std::vector<QWidget*> VisibleControls(QWidget& window) {
  std::vector<QWidget*> out;
  Collect(&window, window, out);
  return out;
}

std::vector<std::string> LayoutProblems(QWidget& window) {
  std::vector<std::string> problems;
  const std::vector<QWidget*> controls = VisibleControls(window);
  for (const QWidget* c : controls) {
    if (c->width() <= 0 || c->height() <= 0) {
      problems.push_back(Describe(c) + " has no room: " + Rect(c->geometry()));
      continue;
    }
    if (std::string why = ReachProblem(c, window); !why.empty()) problems.push_back(Describe(c) + " " + why);
    if (std::string why = SqueezeProblem(c); !why.empty()) problems.push_back(Describe(c) + " " + why);
  }
  for (size_t i = 0; i < controls.size(); ++i) {
    for (size_t j = i + 1; j < controls.size(); ++j) {
      const QWidget* a = controls[i];
      const QWidget* b = controls[j];
      const QWidget* root = Root(a, window);
      if (root != Root(b, window) || a->isAncestorOf(b) || b->isAncestorOf(a)) continue;
      if (InRoot(a, root).intersects(InRoot(b, root))) {
        problems.push_back(Describe(a) + " " + Rect(InRoot(a, root)) + " overlaps " + Describe(b) + " " +
                           Rect(InRoot(b, root)));
      }
    }
  }
  return problems;
}

std::vector<std::string> SidewaysProblems(QWidget& window) {
  std::vector<std::string> problems;
  for (const QWidget* c : VisibleControls(window)) {
    const QRect r = InRoot(c, &window);
    if (r.left() < 0 || r.right() >= window.width()) {
      problems.push_back(Describe(c) + " at " + Rect(r) + " needs sideways scrolling in a window " +
                         std::to_string(window.width()) + " wide");
    }
  }
  return problems;
}

std::vector<std::string> SmallScreenProblems(QWidget& window, QSize size) {
  std::vector<std::string> problems;
  window.show();
  Settle();
  window.resize(size);
  if (window.layout()) window.layout()->activate();
  Settle();
  if (window.width() > size.width() || window.height() > size.height()) {
    problems.push_back("the window stays " + std::to_string(window.width()) + "x" + std::to_string(window.height()) +
                       ", larger than " + std::to_string(size.width()) + "x" + std::to_string(size.height()));
  }
  for (std::string& p : LayoutProblems(window)) problems.push_back(std::move(p));
  return problems;
}

}  // namespace kavu::test
