// One waiting message as the check lists it and the run answers it.
#ifndef REPLYVANE_RESPONDER_LISTED_MESSAGE_H_
#define REPLYVANE_RESPONDER_LISTED_MESSAGE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "message/date_time.h"
#include "responder/auto_reply_rules.h"

namespace replyvane::responder {

// One message of a mailbox as its source finds it again within a session
// (mailbox_source.h): for POP3 its message number and its UIDL (empty when
// the server has none).
struct MessageRef {
  uint32_t number = 0;  // POP3: message number; IMAP: UID
  std::string unique_id;
};

struct ListedMessage {
  MessageRef ref;
  std::string subject;
  std::string from;  // what could be read of the From header
  std::string to;    // the recipients as text
  message::DateTime date = 0;
  int32_t size = 0;  // as the server gave it (-1 when it could not tell)
  // Where the response goes: the From in header form, or the best address
  // the message names; empty when it names none.
  std::string reply_to;
  // "n/a", or why the message was not answered.
  std::string status = "n/a";
  // Who it is across checks: its UIDL, or a hash of its listed fields.
  std::string identity;
  // Its best reply address alone (message::BestSenderAddress).
  std::string sender_address;
  // The display name of its From, when it has one.
  std::string sender_name;
  // Its To and Cc addresses (at most 100).
  std::vector<std::string> recipient_addresses;
  // What the rules for automatic replies read off its header block.
  MessageKind kind;
};

// What the run did with one message.
struct MessageOutcome {
  bool answered = false;
  bool already_answered = false;  // at an earlier check
  bool forwarded = false;
  bool deleted = false;
  // What was done with it after its outcome when that was not a deletion
  // ("marked read", "moved to Answered"); empty: nothing or deleted.
  std::string disposed;
  std::string not_answered;  // why not, when it was not answered
};

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_LISTED_MESSAGE_H_
