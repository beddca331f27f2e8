#include "app/numeric_box.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QToolButton>
#include <algorithm>
#include <limits>

#include "responder/integer_text.h"

namespace replyvane::app {

NumericBox::NumericBox(QWidget* parent) : QLineEdit(parent) {
  up_ = AddButton("UpButton", Qt::UpArrow, 1);
  down_ = AddButton("DownButton", Qt::DownArrow, -1);
  setTextMargins(0, 0, kButtonWidth, 0);
  connect(&repeat_, &QTimer::timeout, this, [this] {
    repeat_.setInterval(kRepeatIntervalMs);
    Step(repeat_delta_);
  });
}

QToolButton* NumericBox::AddButton(const char* name, Qt::ArrowType arrow,
                                   int delta) {
  auto* button = new QToolButton(this);
  button->setObjectName(name);
  button->setArrowType(arrow);
  // Clicking a button must not take the focus from the text.
  button->setFocusPolicy(Qt::NoFocus);
  button->setCursor(Qt::ArrowCursor);
  connect(button, &QToolButton::pressed, this, [this, delta] {
    Step(delta);
    repeat_delta_ = delta;
    repeat_.start(kRepeatDelayMs);
  });
  connect(button, &QToolButton::released, &repeat_, &QTimer::stop);
  return button;
}

void NumericBox::resizeEvent(QResizeEvent* event) {
  QLineEdit::resizeEvent(event);
  int upper = height() / 2;
  up_->setGeometry(width() - kButtonWidth, 0, kButtonWidth, upper);
  down_->setGeometry(width() - kButtonWidth, upper, kButtonWidth,
                     height() - upper);
}

int32_t NumericBox::Value() const {
  return responder::ParseSettingInteger(text().toLocal8Bit().toStdString())
      .value_or(min_value_);
}

int64_t NumericBox::Clamp(int64_t value) const {
  if (min_value_ == max_value_) return value;
  return std::clamp<int64_t>(value, min_value_, max_value_);
}

void NumericBox::SetValue(int64_t value) {
  value = std::clamp<int64_t>(Clamp(value), std::numeric_limits<int32_t>::min(),
                              std::numeric_limits<int32_t>::max());
  setText(QString::number(value));
}

void NumericBox::Step(int delta) { SetValue(int64_t(Value()) + delta); }

bool NumericBox::IsAcceptedText(const QString& text) const {
  const QString separator = locale().decimalPoint();
  for (QChar c : text) {
    if (c == '\r' || c == '\n') return false;
    bool accepted = (c >= '0' && c <= '9') || c == '+' || c == '-' ||
                    separator.contains(c) || c.unicode() < 32;
    if (!accepted) return false;
  }
  return true;
}

void NumericBox::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Up:
      Step(1);
      return;
    case Qt::Key_Down:
      Step(-1);
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      QApplication::beep();
      return;
    case Qt::Key_Delete:
      // On X11 and Wayland its text is U+007F, which the filter below would
      // refuse; with or without Shift it deletes, as Backspace does.
      if (!(event->modifiers() & Qt::ControlModifier)) {
        del();
        return;
      }
      break;
    default:
      break;
  }
  // With Ctrl, Alt or Meta held a key is a command (paste, cut), not a
  // character, whatever text the platform reports for it.
  const bool command =
      event->modifiers() &
      (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  if (!command && !event->text().isEmpty() && !IsAcceptedText(event->text())) {
    QApplication::beep();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void NumericBox::focusOutEvent(QFocusEvent* event) {
  // The focus widget is already the new one. Only a move inside this window
  // clamps: a click into another window leaves the text as it is.
  QWidget* next = QApplication::focusWidget();
  if (next != nullptr && next != this && next->window() == window() &&
      event->reason() != Qt::ActiveWindowFocusReason) {
    int32_t value = Value();
    if (Clamp(value) != value) SetValue(value);
  }
  QLineEdit::focusOutEvent(event);
}

}  // namespace replyvane::app
