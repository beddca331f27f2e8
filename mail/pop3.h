// The POP3 client: log-in by USER/PASS or APOP and the maildrop commands
// the responder needs (STAT, LIST, TOP, RETR, DELE, RSET, QUIT). Replies are
// one status line each, read here; their "+OK"/"-ERR" status words are
// mapped onto the codes 1 and 2 so the command/reply engine of the
// connection can check them. Failures raise:
// a refused command net::ProtocolReplyError (code 2), an unreadable status
// word core::Exception, connection faults as the connection raises them.
#ifndef REPLYVANE_MAIL_POP3_H_
#define REPLYVANE_MAIL_POP3_H_

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/reception_limits.h"
#include "mail/message_client.h"
#include "message/message.h"

namespace replyvane::mail {

class SaslMechanism;

class POP3 : public MessageClient {
 public:
  const char* ProtocolName() const override { return "POP3"; }
  // Reply codes after the status word is mapped.
  static constexpr int16_t kOK = 1;
  static constexpr int16_t kERR = 2;

  POP3();

  const std::string& Username() const { return username_; }
  void SetUsername(const std::string& value) { username_ = value; }
  const std::string& Password() const { return password_; }
  void SetPassword(const std::string& value) { password_ = value; }
  // An OAuth 2.0 access token; set, the log-in is by it (SASL OAUTHBEARER
  // where the server offers it, else XOAUTH2) and not by the password.
  void SetAccessToken(const std::string& value) { access_token_ = value; }
  bool APOP() const { return apop_; }
  void SetAPOP(bool value) { apop_ = value; }

  // Connects, reads the greeting, with TLSMode kStartTLS says STLS and
  // starts TLS (RFC 2595), and logs in. On any failure after the
  // socket opened, QUIT is written (if still possible), the connection is
  // closed and the failure raised again.
  void ConnectToHost(int32_t timeout = -1) override;
  // Writes QUIT when connected (its reply is not read) and closes. Does
  // nothing but the base close when not connected.
  void CloseConnection() override;
  // QUIT with its reply read, then the close: "+OK" is the server's word
  // that the deletions are made (RFC 1939's UPDATE state). "-ERR" raises
  // net::ProtocolReplyError, a drop or a silence the connection's failure;
  // the connection is closed in every case. Not connected: only the close.
  void Quit();
  // Reads one reply line and maps "+OK" to 1 and "-ERR" to 2 (any case);
  // any other status word raises core::Exception. Then checks the code.
  int16_t ReadReply(const std::vector<int16_t>& allowed) override;

  // STAT: the count of messages; 0 for a bare "+OK". A count that is not a
  // number raises core::ConvertError.
  int GetMessageCount();
  // LIST: the sum of all message sizes; -1 on any failure (never raises),
  // also for a listing over core::kMaxReplyLines lines. A listing that was
  // not read to its end closes the connection.
  int GetMailboxSize();
  // LIST n: the size of message n; -1 when the reply carries none.
  int GetMessageSize(int number);
  // TOP n 0: reads the header block of message n into `msg`; true.
  // Whatever the message holds, the read ends after its "." line; only the
  // connection's failures and the reception limits raise.
  bool FetchHeader(int number, message::Message& msg);
  // RETR n: reads message n into `msg`; false (and `msg` untouched) when
  // the server answers "-ERR". Content that cannot be decoded is kept as
  // raw text (MessageClient::ReadBody); only the connection's failures and
  // the reception limits raise.
  bool FetchMessage(int number, message::Message& msg);
  // UIDL: the unique id of every message by message number; nullopt when
  // the server refuses UIDL ("-ERR"). An id that is no valid unique id
  // (1 to 70 characters 0x21..0x7E) is left out. A listing over
  // `max_lines` lines and the connection's failures raise, and close the
  // connection (its listing was not read to its end).
  std::optional<std::map<int, std::string>> GetUniqueIds(
      size_t max_lines = core::kMaxReplyLines);
  // UIDL n: the unique id of message n; empty when the server refuses or
  // the id is not valid.
  std::string GetUniqueId(int number);
  // DELE n / RSET: true (a refusal raises).
  bool DeleteMessage(int number);
  bool ResetMailbox();

  // Every command passes the command-line guard (UnsafeCommandError)
  // before it is written.
  using MessageClient::SendCommand;
  int16_t SendCommand(const std::string& command,
                      const std::vector<int16_t>& allowed) override;

 private:
  // STLS, then the TLS handshake; a refusal or a failed handshake raises
  // net::TLSError (nothing is ever sent in the clear after that).
  void StartEncryption();
  void LogIn(const std::string& greeting);
  // AUTH (RFC 5034) with the token mechanism the CAPA's SASL line allows.
  void LogInWithToken();
  void RunSasl(SaslMechanism& mechanism);
  // The "+OK"/"-ERR" of LastReply as the codes 1 and 2, checked.
  int16_t CheckStatus(const std::vector<int16_t>& allowed);
  // The status line of a reply into LastReply (POP3's grammar: one line).
  void ReadStatusLine();

  std::string username_;
  std::string password_;
  std::string access_token_;
  bool apop_ = false;
};

}  // namespace replyvane::mail

#endif  // REPLYVANE_MAIL_POP3_H_
