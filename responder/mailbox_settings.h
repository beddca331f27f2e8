// Which kind of mailbox the responder reads and, for IMAP, the folder it
// watches and what it does with a message once answered. Kept in
// Settings.ini's section "Mailbox", after the specified ones; the keys are
// written only when they differ from their defaults or are in the file
// already, so a POP3 user's file stays as it was. A stored text that names
// no choice (a typo) is kept as it was and stops the check, rather than
// letting a mistyped "delete" or "keep" do something else.
#ifndef REPLYVANE_RESPONDER_MAILBOX_SETTINGS_H_
#define REPLYVANE_RESPONDER_MAILBOX_SETTINGS_H_

#include <cstdint>
#include <string>

#include "net/tls_session.h"

namespace replyvane::responder {

class IniFile;

inline constexpr char kMailboxSection[] = "Mailbox";

enum class MailboxKind { kPop3, kImap };
// IMAP: what happens to an answered message (POP3 always deletes).
enum class AfterAnswering { kKeep, kMarkRead, kMove, kDelete };

struct MailboxSettings {
  MailboxKind kind = MailboxKind::kPop3;
  std::string folder = "INBOX";
  AfterAnswering after_answering = AfterAnswering::kKeep;
  std::string move_folder;  // with kMove
  // At the first look at a folder, also answer the unseen messages already
  // in it (else only those that arrive from then on).
  bool answer_existing = false;
  // Stored texts that name no choice, "Key=value"; empty: none.
  std::string unknown;
};

// "POP3", "IMAP"; "keep", "read", "move", "delete": the file's texts.
const char* MailboxKindText(MailboxKind kind);
// The usual port of a mailbox server: POP3 110 (995 with SSL/TLS), IMAP
// 143 (993 with SSL/TLS).
int32_t UsualMailboxPort(MailboxKind kind, net::TLSMode mode);
const char* AfterAnsweringText(AfterAnswering after);

MailboxSettings ReadMailboxSettings(IniFile& ini);
void WriteMailboxSettings(IniFile& ini, const MailboxSettings& value);

// Raises core::Exception for a text that names no choice: "Settings.ini:
// [Mailbox] AfterAnswering=delte is not one of keep, read, move, delete;
// nothing was sent"; also for kMove without a folder.
void RequireKnownMailbox(const MailboxSettings& value);

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_MAILBOX_SETTINGS_H_
