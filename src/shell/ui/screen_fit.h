#pragma once
// Sizing a window for the screen it opens on, so a window opens whole on a small laptop screen,
// a small display or a high-density screen at a large scale factor.
#include <QSize>
#include <QWidget>

namespace kavu {

// The size a window that would like `wanted` (logical pixels) gets on `window`'s screen: at most
// nine tenths of the screen's available area in each direction, and never below the window's
// minimum size. Without a screen, `wanted`.
QSize SizeWithinScreen(const QWidget& window, QSize wanted);

// Resizes `window` to SizeWithinScreen(window, wanted).
void ResizeWithinScreen(QWidget& window, QSize wanted);

}  // namespace kavu
