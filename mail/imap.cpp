// IMAP client; see imap.h.
#include "mail/imap.h"

#include <algorithm>

#include "core/exception.h"
#include "core/text.h"
#include "mail/command_line.h"
#include "mail/imap_mailbox_name.h"
#include "mail/literal_stream.h"
#include "mail/message_reader.h"
#include "mail/sasl.h"
#include "mail/stream_lines.h"
#include "net/exceptions.h"

namespace replyvane::mail {

namespace {

// RFC 9051's ATOM-CHAR: any printable ASCII but the specials.
bool IsAtom(std::string_view text) {
  if (text.empty()) return false;
  for (unsigned char c : text) {
    if (c <= 0x20 || c >= 0x7F) return false;
    if (std::string_view("(){%*\"\\]").find(char(c)) != std::string_view::npos)
      return false;
  }
  return true;
}

// A quoted string carries printable ASCII without quotes and backslashes;
// anything else (a quote, a backslash, 8-bit, a control) goes as a literal.
bool IsQuotable(std::string_view text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c >= 0x7F || c == '"' || c == '\\') return false;
  }
  return true;
}

std::optional<uint32_t> Number(const std::string& text) {
  const std::optional<int64_t> value = core::ParseInt64(text);
  if (!value || *value < 0 || *value > int64_t(UINT32_MAX)) return std::nullopt;
  return uint32_t(*value);
}

// The number after `name` in a response code such as "UIDNEXT 42".
std::optional<uint32_t> CodeNumber(const std::string& code,
                                   std::string_view name) {
  if (code.size() <= name.size() + 1 ||
      !core::SameText(code.substr(0, name.size()), name) ||
      code[name.size()] != ' ') {
    return std::nullopt;
  }
  return Number(code.substr(name.size() + 1));
}

// The value after the atom `name` in a FETCH list.
const ImapValue* FetchItem(const std::vector<ImapValue>& items,
                           std::string_view name) {
  for (size_t i = 0; i + 1 < items.size(); i += 2) {
    if (core::SameText(items[i].text, name)) return &items[i + 1];
  }
  return nullptr;
}

// `uids` as IMAP sequence sets ("1:3,5,9:12"), ascending, each at most
// about `longest` characters, so that no command line grows without end.
std::vector<std::string> UidSets(std::vector<uint32_t> uids, size_t longest) {
  std::sort(uids.begin(), uids.end());
  uids.erase(std::unique(uids.begin(), uids.end()), uids.end());
  std::vector<std::string> sets;
  std::string set;
  for (size_t i = 0; i < uids.size();) {
    size_t last = i;
    while (last + 1 < uids.size() && uids[last + 1] == uids[last] + 1) ++last;
    std::string range = std::to_string(uids[i]);
    if (last > i) range += ":" + std::to_string(uids[last]);
    if (!set.empty() && set.size() + 1 + range.size() > longest) {
      sets.push_back(std::move(set));
      set.clear();
    }
    if (!set.empty()) set += ',';
    set += range;
    i = last + 1;
  }
  if (!set.empty()) sets.push_back(std::move(set));
  return sets;
}

// Sets of UIDs in one command: well inside the 8,000 octets RFC 7162 asks
// servers to take.
constexpr size_t kLongestUidSet = 1000;

}  // namespace

IMAP::IMAP() { SetPort(143); }

bool IMAP::HasCapability(std::string_view name) const {
  return std::any_of(
      capabilities_.begin(), capabilities_.end(),
      [name](const std::string& known) { return core::SameText(known, name); });
}

std::string IMAP::NextTag() { return core::Format("A%03u", ++next_tag_); }

void IMAP::WriteCommandLine(const std::string& text) {
  CheckCommandLine(text);
  WriteTextLine(text);
}

void IMAP::LearnCapabilities(const std::string& text) {
  ++capabilities_learned_;
  capabilities_.clear();
  for (const std::string& word : core::SplitWords(text)) {
    capabilities_.push_back(core::UpperCase(word));
  }
}

