// SMTP client; see smtp.h.
#include "mail/smtp.h"

#include <algorithm>

#include "core/exception.h"
#include "core/text.h"
#include "mail/command_line.h"
#include "mail/sasl.h"

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
  SetAuthenticationType(source.auth_type_);
  SetTLSMode(source.TLSMode());
  SetTLSFingerprint(source.TLSFingerprint());
  SetHost(source.Host());
  mail_agent_ = source.mail_agent_;
  password_ = source.password_;
  access_token_ = source.access_token_;
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
  // STARTTLS is announced only by EHLO.
  const bool starttls = TLSMode() == net::TLSMode::kStartTLS;
  if ((use_ehlo_ || starttls) && SendCommand("EHLO " + name, {}) == 250) {
    if (starttls) {
      StartEncryption();
      // What the server offers is read again under TLS (RFC 3207).
      SendCommand("EHLO " + name, {250});
    }
    ReadAuthSchemes();
    return;
  }
  if (starttls) RaiseNoStartTLS();
  SendCommand("HELO " + name, {250});
}

void SMTP::StartEncryption() {
  const std::vector<std::string>& lines = LastReply().Text();
  const bool offered = std::any_of(lines.begin() + (lines.empty() ? 0 : 1),
                                   lines.end(), [](const std::string& line) {
                                     std::string word =
                                         core::UpperCase(core::Trim(line));
                                     return word == "STARTTLS";
                                   });
  if (!offered) RaiseNoStartTLS();
  if (SendCommand("STARTTLS", {}) != 220) {
    throw net::TLSError(core::Format(
        "The SMTP server %s refused STARTTLS: %d %s", Host().c_str(),
        LastReply().NumericCode(), LastReplyMessage().c_str()));
  }
  StartTLS();
}

void SMTP::RaiseNoStartTLS() {
  throw net::TLSError(core::Format(
      "The SMTP server %s does not offer STARTTLS.", Host().c_str()));
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
    if (IsConnected() && ClearOrEncrypted()) WriteTextLine("QUIT");
  } catch (...) {
    MessageClient::CloseConnection();
    authentication_done_ = false;
    throw;
  }
  MessageClient::CloseConnection();
  authentication_done_ = false;
}

bool SMTP::Announced(const std::string& scheme) const {
  return std::any_of(supported_auth_schemes_.begin(),
                     supported_auth_schemes_.end(),
                     [&scheme](const std::string& known) {
                       return core::SameText(known, scheme);
                     });
}

bool SMTP::IsAuthSchemeAvailable(mail::AuthenticationType type) const {
  if (type != mail::AuthenticationType::atLogin) return false;
  return Announced("LOGIN") || Announced("PLAIN");
}

bool SMTP::Authenticate() {
  bool ran = false;
  if (auth_type_ == mail::AuthenticationType::atLogin) {
    std::unique_ptr<SaslMechanism> mechanism =
        access_token_.empty()
            ? PasswordMechanism(supported_auth_schemes_, username_, password_)
            : TokenMechanism(supported_auth_schemes_, username_, access_token_,
                             Host(), Port());
    if (mechanism == nullptr) {
      std::string offered;
      for (const std::string& scheme : supported_auth_schemes_) {
        offered += (offered.empty() ? "" : " ") + scheme;
      }
      throw core::Exception(
          "The SMTP server offers no log-in method that Replyvane knows: " +
          (offered.empty() ? std::string("it announces none")
                           : "it announces " + offered));
    }
    RunSasl(*mechanism);
    ran = true;
  }
  authentication_done_ = true;
  return ran;
}

void SMTP::RunSasl(SaslMechanism& mechanism) {
  // 334 while the mechanism has more to say, 235 for the reply to its
  // last word (RFC 4954), or 334 with an error challenge, whose answer
  // brings the outcome; a response travels in base64.
  auto expected = [&] {
    return mechanism.Complete() ? std::vector<int16_t>{235, 334}
                                : std::vector<int16_t>{334};
  };
  std::string command = std::string("AUTH ") + mechanism.Name();
  if (const std::optional<std::string> initial = mechanism.InitialResponse()) {
    command += " " + SaslWireText(*initial);
  }
  try {
    SendCommand(command, expected());
    while (LastReply().NumericCode() == 334) {
      const bool error_challenge = mechanism.Complete();
      const std::vector<std::string>& text = LastReply().Text();
      const std::string response =
          AnswerChallenge(mechanism, text.empty() ? "" : text.front());
      SendCommand(response,
                  error_challenge ? std::vector<int16_t>{235} : expected());
    }
  } catch (const net::ProtocolReplyError& refused) {
    RaiseWithDetail(refused, mechanism);
  }
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
  // A log-in that cannot happen ends the send; the mail never goes out
  // without it.
  if (auth_type_ != mail::AuthenticationType::atNone && !authentication_done_) {
    Authenticate();
  }
  SendCommand(sender, {250});
  for (const std::string& recipient : recipients) {
    SendCommand(recipient, {250, 251});
  }
  SendCommand("DATA", {354});
  msg.ExtraHeaders().StoreValue("X-Mailer", mail_agent_);
  // The final "." goes out with the message's last bytes (the reply's read
  // sends what is gathered), not in a short send of its own.
  GatheredWrites gathered(*this);
  WriteMessage(msg, false);
  SendCommand(".", {250});
  gathered.End();
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
