#include "shell/ui/screen_fit.h"

#include <QScreen>
#include <algorithm>

namespace kavu {

QSize SizeWithinScreen(const QWidget& window, QSize wanted) {
  const QScreen* screen = window.screen();
  if (!screen) return wanted.expandedTo(window.minimumSize());
  const QSize avail = screen->availableGeometry().size();
  const QSize bound(avail.width() * 9 / 10, avail.height() * 9 / 10);
  return wanted.boundedTo(bound).expandedTo(window.minimumSize());
}

void ResizeWithinScreen(QWidget& window, QSize wanted) { window.resize(SizeWithinScreen(window, wanted)); }

}  // namespace kavu
