#include "app/responses_window.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/local_text.h"
#include "app/message_boxes.h"
#include "app/pictures.h"
#include "app/window_helpers.h"
#include "core/exception.h"
#include "core/private_file.h"
#include "responder/data_files.h"
#include "responder/response_rules.h"

namespace replyvane::app {

namespace {

constexpr int kWidth = 578;
constexpr int kHeight = 400;

constexpr char kExample[] =
    "[response Billing]\n"
    "From=billing@example.com\n"
    "Subject=Re: {subject}\n"
    "Text=Your invoice question reached us.\n"
    "\n"
    "[rules]\n"
    "subject contains invoice => Billing\n"
    "sender matches @partner.example => Billing\n";

std::string Counted(size_t count, const char* what) {
  return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

// What the checks will make of `text`.
std::string CheckOf(const std::string& text, const std::string& folder) {
  try {
    const responder::ResponseRules rules = responder::ParseResponseRules(text);
    for (const responder::NamedResponse& response : rules.responses) {
      if (!response.html_file.empty() &&
          !core::FileExists(folder + response.html_file)) {
        return "The Html file " + response.html_file + " of the response " +
               response.name + " is not there: checks send nothing";
      }
    }
    if (rules.rules.empty()) {
      return "No rules: every sender gets the response of Responder Settings";
    }
    return Counted(rules.responses.size(), "response") + ", " +
           Counted(rules.rules.size(), "rule") +
           "; a message no rule matches gets the response of Responder "
           "Settings";
  } catch (const core::Exception& refused) {
    // "…; nothing was sent" speaks of a check; here nothing was tried yet.
    std::string why = refused.Message();
    const std::string tail = "; nothing was sent";
    if (why.ends_with(tail)) why.resize(why.size() - tail.size());
    return why + ": checks send nothing until it is mended";
  }
}

}  // namespace

ResponsesWindow::ResponsesWindow(QWidget* parent, std::string folder)
    : QWidget(parent, Qt::Window), folder_(std::move(folder)) {
  QWidget* content =
      SetUpSettingsWindow(this, "Responses", "Responses and Rules", kWidth,
                          kHeight, ResponderBackground());
  editor_ = new QPlainTextEdit(content);
  editor_->setObjectName("ResponsesEdit");
  editor_->setLineWrapMode(QPlainTextEdit::NoWrap);
  editor_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  editor_->setPlaceholderText(QString("Other responses and the rules that "
                                      "choose them, for example:\n\n") +
                              kExample);
  editor_->setAccessibleName("Responses and rules");
  editor_->setGeometry(8, 8, kWidth - 16, kHeight - 80);
  check_ = new QLabel(content);
  check_->setObjectName("ResponsesCheck");
  check_->setTextFormat(Qt::PlainText);
  check_->setWordWrap(true);
  check_->setGeometry(8, kHeight - 68, kWidth - 16, 30);
  save_ = AddButton(content, "ResponsesSave", "Save", kWidth - 164,
                    kHeight - 33, 75, 25);
  close_ = AddButton(content, "ResponsesClose", "Close", kWidth - 83,
                     kHeight - 33, 75, 25);
  connect(editor_, &QPlainTextEdit::textChanged, this, [this] {
    if (!loading_) edited_ = true;
    ShowCheck();
  });
  connect(save_, &QPushButton::clicked, this,
          [this] { ReportFailures([this] { SaveEdits(); }); });
  connect(close_, &QPushButton::clicked, this, [this] { close(); });
  CloseOnEscape(this);
  Reload();
}

void ResponsesWindow::Reload() {
  if (edited_) return;
  QString text;
  try {
    text = FromBytes(
        responder::ReadResponseFile(folder_ + responder::kResponsesName)
            .value_or(""));
  } catch (const core::Exception& failure) {
    check_->setText(FromBytes(failure.Message()));
    return;
  }
  text.replace("\r\n", "\n");
  if (text != editor_->toPlainText()) {
    loading_ = true;
    editor_->setPlainText(text);
    loading_ = false;
  }
  ShowCheck();
}

void ResponsesWindow::SaveEdits() {
  if (!edited_) return;
  QString text = editor_->toPlainText();
  text.replace("\n", "\r\n");
  responder::WriteResponseFile(folder_ + responder::kResponsesName,
                               ToBytes(text));
  edited_ = false;
}

void ResponsesWindow::ShowCheck() {
  check_->setText(FromBytes(CheckOf(ToBytes(editor_->toPlainText()), folder_)));
}

void ResponsesWindow::showEvent(QShowEvent* event) {
  Reload();
  QWidget::showEvent(event);
}

void ResponsesWindow::closeEvent(QCloseEvent* event) {
  // The window closes also when the file cannot be written; the edits
  // stay in it, to be saved again.
  ReportFailures([this] { SaveEdits(); });
  QWidget::closeEvent(event);
}

}  // namespace replyvane::app
