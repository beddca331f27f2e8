#include "app/responder_settings_window.h"

#include <QAbstractTextDocumentLayout>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>
#include <memory>

#include "app/html_response_window.h"
#include "app/labelled_list.h"
#include "app/message_boxes.h"
#include "app/numeric_box.h"
#include "app/pictures.h"
#include "app/responses_window.h"
#include "app/schedule_panel.h"
#include "app/settings_store.h"
#include "app/window_helpers.h"
#include "responder/answer_history.h"
#include "responder/settings_files.h"

namespace replyvane::app {

namespace {

constexpr int kContentWidth = 578;
// The specified controls end at 457; the rules for automatic replies, the
// placeholders switch, the schedule, the sender lists, the history's days
// and the other responses sit in a strip below them.
constexpr int kContentHeight = 668;

// A sender list box, saying what it holds while it is empty.
QPlainTextEdit* AddSenderList(QWidget* parent, const char* name,
                              const char* placeholder, int x) {
  auto* list = new QPlainTextEdit(parent);
  list->setObjectName(name);
  list->setPlaceholderText(placeholder);
  list->setAccessibleName(placeholder);
  list->setTabChangesFocus(true);
  list->setLineWrapMode(QPlainTextEdit::NoWrap);
  list->setGeometry(x, 564, 277, 64);
  return list;
}

// "<text> [N] days" on the row at `y`.
NumericBox* AddDaysBox(QWidget* parent, const char* name, const char* text,
                       int y, int32_t min, int32_t max, int32_t value) {
  AddLabel(parent, text, 8, y + 4);
  auto* box = new NumericBox(parent);
  box->setObjectName(name);
  box->SetMinValue(min);
  box->SetMaxValue(max);
  box->setGeometry(232, y, 49, kEditHeight);
  box->setText(QString::number(value));
  box->setAccessibleName(QString(text) + " … days");
  AddLabel(parent, "days", 288, y + 4);
  return box;
}

}  // namespace

ResponderSettingsWindow::ResponderSettingsWindow(SettingsWindow& form1,
                                                 const SettingsStore& store) {
  QWidget* content =
      SetUpSettingsWindow(this, "Form2", "Responder Settings", kContentWidth,
                          kContentHeight, ResponderBackground());
  BuildControls(content);
  responses_window_ = new ResponsesWindow(this, store.SettingsDirectory());
  connect(responses_button_, &QPushButton::clicked, this,
          [this] { app::ShowAndRaise(responses_window_); });

  open_dialog1_ = new QFileDialog(this);
  open_dialog1_->setObjectName("OpenDialog1");
  open_dialog1_->setFileMode(QFileDialog::ExistingFile);
  connect(bit_btn1_, &QPushButton::clicked, this,
          &ResponderSettingsWindow::BitBtn1Click);
  connect(bit_btn2_, &QPushButton::clicked, this,
          &ResponderSettingsWindow::BitBtn2Click);

  SetTabOrder({edit1_,
               edit2_,
               memo1_,
               list_box1_,
               bit_btn1_,
               bit_btn2_,
               edit3_,
               check_box1_,
               edit4_,
               auto_reply_rules_,
               once_per_sender_,
               fill_placeholders_,
               schedule_->FromBox(),
               schedule_->From(),
               schedule_->UntilBox(),
               schedule_->Until(),
               never_answer_,
               only_answer_,
               history_days_,
               responses_button_,
               html_button_,
               close_button_});
  FormCreate(form1, store);
}

void ResponderSettingsWindow::BuildControls(QWidget* content) {
  AddLabel(content, "From Name:", 8, 12);
  edit1_ = AddEdit(content, "Edit1", 72, 8, 193);
  AddLabel(content, "From Address:", 304, 12);
  edit2_ = AddEdit(content, "Edit2", 376, 8, 185);
  AddLabel(content, "Subject:", 8, 44);
  edit3_ = AddEdit(content, "Edit3", 56, 40, 505);
  check_box1_ = new QCheckBox(content);
  check_box1_->setObjectName("CheckBox1");
  check_box1_->setGeometry(8, 74, 15, 17);
  AddLabel(content, "Forward original email to", 24, 76);
  edit4_ = AddEdit(content, "Edit4", 152, 72, 225);

  AddFrame(content, 8, 104, 561, 81);
  // The list and the text area say what they hold while they are empty:
  // the fixed layout has no room for labels beside them.
  list_box1_ = new LabelledList(
      "Attachments: the files \"Add\" chooses go with every response", content);
  list_box1_->setObjectName("ListBox1");
  list_box1_->setGeometry(16, 112, 465, 65);
  bit_btn1_ = AddButton(content, "BitBtn1", "Add", 488, 112, 75, 25);
  bit_btn2_ = AddButton(content, "BitBtn2", "Remove", 488, 152, 75, 25);

  memo1_ = new QTextEdit(content);
  memo1_->setObjectName("Memo1");
  memo1_->setAcceptRichText(false);
  memo1_->setLineWrapMode(QTextEdit::WidgetWidth);
  memo1_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  memo1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memo1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memo1_->setTabChangesFocus(true);
  memo1_->setGeometry(8, 192, 561, 257);
  memo1_->setPlaceholderText("Response text: what every sender receives");
  memo1_->setAccessibleName("Response text");

  auto_reply_rules_ = new QCheckBox(content);
  auto_reply_rules_->setObjectName("AutoReplyRules");
  auto_reply_rules_->setGeometry(8, 460, 15, 17);
  auto_reply_rules_->setChecked(true);
  AddLabel(content, "Follow the rules for automatic replies (RFC 3834)", 24,
           462);
  once_per_sender_ = AddDaysBox(content, "OncePerSender",
                                "Answer each sender at most once every", 482, 0,
                                responder::kMaxOncePerSenderDays, 0);
  fill_placeholders_ = new QCheckBox(content);
  fill_placeholders_->setObjectName("FillPlaceholders");
  fill_placeholders_->setGeometry(8, 508, 15, 17);
  fill_placeholders_->setAccessibleName("Fill in placeholders");
  AddLabel(content,
           "Fill in placeholders: {subject} {name} {address} {date} {today}",
           24, 510);
  schedule_ = new SchedulePanel(content);
  schedule_->setGeometry(8, 532, 460, SchedulePanel::kHeight);
  never_answer_ =
      AddSenderList(content, "NeverAnswer",
                    "Never answer: an address, @domain or *.domain a line", 8);
  only_answer_ =
      AddSenderList(content, "OnlyAnswer",
                    "Only answer: an address, @domain or *.domain a line", 292);
  history_days_ = AddDaysBox(
      content, "HistoryDays", "Keep the history of answered mail for", 640, 1,
      responder::kMaxHistoryDays, responder::kDefaultHistoryDays);
  responses_button_ = AddButton(content, "ResponsesButton",
                                "Responses and rules…", 404, 636, 157, 25);
  html_button_ = AddButton(content, "HtmlButton", "HTML…", 404, 478, 75, 25);
  html_window_ = new HtmlResponseWindow(this);
  connect(html_button_, &QPushButton::clicked, this,
          [this] { app::ShowAndRaise(html_window_); });
  close_button_ = AddButton(content, "CloseButton", "Close", 486, 478, 75, 25);
  connect(close_button_, &QPushButton::clicked, this, [this] { close(); });
  CloseOnEscape(this);
}

void ResponderSettingsWindow::FormCreate(SettingsWindow& form1,
                                         const SettingsStore& store) {
  ReportFailures([&] { store.Load(form1, *this); });
}

void ResponderSettingsWindow::ShowAndRaise() { app::ShowAndRaise(this); }

void ResponderSettingsWindow::BitBtn1Click() {
  if (open_dialog1_->exec() != QDialog::Accepted) return;
  const QStringList files = open_dialog1_->selectedFiles();
  if (files.isEmpty()) return;
  list_box1_->addItem(QDir::toNativeSeparators(files.first()));
}

void ResponderSettingsWindow::BitBtn2Click() {
  const QList<QListWidgetItem*> selected = list_box1_->selectedItems();
  if (selected.isEmpty()) return;
  delete list_box1_->takeItem(list_box1_->row(selected.first()));
}

QString ResponderSettingsWindow::Memo1Text() const {
  QStringList blocks;
  for (QTextBlock block = memo1_->document()->begin(); block.isValid();
       block = block.next()) {
    blocks << block.text();
  }
  return blocks.join('\n').replace(QChar::LineSeparator, '\n');
}

QStringList ResponderSettingsWindow::Memo1Lines() const {
  // Lay out a copy at the width the area wraps at, so the lines are right
  // also while the window is hidden and has never been laid out.
  memo1_->ensurePolished();
  std::unique_ptr<QTextDocument> copy(memo1_->document()->clone());
  copy->setTextWidth(memo1_->contentsRect().width());
  copy->documentLayout()->documentSize();
  QStringList lines;
  for (QTextBlock block = copy->begin(); block.isValid();
       block = block.next()) {
    const QString text = block.text();
    QTextLayout* layout = block.layout();
    if (layout == nullptr || layout->lineCount() == 0) {
      lines << text;
      continue;
    }
    for (int i = 0; i < layout->lineCount(); ++i) {
      QTextLine line = layout->lineAt(i);
      QString shown = text.mid(line.textStart(), line.textLength());
      if (shown.endsWith(QChar::LineSeparator)) shown.chop(1);
      lines << shown;
    }
  }
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  return lines;
}

}  // namespace replyvane::app
