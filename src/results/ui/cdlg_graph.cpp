#include "results/ui/cdlg_graph.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>
#include <QStyle>
#include <algorithm>
#include <cmath>

#include "results/graph_autoscale.h"
#include "shell/log_console.h"

namespace kavu {
namespace {

// The middle of what is drawn: on a logarithmic axis the geometric mean of the ends.
double VisibleCentre(const TGrDia& a) {
  if (a.UsesLog() && a.m_Show0 > 0 && a.m_Show1 > 0) return std::sqrt(a.m_Show0 * a.m_Show1);
  return (a.m_Show0 + a.m_Show1) / 2;
}

}  // namespace

CDlgGraph::CDlgGraph(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  horizontal_.ResetForGraph(1);
  painter_.SetColourBands(&bands_);
  hbar_ = new QScrollBar(Qt::Horizontal, this);
  connect(hbar_, &QScrollBar::actionTriggered, this, [this](int a) { OnBarAction(-1, a); });
  // No range set: the left arrow widens the frequency range, the right one narrows it, as
  // Shift with the arrow keys does.
  hspin_ = new UpDownControl(Qt::Horizontal, this);
  hspin_->setFocusPolicy(Qt::ClickFocus);
  connect(hspin_, &UpDownControl::DeltaPos, this, [this](int d) { OnSpin(-1, d); });
  Relayout();
}

void CDlgGraph::SetList(OGrList* list) {
  list_ = list;
  d_width_ = 4.0;
  if (list_) AutoscaleOnAttach(*list_, horizontal_);
  const int n = list_ ? list_->GetGraphCount() : 0;
  while (static_cast<int>(vbars_.size()) > n) {
    delete vbars_.back();
    vbars_.pop_back();
    delete vspins_.back();
    vspins_.pop_back();
  }
  while (static_cast<int>(vbars_.size()) < n && vbars_.size() < 128) MakePaneControls(static_cast<int>(vbars_.size()));
  selected_ = std::clamp(selected_, 0, std::max(n - 1, 0));
  Relayout();
  Changed();
}

bool CDlgGraph::AddColourBand(double from, double to, uint32_t rgb) {
  if (static_cast<int>(bands_.size()) >= kMaxColourBands) return false;
  bands_.push_back({from, to, rgb});
  Invalidate();
  return true;
}

void CDlgGraph::ClearColourBands() {
  bands_.clear();
  Invalidate();
}

void CDlgGraph::Invalidate() {
  dirty_ = true;
  update();
}

const QImage& CDlgGraph::Rendered() {
  // The picture is kept at the screen's density, so lines and labels stay sharp on a
  // high-density screen; the painter still works in the window's logical pixels.
  const qreal dpr = devicePixelRatioF();
  const QSize pixels = (QSizeF(size()) * dpr).toSize().expandedTo(QSize(1, 1));
  if (dirty_ || cache_.size() != pixels || cache_.devicePixelRatio() != dpr) {
    cache_ = QImage(pixels, QImage::Format_RGB32);
    cache_.setDevicePixelRatio(dpr);
    cache_.fill(Qt::white);
    QPainter p(&cache_);
    painter_.Prepare(list_, horizontal_, layout_, width());
    painter_.Paint(p, list_, horizontal_, layout_, width());
    dirty_ = false;
    ++renders_;
    SyncBars();
  }
  return cache_;
}

void CDlgGraph::paintEvent(QPaintEvent*) {
  const QImage& img = Rendered();
  QPainter p(this);
  p.drawImage(0, 0, img);
}

void CDlgGraph::resizeEvent(QResizeEvent*) {
  Relayout();
  Invalidate();
}

void CDlgGraph::MakePaneControls(int pane) {
  auto* bar = new QScrollBar(Qt::Vertical, this);
  connect(bar, &QScrollBar::actionTriggered, this, [this, pane](int a) { OnBarAction(pane, a); });
  bar->show();
  vbars_.push_back(bar);
  auto* spin = new UpDownControl(Qt::Vertical, this);
  spin->SetRange(0, 10);
  spin->SetWrap(true);
  spin->setFocusPolicy(Qt::ClickFocus);
  connect(spin, &UpDownControl::DeltaPos, this, [this, pane](int d) { OnSpin(pane, d); });
  spin->show();
  vspins_.push_back(spin);
}

UpDownControl* CDlgGraph::PaneSpin(int pane) const {
  return pane >= 0 && pane < static_cast<int>(vspins_.size()) ? vspins_[static_cast<size_t>(pane)] : nullptr;
}

QScrollBar* CDlgGraph::PaneBar(int pane) const {
  return pane >= 0 && pane < static_cast<int>(vbars_.size()) ? vbars_[static_cast<size_t>(pane)] : nullptr;
}

GraphLayoutInput CDlgGraph::LayoutInput() const {
  GraphLayoutInput in;
  in.width = width(), in.height = height();
  in.panes = list_ ? std::min(list_->GetGraphCount(), 128) : 0;
  in.scroll_h = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  in.scroll_v = in.scroll_h;
  // A scroll bar's arrow button is as long as the bar is thick.
  in.arrow_h = in.scroll_h;
  in.text_h = painter_.TextHeight();
  in.h_values = horizontal_.m_IsValues != 0;
  return in;
}

void CDlgGraph::Relayout() {
  layout_ = ComputeGraphLayout(LayoutInput());
  PlaceControls();
}

void CDlgGraph::PlaceControls() {
  auto place = [](QWidget* w, const PixelRect& r) {
    w->setGeometry(r.left, r.top, r.Width(), r.Height());
    w->setVisible(r.Width() > 0 && r.Height() > 0);
  };
  place(hspin_, layout_.h_spin);
  place(hbar_, layout_.h_bar);
  for (size_t i = 0; i < vbars_.size() && i < layout_.v_bars.size(); ++i) {
    place(vbars_[i], layout_.v_bars[i]);
    place(vspins_[i], layout_.v_spins[i]);
  }
}

void CDlgGraph::OnSpin(int pane, int delta) {
  TGrDia* axis = pane < 0 ? &horizontal_ : PaneAxis(pane);
  if (!axis || delta == 0) return;
  if (pane >= 0) selected_ = pane;
  axis->Zoom(delta, VisibleCentre(*axis));
  if (pane < 0) horizontal_.m_IsAuto = 0;
  Changed();
}

TGrDia* CDlgGraph::PaneAxis(int pane) {
  if (!list_ || pane < 0 || pane >= list_->GetGraphCount()) return nullptr;
  return &list_->GetAxis(pane);
}

void CDlgGraph::SyncBar(QScrollBar* bar, const TGrDia& axis, bool reversed) {
  const AxisScrollBar b = axis.BarFromRange(reversed);
  bar->setEnabled(b.enabled);
  if (!b.enabled) return;
  bar->setRange(0, std::max(AxisScrollBar::kScrollMax - b.page, 0));
  bar->setPageStep(b.page);
  bar->setSingleStep(std::max(b.page / 20, 1));
  bar->setValue(b.pos);
}

void CDlgGraph::SyncBars() {
  syncing_ = true;
  SyncBar(hbar_, horizontal_, false);
  for (size_t i = 0; i < vbars_.size(); ++i) {
    if (TGrDia* a = PaneAxis(static_cast<int>(i))) SyncBar(vbars_[i], *a, true);
  }
  syncing_ = false;
}

void CDlgGraph::OnBarAction(int pane, int action) {
  if (syncing_) return;
  TGrDia* axis = pane < 0 ? &horizontal_ : PaneAxis(pane);
  if (!axis) return;
  if (pane >= 0) selected_ = pane;
  QScrollBar* bar = pane < 0 ? hbar_ : vbars_[static_cast<size_t>(pane)];
  int cmd = -1;
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub: cmd = kScrollLineUp; break;
    case QAbstractSlider::SliderSingleStepAdd: cmd = kScrollLineDown; break;
    case QAbstractSlider::SliderPageStepSub: cmd = kScrollPageUp; break;
    case QAbstractSlider::SliderPageStepAdd: cmd = kScrollPageDown; break;
    case QAbstractSlider::SliderMove: cmd = kScrollThumbTrack; break;
    case QAbstractSlider::SliderToMinimum: cmd = kScrollTop; break;
    case QAbstractSlider::SliderToMaximum: cmd = kScrollBottom; break;
    default: return;
  }
  axis->Scroll(cmd, bar->sliderPosition(), pane >= 0);
  Changed();
}