void IMAP::HandleUntagged(const ImapResponse& response) {
  if (response.status == "BYE") said_bye_ = true;
  if (!response.status.empty()) {
    if (auto n = CodeNumber(response.code, "UIDVALIDITY")) {
      folder_.uid_validity = *n;
    } else if (auto m = CodeNumber(response.code, "UIDNEXT")) {
      folder_.uid_next = *m;
    } else if (core::SameText(response.code.substr(0, 11), "CAPABILITY ")) {
      LearnCapabilities(response.code.substr(11));
    }
    return;
  }
  const std::vector<ImapValue>& values = response.values;
  const std::string first = core::UpperCase(ImapTextAt(values, 0));
  if (first == "CAPABILITY") {
    std::string words;
    for (size_t i = 1; i < values.size(); ++i) words += values[i].text + " ";
    LearnCapabilities(words);
  } else if (first == "SEARCH") {
    if (search_results_.size() + values.size() > kMaxSearchResults) {
      throw net::ReceptionLimitExceeded(
          core::Format("The IMAP server's search found more than %zu messages.",
                       kMaxSearchResults));
    }
    for (size_t i = 1; i < values.size(); ++i) {
      if (auto uid = Number(values[i].text)) search_results_.push_back(*uid);
    }
  } else if (core::SameText(ImapTextAt(values, 1), "EXISTS")) {
    if (auto n = Number(first)) {
      if (*n > folder_.exists) new_mail_told_ = true;
      folder_.exists = *n;
    }
  } else if (core::SameText(ImapTextAt(values, 1), "EXPUNGE")) {
    if (folder_.exists > 0) --folder_.exists;
  } else if (core::SameText(ImapTextAt(values, 1), "FETCH")) {
    if (on_fetch_) on_fetch_(response);
  }
}

void IMAP::RaiseRefused(const ImapResponse& response) {
  std::string text = response.status;
  if (!response.code.empty()) text += " [" + response.code + "]";
  if (!response.text.empty()) text += " " + response.text;
  throw net::ProtocolReplyError(response.status == "NO" ? kNO : kBAD, text);
}

void IMAP::AwaitContinuation(const std::string& tag) {
  for (;;) {
    ImapResponse response = ReadImapResponse(*this);
    if (response.tag == "+") return;
    if (response.tag == "*") {
      HandleUntagged(response);
    } else if (response.tag == tag) {
      RaiseRefused(response);
    } else {
      throw core::Exception("Unreadable IMAP response: tag " + response.tag);
    }
  }
}

ImapResponse IMAP::Command(const std::vector<Arg>& parts,
                           const ImapLiteralSink& sink) {
  const std::string tag = NextTag();
  std::string verb = parts.empty() ? "" : core::UpperCase(parts[0].text);
  if (verb == "UID" && parts.size() > 1) {
    verb += " " + core::UpperCase(parts[1].text);
  }
  SetAwaited("the reply to " + verb);
  ImapResponse done;
  {
    // A response not read to its end leaves the dialogue out of step.
    WholeReplyScope whole(*this);
    std::string line = tag;
    for (const Arg& part : parts) {
      line += ' ';
      if (!part.string || IsAtom(part.text)) {
        line += part.text;
      } else if (IsQuotable(part.text)) {
        line += "\"" + part.text + "\"";
      } else {
        if (part.text.find('\0') != std::string::npos) {
          throw core::Exception("An IMAP text cannot hold a NUL byte");
        }
        // Non-synchronizing where offered (RFC 7888): no round trip.
        const bool plus =
            HasCapability("LITERAL+") ||
            (HasCapability("LITERAL-") && part.text.size() <= 4096);
        line += "{" + std::to_string(part.text.size()) + (plus ? "+}" : "}");
        WriteCommandLine(line);
        if (!plus) AwaitContinuation(tag);
        WriteText(part.text);
        line.clear();
      }
    }
    WriteCommandLine(line);
    done = ReadUntilTagged(tag, sink, nullptr);
  }
  Accept(done);
  return done;
}

