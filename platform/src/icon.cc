#include "zentoba/platform/icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace zentoba::platform {

QImage DrawIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  // Drawn on a 32 × 32 grid; small sizes keep the shapes and thicken the
  // lines a little so that they stay visible.
  p.scale(size / 32.0, size / 32.0);
  const double line = size < 24 ? 1.6 : 1.2;

  // The page, with its corner folded.
  QPainterPath page;
  page.moveTo(4, 2);
  page.lineTo(17, 2);
  page.lineTo(23, 8);
  page.lineTo(23, 29);
  page.lineTo(4, 29);
  page.closeSubpath();
  p.setPen(QPen(QColor(0x40, 0x48, 0x58), line));
  p.setBrush(QColor(0xFB, 0xFB, 0xF8));
  p.drawPath(page);
  p.setBrush(QColor(0xD8, 0xDC, 0xE4));
  p.drawPolygon(QPolygonF({QPointF(17, 2), QPointF(17, 8), QPointF(23, 8)}));

  // Lines of text.
  p.setPen(QPen(QColor(0x24, 0x4E, 0x9A), size < 24 ? 2.2 : 1.8, Qt::SolidLine, Qt::FlatCap));
  for (const double y : {11.0, 15.0, 19.0}) p.drawLine(QPointF(7.5, y), QPointF(19.5, y));
  p.drawLine(QPointF(7.5, 23.0), QPointF(13.5, 23.0));

  // The badge: a round arrow pointing right.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xE0, 0x6C, 0x16));
  p.drawEllipse(QPointF(23.5, 23.5), 8, 8);
  p.setPen(QPen(Qt::white, size < 24 ? 2.6 : 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawLine(QPointF(19, 23.5), QPointF(27.5, 23.5));
  p.drawPolyline(QPolygonF({QPointF(24, 20), QPointF(27.5, 23.5), QPointF(24, 27)}));
  return image;
}

QIcon ProgramIcon() {
  QIcon icon;
  for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
    icon.addPixmap(QPixmap::fromImage(DrawIcon(size)));
  }
  return icon;
}

}  // namespace zentoba::platform