void CDlgGraph::Changed() {
  dirty_ = true;
  SyncBars();
  update();
}

bool CDlgGraph::HandleKey(int key, Qt::KeyboardModifiers mods, int repeat) {
  const bool shift = mods & Qt::ShiftModifier, ctrl = mods & Qt::ControlModifier;
  const bool keypad = mods & Qt::KeypadModifier;
  const double r = std::max(repeat, 1);
  TGrDia& h = horizontal_;
  auto centre = VisibleCentre;
  switch (key) {
    case Qt::Key_Left:
      if (shift) h.Zoom(r, centre(h)); else h.Scroll(ctrl ? kScrollPageUp : kScrollLineUp, 0, false);
      Changed();
      return true;
    case Qt::Key_Right:
      if (shift) h.Zoom(-r, centre(h)); else h.Scroll(ctrl ? kScrollPageDown : kScrollLineDown, 0, false);
      Changed();
      return true;
    case Qt::Key_Z: h.Scroll(kScrollTop, 0, false); Changed(); return true;
    case Qt::Key_X: h.Scroll(kScrollBottom, 0, false); Changed(); return true;
    case Qt::Key_C: h.Scroll(kScrollCentre, 0, false); Changed(); return true;
    case Qt::Key_A: h.m_IsAuto = 0, h.m_IsFull = 1, h.Normalise(true); Changed(); return true;
    case Qt::Key_D: {
      const double at = AxisMapping::Horizontal(h, PlotLeft(), PlotRight()).ToValue(mouse_pos_.x());
      const double w = h.m_Show1 - h.m_Show0;
      h.m_Show0 = at - d_width_ / 2, h.m_Show1 = at + d_width_ / 2;
      d_width_ = w;
      h.m_IsAuto = 0, h.m_IsFull = 0;
      h.Normalise(false);
      Changed();
      return true;
    }
    case Qt::Key_Tab:
    case Qt::Key_Backtab: {
      const int n = list_ ? list_->GetGraphCount() : 0;
      if (n > 0) selected_ = (key == Qt::Key_Backtab || shift) ? (selected_ + n - 1) % n : (selected_ + 1) % n;
      return true;
    }
    default: break;
  }
  TGrDia* a = PaneAxis(selected_);
  if (!a) return false;
  switch (key) {
    case Qt::Key_Plus: if (!keypad) return false; a->Zoom(-r, centre(*a)); break;
    case Qt::Key_Minus: if (!keypad) return false; a->Zoom(r, centre(*a)); break;
    case Qt::Key_Asterisk: if (!keypad) return false; a->m_IsAuto = 0, a->m_IsFull = 1, a->Normalise(true); break;
    case Qt::Key_Slash: if (!keypad) return false; a->m_IsAuto = 1, a->Normalise(false); break;
    case Qt::Key_Up:
      if (shift) a->Zoom(-r, centre(*a)); else a->Scroll(ctrl ? kScrollPageUp : kScrollLineUp, 0, true);
      break;
    case Qt::Key_Down:
      if (shift) a->Zoom(r, centre(*a)); else a->Scroll(ctrl ? kScrollPageDown : kScrollLineDown, 0, true);
      break;
    case Qt::Key_PageUp: if (shift) a->Zoom(-r, centre(*a)); else a->Scroll(kScrollPageUp, 0, true); break;
    case Qt::Key_PageDown: if (shift) a->Zoom(r, centre(*a)); else a->Scroll(kScrollPageDown, 0, true); break;
    case Qt::Key_Home: a->Scroll(kScrollTop, 0, true); break;
    case Qt::Key_End: a->Scroll(kScrollBottom, 0, true); break;
    case Qt::Key_Insert: a->Scroll(kScrollCentre, 0, true); break;
    default: return false;
  }
  Changed();
  return true;
}

