// The SMTP client: greets with EHLO (falling back to HELO), learns the
// announced AUTH mechanisms, logs in with AUTH LOGIN when asked to, and
// sends one message per mail transaction (RSET, MAIL FROM, RCPT TO for every
// To, Cc and Bcc address, DATA, the message text, "."). A reply outside the
// codes a step accepts raises net::ProtocolReplyError with the server's
// code and text and nothing further is sent; connection faults propagate.
#ifndef REPLYVANE_MAIL_SMTP_H_
#define REPLYVANE_MAIL_SMTP_H_

#include <cstdint>
#include <string>
#include <vector>

#include "mail/message_client.h"
#include "message/message.h"

namespace replyvane::mail {

class SaslMechanism;

enum class AuthenticationType { atNone, atLogin };

class SMTP : public MessageClient {
 public:
  const char* ProtocolName() const override { return "SMTP"; }
  SMTP();

  const std::string& Username() const { return username_; }
  void SetUsername(const std::string& value) { username_ = value; }
  const std::string& Password() const { return password_; }
  void SetPassword(const std::string& value) { password_ = value; }
  // With atLogin:
  // An OAuth 2.0 access token; set, the log-in is by it (SASL OAUTHBEARER
  // where the server offers it, else XOAUTH2) and not by the password.
  void SetAccessToken(const std::string& value) { access_token_ = value; }
  // atLogin also turns UseEhlo on (AUTH is announced only by EHLO).
  mail::AuthenticationType AuthenticationType() const { return auth_type_; }
  void SetAuthenticationType(mail::AuthenticationType value);
  // Turning EHLO off also turns authentication off.
  bool UseEhlo() const { return use_ehlo_; }
  void SetUseEhlo(bool value);
  // Name sent with EHLO/HELO; empty means the local host name.
  const std::string& HeloName() const { return helo_name_; }
  void SetHeloName(const std::string& value) { helo_name_ = value; }
  // Value of the X-Mailer header put into every message sent; empty removes
  // the header.
  const std::string& MailAgent() const { return mail_agent_; }
  void SetMailAgent(const std::string& value) { mail_agent_ = value; }

  // The mechanisms the last EHLO announced, upper case, each once; empty
  // after HELO.
  const std::vector<std::string>& SupportedAuthSchemes() const {
    return supported_auth_schemes_;
  }
  // True once Authenticate ran on this connection.
  bool AuthenticationDone() const { return authentication_done_; }

  // Copies AuthenticationType (with its rule for UseEhlo), Host,
  // MailAgent, Password, Port, Username, TLSMode and TLSFingerprint.
  void Assign(const SMTP& source);

  // Connects, reads the 220 greeting and sends EHLO or HELO; with TLSMode
  // kStartTLS, EHLO, STARTTLS, the TLS handshake and EHLO again (RFC 3207),
  // and a server that does not offer it raises net::TLSError. On failure
  // QUIT is written if possible, the connection closed, the error raised.
  void ConnectToHost(int32_t timeout = -1) override;
  // Writes QUIT when connected (reply not read), closes, and forgets that
  // this connection was authenticated, also when the write fails.
  void CloseConnection() override;

  // True for atLogin when the server announced LOGIN or PLAIN.
  virtual bool IsAuthSchemeAvailable(mail::AuthenticationType type) const;
  // For atLogin: AUTH LOGIN when announced, else AUTH PLAIN (RFC 4616) when
  // announced (true; see sasl.h); neither raises core::Exception ("The SMTP
  // server offers no log-in method that Replyvane knows: …"). Nothing for
  // atNone (false). Marks the connection authenticated only when it returns.
  virtual bool Authenticate();
  // One mail transaction for `msg`. Stores MailAgent as X-Mailer in the
  // message's extra headers (the message keeps it).
  virtual void SendMessage(message::Message& msg);
  // EXPN `text`; the reply stays in LastReply().
  virtual void ExpandAddress(const std::string& text);
  // VRFY `text`; returns the first text line of the reply.
  virtual std::string VerifyAddress(const std::string& text);

  // Every command passes the command-line guard (UnsafeCommandError)
  // before it is written.
  using MessageClient::SendCommand;
  int16_t SendCommand(const std::string& command,
                      const std::vector<int16_t>& allowed) override;

 private:
  void Greet();
  // After an EHLO: STARTTLS when announced and the handshake; else
  // net::TLSError.
  void StartEncryption();
  [[noreturn]] void RaiseNoStartTLS();
  void ReadAuthSchemes();
  bool Announced(const std::string& scheme) const;
  // AUTH with `mechanism` to its end (sasl.h); a refused step raises
  // net::ProtocolReplyError.
  void RunSasl(SaslMechanism& mechanism);

  std::string username_;
  std::string password_;
  std::string access_token_;
  mail::AuthenticationType auth_type_ = mail::AuthenticationType::atNone;
  bool use_ehlo_ = true;
  std::string helo_name_;
  std::string mail_agent_;
  std::vector<std::string> supported_auth_schemes_;
  bool authentication_done_ = false;
};

}  // namespace replyvane::mail

#endif  // REPLYVANE_MAIL_SMTP_H_
