#include "app/mailbox_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "app/local_text.h"
#include "app/window_helpers.h"

namespace replyvane::app {

namespace {

using responder::MailboxKind;

// In the order of responder::AfterAnswering.
constexpr const char* kAfterTexts[] = {"keep the message", "mark it read",
                                       "move it to folder", "delete it"};

}  // namespace

MailboxPanel::MailboxPanel(QWidget* parent) : QWidget(parent) {
  setObjectName("MailboxPanel");
  AddFrame(this, 0, 0, 529, kHeight - 8);
  AddLabel(this, "Mailbox:", 8, 10);
  kind_ = new QComboBox(this);
  kind_->setObjectName("MailboxKind");
  kind_->addItems({"POP3", "IMAP"});
  kind_->setGeometry(80, 7, 97, kEditHeight);
  AddLabel(this, "Folder:", 192, 10);
  folder_ = AddEdit(this, "MailboxFolder", 240, 7, 113);
  folder_->setText("INBOX");
  AddLabel(this, "After answering:", 8, 36);
  after_ = new QComboBox(this);
  after_->setObjectName("AfterAnswering");
  for (const char* text : kAfterTexts) after_->addItem(text);
  after_->setGeometry(112, 33, 137, kEditHeight);
  move_folder_ = AddEdit(this, "MoveFolder", 256, 33, 97);
  answer_existing_ =
      new QCheckBox("Also answer messages already in the folder", this);
  answer_existing_->setObjectName("AnswerExisting");
  answer_existing_->setGeometry(8, 58, 320, 17);
  connect(kind_, &QComboBox::activated, this, [this](int index) {
    if (index >= 0 && unknown_.rfind("Kind", 0) == 0) unknown_.clear();
    EnableForKind();
    if (on_kind_chosen && index >= 0) on_kind_chosen(MailboxKind(index));
  });
  connect(after_, &QComboBox::activated, this, [this](int index) {
    if (index >= 0 && unknown_.rfind("AfterAnswering", 0) == 0) {
      unknown_.clear();
    }
    EnableForKind();
  });
  EnableForKind();
}

void MailboxPanel::EnableForKind() {
  const bool imap = kind_->currentIndex() == int(MailboxKind::kImap);
  folder_->setEnabled(imap);
  after_->setEnabled(imap);
  answer_existing_->setEnabled(imap);
  move_folder_->setEnabled(imap && after_->currentIndex() ==
                                       int(responder::AfterAnswering::kMove));
}

responder::MailboxSettings MailboxPanel::Value() const {
  responder::MailboxSettings value;
  value.unknown = unknown_;
  if (kind_->currentIndex() >= 0)
    value.kind = MailboxKind(kind_->currentIndex());
  value.folder = ToBytes(folder_->text().trimmed());
  if (value.folder.empty()) value.folder = "INBOX";
  if (after_->currentIndex() >= 0) {
    value.after_answering = responder::AfterAnswering(after_->currentIndex());
  }
  value.move_folder = ToBytes(move_folder_->text().trimmed());
  value.answer_existing = answer_existing_->isChecked();
  return value;
}

void MailboxPanel::SetValue(const responder::MailboxSettings& value) {
  unknown_ = value.unknown;
  kind_->setCurrentIndex(unknown_.rfind("Kind", 0) == 0 ? -1 : int(value.kind));
  folder_->setText(FromBytes(value.folder));
  after_->setCurrentIndex(unknown_.rfind("AfterAnswering", 0) == 0
                              ? -1
                              : int(value.after_answering));
  move_folder_->setText(FromBytes(value.move_folder));
  answer_existing_->setChecked(value.answer_existing);
  EnableForKind();
}

}  // namespace replyvane::app