void CDlgGraph::WheelAt(QPoint pos, double notches, Qt::KeyboardModifiers mods, Qt::MouseButtons buttons) {
  if (!std::isfinite(notches) || notches == 0) return;
  const int zone = HitZone(layout_, PlotLeft(), width(), pos.x(), pos.y());
  const int pane = PaneAt(layout_, pos.y());
  const bool value_axis = zone == 2 || (mods & (Qt::ShiftModifier | Qt::ControlModifier)) || (buttons & Qt::MiddleButton);
  if (value_axis) {
    TGrDia* a = PaneAxis(pane);
    if (!a) return;
    const PixelRect& r = layout_.panes[static_cast<size_t>(pane)];
    a->Zoom(notches, AxisMapping::Vertical(*a, r.top, r.bottom).ToValue(pos.y()));
  } else {
    horizontal_.Zoom(notches, AxisMapping::Horizontal(horizontal_, PlotLeft(), PlotRight()).ToValue(pos.x()));
  }
  Changed();
}

void CDlgGraph::wheelEvent(QWheelEvent* e) {
  // Touchpads send fractions of a notch: the zoom exponent takes them as they come.
  const QPoint d = e->angleDelta();
  const double notches = (d.y() != 0 ? d.y() : d.x()) / 120.0;
  WheelAt(e->position().toPoint(), notches, e->modifiers(), e->buttons());
  e->accept();
}

