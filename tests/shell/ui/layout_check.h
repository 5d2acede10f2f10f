#pragma once
// Checks a window's layout the way a user on a small screen meets it: after the window is shown
// and resized to a small size, every control must be reachable (inside the window, or inside a
// scroll area whose scroll range reaches it), no two visible controls may overlap, and no button,
// box or label may be squeezed below the size its text needs.
//
// Controls are buttons, check and radio boxes, combo boxes, line and text edits, spin boxes,
// sliders and labels; the parts inside a combo or spin box and scroll bars are not controls.
#include <QSize>
#include <QWidget>
#include <string>
#include <vector>

namespace kavu::test {

// The problems of `window`'s layout at its current size, one readable line each ("Сканировать!
// (QPushButton) outside the window: ..."); empty when the layout is sound.
std::vector<std::string> LayoutProblems(QWidget& window);

// Shows `window` (offscreen), resizes it to `size`, lets its layouts settle and returns
// LayoutProblems, preceded by a line when the window will not shrink to `size`.
std::vector<std::string> SmallScreenProblems(QWidget& window, QSize size);

// The visible controls of `window` that lie, as the window stands now (scroll areas as they are
// scrolled), beyond its left or right edge: reachable only by scrolling sideways.
std::vector<std::string> SidewaysProblems(QWidget& window);

// The visible controls of `window` (as checked above).
std::vector<QWidget*> VisibleControls(QWidget& window);

}  // namespace kavu::test
