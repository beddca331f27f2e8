// The generic half of a command/reply dialogue: reading a possibly
// multi-line reply into LastReply, checking its code, and sending a command
// with its reply in one step.
#include <algorithm>

#include "core/reception_limits.h"
#include "core/text.h"
#include "net/tcp_connection.h"

namespace replyvane::net {

std::string TCPConnection::ReadNonEmptyLine(int32_t attempts) {
  std::string line;
  for (int32_t i = 0; line.empty() && i < attempts; ++i) {
    line = core::Trim(ReadTextLine());
  }
  return line;
}

void TCPConnection::ReadReplyLines() {
  // Every line read counts, the skipped blank ones too, so that a server
  // sending blank lines or continuation lines forever ends the read.
  size_t lines_read = 0;
  WholeReplyScope whole(*this);
  auto next_line = [&] {
    std::string line;
    while (line.empty()) {
      if (++lines_read > core::kMaxReplyLines) throw TooManyReplyLines();
      line = core::Trim(ReadTextLine());
    }
    return line;
  };
  std::vector<std::string> lines;
  lines.push_back(next_line());
  const std::string& first = lines.front();
  if (first.size() > 3 && first[3] == '-') {
    const std::string end_marker = first.substr(0, 3) + " ";
    while (true) {
      lines.push_back(next_line());
      const std::string& line = lines.back();
      if (line.size() < 4) break;
      if (core::SameText(line.substr(0, 4), end_marker)) break;
    }
  }
  last_reply_.ParseReplyLines(lines);
}

int16_t TCPConnection::ReadReply(const std::vector<int16_t>& allowed) {
  ReadReplyLines();
  return CheckReplyCode(int16_t(last_reply_.NumericCode()), allowed);
}

int16_t TCPConnection::CheckReplyCode(int16_t code,
                                      const std::vector<int16_t>& allowed) {
  if (allowed.empty()) return code;
  if (std::find(allowed.begin(), allowed.end(), code) != allowed.end()) {
    return code;
  }
  RaiseReplyError();
  return code;
}

std::string TCPConnection::LastReplyMessage() const {
  std::string message;
  for (const std::string& line : last_reply_.Text()) message += line + "\r\n";
  return message;
}

void TCPConnection::RaiseReplyError() {
  throw ProtocolReplyError(last_reply_.NumericCode(), LastReplyMessage());
}

namespace {

// The commands whose name may be shown; any other line sent as a command
// (a log-in's encoded user name or password) is named by what it is.
constexpr const char* kNamedCommands[] = {
    "USER",     "PASS", "APOP", "STAT", "LIST", "UIDL", "TOP",  "RETR",
    "DELE",     "RSET", "QUIT", "STLS", "CAPA", "NOOP", "EHLO", "HELO",
    "STARTTLS", "AUTH", "MAIL", "RCPT", "DATA", "EXPN", "VRFY"};

std::string AwaitedReplyTo(const std::string& command) {
  if (command == ".") return "the reply to the end of the message";
  const std::string verb =
      core::UpperCase(command.substr(0, command.find(' ')));
  for (const char* named : kNamedCommands) {
    if (verb == named) return "the reply to " + verb;
  }
  return "the reply to a log-in step";
}

}  // namespace

int16_t TCPConnection::SendCommand(const std::string& command,
                                   const std::vector<int16_t>& allowed) {
  awaited_ = AwaitedReplyTo(command);
  WriteTextLine(command);
  return ReadReply(allowed);
}

int16_t TCPConnection::SendCommand(const std::string& command,
                                   int16_t allowed) {
  if (allowed == -1) return SendCommand(command, std::vector<int16_t>());
  return SendCommand(command, std::vector<int16_t>{allowed});
}

}  // namespace replyvane::net
