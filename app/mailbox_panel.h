// The mailbox part of the Settings window: which kind of mailbox the POP3
// server boxes name ("POP3" or "IMAP") and, for IMAP, the folder watched,
// what happens to an answered message (keep it, mark it read, move it to a
// folder, delete it) and whether the unseen messages already in the folder
// at the first look are answered too. The IMAP controls are enabled only
// with IMAP. A stored choice that names none leaves its box without a
// choice and is kept (see mailbox_settings.h).
#ifndef REPLYVANE_APP_MAILBOX_PANEL_H_
#define REPLYVANE_APP_MAILBOX_PANEL_H_

#include <QWidget>
#include <functional>

#include "responder/mailbox_settings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace replyvane::app {

class MailboxPanel : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kHeight = 84;

  explicit MailboxPanel(QWidget* parent);

  responder::MailboxSettings Value() const;
  void SetValue(const responder::MailboxSettings& value);

  QComboBox* Kind() const { return kind_; }
  QLineEdit* Folder() const { return folder_; }
  QComboBox* AfterAnswering() const { return after_; }
  QLineEdit* MoveFolder() const { return move_folder_; }
  QCheckBox* AnswerExisting() const { return answer_existing_; }

  // Called with the new kind when the user chooses one.
  std::function<void(responder::MailboxKind)> on_kind_chosen;

 private:
  void EnableForKind();

  QComboBox* kind_ = nullptr;
  QLineEdit* folder_ = nullptr;
  QComboBox* after_ = nullptr;
  QLineEdit* move_folder_ = nullptr;
  QCheckBox* answer_existing_ = nullptr;
  std::string unknown_;
};

}  // namespace replyvane::app

#endif  // REPLYVANE_APP_MAILBOX_PANEL_H_
