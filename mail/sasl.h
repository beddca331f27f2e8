// SASL mechanisms (RFC 4422) as a client runs them, apart from any
// protocol: what is said first and what answers each challenge, as plain
// bytes. Each protocol has one small adapter that puts these into its
// commands (base64, its codes): SMTP's AUTH in smtp.cpp. A mechanism for a
// token (XOAUTH2, OAUTHBEARER) is one more class here.
#ifndef REPLYVANE_MAIL_SASL_H_
#define REPLYVANE_MAIL_SASL_H_

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// The protocols carry SASL in base64. The wire form of a response:
std::string SaslWireText(std::string_view bytes);
// The wire form of `mechanism`'s response to the challenge `text` (base64;
// a text that is no base64, such as SMTP's "334 x", is given as it came:
// the password mechanisms do not read it).
std::string AnswerChallenge(SaslMechanism& mechanism, std::string_view text);

// The mechanism for a user name and password among those the server
// `offered` (any case): LOGIN, else PLAIN; nullptr when it offers neither.
std::unique_ptr<SaslMechanism> PasswordMechanism(
    const std::vector<std::string>& offered, const std::string& username,
    const std::string& password);

}  // namespace replyvane::mail

#endif  // REPLYVANE_MAIL_SASL_H_