void CDlgGraph::keyPressEvent(QKeyEvent* e) {
  if (!HandleKey(e->key(), e->modifiers(), e->count())) QWidget::keyPressEvent(e);
}

void CDlgGraph::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  Log() << "CDlgGraph::OnLButtonDown() \n";
  const QPoint p = e->position().toPoint();
  cap_zone_ = HitZone(layout_, PlotLeft(), width(), p.x(), p.y());
  const int pane = PaneAt(layout_, p.y());
  captured_ = pane >= 0 ? pane : 1000000;
  if (pane >= 0) selected_ = pane;
  Log() << "m_Cap_PosType = " << cap_zone_ << "\n";
  last_pos_ = p;
}

void CDlgGraph::Pan(int dx, int dy) {
  if (cap_zone_ >= 3000 && cap_zone_ < 3000 + static_cast<int>(layout_.panes.size()) - 1) {
    const auto i = static_cast<size_t>(cap_zone_ - 3000);
    PixelRect& a = layout_.panes[i];
    PixelRect& b = layout_.panes[i + 1];
    const int lo = a.top + GraphLayout::kMinPaneHeight - a.bottom, hi = b.bottom - GraphLayout::kMinPaneHeight - b.top;
    const int d = std::clamp(dy, lo, hi);
    a.bottom += d, b.top += d;
    // The two panes' bars and spins follow the moved gap at once.
    PlacePaneControls(layout_, LayoutInput());
    PlaceControls();
    Invalidate();
    return;
  }
  const int w = std::max(width(), 1);
  if (cap_zone_ != 2 && dx != 0 && horizontal_.ShowValid()) {
    TGrDia& h = horizontal_;
    if (h.UsesLog()) {
      const double k = std::pow(h.m_Show1 / h.m_Show0, -static_cast<double>(dx) / w);
      h.m_Show0 *= k, h.m_Show1 *= k;
      if (h.m_Show0 < h.m_Full0) h.m_Show1 *= h.m_Full0 / h.m_Show0, h.m_Show0 = h.m_Full0;
      if (h.m_Show1 > h.m_Full1) h.m_Show0 *= h.m_Full1 / h.m_Show1, h.m_Show1 = h.m_Full1;
    } else {
      const double shift = (h.m_Show1 - h.m_Show0) * dx / w;
      h.m_Show0 -= shift, h.m_Show1 -= shift;
    }
    h.m_IsAuto = 0, h.m_IsFull = 0;
    h.Normalise(true);
  }
  TGrDia* a = captured_ < 1000000 ? PaneAxis(captured_) : nullptr;
  if (a && cap_zone_ != 1 && !a->m_IsAuto && dy != 0 && a->ShowValid()) {
    const int ph = std::max(layout_.panes[static_cast<size_t>(captured_)].Height(), 1);
    const double shift = (a->m_Show1 - a->m_Show0) / ph * dy;
    a->m_Show0 += shift, a->m_Show1 += shift;
    a->m_IsFull = 0;
    a->Normalise(true);
  }
  Changed();
}

