#pragma once
// The program's window icon, painted (the same picture as the installed SVG icon: an impedance
// chart with an antenna's sweep and its resonance marked), so no image plugin is needed.
#include <QIcon>
#include <QImage>

namespace kavu {

// The icon at 16, 24, 32, 48, 64 and 128 pixels.
QIcon WindowIcon();
// One size of it, `side` × `side` pixels (at least 8).
QImage WindowIconImage(int side);

}  // namespace kavu
