// A message's lines as a connection receives them (a POP3 reply to RETR or
// TOP), read with the connection's own line reader and line limit.
#ifndef REPLYVANE_MAIL_CONNECTION_LINES_H_
#define REPLYVANE_MAIL_CONNECTION_LINES_H_

#include "mail/line_source.h"
#include "net/tcp_connection.h"

namespace replyvane::mail {

class ConnectionLines final : public LineSource {
 public:
  // `connection` must outlive this.
  explicit ConnectionLines(net::TCPConnection& connection)
      : connection_(connection) {}

  size_t PieceLength() const override;
  std::string ReadPiece(bool& cut) override;
  std::string ReadWholeLine() override;

 private:
  net::TCPConnection& connection_;
};

}  // namespace replyvane::mail

#endif  // REPLYVANE_MAIL_CONNECTION_LINES_H_
