// A real SMTP server for integration tests: tests/support/smtp_server.py
// (aiosmtpd under Debian's /usr/bin/python3) on 127.0.0.1 at a free high
// port, run as a child process and stopped by its process id. It announces
// AUTH LOGIN (and PLAIN) without TLS, prompts "Username:" / "Password:",
// accepts one configured user, and keeps every received message.
//
//   SmtpServer smtp;                      // or SmtpServer({.auth_required =
//   true}) REPLYVANE_START_OR_SKIP(smtp);        //
//   tests/support/start_or_skip.h
//   ... send through 127.0.0.1:smtp.Port() ...
//   std::vector<SmtpServer::Message> got = smtp.Messages();
//   EXPECT_EQ(got[0].data, expected_bytes);   // after dot-unstuffing
//
// On the wire: greeting "220 test.invalid ..."; EHLO lists SIZE 33554432,
// 8BITMIME, SMTPUTF8, AUTH LOGIN PLAIN, HELP; wrong credentials get
// "535 5.7.8 Authentication credentials invalid"; with auth_required, MAIL
// before AUTH gets "530 5.7.0 Authentication required". The final "." is
// answered 250 only after the message is stored, so Messages() holds it as
// soon as the client's send returned.
#ifndef REPLYVANE_TESTS_SUPPORT_SMTP_SERVER_H_
#define REPLYVANE_TESTS_SUPPORT_SMTP_SERVER_H_

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/server_process.h"
#include "tests/support/test_certificates.h"

namespace replyvane::testing {

class SmtpServer : public ServerProcess {
 public:
  struct Options {
    std::string user = "testuser";
    std::string password = "testpass";
    // MAIL before a successful AUTH is refused (530).
    bool auth_required = false;
    // Offer AUTH XOAUTH2 for `user` with the local authorization server's
    // access tokens ("a<N>").
    bool xoauth2 = false;
    // False: only envelopes are kept (Message::data stays empty), for
    // benchmarks that send a lot.
    bool store_messages = true;
    // Longest wait from the start to the first greeting.
    std::chrono::milliseconds start_timeout{10000};
    // With a certificate, TLS: STARTTLS offered on Port() (AUTH announced
    // only after it) and TLS from the first byte on TlsPort().
    std::optional<CertificateFiles> tls = std::nullopt;
    // MAIL before STARTTLS is refused.
    bool require_starttls = false;
    // Listens on ::1 too, at the same port (the probe greets on 127.0.0.1).
    bool ipv6 = false;
  };

  // One received message.
  struct Message {
    std::string mail_from;  // MAIL FROM address without brackets; the null
                            // sender "MAIL FROM:<>" is kept as "<>"
    std::vector<std::string> rcpt_tos;  // RCPT TO addresses, in order
    std::optional<std::string> login;   // AUTH user, when authenticated
    std::string data;  // the DATA bytes after dot-unstuffing, without the
                       // final "." line; CR LF (or bare LF/CR) as sent
    // When the server gave its 250, on std::chrono::steady_clock (seconds
    // since its epoch, CLOCK_MONOTONIC).
    double accepted = 0;
  };

  // Creates the message directory; the server is not running yet.
  SmtpServer() : SmtpServer(Options()) {}
  explicit SmtpServer(Options options);

  // Empty when /usr/bin/python3 with aiosmtpd is installed; else the reason
  // to skip, naming the package. (Checked once per test program.)
  static std::string MissingReason();

  // Inherited from ServerProcess: Start() (starts the server on a free
  // port, waits for its "220" greeting; a failed assertion with its output
  // otherwise), Stop() (stored messages stay readable), Running(), Port(),
  // Greeting(), Dir().

  // The port of TLS from the first byte (0 without Options::tls).
  int TlsPort() const { return tls_port_; }
  const std::string& User() const { return options_.user; }
  const std::string& Password() const { return options_.password; }

  // The completely received messages so far, in order of arrival. A stored
  // envelope that cannot be read throws std::runtime_error naming the file.
  std::vector<Message> Messages() const;
  // Number of completely received messages.
  size_t MessageCount() const;
  // Waits up to `timeout` until at least `count` messages were received;
  // true when they were.
  bool WaitForMessages(size_t count,
                       std::chrono::milliseconds timeout =
                           std::chrono::milliseconds(10000)) const;

  // Where the messages are stored (NNNN.eml and NNNN.json, the latter
  // written last as the completion marker).
  std::string MessageDir() const { return dir_.File("messages"); }
  // The server's standard output and error.
  std::string Log() const override;

 private:
  std::vector<std::string> Prepare() override;

  Options options_;
  int tls_port_ = 0;
};

}  // namespace replyvane::testing

#endif  // REPLYVANE_TESTS_SUPPORT_SMTP_SERVER_H_
