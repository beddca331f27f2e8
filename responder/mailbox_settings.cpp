#include "responder/mailbox_settings.h"

#include "core/exception.h"
#include "core/text.h"
#include "responder/encryption_settings.h"
#include "responder/ini_file.h"

namespace replyvane::responder {

namespace {

constexpr char kKindKey[] = "Kind";
constexpr char kFolderKey[] = "Folder";
constexpr char kAfterKey[] = "AfterAnswering";
constexpr char kMoveFolderKey[] = "MoveFolder";
constexpr char kAnswerExistingKey[] = "AnswerExisting";

constexpr AfterAnswering kAfterChoices[] = {
    AfterAnswering::kKeep, AfterAnswering::kMarkRead, AfterAnswering::kMove,
    AfterAnswering::kDelete};

}  // namespace

const char* MailboxKindText(MailboxKind kind) {
  return kind == MailboxKind::kImap ? "IMAP" : "POP3";
}

int32_t UsualMailboxPort(MailboxKind kind, net::TLSMode mode) {
  if (kind == MailboxKind::kImap) {
    return mode == net::TLSMode::kImplicit ? 993 : 143;
  }
  return UsualPort(Server::kPop3, mode);
}

const char* AfterAnsweringText(AfterAnswering after) {
  switch (after) {
    case AfterAnswering::kMarkRead:
      return "read";
    case AfterAnswering::kMove:
      return "move";
    case AfterAnswering::kDelete:
      return "delete";
    case AfterAnswering::kKeep:
      break;
  }
  return "keep";
}

MailboxSettings ReadMailboxSettings(IniFile& ini) {
  MailboxSettings value;
  const std::string kind = ini.ReadString(kMailboxSection, kKindKey, "");
  if (core::SameText(kind, "IMAP")) {
    value.kind = MailboxKind::kImap;
  } else if (!kind.empty() && !core::SameText(kind, "POP3")) {
    value.unknown = std::string(kKindKey) + "=" + kind;
  }
  value.folder = ini.ReadString(kMailboxSection, kFolderKey, "INBOX");
  if (value.folder.empty()) value.folder = "INBOX";
  const std::string after = ini.ReadString(kMailboxSection, kAfterKey, "");
  bool known = after.empty();
  for (AfterAnswering choice : kAfterChoices) {
    if (core::SameText(after, AfterAnsweringText(choice))) {
      value.after_answering = choice;
      known = true;
    }
  }
  if (!known && value.unknown.empty()) {
    value.unknown = std::string(kAfterKey) + "=" + after;
  }
  value.move_folder = ini.ReadString(kMailboxSection, kMoveFolderKey, "");
  value.answer_existing =
      ini.ReadBool(kMailboxSection, kAnswerExistingKey, false);
  return value;
}

void WriteMailboxSettings(IniFile& ini, const MailboxSettings& value) {
  auto unless_default = [&](const char* key, const std::string& text,
                            const char* default_text) {
    ini.WriteUnlessDefault(kMailboxSection, key, text, default_text);
  };
  // A text that named no choice is written back as it was.
  const bool kind_unknown = value.unknown.rfind(kKindKey, 0) == 0;
  const bool after_unknown = value.unknown.rfind(kAfterKey, 0) == 0;
  if (!kind_unknown) {
    unless_default(kKindKey, MailboxKindText(value.kind), "POP3");
  }
  unless_default(kFolderKey, value.folder, "INBOX");
  if (!after_unknown) {
    unless_default(kAfterKey, AfterAnsweringText(value.after_answering),
                   "keep");
  }
  unless_default(kMoveFolderKey, value.move_folder, "");
  unless_default(kAnswerExistingKey, value.answer_existing ? "1" : "0", "0");
}

void RequireKnownMailbox(const MailboxSettings& value) {
  if (value.unknown.rfind(kKindKey, 0) == 0) {
    throw core::Exception("Settings.ini: [Mailbox] " + value.unknown +
                          " is not one of POP3, IMAP; nothing was sent");
  }
  if (!value.unknown.empty()) {
    throw core::Exception("Settings.ini: [Mailbox] " + value.unknown +
                          " is not one of keep, read, move, delete; nothing "
                          "was sent");
  }
  if (value.kind == MailboxKind::kImap &&
      value.after_answering == AfterAnswering::kMove &&
      value.move_folder.empty()) {
    throw core::Exception(
        "Settings.ini: [Mailbox] AfterAnswering=move names no MoveFolder; "
        "nothing was sent");
  }
}

}  // namespace replyvane::responder