ImapResponse IMAP::ReadUntilTagged(
    const std::string& tag, const ImapLiteralSink& sink,
    const std::function<void(const ImapResponse&)>& on_continuation) {
  // No server keeps a command from ending with endless data.
  for (size_t read = 0;; ++read) {
    if (read > kMaxResponsesPerCommand) {
      throw net::TooManyReplyLines(kMaxResponsesPerCommand);
    }
    ImapResponse response = ReadImapResponse(*this, sink);
    if (response.tag == tag) return response;
    if (response.tag == "*") {
      HandleUntagged(response);
    } else if (response.tag == "+" && on_continuation) {
      on_continuation(response);
    } else {
      throw core::Exception("Unreadable IMAP response: tag " + response.tag);
    }
  }
}

bool IMAP::Accept(const ImapResponse& done) {
  if (done.status != "OK") RaiseRefused(done);
  if (!core::SameText(done.code.substr(0, 11), "CAPABILITY ")) return false;
  LearnCapabilities(done.code.substr(11));
  return true;
}

void IMAP::ConnectToHost(int32_t timeout) {
  said_bye_ = false;
  next_tag_ = 0;  // tags are a session's own
  capabilities_.clear();
  MessageClient::ConnectToHost(timeout);
  try {
    SetAwaited("the greeting");
    ImapResponse greeting;
    {
      WholeReplyScope whole(*this);
      greeting = ReadImapResponse(*this);
    }
    if (greeting.status == "BYE") said_bye_ = true;
    if (greeting.tag != "*" ||
        (greeting.status != "OK" && greeting.status != "PREAUTH")) {
      throw core::Exception(core::Format(
          "The IMAP server %s refused the session: %s", Host().c_str(),
          core::Trim(greeting.status + " " + greeting.text).c_str()));
    }
    HandleUntagged(greeting);
    if (capabilities_.empty()) Command({{"CAPABILITY"}});
    if (TLSMode() == net::TLSMode::kStartTLS) StartEncryption();
    if (greeting.status != "PREAUTH") LogIn();
  } catch (...) {
    // The failure that ended the log-in is the one to report.
    try {
      CloseConnection();
    } catch (const core::Exception&) {
    }
    throw;
  }
}

void IMAP::StartEncryption() {
  if (!HasCapability("STARTTLS")) {
    throw net::TLSError(core::Format(
        "The IMAP server %s does not offer STARTTLS", Host().c_str()));
  }
  try {
    Command({{"STARTTLS"}});
  } catch (const net::ProtocolReplyError& refused) {
    throw net::TLSError(core::Format("The IMAP server %s refused STARTTLS: %s",
                                     Host().c_str(), refused.what()));
  }
  StartTLS();
  // What was announced in the clear may have been altered on the way.
  capabilities_.clear();
  Command({{"CAPABILITY"}});
}

void IMAP::LogIn() {
  if (!access_token_.empty()) {
    std::vector<std::string> offered;
    for (const std::string& capability : capabilities_) {
      if (capability.starts_with("AUTH="))
        offered.push_back(capability.substr(5));
    }
    std::unique_ptr<SaslMechanism> mechanism =
        TokenMechanism(offered, username_, access_token_, Host(), Port());
    if (mechanism == nullptr) {
      throw core::Exception(core::Format(
          "The IMAP server %s offers no log-in with a token (neither "
          "AUTH=OAUTHBEARER nor AUTH=XOAUTH2)",
          Host().c_str()));
    }
    RunSasl(*mechanism);
    return;
  }
  if (!HasCapability("LOGINDISABLED")) {
    // The capabilities may change with the log-in: learned again. Those
    // from before still say how LOGIN's literals may go.
    const uint32_t learned = capabilities_learned_;
    Command({{"LOGIN"}, {username_, true}, {password_, true}});
    if (capabilities_learned_ == learned) Command({{"CAPABILITY"}});
    return;
  }
  if (!HasCapability("AUTH=PLAIN")) {
    throw core::Exception(core::Format(
        "The IMAP server %s allows no log-in that Replyvane knows: LOGIN is "
        "disabled and AUTH=PLAIN is not offered",
        Host().c_str()));
  }
  SaslPlain plain(username_, password_);
  RunSasl(plain);
}

