#include "gui/app_icon.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace r7k {

QImage AppIconImage(int size) {
  // A knitted swatch: rows of stitches in two colours on a rounded card.
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const double s = size / 32.0;
  p.setPen(QPen(QColor(40, 60, 110), 1.5 * s));
  p.setBrush(QColor(70, 110, 190));
  p.drawRoundedRect(QRectF(2 * s, 2 * s, 28 * s, 28 * s), 5 * s, 5 * s);
  for (int row = 0; row < 4; ++row) {
    for (int col = 0; col < 4; ++col) {
      const bool light = (row + col) % 2 == 0;
      p.setPen(Qt::NoPen);
      p.setBrush(light ? QColor(250, 240, 200) : QColor(220, 70, 60));
      QPainterPath v;
      const double x = (6 + col * 5.2) * s, y = (6 + row * 5.2) * s;
      v.moveTo(x, y);
      v.lineTo(x + 2.3 * s, y + 4.6 * s);
      v.lineTo(x + 4.6 * s, y);
      v.lineTo(x + 2.3 * s, y + 2 * s);
      v.closeSubpath();
      p.drawPath(v);
    }
  }
  return image;
}

}  // namespace r7k