void CDlgGraph::mouseMoveEvent(QMouseEvent* e) {
  const QPoint p = e->position().toPoint();
  mouse_pos_ = p;
  if (captured_ < 0 || !(e->buttons() & Qt::LeftButton)) return;
  const QPoint d = p - last_pos_;
  last_pos_ = p;
  Pan(d.x(), d.y());
}

void CDlgGraph::mouseReleaseEvent(QMouseEvent*) { captured_ = -1; }

void CDlgGraph::contextMenuEvent(QContextMenuEvent* e) {
  const QPoint p = e->pos();
  const int zone = HitZone(layout_, PlotLeft(), width(), p.x(), p.y());
  Log() << "CDlgGraph::OnRButtonDown () x=" << p.x() << " y=" << p.y() << " t=" << zone << "\n";
  int pane = -2;
  if (zone == 1) pane = -1;
  if (zone == 2) pane = PaneAt(layout_, p.y());
  if (pane == -2 || (pane >= 0 && !PaneAxis(pane))) return;
  if (pane >= 0) selected_ = pane;
  auto menu = BuildAxisMenu(pane);
  menu->exec(e->globalPos());
}

std::unique_ptr<QMenu> CDlgGraph::BuildAxisMenu(int pane) {
  auto menu = std::make_unique<QMenu>(this);
  TGrDia* axis = pane < 0 ? &horizontal_ : PaneAxis(pane);
  if (!axis) return menu;
  const bool value = pane >= 0;
  const int base = value ? 45500 : 45000;
  auto add = [&](const QString& text, int k, bool checked, bool enabled = true) {
    QAction* act = menu->addAction(text);
    act->setCheckable(true);
    act->setChecked(checked);
    act->setEnabled(enabled);
    act->setData(base + k);
    connect(act, &QAction::triggered, this, [this, axis, k, value] { MenuCommand(*axis, k, value); });
  };
  if (value) {
    add("Автовыбор масштаба", 0, axis->m_IsAuto);
    add("C игнорированием сбоев", 100, axis->m_IsIgnoreGlitches, axis->m_IsAuto);
  }
  add("Полный диапазон", 1, axis->m_IsFull, !axis->m_IsAuto);
  if (axis->m_IsLogAllowed) add("Логарифмическая шкала", 13, axis->m_IsLog);
  menu->addSeparator();
  add("Отображать легенду", 10, axis->m_IsLegend);
  add("Отображать сетку", 11, axis->m_IsGrid);
  add("Отображать значения", 12, axis->m_IsValues);
  menu->addSeparator();
  int shown = 0;
  for (int i = 0; i < axis->GetFormatCount() && shown < 10; ++i) {
    std::string name;
    if (!axis->GetFormatName(i, name)) continue;
    add(QString("Вид: ") + QString::fromStdString(name), 20 + i, axis->m_Format == i);
    ++shown;
  }
  return menu;
}

void CDlgGraph::MenuCommand(TGrDia& axis, int k, bool value_axis) {
  Log() << "CDlgGraph::OnDiaMenuCommand() - call \n";
  if (value_axis && k == 0) axis.m_IsAuto = !axis.m_IsAuto;
  if (value_axis && k == 100) axis.m_IsAuto = 1, axis.m_IsIgnoreGlitches = !axis.m_IsIgnoreGlitches;
  if (k == 1) axis.m_IsFull = 1;
  if (k == 13) axis.m_IsLog = !axis.m_IsLog;
  if (k == 10) axis.m_IsLegend = !axis.m_IsLegend;
  if (k == 11) axis.m_IsGrid = !axis.m_IsGrid;
  if (k == 12) axis.m_IsValues = !axis.m_IsValues, Relayout();
  if (k >= 20 && k < 30) axis.SetFormat(k - 20);
  axis.Normalise(true);
  Changed();
}

}  // namespace kavu
