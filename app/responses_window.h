// "Responses and Rules": responses.txt of the settings folder (the other
// responses and the rules that choose among them, see
// responder/response_rules.h) as the plain text the user may also edit by
// hand. Below it, what the checks will make of it: how many responses and
// rules, or the line they cannot take. The text is written (atomically,
// private) by "Save", when the window closes and when the settings are
// saved, and only when it was edited here: a file edited elsewhere in the
// meantime is shown afresh whenever the window opens unedited.
#ifndef REPLYVANE_APP_RESPONSES_WINDOW_H_
#define REPLYVANE_APP_RESPONSES_WINDOW_H_

#include <QWidget>
#include <string>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace replyvane::app {

class ResponsesWindow : public QWidget {
  Q_OBJECT

 public:
  // `folder` ends in "/".
  ResponsesWindow(QWidget* parent, std::string folder);

  QPlainTextEdit* Editor() const { return editor_; }
  QLabel* CheckText() const { return check_; }
  QPushButton* SaveButton() const { return save_; }
  QPushButton* CloseButton() const { return close_; }

  // Reads the file into the editor unless it holds edits.
  void Reload();
  // Writes the edits, if any; raises core::StreamError when the file cannot
  // be written (the edits stay in the editor).
  void SaveEdits();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void ShowCheck();

  std::string folder_;
  QPlainTextEdit* editor_ = nullptr;
  QLabel* check_ = nullptr;
  QPushButton* save_ = nullptr;
  QPushButton* close_ = nullptr;
  bool edited_ = false;   // since loaded or saved
  bool loading_ = false;  // the text is being set from the file
};

}  // namespace replyvane::app

#endif  // REPLYVANE_APP_RESPONSES_WINDOW_H_
