// Draws the program's icon, the envelope with the orange arrow of
// app/pictures/icon.png, as a PNG of any size, so the installed icons are
// sharp at every size of the icon theme. Used at build time only.
//
//   draw_icon SIZE OUTPUT.png
#include <QImage>
#include <QPainter>
#include <QPolygonF>
#include <cstdio>
#include <cstdlib>

namespace {

// The shapes of app/pictures/make_pictures.sh, on the same 64 by 64 grid.
void DrawEnvelope(QPainter& painter) {
  QPen outline(QColor("#2d5f86"), 4);
  outline.setJoinStyle(Qt::RoundJoin);
  painter.setPen(outline);
  painter.setBrush(QColor("#f7f3e8"));
  painter.drawRoundedRect(QRectF(4, 12, 56, 40), 4, 4);
  painter.setBrush(Qt::NoBrush);
  const QPointF flap[] = {{6, 15}, {32, 36}, {58, 15}};
  painter.drawPolyline(flap, 3);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor("#e0702c"));
  const QPointF arrow[] = {{36, 40}, {52, 40}, {52, 34}, {62, 46},
                           {52, 58}, {52, 52}, {36, 52}};
  painter.drawPolygon(arrow, 7);
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: draw_icon SIZE OUTPUT.png\n");
    return 2;
  }
  const int size = std::atoi(argv[1]);
  if (size < 1 || size > 1024) {
    std::fprintf(stderr, "draw_icon: bad size %s\n", argv[1]);
    return 2;
  }
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);
    DrawEnvelope(painter);
  }
  if (!image.save(argv[2], "PNG")) {
    std::fprintf(stderr, "draw_icon: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
