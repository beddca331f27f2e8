// Every text of the three windows fits the room their fixed layout gives it,
// measured with the font each control uses: a label's text ends before the
// next control on its row, its frame's edge and the window's content edge; a
// button's text with the style's margins fits the button; a list header's
// text with its margins fits its column.
#include <QAbstractButton>
#include <QCheckBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>

#include "app/main_window.h"
#include "app/program.h"
#include "app/responder_settings_window.h"
#include "app/settings_window.h"

namespace replyvane::app {
namespace {

int TextWidth(const QWidget* widget, const QString& text) {
  return QFontMetrics(widget->font()).horizontalAdvance(text);
}

QString Describe(const QWidget* window, const QString& text) {
  return QString("%1: \"%2\"").arg(window->objectName(), text);
}

// Where the label's room on its row ends, in its parent's coordinates, and
// what ends it.
int LabelRoomEnd(const QLabel* label, QString* limit) {
  const QWidget* parent = label->parentWidget();
  const QRect own = label->geometry();
  int end = std::min(own.x() + own.width(), parent->width());
  *limit = "its own width or the window's edge";
  for (const QObject* object : parent->children()) {
    const auto* sibling = qobject_cast<const QWidget*>(object);
    if (sibling == nullptr || sibling == label || sibling->isWindow() ||
        !sibling->isVisibleTo(parent)) {
      continue;
    }
    const QRect other = sibling->geometry();
    if (qobject_cast<const QGroupBox*>(sibling) != nullptr &&
        other.contains(own.topLeft())) {
      // The frame the label sits in.
      if (other.x() + other.width() < end) {
        end = other.x() + other.width();
        *limit = "its frame's edge";
      }
      continue;
    }
    const bool same_row =
        other.top() <= own.bottom() && own.top() <= other.bottom();
    if (same_row && other.x() > own.x() && other.x() < end) {
      end = other.x();
      *limit = sibling->objectName().isEmpty() ? QString("the next control")
                                               : sibling->objectName();
    }
  }
  return end;
}

void CheckLabels(const QWidget* window, QStringList* failures) {
  for (const QLabel* label : window->findChildren<QLabel*>()) {
    if (label->window() != window || label->text().isEmpty() ||
        !label->isVisibleTo(window)) {
      continue;
    }
    QString limit;
    const int room_end = LabelRoomEnd(label, &limit);
    const int text_end = label->x() + label->contentsRect().left() +
                         label->margin() + TextWidth(label, label->text());
    if (text_end > room_end) {
      *failures << QString("%1 ends at %2, past %3 at %4")
                       .arg(Describe(window, label->text()))
                       .arg(text_end)
                       .arg(limit)
                       .arg(room_end);
    }
  }
}

void CheckButtons(const QWidget* window, QStringList* failures) {
  for (const QAbstractButton* button :
       window->findChildren<QAbstractButton*>()) {
    if (button->window() != window || button->text().isEmpty()) continue;
    const QStyle* style = button->style();
    int margins = 0;
    if (qobject_cast<const QPushButton*>(button) != nullptr) {
      margins =
          style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) +
          2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
    } else {
      margins =
          style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, button) +
          style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, button);
    }
    const int needed = TextWidth(button, button->text()) + margins;
    if (needed > button->width()) {
      *failures << QString("%1 (%2) needs %3 of its %4")
                       .arg(Describe(window, button->text()),
                            button->objectName())
                       .arg(needed)
                       .arg(button->width());
    }
  }
}

void CheckHeader(const QTreeWidget* list, QStringList* failures) {
  const QHeaderView* header = list->header();
  const int margin =
      header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
  for (int section = 0; section < header->count(); ++section) {
    const QString text = list->headerItem()->text(section);
    const int needed = TextWidth(header, text) + 2 * margin;
    if (needed > header->sectionSize(section)) {
      *failures << QString("%1 column %2 needs %3 of its %4")
                       .arg(Describe(list->window(), text), list->objectName())
                       .arg(needed)
                       .arg(header->sectionSize(section));
    }
  }
}

}  // namespace

class TextFitTest : public QObject {
  Q_OBJECT

 private slots:
  void EveryTextFitsItsRoom() {
    QTemporaryDir dir;
    Program program(dir.path().toStdString());
    const QList<QWidget*> windows = {&program.frmMain(), &program.Form1(),
                                     &program.Form2()};
    QStringList failures;
    for (QWidget* window : windows) {
      window->show();
      QVERIFY(QTest::qWaitForWindowExposed(window));
      CheckLabels(window, &failures);
      CheckButtons(window, &failures);
    }
    auto* list = program.frmMain().findChild<QTreeWidget*>("lvHeaders");
    QVERIFY(list != nullptr);
    CheckHeader(list, &failures);
    const QFontInfo font(program.Form1().font());
    QVERIFY2(failures.isEmpty(), qPrintable(QString("With %1 at %2 px:\n  %3")
                                                .arg(font.family())
                                                .arg(font.pixelSize())
                                                .arg(failures.join("\n  "))));
  }
};

}  // namespace replyvane::app

QTEST_MAIN(replyvane::app::TextFitTest)
#include "text_fit_test.moc"
