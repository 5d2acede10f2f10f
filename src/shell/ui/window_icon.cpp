#include "shell/ui/window_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <algorithm>

namespace kavu {

QImage WindowIconImage(int side) {
  side = std::max(side, 8);
  QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(side / 128.0, side / 128.0);  // drawn on the SVG's 128-unit grid
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x1d, 0x3b, 0x53));
  p.drawRoundedRect(QRectF(4, 4, 120, 120), 24, 24);
  p.setBrush(QColor(0xf4, 0xf7, 0xfb));
  p.drawEllipse(QPointF(64, 64), 50, 50);
  // Circles of constant resistance, all touching the right edge, and the real axis.
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(0x93, 0xae, 0xc4), 1.6));
  p.drawLine(QPointF(14, 64), QPointF(114, 64));
  for (const double r : {37.5, 25.0, 16.67}) p.drawEllipse(QPointF(114 - r, 64), r, r);
  p.setPen(QPen(QColor(0x5b, 0x7f, 0x9c), 3));
  p.drawEllipse(QPointF(64, 64), 50, 50);
  // The sweep, winding in towards the match.
  QPainterPath sweep(QPointF(26, 90));
  sweep.cubicTo(QPointF(30, 44), QPointF(92, 30), QPointF(96, 62));
  sweep.cubicTo(QPointF(100, 94), QPointF(60, 98), QPointF(52, 72));
  sweep.cubicTo(QPointF(44, 46), QPointF(74, 50), QPointF(82, 64));
  p.setPen(QPen(QColor(0xf2, 0x8c, 0x28), 6, Qt::SolidLine, Qt::RoundCap));
  p.drawPath(sweep);
  p.setPen(QPen(Qt::white, 2));
  p.setBrush(QColor(0xd7, 0x26, 0x3d));
  p.drawEllipse(QPointF(82, 64), 6, 6);
  return image;
}

QIcon WindowIcon() {
  QIcon icon;
  for (const int side : {16, 24, 32, 48, 64, 128}) icon.addPixmap(QPixmap::fromImage(WindowIconImage(side)));
  return icon;
}

}  // namespace kavu
