// A one-line numeric box with small up and down buttons at its right edge.
// Its state is its text alone: any text may stand in it (it is stored and
// restored as typed), and its value is derived from the text when read.
// Typing admits digits, signs and the decimal separator only; stepping and
// leaving the box for another control of the same window clamp the number to
// MinValue..MaxValue (no clamping when the two are equal).
#ifndef REPLYVANE_APP_NUMERIC_BOX_H_
#define REPLYVANE_APP_NUMERIC_BOX_H_

#include <QLineEdit>
#include <QTimer>
#include <cstdint>

class QToolButton;

namespace replyvane::app {

class NumericBox : public QLineEdit {
  Q_OBJECT

 public:
  // Width of the up and down buttons; held steps repeat after
  // kRepeatDelayMs, then every kRepeatIntervalMs.
  static constexpr int kButtonWidth = 15;
  static constexpr int kRepeatDelayMs = 400;
  static constexpr int kRepeatIntervalMs = 100;

  explicit NumericBox(QWidget* parent = nullptr);

  int32_t MinValue() const { return min_value_; }
  void SetMinValue(int32_t value) { min_value_ = value; }
  int32_t MaxValue() const { return max_value_; }
  void SetMaxValue(int32_t value) { max_value_ = value; }

  // The text as a decimal or "$" hexadecimal 32-bit number (leading blanks
  // and a sign allowed); MinValue for any other text. Not clamped.
  int32_t Value() const;
  // Writes the clamped number as decimal text.
  void SetValue(int64_t value);

  // Value() + delta (up) or - (down), clamped and written.
  void Step(int delta);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  int64_t Clamp(int64_t value) const;
  QToolButton* AddButton(const char* name, Qt::ArrowType arrow, int delta);
  bool IsAcceptedText(const QString& text) const;

  int32_t min_value_ = 0;
  int32_t max_value_ = 0;
  QToolButton* up_ = nullptr;
  QToolButton* down_ = nullptr;
  QTimer repeat_;
  int repeat_delta_ = 0;
};

}  // namespace replyvane::app

#endif  // REPLYVANE_APP_NUMERIC_BOX_H_
