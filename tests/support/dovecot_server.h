// A private Dovecot POP3 (or IMAP) server for integration tests: its own
// configuration, passwd file, Maildir, run and log paths in a fresh temporary
// directory, listening on 127.0.0.1 at a free high port, run in the foreground
// as a child process and stopped by its process id. Works as root (mailbox
// owned by nobody) and unprivileged (everything runs as the current user).
//
//   DovecotServer pop;
//   pop.AddMessage("Subject: one\r\n\r\nbody\r\n");
//   REPLYVANE_START_OR_SKIP(pop);        // tests/support/start_or_skip.h
//   client.SetPort(pop.Port()); client.SetUsername(pop.User()); ...
//   EXPECT_EQ(pop.MessageCount(), 0);    // after DELE + QUIT
//
// On the wire: the greeting is "+OK Dovecot (Debian) ready." plus an APOP
// timestamp " <...>" when Options::apop is on; a bad log-in is answered
// "-ERR [AUTH] Authentication failed." at once; DELE takes effect at QUIT.
#ifndef REPLYVANE_TESTS_SUPPORT_DOVECOT_SERVER_H_
#define REPLYVANE_TESTS_SUPPORT_DOVECOT_SERVER_H_

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/server_process.h"
#include "tests/support/test_certificates.h"

namespace replyvane::testing {

class DovecotServer : public ServerProcess {
 public:
  struct Options {
    std::string user = "testuser";
    std::string password = "testpass";
    // Offer APOP, so the greeting carries a timestamp; off: no timestamp.
    bool apop = true;
    // Longest wait from the start to the first greeting.
    std::chrono::milliseconds start_timeout{10000};
    // With a certificate, TLS: STLS offered on Port() and TLS from the
    // first byte on TlsPort(); with `tls_required` (ssl = required) no
    // log-in before STLS on Port().
    std::optional<CertificateFiles> tls = std::nullopt;
    bool tls_required = true;
    // Listens on ::1 too (beside 127.0.0.1, where the start probe greets).
    bool ipv6 = false;
    // IMAP instead of POP3 (dovecot-imapd): "* OK" greets, Port() is
    // IMAP's, TlsPort() IMAPS'.
    bool imap = false;
    // Set: an oauth2 passdb asks this RFC 7662 introspection address
    // (https:, trusting `oauth2_ca_file`) about XOAUTH2 and OAUTHBEARER
    // tokens.
    std::string oauth2_introspection_url = "";
    std::string oauth2_ca_file = "";
  };

  // Creates the directory tree and an empty Maildir; the server is not
  // running yet. Throws std::system_error when the directory cannot be made.
  DovecotServer() : DovecotServer(Options()) {}
  explicit DovecotServer(Options options);

  // A server whose directory is made under /tmp whatever private $TMPDIR
  // the test program chose: Dovecot's own processes run as other users and
  // must reach it.
  static std::unique_ptr<DovecotServer> UnderTmp(Options options);

  // Empty when the server program is installed; else the reason to skip,
  // naming the packages that provide it.
  static std::string MissingReason();
  // The same for Dovecot's IMAP server (dovecot-imapd).
  static std::string MissingImapReason();

  // Inherited from ServerProcess: Start() (writes the configuration, starts
  // Dovecot on a free port, waits for the greeting; a failed assertion with
  // the log otherwise), Stop(), Running(), Port(), Greeting() (the start
  // probe's greeting; the APOP timestamp differs per connection), Dir().

  // The port of TLS from the first byte (0 without Options::tls).
  int TlsPort() const { return tls_port_; }
  const std::string& User() const { return options_.user; }
  const std::string& Password() const { return options_.password; }
  // Changes the mailbox password for the next log-in. On a running server
  // this waits (up to a second) until Dovecot will reread its passwd file.
  void SetPassword(std::string_view password);

  // Puts a message into the mailbox, byte for byte (CR LF or LF line ends;
  // Dovecot sends CR LF and dot-stuffs on the wire). Messages are numbered
  // in the order they were added. Works before and after Start; a running
  // server sees the message at the next log-in. Returns its file's path.
  std::string AddMessage(std::string_view bytes);
  // Messages in the mailbox now (those deleted by DELE + QUIT are gone).
  int MessageCount() const;
  // The mailbox directory (with new/, cur/, tmp/).
  std::string MaildirPath() const;

  // Dovecot's log and its standard output/error.
  std::string Log() const override;

 private:
  std::vector<std::string> Prepare() override;
  std::string Config() const;
  std::string TlsConfig() const;
  // The oauth2 passdb and its settings file; empty without one.
  std::string OAuth2PassDb() const;
  void WritePasswd();
  void GiveToMailUser(const std::string& path) const;

  Options options_;
  int added_ = 0;
  int tls_port_ = 0;
  bool root_ = false;
};

}  // namespace replyvane::testing

#endif  // REPLYVANE_TESTS_SUPPORT_DOVECOT_SERVER_H_
