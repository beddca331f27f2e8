// Where the message reader takes a message's lines from: a connection (a
// POP3 reply), or text in a stream (a file, an IMAP literal), each giving
// the lines in the form a POP3 server sends them: dot-stuffed, up to a
// terminator line. Lines end at LF; a CR before the LF is not part of the
// line.
#ifndef REPLYVANE_MAIL_LINE_SOURCE_H_
#define REPLYVANE_MAIL_LINE_SOURCE_H_

#include <cstddef>
#include <string>

namespace replyvane::mail {

class LineSource {
 public:
  virtual ~LineSource() = default;

  // The longest piece of a line taken at once.
  virtual size_t PieceLength() const = 0;
  // The next piece of a line: the line when it is at most PieceLength()
  // bytes, else its next PieceLength() bytes with `cut` set (the line goes
  // on in the next piece). Raises net::ConnClosedGracefully when nothing
  // is left to read.
  virtual std::string ReadPiece(bool& cut) = 0;
  // The next line, whole: one over PieceLength() raises
  // net::ReadLnMaxLineLengthExceeded and stays unread, for ReadPiece to
  // take. A line cut off by the end of the data raises
  // net::ConnClosedGracefully.
  virtual std::string ReadWholeLine() = 0;
};

}  // namespace replyvane::mail

#endif  // REPLYVANE_MAIL_LINE_SOURCE_H_
