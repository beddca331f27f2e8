// SMTP client; see smtp.h.
#include "mail/smtp.h"

#include <algorithm>

#include "core/exception.h"
#include "core/text.h"
#include "mail/command_line.h"
#include "message/encoder.h"
#include "message/mime_coder.h"

namespace replyvane::mail {

SMTP::SMTP() { SetPort(25); }

void SMTP::SetAuthenticationType(mail::AuthenticationType value) {
  auth_type_ = value;
  if (value == mail::AuthenticationType::atLogin) use_ehlo_ = true;
}

void SMTP::SetUseEhlo(bool value) {
  use_ehlo_ = value;
  if (!value) auth_type_ = mail::AuthenticationType::atNone;
}

void SMTP::Assign(const SMTP& source) {
  auth_type_ = source.auth_type_;
  SetHost(source.Host());
  mail_agent_ = source.mail_agent_;
  password_ = source.password_;
  SetPort(source.Port());
  username_ = source.username_;
}

int16_t SMTP::SendCommand(const std::string& command,
                          const std::vector<int16_t>& allowed) {
  CheckCommandLine(command);
  return MessageClient::SendCommand(command, allowed);
}

void SMTP::ConnectToHost(int32_t timeout) {
  MessageClient::ConnectToHost(timeout);
  try {
    Greet();
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

void SMTP::Greet() {
  ReadReply({220});
  supported_auth_schemes_.clear();
  std::string name = helo_name_.empty() ? LocalHostName() : helo_name_;
  if (use_ehlo_ && SendCommand("EHLO " + name, {}) == 250) {
    ReadAuthSchemes();
    return;
  }
  SendCommand("HELO " + name, {250});
}

// "AUTH LOGIN PLAIN" and the older "AUTH=LOGIN" both announce mechanisms.
void SMTP::ReadAuthSchemes() {
  for (const std::string& line : LastReply().Text()) {
    std::string rest = core::UpperCase(line);
    if (rest.compare(0, 5, "AUTH ") != 0 && rest.compare(0, 5, "AUTH=") != 0) {
      continue;
    }
    rest.erase(0, 4);
    std::replace(rest.begin(), rest.end(), '=', ' ');
    while (!rest.empty()) {
      std::string scheme = core::TakeUntil(rest, " ");
      // The blank or "=" after AUTH, and repeated blanks, name nothing.
      if (!scheme.empty() && std::find(supported_auth_schemes_.begin(),
                                       supported_auth_schemes_.end(), scheme) ==
                                 supported_auth_schemes_.end()) {
        supported_auth_schemes_.push_back(scheme);
      }
    }
  }
}

void SMTP::CloseConnection() {
  try {
    if (IsConnected()) WriteTextLine("QUIT");
  } catch (...) {
    MessageClient::CloseConnection();
    authentication_done_ = false;
    throw;
  }
  MessageClient::CloseConnection();
  authentication_done_ = false;
}

bool SMTP::IsAuthSchemeAvailable(mail::AuthenticationType type) const {
  if (type != mail::AuthenticationType::atLogin) return false;
  return std::any_of(supported_auth_schemes_.begin(),
                     supported_auth_schemes_.end(),
                     [](const std::string& scheme) {
                       return core::SameText(scheme, "LOGIN");
                     });
}

bool SMTP::Authenticate() {
  bool ran = false;
  if (auth_type_ == mail::AuthenticationType::atLogin) {
    SendCommand("AUTH LOGIN", {334});
    SendCommand(message::EncodeTextOnce<message::EncoderMIME>(username_),
                {334});
    SendCommand(message::EncodeTextOnce<message::EncoderMIME>(password_),
                {235});
    ran = true;
  }
  authentication_done_ = true;
  return ran;
}

void SMTP::SendMessage(message::Message& msg) {
  // The envelope is checked whole before the transaction starts, so an
  // address that would break a command line leaves nothing half sent.
  std::vector<std::string> recipients;
  for (const message::EMailAddressList* list :
       {&msg.Recipients(), &msg.CCList(), &msg.BccList()}) {
    for (int i = 0; i < list->Count(); ++i) {
      recipients.push_back("RCPT TO:<" + list->Items(i).Address() + ">");
      CheckCommandLine(recipients.back());
    }
  }
  std::string sender = "MAIL FROM:<" + msg.From().Address() + ">";
  CheckCommandLine(sender);

  SendCommand("RSET", {});
  if (auth_type_ != mail::AuthenticationType::atNone &&
      IsAuthSchemeAvailable(auth_type_) && !authentication_done_) {
    Authenticate();
  }
  SendCommand(sender, {250});
  for (const std::string& recipient : recipients) {
    SendCommand(recipient, {250, 251});
  }
  SendCommand("DATA", {354});
  msg.ExtraHeaders().StoreValue("X-Mailer", mail_agent_);
  WriteMessage(msg, false);
  SendCommand(".", {250});
}

void SMTP::ExpandAddress(const std::string& text) {
  SendCommand("EXPN " + text, {250, 251});
}

std::string SMTP::VerifyAddress(const std::string& text) {
  SendCommand("VRFY " + text, {250, 251});
  const std::vector<std::string>& lines = LastReply().Text();
  return lines.empty() ? std::string() : lines.front();
}

}  // namespace replyvane::mail
