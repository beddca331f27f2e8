#include "responder/server_failure.h"

#include "core/text.h"
#include "mail/message_client.h"
#include "net/exceptions.h"
#include "net/stack.h"
#include "net/tls_session.h"

namespace replyvane::responder {

namespace {

// The server's reply as one line.
std::string OneLine(const std::string& text) {
  std::string line = core::Trim(core::BlankLineBreaks(text));
  while (line.find("  ") != std::string::npos) {
    line.replace(line.find("  "), 2, " ");
  }
  return line;
}

std::string WhatHappened(const mail::MessageClient& client,
                         const std::exception& failure) {
  int32_t code = -1;
  if (const auto* socket = dynamic_cast<const net::SocketError*>(&failure)) {
    code = socket->SocketErrorCode();
  } else if (const auto* connect =
                 dynamic_cast<const net::ConnectException*>(&failure)) {
    code = connect->SocketErrorCode();
  }
  if (code >= 0) {
    switch (code) {
      case 10061:
        return "the connection was refused: no server listens on that port";
      case net::kWsaEHostNotFound:
        return "no host of that name was found";
      case 10060:
        return "no answer to the connect";
      case 10051:
      case 10065:
        return "the host cannot be reached from here";
      case 10054:
      case 10053:
        return "the server closed the connection";
      default:
        break;
    }
    return OneLine(failure.what());
  }
  if (dynamic_cast<const net::ConnectTimeout*>(&failure) != nullptr) {
    return "no answer to the connect";
  }
  if (dynamic_cast<const net::TLSError*>(&failure) != nullptr) {
    // The certificate's judgement and fingerprint follow on lines of their
    // own.
    return std::string("the encrypted connection could not be set up\r\n") +
           failure.what();
  }
  if (const auto* reply =
          dynamic_cast<const net::ProtocolReplyError*>(&failure)) {
    std::string awaited = client.Awaited();
    if (awaited.rfind("the reply to ", 0) == 0) awaited.erase(0, 13);
    const bool log_in = awaited == "USER" || awaited == "PASS" ||
                        awaited == "APOP" || awaited == "AUTH" ||
                        awaited == "a log-in step";
    const std::string text = OneLine(reply->Message());
    return (log_in ? std::string("log-in refused: ")
                   : "refused " + awaited + ": ") +
           (text.empty() ? std::to_string(reply->ReplyCode()) : text);
  }
  if (dynamic_cast<const net::ConnClosedGracefully*>(&failure) != nullptr ||
      dynamic_cast<const net::ClosedSocket*>(&failure) != nullptr) {
    return "the server closed the connection while " +
           (client.Awaited().empty() ? std::string("a reply")
                                     : client.Awaited()) +
           " was awaited";
  }
  return OneLine(failure.what());
}

}  // namespace

std::string CauseLine(const mail::MessageClient& client,
                      const std::exception& failure) {
  // These name the server and what was awaited already.
  if (dynamic_cast<const net::ReadTimeout*>(&failure) != nullptr ||
      dynamic_cast<const net::WriteTimeout*>(&failure) != nullptr) {
    return failure.what();
  }
  return core::Format("%s server %s port %d: %s", client.ProtocolName(),
                      client.Host().c_str(), client.Port(),
                      WhatHappened(client, failure).c_str());
}

std::string NoServerText(const char* protocol, const std::string& host) {
  if (!core::Trim(host).empty()) return "";
  return core::Format(
      "No %s server is set: open Settings \xE2\x80\xBA POP3/SMTP Settings",
      protocol);
}

}  // namespace replyvane::responder
