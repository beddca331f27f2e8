// The responder settings window (object name "Form2", caption "Responder
// Settings"): sender, subject, forward switch and address, the attachment
// list and the response text. Creating it loads every setting of both
// settings windows from the settings directory; a load failure is reported
// and the values read so far stay. Closing hides it and keeps every value.
#ifndef REPLYVANE_APP_RESPONDER_SETTINGS_WINDOW_H_
#define REPLYVANE_APP_RESPONDER_SETTINGS_WINDOW_H_

#include <QStringList>
#include <QWidget>

class QCheckBox;
class QFileDialog;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTextEdit;

namespace replyvane::app {

class SettingsStore;
class HtmlResponseWindow;
class ResponsesWindow;
class NumericBox;
class SchedulePanel;
class SettingsWindow;

class ResponderSettingsWindow : public QWidget {
  Q_OBJECT

 public:
  // `form1` must exist already: the load fills it too.
  ResponderSettingsWindow(SettingsWindow& form1, const SettingsStore& store);

  // Makes the window visible and brings it to the front.
  void ShowAndRaise();

  // The response text exactly as held, lines joined with "\n" (a forced
  // line break counts as one too). Unlike QTextEdit::toPlainText, keeps
  // non-breaking spaces.
  QString Memo1Text() const;

  // The response text as the area shows it: one entry per displayed line,
  // long paragraphs broken where the area wraps them, and a last line that
  // is empty left out. An empty text gives no lines.
  QStringList Memo1Lines() const;

  QLineEdit* Edit1() const { return edit1_; }           // From Name
  QLineEdit* Edit2() const { return edit2_; }           // From Address
  QLineEdit* Edit3() const { return edit3_; }           // subject
  QLineEdit* Edit4() const { return edit4_; }           // forward address
  QCheckBox* CheckBox1() const { return check_box1_; }  // forward switch
  // "Follow the rules for automatic replies (RFC 3834)", ticked by default.
  QCheckBox* AutoReplyRules() const { return auto_reply_rules_; }
  // "Answer each sender at most once every N days"; 0: every message.
  NumericBox* OncePerSender() const { return once_per_sender_; }
  // "Fill in placeholders", off by default (responder/placeholders.h).
  QCheckBox* FillPlaceholders() const { return fill_placeholders_; }
  // "Answer from … until …".
  SchedulePanel* Schedule() const { return schedule_; }
  // "Keep the history of answered mail for N days".
  NumericBox* HistoryDays() const { return history_days_; }
  // "Responses and rules…" opens the window of responses.txt.
  QPushButton* ResponsesButton() const { return responses_button_; }
  ResponsesWindow* Responses() const { return responses_window_; }
  // "HTML…" opens the HTML version's window.
  QPushButton* HtmlButton() const { return html_button_; }
  HtmlResponseWindow* HtmlWindow() const { return html_window_; }
  // The "Never answer" and "Only answer" lists, one entry a line.
  QPlainTextEdit* NeverAnswer() const { return never_answer_; }
  QPlainTextEdit* OnlyAnswer() const { return only_answer_; }
  QListWidget* ListBox1() const { return list_box1_; }  // attachment paths
  QTextEdit* Memo1() const { return memo1_; }           // response text
  QPushButton* BitBtn1() const { return bit_btn1_; }    // "Add"
  QPushButton* BitBtn2() const { return bit_btn2_; }    // "Remove"
  QPushButton* CloseButton() const { return close_button_; }  // and Escape
  QFileDialog* OpenDialog1() const { return open_dialog1_; }

 public slots:
  void BitBtn1Click();
  void BitBtn2Click();

 private:
  void BuildControls(QWidget* content);
  void FormCreate(SettingsWindow& form1, const SettingsStore& store);

  QLineEdit* edit1_ = nullptr;
  QLineEdit* edit2_ = nullptr;
  QLineEdit* edit3_ = nullptr;
  QLineEdit* edit4_ = nullptr;
  QCheckBox* check_box1_ = nullptr;
  QCheckBox* auto_reply_rules_ = nullptr;
  NumericBox* once_per_sender_ = nullptr;
  QCheckBox* fill_placeholders_ = nullptr;
  SchedulePanel* schedule_ = nullptr;
  QPushButton* html_button_ = nullptr;
  NumericBox* history_days_ = nullptr;
  QPushButton* responses_button_ = nullptr;
  ResponsesWindow* responses_window_ = nullptr;
  HtmlResponseWindow* html_window_ = nullptr;
  QPlainTextEdit* never_answer_ = nullptr;
  QPlainTextEdit* only_answer_ = nullptr;
  QListWidget* list_box1_ = nullptr;
  QTextEdit* memo1_ = nullptr;
  QPushButton* bit_btn1_ = nullptr;
  QPushButton* bit_btn2_ = nullptr;
  QPushButton* close_button_ = nullptr;
  QFileDialog* open_dialog1_ = nullptr;
};

}  // namespace replyvane::app

#endif  // REPLYVANE_APP_RESPONDER_SETTINGS_WINDOW_H_
