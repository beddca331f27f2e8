// Failures that say what, where and why: a failure of a mail server's
// connection keeps its own text and gains one line naming the server (POP3
// or SMTP, host and port) and what happened, in words a user can act on:
// the connection refused, no such host, no answer within the time, the
// log-in refused with the server's reply, the encryption refused.
#ifndef REPLYVANE_RESPONDER_SERVER_FAILURE_H_
#define REPLYVANE_RESPONDER_SERVER_FAILURE_H_

#include <exception>
#include <string>

#include "core/exception.h"

namespace replyvane::mail {
class MessageClient;
}  // namespace replyvane::mail

namespace replyvane::responder {

// A failure of a server, with the line that names it.
class ServerFailure : public core::Exception {
 public:
  using core::Exception::Exception;
};

// "POP3 server mail.example.com port 995: the connection was refused" for
// `failure`, raised by `client` (whose host, port, protocol and awaited
// reply it names). A timeout's own text, which names all that already, is
// the line itself; an encryption failure's text follows on lines of its
// own.
std::string CauseLine(const mail::MessageClient& client,
                      const std::exception& failure);

// The text of a connection's settings that names no server: "No POP3
// server is set: open Settings › POP3/SMTP Settings"; empty when `host`
// names one.
std::string NoServerText(const char* protocol, const std::string& host);

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_SERVER_FAILURE_H_
