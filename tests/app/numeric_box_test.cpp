// The numeric box: reading its text, the typing filter, stepping with keys
// and held buttons, and clamping when the focus leaves it.
#include "app/numeric_box.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "app/main_window.h"
#include "app/program.h"
#include "app/settings_window.h"

namespace replyvane::app {

class NumericBoxTest : public QObject {
  Q_OBJECT

 private:
  // A port box: MinValue 1, MaxValue 200.
  static std::unique_ptr<NumericBox> PortBox(const QString& text) {
    auto box = std::make_unique<NumericBox>();
    box->SetMinValue(1);
    box->SetMaxValue(200);
    box->setText(text);
    return box;
  }

 private slots:
  void ValueIsTheTextReadAsANumber() {
    const struct {
      const char* text;
      int value;
    } rows[] = {{"", 1},     {"abc", 1},  {"250", 250}, {"  7", 7},
                {"$10", 16}, {"0x10", 1}, {"-5", -5},   {"+3", 3},
                {"1.5", 1},  {"995", 995}};
    for (const auto& row : rows) {
      QVERIFY2(PortBox(row.text)->Value() == row.value, row.text);
    }
  }

  void TypingAdmitsDigitsSignsAndTheSeparator() {
    const struct {
      QLocale::Language language;
      const char* typed;
      const char* shown;
    } rows[] = {{QLocale::English, "1a2.,+-x 3", "12.+-3"},
                {QLocale::German, "1a2.,+-x 3", "12,+-3"}};
    for (const auto& row : rows) {
      auto box = PortBox("");
      box->setLocale(QLocale(row.language));
      QTest::keyClicks(box.get(), row.typed);
      QVERIFY2(box->text() == row.shown, row.typed);
    }

    auto box = PortBox("12");
    QSignalSpy returns(box.get(), &QLineEdit::returnPressed);
    QTest::keyClick(box.get(), Qt::Key_Return);
    QTest::keyClick(box.get(), Qt::Key_Enter);
    QCOMPARE(returns.count(), 0);
    QTest::keyClick(box.get(), Qt::Key_Backspace);
    QCOMPARE(box->text(), QString("1"));
    // Delete and Shift+Delete as X11 and Wayland report them (text U+007F).
    for (Qt::KeyboardModifiers modifiers :
         {Qt::KeyboardModifiers(Qt::NoModifier),
          Qt::KeyboardModifiers(Qt::ShiftModifier)}) {
      auto digits = PortBox("123");
      digits->setCursorPosition(1);
      QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, modifiers,
                      QString(QChar(0x7F)));
      QApplication::sendEvent(digits.get(), &press);
      QCOMPARE(digits->text(), QString("13"));
    }
    // Pasting is not filtered.
    QApplication::clipboard()->setText("x9");
    QTest::keyClick(box.get(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(box->text(), QString("1x9"));
  }

  void ArrowKeysStepAndClamp() {
    const struct {
      const char* text;
      Qt::Key key;
      const char* result;
    } rows[] = {{"", Qt::Key_Up, "2"},       {"200", Qt::Key_Up, "200"},
                {"250", Qt::Key_Up, "200"},  {"abc", Qt::Key_Up, "2"},
                {"-5", Qt::Key_Up, "1"},     {"$A", Qt::Key_Up, "11"},
                {"", Qt::Key_Down, "1"},     {"7", Qt::Key_Down, "6"},
                {"995", Qt::Key_Down, "200"}};
    for (const auto& row : rows) {
      auto box = PortBox(row.text);
      QTest::keyClick(box.get(), row.key);
      QVERIFY2(box->text() == row.result, row.text);
    }
    NumericBox unlimited;  // MinValue = MaxValue: nothing is clamped
    unlimited.setText("500");
    QTest::keyClick(&unlimited, Qt::Key_Up);
    QCOMPARE(unlimited.text(), QString("501"));
  }

  void HeldButtonRepeatsAfterADelay() {
    auto box = PortBox("");
    box->resize(57, 22);
    auto* up = box->findChild<QToolButton*>("UpButton");
    auto* down = box->findChild<QToolButton*>("DownButton");
    QVERIFY(up != nullptr && down != nullptr);
    QCOMPARE(up->focusPolicy(), Qt::NoFocus);

    QElapsedTimer held;
    held.start();
    QTest::mousePress(up, Qt::LeftButton);
    QCOMPARE(box->Value(), 2);  // at once
    QTest::qWait(250);
    if (held.elapsed() < NumericBox::kRepeatDelayMs) {
      QCOMPARE(box->Value(), 2);  // no repeat before the delay
    }
    QTRY_VERIFY_WITH_TIMEOUT(box->Value() >= 4, 10000);
    QTest::mouseRelease(up, Qt::LeftButton);
    const int stopped = box->Value();
    QVERIFY2(stopped - 2 <= 1 + held.elapsed() / NumericBox::kRepeatIntervalMs,
             "steps faster than the repeat interval");
    QTest::qWait(250);
    QCOMPARE(box->Value(), stopped);

    QTest::mouseClick(down, Qt::LeftButton);
    QCOMPARE(box->Value(), stopped - 1);
  }

  void LeavingClampsOnlyWithinTheWindow() {
    QTemporaryDir dir;
    Program program(dir.path().toStdString());
    SettingsWindow& form1 = program.Form1();
    form1.show();
    form1.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form1));

    const struct {
      NumericBox* box;
      const char* typed;
      const char* after;
    } rows[] = {{form1.SpinEdit2(), "70000", "65535"},
                {form1.SpinEdit3(), "abc", "abc"},
                {form1.SpinEdit1(), "0", "1"},
                {form1.SpinEdit1(), "-3", "1"},
                {form1.SpinEdit2(), "995", "995"},
                {form1.SpinEdit3(), "25", "25"}};
    for (const auto& row : rows) {
      row.box->setFocus();
      row.box->setText(row.typed);
      form1.Edit2()->setFocus();
      QVERIFY2(row.box->text() == row.after, row.typed);
    }

    // A click into the main window leaves the text as typed.
    form1.SpinEdit2()->setFocus();
    form1.SpinEdit2()->setText("250");
    program.frmMain().show();
    program.frmMain().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&program.frmMain()));
    QCOMPARE(form1.SpinEdit2()->text(), QString("250"));
    QCOMPARE(form1.SpinEdit2()->Value(), 250);
  }
};

}  // namespace replyvane::app

QTEST_MAIN(replyvane::app::NumericBoxTest)
#include "numeric_box_test.moc"
