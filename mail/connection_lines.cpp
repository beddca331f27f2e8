#include "mail/connection_lines.h"

#include "core/reception_limits.h"
#include "net/exceptions.h"

namespace replyvane::mail {

namespace {

// Sets the connection's action for over-long lines for one read.
class LineActionScope {
 public:
  LineActionScope(net::TCPConnection& connection, net::MaxLineAction action)
      : connection_(connection), saved_(connection.MaxLineAction()) {
    connection_.SetMaxLineAction(action);
  }
  ~LineActionScope() { connection_.SetMaxLineAction(saved_); }
  LineActionScope(const LineActionScope&) = delete;
  LineActionScope& operator=(const LineActionScope&) = delete;

 private:
  net::TCPConnection& connection_;
  net::MaxLineAction saved_;
};

}  // namespace

size_t ConnectionLines::PieceLength() const {
  // The connection's line limit, or the default when it sets none, so no
  // line grows unbounded.
  return connection_.MaxLineLength() > 0 ? size_t(connection_.MaxLineLength())
                                         : size_t(core::kDefaultMaxLineLength);
}

std::string ConnectionLines::ReadPiece(bool& cut) {
  LineActionScope split(connection_, net::maSplit);
  std::string piece =
      connection_.ReadTextLine("\n", -1, int32_t(PieceLength()));
  // An unterminated last line means the peer closed inside the message;
  // it must not pass for the empty line that ends a header block.
  if (piece.empty() && connection_.LastLineTimedOut()) {
    throw net::ConnClosedGracefully();
  }
  cut = connection_.LastLineSplit();
  return piece;
}

std::string ConnectionLines::ReadWholeLine() {
  LineActionScope whole(connection_, net::maException);
  std::string line = connection_.ReadTextLine("\n", -1, int32_t(PieceLength()));
  if (connection_.LastLineTimedOut()) throw net::ConnClosedGracefully();
  return line;
}

}  // namespace replyvane::mail
