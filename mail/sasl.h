// SASL mechanisms (RFC 4422) as a client runs them, apart from any
// protocol: what is said first and what answers each challenge, as plain
// bytes. Each protocol has one small adapter that puts these into its
// commands (base64, its codes): SMTP's and POP3's AUTH, IMAP's
// AUTHENTICATE.
#ifndef REPLYVANE_MAIL_SASL_H_
#define REPLYVANE_MAIL_SASL_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/exceptions.h"

namespace replyvane::mail {

class SaslMechanism {
 public:
  virtual ~SaslMechanism() = default;

  // The name the command carries ("LOGIN").
  virtual const char* Name() const = 0;
  // The response that goes with the command; nullopt when the mechanism
  // waits for the server's first challenge.
  virtual std::optional<std::string> InitialResponse() { return std::nullopt; }
  // The response to the server's challenge (decoded). A challenge beyond
  // those the mechanism knows raises core::Exception.
  virtual std::string Respond(std::string_view challenge) = 0;
  // True once everything is said: the server's next reply is the outcome.
  virtual bool Complete() const = 0;
  // The response to a challenge after everything was said: a server that
  // refuses a token says why in one (an error challenge), and the
  // mechanism's answer lets it give its outcome. The empty response, unless
  // the mechanism says otherwise.
  virtual std::string AfterLastWord(std::string_view /*challenge*/) {
    return "";
  }
  // What an error challenge said, to go with the refusal's text; empty when
  // there was none.
  virtual std::string RefusalDetail() const { return ""; }
};

// LOGIN: the user name, then the password, each to a challenge (whose
// text, "Username:" and "Password:" by custom, is not looked at).
class SaslLogin final : public SaslMechanism {
 public:
  SaslLogin(std::string username, std::string password)
      : username_(std::move(username)), password_(std::move(password)) {}
  const char* Name() const override { return "LOGIN"; }
  std::string Respond(std::string_view challenge) override;
  bool Complete() const override { return step_ == 2; }

 private:
  std::string username_;
  std::string password_;
  int step_ = 0;
};

// PLAIN (RFC 4616): no authorization identity, the user, the password, in
// the initial response.
class SaslPlain final : public SaslMechanism {
 public:
  SaslPlain(std::string username, std::string password)
      : username_(std::move(username)), password_(std::move(password)) {}
  const char* Name() const override { return "PLAIN"; }
  std::optional<std::string> InitialResponse() override;
  std::string Respond(std::string_view challenge) override;
  bool Complete() const override { return said_; }

 private:
  std::string username_;
  std::string password_;
  bool said_ = false;
};

// XOAUTH2 (as Google and Microsoft define it): the user and an OAuth 2.0
// access token in the initial response. An error challenge (JSON with a
// "status") is answered with the empty response.
class SaslXOAuth2 : public SaslMechanism {
 public:
  SaslXOAuth2(std::string username, std::string token)
      : username_(std::move(username)), token_(std::move(token)) {}
  const char* Name() const override { return "XOAUTH2"; }
  std::optional<std::string> InitialResponse() override;
  std::string Respond(std::string_view challenge) override;
  bool Complete() const override { return said_; }
  std::string AfterLastWord(std::string_view challenge) override;
  std::string RefusalDetail() const override { return detail_; }

 protected:
  std::string username_;
  std::string token_;
  bool said_ = false;
  std::string detail_;
};

// OAUTHBEARER (RFC 7628): the GS2 header with the user, the server's host
// and port, and the token; an error challenge is answered with a lone
// %x01, as the RFC asks.
class SaslOAuthBearer final : public SaslXOAuth2 {
 public:
  SaslOAuthBearer(std::string username, std::string token, std::string host,
                  int32_t port)
      : SaslXOAuth2(std::move(username), std::move(token)),
        host_(std::move(host)),
        port_(port) {}
  const char* Name() const override { return "OAUTHBEARER"; }
  std::optional<std::string> InitialResponse() override;
  std::string AfterLastWord(std::string_view challenge) override;

 private:
  std::string host_;
  int32_t port_;
};

// What an error challenge of a token mechanism says, for the user:
// "status 401, scheme bearer", from its JSON's "status" and "schemes"
// (only letters, digits and ".-_ " of them); empty when it names neither.
std::string TokenRefusalDetail(std::string_view challenge);

// The protocols carry SASL in base64. The wire form of a response:
std::string SaslWireText(std::string_view bytes);
// The wire form of `mechanism`'s response to the challenge `text`, its
// AfterLastWord once it is complete (base64;
// a text that is no base64, such as SMTP's "334 x", is given as it came:
// the password mechanisms do not read it).
std::string AnswerChallenge(SaslMechanism& mechanism, std::string_view text);
// `refused` with the mechanism's RefusalDetail after its text, if any.
[[noreturn]] void RaiseWithDetail(const net::ProtocolReplyError& refused,
                                  const SaslMechanism& mechanism);

// The mechanism for a user name and password among those the server
// `offered` (any case): LOGIN, else PLAIN; nullptr when it offers neither.
std::unique_ptr<SaslMechanism> PasswordMechanism(
    const std::vector<std::string>& offered, const std::string& username,
    const std::string& password);

// The mechanism for an access token: OAUTHBEARER when the server
// `offered` (any case) it, else XOAUTH2 when offered or when the server
// names no mechanisms at all; nullptr when it names others only.
std::unique_ptr<SaslMechanism> TokenMechanism(
    const std::vector<std::string>& offered, const std::string& username,
    const std::string& token, const std::string& host, int32_t port);

}  // namespace replyvane::mail

#endif  // REPLYVANE_MAIL_SASL_H_
