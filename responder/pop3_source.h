// The POP3 mailbox: log-in with the settings' server, user and password,
// STAT and one UIDL for the listing, TOP n 0 and LIST n for a header, RETR
// for the whole message, DELE to dispose of it, QUIT (whose reply confirms
// the deletions) to end, RSET and QUIT to end without them.
#ifndef REPLYVANE_RESPONDER_POP3_SOURCE_H_
#define REPLYVANE_RESPONDER_POP3_SOURCE_H_

#include <memory>
#include <string>
#include <vector>

#include "core/exception.h"
#include "responder/mailbox_source.h"

namespace replyvane::mail {
class POP3;
}  // namespace replyvane::mail

namespace replyvane::responder {

// The POP3 server did not confirm at QUIT the deletions of a session.
class DeletionsUnconfirmed : public core::Exception {
 public:
  using core::Exception::Exception;
};

class Pop3Source final : public MailboxSource {
 public:
  Pop3Source();
  ~Pop3Source() override;

  // A failure to connect says "Could not connect with "HOST", check you
  // are on the internet and your settings, username and password are
  // correct", an empty line and the cause (server_failure.h); no server
  // set says so.
  std::string Scope(const Settings& settings) const override;
  std::string Open(const Settings& settings) override;
  bool IsOpen() override;
  // STAT, then (with messages) one UIDL for the whole mailbox; a server
  // that refuses UIDL lists its messages without ids.
  std::vector<MessageRef> List(size_t budget, size_t& used) override;
  int32_t FetchHeader(const MessageRef& ref, message::Message& msg) override;
  // A refused RETR raises net::ProtocolReplyError "Could not retrieve
  // message N to forward it: <reply>".
  void Fetch(const MessageRef& ref, message::Message& msg) override;
  std::string Dispose(const MessageRef& ref) override;
  // QUIT and its reply; without its "+OK" after deletions it raises
  // DeletionsUnconfirmed ("The POP3 server HOST did not confirm the
  // deletions at QUIT: …").
  void Finish() override;
  bool Abandon() override;

 private:
  std::unique_ptr<mail::POP3> pop_;
  int deleted_ = 0;  // in this session
};

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_POP3_SOURCE_H_
