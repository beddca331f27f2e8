// The IMAP client (IMAP4rev1 and IMAP4rev2): tagged commands with their
// untagged data, literals both ways (non-synchronizing ones where the
// server has LITERAL+ or LITERAL-), folder names in modified UTF-7,
// CAPABILITY, STARTTLS, LOGIN or
// AUTHENTICATE PLAIN (when LOGINDISABLED), SELECT/EXAMINE, UID SEARCH,
// UID FETCH of a header or a whole message read without setting \Seen
// (BODY.PEEK) and streamed through the message reader, UID STORE, UID MOVE
// (else COPY and delete), UID EXPUNGE (UIDPLUS, else EXPUNGE), LOGOUT.
//
// Failures raise: a tagged NO or BAD net::ProtocolReplyError ("NO
// [code] text"), a BYE or a drop the connection's failure, an unreadable
// response core::Exception, the reception limits
// net::ReceptionLimitExceeded (and the connection is dropped, since the
// dialogue is out of step).
#ifndef REPLYVANE_MAIL_IMAP_H_
#define REPLYVANE_MAIL_IMAP_H_

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "mail/imap_response.h"
#include "mail/message_client.h"
#include "message/message.h"

namespace replyvane::mail {

class SaslMechanism;

class IMAP : public MessageClient {
 public:
  const char* ProtocolName() const override { return "IMAP"; }
  // The reply codes a refused command raises with.
  static constexpr int32_t kNO = 2;
  static constexpr int32_t kBAD = 3;

  IMAP();

  // Responses one command may bring before its tagged one, and UIDs one
  // search may find: beyond them the command fails with
  // net::ReceptionLimitExceeded.
  static constexpr size_t kMaxResponsesPerCommand = 100000;
  static constexpr size_t kMaxSearchResults = 4000000;

  void SetUsername(const std::string& value) { username_ = value; }
  void SetPassword(const std::string& value) { password_ = value; }
  // An OAuth 2.0 access token; set, the log-in is by it (SASL OAUTHBEARER
  // where the server offers it, else XOAUTH2) and not by the password.
  void SetAccessToken(const std::string& value) { access_token_ = value; }

  // Connects, reads the greeting, with TLSMode kStartTLS says STARTTLS and
  // starts TLS, learns the capabilities and logs in. On any failure after
  // the socket opened, LOGOUT is written (if still possible), the
  // connection is closed and the failure raised again.
  void ConnectToHost(int32_t timeout = -1) override;
  // Writes LOGOUT when connected (its reply is not read) and closes.
  void CloseConnection() override;
  // LOGOUT with its reply read, then the close.
  void Logout();

  // As the server last announced them, upper case.
  const std::vector<std::string>& Capabilities() const { return capabilities_; }
  bool HasCapability(std::string_view name) const;

  struct FolderState {
    uint32_t uid_validity = 0;
    uint32_t uid_next = 0;
    uint32_t exists = 0;
  };
  // SELECT (or, `read_only`, EXAMINE) `folder`.
  FolderState Select(const std::string& folder, bool read_only = false);
  // UID SEARCH with `criteria` (IMAP search keys made by the caller from
  // its own words and numbers): the UIDs found, ascending.
  std::vector<uint32_t> UidSearch(const std::string& criteria);
  // UID FETCH of the header block of `uid` into `msg` (reset by the
  // caller); returns its RFC822.SIZE, -1 when the server gives none. False
  // when the server sends no such message.
  bool FetchHeader(uint32_t uid, message::Message& msg, int64_t& size);
  // UID FETCH of the whole message into `msg`; false when there is none.
  bool FetchMessage(uint32_t uid, message::Message& msg);
  // UID STORE +FLAGS.SILENT (`flags`), e.g. "\\Seen", on `uid` or on
  // every one of `uids` (in as few commands as the line length allows).
  void AddFlags(uint32_t uid, const std::string& flags);
  void AddFlags(const std::vector<uint32_t>& uids, const std::string& flags);
  // UID MOVE to `folder`, or UID COPY and Delete where MOVE is not offered.
  void Move(uint32_t uid, const std::string& folder);
  // CREATE `folder`.
  void Create(const std::string& folder);
  // \Deleted, then Expunge of `uid`.
  void Delete(uint32_t uid);
  // UID EXPUNGE of `uids` (UIDPLUS), else EXPUNGE: the messages marked
  // \Deleted go.
  void Expunge(const std::vector<uint32_t>& uids);
  void Noop();
  // IDLE (RFC 2177) in the selected folder until the server tells of a
  // new message (EXISTS above the count known), `limit` has passed, or
  // `stop` says so (asked every quarter second); then DONE and its tagged
  // reply. True when a new message was told of.
  bool Idle(std::chrono::milliseconds limit, const std::function<bool()>& stop);

  // One command and its responses up to the tagged one, which it returns;
  // `parts` are joined by blanks, each sent as Arg says. A NO or BAD
  // raises. Untagged responses go to HandleUntagged.
  struct Arg {
    std::string text;
    bool string = false;  // an astring: atom, quoted or literal as needed
  };
  ImapResponse Command(const std::vector<Arg>& parts,
                       const ImapLiteralSink& sink = nullptr);

 private:
  std::string NextTag();
  // A folder name (UTF-8) as this server takes it (imap_mailbox_name.h).
  std::string WireName(const std::string& folder) const;
  void HandleUntagged(const ImapResponse& response);
  void LearnCapabilities(const std::string& text);
  void StartEncryption();
  void LogIn();
  void RunSasl(SaslMechanism& mechanism);
  // Writes `text` as one command line (checked for line breaks).
  void WriteCommandLine(const std::string& text);
  // Reads responses until a continuation request; untagged ones are
  // handled, a tagged one raises.
  void AwaitContinuation(const std::string& tag);
  [[noreturn]] void RaiseRefused(const ImapResponse& response);
  // Reads responses up to the tagged one for `tag`, which it returns;
  // untagged ones are handled, a continuation request goes to
  // `on_continuation` (none: the dialogue is out of step).
  ImapResponse ReadUntilTagged(
      const std::string& tag, const ImapLiteralSink& sink,
      const std::function<void(const ImapResponse&)>& on_continuation);
  // Raises for a tagged response that is not OK; learns the capabilities
  // its code names (true when it names them).
  bool Accept(const ImapResponse& done);
  // FETCH of `item` for `uid` streamed into `msg`.
  bool FetchInto(uint32_t uid, const std::string& item, message::Message& msg,
                 int64_t* size);

  std::string username_;
  std::string password_;
  std::string access_token_;
  std::vector<std::string> capabilities_;
  uint32_t capabilities_learned_ = 0;  // times announced
  FolderState folder_;
  std::vector<uint32_t> search_results_;
  uint32_t next_tag_ = 0;
  bool said_bye_ = false;       // the server ended the session
  bool new_mail_told_ = false;  // an EXISTS above the count known
  std::function<void(const ImapResponse&)> on_fetch_;
};

}  // namespace replyvane::mail

#endif  // REPLYVANE_MAIL_IMAP_H_
