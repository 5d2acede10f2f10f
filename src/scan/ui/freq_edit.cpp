#include "scan/ui/freq_edit.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace kavu {

FreqEdit::FreqEdit(QWidget* parent)
    : QWidget(parent), edit_(new QLineEdit(this)), up_(new QToolButton(this)), down_(new QToolButton(this)) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(1);
  row->addWidget(edit_, 1);
  auto* spin = new QVBoxLayout;
  spin->setContentsMargins(0, 0, 0, 0);
  spin->setSpacing(0);
  for (QToolButton* b : {up_, down_}) {
    b->setAutoRepeat(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setFixedHeight(edit_->sizeHint().height() / 2);
    spin->addWidget(b);
  }
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
  row->addLayout(spin);
  edit_->setMinimumWidth(edit_->fontMetrics().horizontalAdvance("0000.000000000 МГц"));
  edit_->installEventFilter(this);
  connect(edit_, &QLineEdit::editingFinished, this, [this] { emit Committed(edit_->text()); });
  connect(up_, &QToolButton::clicked, this, [this] { emit Stepped(1); });
  connect(down_, &QToolButton::clicked, this, [this] { emit Stepped(-1); });
}

void FreqEdit::SetValueText(const QString& text) { edit_->setText(text); }

void FreqEdit::SetFailed(bool failed) {
  failed_ = failed;
  edit_->setStyleSheet(failed ? "QLineEdit { background: rgb(255, 190, 190); }" : "");
}

bool FreqEdit::eventFilter(QObject* watched, QEvent* event) {
  if (watched == edit_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
      emit Stepped(key == Qt::Key_Up ? 1 : -1);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace kavu
