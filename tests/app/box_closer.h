// Closes the modal boxes that an action opens, so a test can run the action
// and then look at what was shown. Create it before the action: it looks at
// QApplication::activeModalWidget() every 10 ms (timers run inside the box's
// own event loop), records every QMessageBox it finds and clicks its OK.
// Other modal dialogs (the file-open dialog) go to `other`, when set, else
// they are rejected; `other` must not use QVERIFY (it runs in a timer).
#ifndef REPLYVANE_TESTS_APP_BOX_CLOSER_H_
#define REPLYVANE_TESTS_APP_BOX_CLOSER_H_

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QList>
#include <QMessageBox>
#include <QTimer>
#include <functional>

namespace replyvane::app {

class BoxCloser {
 public:
  struct Box {
    QString object_name;
    QString title;
    QString text;
    QMessageBox::Icon icon;
    QStringList buttons;
  };

  BoxCloser() {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
  }

  const QList<Box>& Boxes() const { return boxes_; }

  std::function<void(QDialog*)> other;

 private:
  void Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr) return;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      QStringList buttons;
      for (QAbstractButton* button : box->buttons()) buttons << button->text();
      boxes_.append({box->objectName(), box->windowTitle(), box->text(),
                     box->icon(), buttons});
      box->button(QMessageBox::Ok)->click();
    } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
      // A dialog that `other` fails to close is rejected after a second, so
      // no test waits on it for ever.
      stuck_ = dialog == last_dialog_ ? stuck_ + 1 : 0;
      last_dialog_ = dialog;
      if (other && stuck_ < 100) {
        other(dialog);
      } else {
        dialog->reject();
      }
    }
  }

  QDialog* last_dialog_ = nullptr;
  int stuck_ = 0;

  QTimer timer_;
  QList<Box> boxes_;
};

}  // namespace replyvane::app

#endif  // REPLYVANE_TESTS_APP_BOX_CLOSER_H_
