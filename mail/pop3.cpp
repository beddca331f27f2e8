// POP3 client; see pop3.h.
#include "mail/pop3.h"

#include <cstdint>
#include <string_view>

#include "core/exception.h"
#include "core/reception_limits.h"
#include "core/text.h"
#include "mail/apop.h"
#include "mail/command_line.h"
#include "mail/sasl.h"
#include "net/exceptions.h"

namespace replyvane::mail {

namespace {

// The reply text as one block: every line ended by CR LF.
std::string JoinedText(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

std::string FirstTextLine(const net::RFCReply& reply) {
  return reply.Text().empty() ? std::string() : reply.Text().front();
}

// The text after the first blank, or the whole text without a blank.
std::string AfterFirstBlank(std::string text) {
  size_t blank = text.find(' ');
  return blank == std::string::npos ? text : text.substr(blank + 1);
}

// A unique id as RFC 1939 allows it: 1 to 70 printable characters.
bool IsValidUniqueId(std::string_view id) {
  if (id.empty() || id.size() > 70) return false;
  for (char c : id) {
    if (c < 0x21 || c > 0x7E) return false;
  }
  return true;
}

// "n id" of a UIDL listing or reply; false for anything else.
bool ParseUniqueIdLine(const std::string& line, int& number, std::string& id) {
  const std::string trimmed = core::Trim(line);
  const size_t blank = trimmed.find(' ');
  if (blank == std::string::npos) return false;
  const std::optional<int32_t> parsed =
      core::ParseInt32(std::string_view(trimmed).substr(0, blank));
  if (!parsed || *parsed < 1) return false;
  id = core::Trim(std::string_view(trimmed).substr(blank + 1));
  if (!IsValidUniqueId(id)) return false;
  number = *parsed;
  return true;
}

}  // namespace

POP3::POP3() { SetPort(110); }

int16_t POP3::SendCommand(const std::string& command,
                          const std::vector<int16_t>& allowed) {
  CheckCommandLine(command);
  return MessageClient::SendCommand(command, allowed);
}

void POP3::ReadStatusLine() {
  // RFC 1939 replies are one line: a "-" after the status word ("+OK-")
  // continues nothing, as it would in a numeric reply. Blank lines before
  // the reply are skipped, within the bound on reply lines.
  WholeReplyScope whole(*this);
  std::string line;
  for (size_t lines_read = 0; line.empty();) {
    if (++lines_read > core::kMaxReplyLines) throw net::TooManyReplyLines();
    line = core::Trim(ReadTextLine());
  }
  LastReply().ParseReplyLines({line});
}

int16_t POP3::ReadReply(const std::vector<int16_t>& allowed) {
  ReadStatusLine();
  return CheckStatus(allowed);
}

int16_t POP3::CheckStatus(const std::vector<int16_t>& allowed) {
  net::RFCReply& reply = LastReply();
  if (core::SameText(reply.TextCode(), "+OK")) {
    reply.SetNumericCode(kOK);
  } else if (core::SameText(reply.TextCode(), "-ERR")) {
    reply.SetNumericCode(kERR);
  } else {
    // Not a reply to the command: the dialogue is out of step.
    DropOutOfStep();
    throw core::Exception(
        core::Format("Unrecognized POP3 Response Header:\n\"%s\"",
                     JoinedText(reply.Text()).c_str()));
  }
  return CheckReplyCode(static_cast<int16_t>(reply.NumericCode()), allowed);
}

void POP3::ConnectToHost(int32_t timeout) {
  MessageClient::ConnectToHost(timeout);
  try {
    ReadReply({kOK});
    // APOP's timestamp is in the greeting, which STLS does not repeat.
    const std::string greeting = FirstTextLine(LastReply());
    if (TLSMode() == net::TLSMode::kStartTLS) StartEncryption();
    LogIn(greeting);
  } catch (...) {
    // The failure that ended the log-in is the one to report, not a
    // failure to say QUIT on a connection the server may have dropped.
    try {
      CloseConnection();
    } catch (const core::Exception&) {
    }
    throw;
  }
}

void POP3::StartEncryption() {
  if (SendCommand("STLS", {}) != kOK) {
    throw net::TLSError(
        core::Format("The POP3 server %s does not offer STLS: %s",
                     Host().c_str(), FirstTextLine(LastReply()).c_str()));
  }
  StartTLS();
}

void POP3::LogIn(const std::string& greeting) {
  if (!access_token_.empty()) {
    LogInWithToken();
    return;
  }
  if (!apop_) {
    SendCommand("USER " + username_, {kOK});
    SendCommand("PASS " + password_, {kOK});
    return;
  }
  std::string timestamp = ApopTimestamp(greeting);
  if (timestamp.empty()) {
    throw core::Exception("Server do not support APOP (no timestamp)");
  }
  SendCommand("APOP " + username_ + " " + ApopDigest(timestamp, password_),
              {kOK});
}

void POP3::LogInWithToken() {
  // CAPA's SASL line names the mechanisms (RFC 2449, RFC 5034); a server
  // without CAPA names none, and XOAUTH2 is tried.
  std::vector<std::string> offered;
  if (SendCommand("CAPA", {}) == kOK) {
    WholeReplyScope whole(*this);
    for (size_t lines = 1;; ++lines) {
      if (lines > core::kMaxReplyLines) throw net::TooManyReplyLines();
      std::string line = ReadTextLine();
      if (line == ".") break;
      const std::vector<std::string> words = core::SplitWords(line);
      if (!words.empty() && core::SameText(words[0], "SASL")) {
        offered.insert(offered.end(), words.begin() + 1, words.end());
      }
    }
  }
  std::unique_ptr<SaslMechanism> mechanism =
      TokenMechanism(offered, username_, access_token_, Host(), Port());
  if (mechanism == nullptr) {
    throw core::Exception(core::Format(
        "The POP3 server %s offers no log-in with a token (its SASL "
        "capability names neither OAUTHBEARER nor XOAUTH2)",
        Host().c_str()));
  }
  RunSasl(*mechanism);
}

void POP3::RunSasl(SaslMechanism& mechanism) {
  // The initial response goes with the command only while the command
  // stays within 255 octets with its CR LF (RFC 5034); else it answers
  // the server's first, empty challenge.
  constexpr size_t kLongestCommand = 253;
  std::string command = std::string("AUTH ") + mechanism.Name();
  std::optional<std::string> initial = mechanism.InitialResponse();
  if (initial) {
    const std::string wire = initial->empty() ? "=" : SaslWireText(*initial);
    if (command.size() + 1 + wire.size() <= kLongestCommand) {
      command += " " + wire;
      initial.reset();
    }
  }
  // A mechanism says all in a few steps; a server that goes on asking is
  // out of step.
  constexpr int kMostChallenges = 8;
  try {
    CheckCommandLine(command);
    WriteTextLine(command);
    for (int challenges = 0;; ++challenges) {
      std::string line;
      {
        WholeReplyScope whole(*this);
        line = core::Trim(ReadTextLine());
      }
      if (line != "+" && !line.starts_with("+ ")) {
        LastReply().ParseReplyLines({line});
        CheckStatus({kOK});
        return;
      }
      if (challenges == kMostChallenges) {
        DropOutOfStep();
        throw core::Exception(
            "The POP3 server asked more of the log-in than it holds");
      }
      std::string response;
      if (initial) {
        response = SaslWireText(*initial);
        initial.reset();
      } else {
        response = AnswerChallenge(mechanism, core::Trim(line.substr(1)));
      }
      CheckCommandLine(response);
      WriteTextLine(response);
    }
  } catch (const net::ProtocolReplyError& refused) {
    RaiseWithDetail(refused, mechanism);
  }
}

void POP3::CloseConnection() {
  // The base close runs even when QUIT cannot be written; the write
  // failure then follows it out.
  try {
    if (IsConnected() && ClearOrEncrypted()) WriteTextLine("QUIT");
  } catch (...) {
    MessageClient::CloseConnection();
    throw;
  }
  MessageClient::CloseConnection();
}

void POP3::Quit() {
  if (!IsConnected()) {
    MessageClient::CloseConnection();
    return;
  }
  try {
    SendCommand("QUIT", {kOK});
  } catch (...) {
    MessageClient::CloseConnection();
    throw;
  }
  MessageClient::CloseConnection();
}

int POP3::GetMessageCount() {
  SendCommand("STAT", {kOK});
  std::string text = FirstTextLine(LastReply());
  if (text.empty()) return 0;
  size_t blank = text.find(' ');
  // Without a blank the count is the empty text, which does not convert.
  return core::StrToInt(blank == std::string::npos ? std::string()
                                                   : text.substr(0, blank));
}

int POP3::GetMailboxSize() {
  try {
    SendCommand("LIST", {kOK});
    // A listing cut short leaves the connection closed, never with unread
    // lines that the next command would take for its reply.
    WholeReplyScope whole(*this);
    // Summed wide: a maildrop over 2 GiB has no size that fits the
    // result, and counts as unknown.
    int64_t total = 0;
    for (size_t lines = 1;; ++lines) {
      if (lines > core::kMaxReplyLines) throw net::TooManyReplyLines();
      std::string line = ReadTextLine();
      if (line.empty() || line == ".") break;
      total += core::StrToIntDef(AfterFirstBlank(line), 0);
    }
    return total > INT32_MAX ? -1 : static_cast<int>(total);
  } catch (...) {
    return -1;
  }
}

int POP3::GetMessageSize(int number) {
  SendCommand("LIST " + std::to_string(number), {kOK});
  std::string text = FirstTextLine(LastReply());
  if (text.empty()) return -1;
  return core::StrToIntDef(AfterFirstBlank(text), -1);
}

bool POP3::FetchHeader(int number, message::Message& msg) {
  SendCommand("TOP " + std::to_string(number) + " 0", {kOK});
  ReadHeader(msg, ".");
  return true;
}

bool POP3::FetchMessage(int number, message::Message& msg) {
  if (SendCommand("RETR " + std::to_string(number), {}) != kOK) return false;
  if (ReadHeader(msg, "").empty()) ReadBody(msg, ".");
  return true;
}

std::optional<std::map<int, std::string>> POP3::GetUniqueIds(size_t max_lines) {
  if (SendCommand("UIDL", {}) != kOK) return std::nullopt;
  WholeReplyScope whole(*this);
  std::map<int, std::string> ids;
  for (size_t lines = 1;; ++lines) {
    if (lines > max_lines) throw net::TooManyReplyLines(max_lines);
    std::string line = ReadTextLine();
    if (line == ".") break;
    if (line.rfind("..", 0) == 0) line.erase(0, 1);
    int number = 0;
    std::string id;
    if (ParseUniqueIdLine(line, number, id)) ids[number] = id;
  }
  return ids;
}

std::string POP3::GetUniqueId(int number) {
  if (SendCommand("UIDL " + std::to_string(number), {}) != kOK) return "";
  int listed = 0;
  std::string id;
  if (!ParseUniqueIdLine(FirstTextLine(LastReply()), listed, id) ||
      listed != number) {
    return "";
  }
  return id;
}

bool POP3::DeleteMessage(int number) {
  return SendCommand("DELE " + std::to_string(number), {kOK}) == kOK;
}

bool POP3::ResetMailbox() { return SendCommand("RSET", {kOK}) == kOK; }

}  // namespace replyvane::mail
