// A list that says what it is for while it is empty, in grey as a text
// box's placeholder does: the attachment list's label, where the fixed
// layout leaves no room for one beside it. The text is painted only; the
// list's entries are untouched.
#ifndef REPLYVANE_APP_LABELLED_LIST_H_
#define REPLYVANE_APP_LABELLED_LIST_H_

#include <QListWidget>
#include <QString>

namespace replyvane::app {

class LabelledList : public QListWidget {
 public:
  LabelledList(QString placeholder, QWidget* parent);
  const QString& PlaceholderText() const { return placeholder_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString placeholder_;
};

}  // namespace replyvane::app

#endif  // REPLYVANE_APP_LABELLED_LIST_H_