void IMAP::RunSasl(SaslMechanism& mechanism) {
  const std::string tag = NextTag();
  SetAwaited("the reply to AUTHENTICATE");
  std::optional<std::string> initial = mechanism.InitialResponse();
  std::string line = tag + " AUTHENTICATE " + mechanism.Name();
  if (initial && HasCapability("SASL-IR")) {
    line +=
        " " + (initial->empty() ? std::string("=") : SaslWireText(*initial));
    initial.reset();
  }
  ImapResponse done;
  {
    WholeReplyScope whole(*this);
    WriteCommandLine(line);
    done = ReadUntilTagged(tag, nullptr, [&](const ImapResponse& request) {
      if (initial) {
        WriteCommandLine(SaslWireText(*initial));
        initial.reset();
      } else {
        // After the last word, an error challenge: its answer lets the
        // server give its outcome.
        WriteCommandLine(AnswerChallenge(mechanism, request.text));
      }
    });
  }
  bool learned = false;
  try {
    learned = Accept(done);
  } catch (const net::ProtocolReplyError& refused) {
    RaiseWithDetail(refused, mechanism);
  }
  if (!learned) Command({{"CAPABILITY"}});
}

IMAP::FolderState IMAP::Select(const std::string& folder, bool read_only) {
  folder_ = FolderState();
  Command({{read_only ? "EXAMINE" : "SELECT"}, {WireName(folder), true}});
  return folder_;
}

std::vector<uint32_t> IMAP::UidSearch(const std::string& criteria) {
  search_results_.clear();
  Command({{"UID"}, {"SEARCH"}, {criteria}});
  std::vector<uint32_t> found = std::move(search_results_);
  search_results_.clear();
  std::sort(found.begin(), found.end());
  found.erase(std::unique(found.begin(), found.end()), found.end());
  return found;
}

bool IMAP::FetchInto(uint32_t uid, const std::string& item,
                     message::Message& msg, int64_t* size) {
  const bool whole = item == "BODY.PEEK[]";
  const std::string section = whole ? "BODY[]" : "BODY[HEADER]";
  bool found = false;
  bool read = false;
  on_fetch_ = [&](const ImapResponse& response) {
    const std::vector<ImapValue>& values = response.values;
    if (values.size() < 3 || values[2].kind != ImapValue::Kind::kList) return;
    const ImapValue* id = FetchItem(values[2].items, "UID");
    if (id == nullptr || Number(id->text) != uid) return;
    found = true;
    if (size != nullptr) {
      const ImapValue* bytes = FetchItem(values[2].items, "RFC822.SIZE");
      *size = bytes != nullptr ? Number(bytes->text).value_or(-1) : -1;
    }
  };
  struct Reset {
    std::function<void(const ImapResponse&)>& handler;
    ~Reset() { handler = nullptr; }
  } reset{on_fetch_};
  const ImapLiteralSink sink = [&](const std::string& name, size_t bytes) {
    if (read || !core::SameText(name, section)) return false;
    LiteralStream literal(*this, bytes);
    StreamLines lines(literal);
    if (ReadMessageHeader(lines, msg).empty() && whole) {
      ReadMessageBody(lines, msg);
    }
    literal.Skip();
    read = true;
    return true;
  };
  Command({{"UID"},
           {"FETCH"},
           {std::to_string(uid)},
           {"(UID RFC822.SIZE " + item + ")"}},
          sink);
  return found && read;
}

bool IMAP::FetchHeader(uint32_t uid, message::Message& msg, int64_t& size) {
  size = -1;
  return FetchInto(uid, "BODY.PEEK[HEADER]", msg, &size);
}

