#include "responder/auto_reply_rules.h"

#include <algorithm>

#include "core/text.h"
#include "message/email_address_list.h"

namespace replyvane::responder {

namespace {

// Local parts of robots and list servers (RFC 3834 §2, RFC 5230 §4.6).
constexpr const char* kRobotLocalParts[] = {
    "mailer-daemon", "postmaster", "listserv",    "majordomo",
    "noreply",       "no-reply",   "do-not-reply"};

// The longest References line we write: the header stays well inside the
// 998 bytes a line may hold, the newest ids kept (RFC 5322 §3.6.4).
constexpr size_t kMaxReferences = 900;
// The most X-Loop addresses a row keeps.
constexpr size_t kMaxXLoopAddresses = 32;

std::string FirstWord(const std::string& value) {
  std::string text = core::Trim(value);
  const size_t end = text.find_first_of(" \t;(");
  return core::LowerCase(text.substr(0, end));
}

bool IsRobot(const std::string& sender) {
  const size_t at = sender.rfind('@');
  std::string local = core::LowerCase(sender.substr(0, at));
  if (local.size() >= 2 && local.front() == '"' && local.back() == '"') {
    local = local.substr(1, local.size() - 2);
  }
  if (local.size() > 8 && local.ends_with("-request")) return true;
  return std::any_of(std::begin(kRobotLocalParts), std::end(kRobotLocalParts),
                     [&](const char* robot) { return local == robot; });
}

// Every address a header value names, lower-cased.
std::vector<std::string> AddressesOf(const std::string& value) {
  message::EMailAddressList list;
  list.ReadAddressesText(value);
  std::vector<std::string> addresses;
  for (int i = 0; i < list.Count(); ++i) {
    addresses.push_back(core::LowerCase(list[i].Address()));
  }
  return addresses;
}

// The newest ids of a References text that can still reach a response's
// References line (see ResponseHeaders): a row keeps no more than that.
std::string NewestReferences(std::string references) {
  if (references.size() <= kMaxReferences) return references;
  const size_t blank =
      references.find(' ', references.size() - kMaxReferences - 1);
  return blank == std::string::npos ? "" : references.substr(blank + 1);
}

}  // namespace

MessageKind ClassifyMessage(const message::HeaderList& headers,
                            const std::string& sender) {
  MessageKind kind;
  kind.message_id = core::Trim(headers.ValueOf("Message-ID"));
  // An id too long for a header line is no id to refer to.
  if (kind.message_id.size() > kMaxReferences) kind.message_id.clear();
  kind.references = NewestReferences(core::Trim(headers.ValueOf("References")));
  for (int i = 0; i < headers.Count(); ++i) {
    if (core::SameText(core::Trim(headers.NameAt(i)), "X-Loop")) {
      for (const std::string& address : AddressesOf(headers.ValueAt(i))) {
        kind.x_loop.push_back(address);
      }
    }
  }
  // Loops name a handful of responders; a header naming more is no mail a
  // person wrote, and its list would cost every row of the listing.
  if (kind.x_loop.size() > kMaxXLoopAddresses) {
    kind.x_loop.clear();
    kind.reason = "automatic message";
    return kind;
  }
  const bool auto_submitted =
      headers.FindName("Auto-Submitted") >= 0 &&
      FirstWord(headers.ValueOf("Auto-Submitted")) != "no";
  const std::string precedence = FirstWord(headers.ValueOf("Precedence"));
  const bool null_return_path =
      headers.FindName("Return-Path") >= 0 &&
      core::Trim(headers.ValueOf("Return-Path")).starts_with("<>");
  if (auto_submitted || precedence == "junk" || null_return_path ||
      (!sender.empty() && IsRobot(sender))) {
    kind.reason = "automatic message";
  } else if (precedence == "bulk" || precedence == "list" ||
             headers.FindName("List-Id") >= 0 ||
             headers.FindName("List-Unsubscribe") >= 0 ||
             headers.FindName("List-Post") >= 0) {
    kind.reason = "mailing list";
  }
  return kind;
}

std::string NotAnsweredReason(const MessageKind& kind,
                              const std::string& sender,
                              const std::string& own_address) {
  const std::string own = core::LowerCase(core::Trim(own_address));
  if (!own.empty()) {
    if (core::LowerCase(sender) == own) return "our own address";
    if (std::find(kind.x_loop.begin(), kind.x_loop.end(), own) !=
        kind.x_loop.end()) {
      return "our own address";
    }
  }
  return kind.reason;
}

std::vector<std::string> ResponseHeaders(const MessageKind& kind) {
  std::vector<std::string> lines = {"Auto-Submitted: auto-replied"};
  if (kind.message_id.empty()) return lines;
  lines.push_back("In-Reply-To: " + kind.message_id);
  std::string references = kind.references.empty()
                               ? kind.message_id
                               : kind.references + " " + kind.message_id;
  // Too long: the oldest ids go first, whole.
  while (references.size() > kMaxReferences) {
    const size_t blank = references.find(' ');
    if (blank == std::string::npos) break;
    references.erase(0, blank + 1);
  }
  if (references.size() <= kMaxReferences) {
    lines.push_back("References: " + references);
  }
  return lines;
}

}  // namespace replyvane::responder
