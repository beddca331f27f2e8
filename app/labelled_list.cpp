#include "app/labelled_list.h"

#include <QPainter>
#include <QPalette>

namespace replyvane::app {

LabelledList::LabelledList(QString placeholder, QWidget* parent)
    : QListWidget(parent), placeholder_(std::move(placeholder)) {
  setAccessibleName(placeholder_);
}

void LabelledList::paintEvent(QPaintEvent* event) {
  QListWidget::paintEvent(event);
  if (count() > 0) return;
  QPainter painter(viewport());
  painter.setPen(palette().color(QPalette::PlaceholderText));
  painter.drawText(viewport()->rect().adjusted(4, 2, -4, -2),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                   placeholder_);
}

}  // namespace replyvane::app