bool IMAP::FetchMessage(uint32_t uid, message::Message& msg) {
  return FetchInto(uid, "BODY.PEEK[]", msg, nullptr);
}

void IMAP::AddFlags(uint32_t uid, const std::string& flags) {
  AddFlags(std::vector<uint32_t>{uid}, flags);
}

void IMAP::AddFlags(const std::vector<uint32_t>& uids,
                    const std::string& flags) {
  for (const std::string& set : UidSets(uids, kLongestUidSet)) {
    Command(
        {{"UID"}, {"STORE"}, {set}, {"+FLAGS.SILENT"}, {"(" + flags + ")"}});
  }
}

void IMAP::Move(uint32_t uid, const std::string& folder) {
  if (HasCapability("MOVE")) {
    Command(
        {{"UID"}, {"MOVE"}, {std::to_string(uid)}, {WireName(folder), true}});
    return;
  }
  Command({{"UID"}, {"COPY"}, {std::to_string(uid)}, {WireName(folder), true}});
  Delete(uid);
}

void IMAP::Delete(uint32_t uid) {
  AddFlags(uid, "\\Deleted");
  Expunge({uid});
}

void IMAP::Expunge(const std::vector<uint32_t>& uids) {
  if (uids.empty()) return;
  if (!HasCapability("UIDPLUS")) {
    Command({{"EXPUNGE"}});
    return;
  }
  for (const std::string& set : UidSets(uids, kLongestUidSet)) {
    Command({{"UID"}, {"EXPUNGE"}, {set}});
  }
}

void IMAP::Create(const std::string& folder) {
  Command({{"CREATE"}, {WireName(folder), true}});
}

std::string IMAP::WireName(const std::string& folder) const {
  // Only a server that speaks IMAP4rev2 alone takes UTF-8 names.
  if (HasCapability("IMAP4rev2") && !HasCapability("IMAP4rev1")) return folder;
  return ModifiedUtf7(folder);
}

void IMAP::Noop() { Command({{"NOOP"}}); }

bool IMAP::Idle(std::chrono::milliseconds limit,
                const std::function<bool()>& stop) {
  const std::string tag = NextTag();
  SetAwaited("the reply to IDLE");
  new_mail_told_ = false;
  const auto end = std::chrono::steady_clock::now() + limit;
  ImapResponse done;
  {
    WholeReplyScope whole(*this);
    WriteCommandLine(tag + " IDLE");
    AwaitContinuation(tag);
    while (!new_mail_told_ && std::chrono::steady_clock::now() < end &&
           !(stop && stop())) {
      // A whole line waiting is read; else the wait goes on in slices, so
      // that a stop is seen soon.
      if (InputQueue().View().find('\n') != std::string_view::npos) {
        ImapResponse response = ReadImapResponse(*this);
        if (response.tag != "*") {
          throw core::Exception("Unreadable IMAP response: tag " +
                                response.tag);
        }
        HandleUntagged(response);
        if (said_bye_) throw net::ConnClosedGracefully();
        continue;
      }
      FillInputBuffer(true, 250, false);
    }
    WriteCommandLine("DONE");
    done = ReadUntilTagged(tag, nullptr, nullptr);
  }
  Accept(done);
  return new_mail_told_;
}

void IMAP::Logout() {
  if (!IsConnected()) {
    MessageClient::CloseConnection();
    return;
  }
  try {
    Command({{"LOGOUT"}});
  } catch (const net::ConnClosedGracefully&) {
    // BYE and the close, without the tagged OK: the session is over.
  } catch (...) {
    MessageClient::CloseConnection();
    throw;
  }
  MessageClient::CloseConnection();
}

void IMAP::CloseConnection() {
  try {
    // After a BYE the server says no more and takes nothing.
    if (IsConnected() && ClearOrEncrypted() && !said_bye_) {
      WriteTextLine(NextTag() + " LOGOUT");
    }
  } catch (...) {
    MessageClient::CloseConnection();
    throw;
  }
  MessageClient::CloseConnection();
}

}  // namespace replyvane::mail
