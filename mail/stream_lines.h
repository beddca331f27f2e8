// A message's lines from text in a stream (a file, a message in memory, an
// IMAP literal of exact length), in the form a POP3 server sends them: a
// line that begins with "." gets a second one, and the end of the text
// becomes the terminator line ".", so that the one reader reads every kind
// of source the same way and no line of the text can end it early. A last
// line without its line end is ended.
#ifndef REPLYVANE_MAIL_STREAM_LINES_H_
#define REPLYVANE_MAIL_STREAM_LINES_H_

#include <string>

#include "core/reception_limits.h"
#include "core/stream.h"
#include "mail/line_source.h"

namespace replyvane::mail {

class StreamLines final : public LineSource {
 public:
  // Reads `stream` from its position; it must outlive this. Stream errors
  // propagate.
  explicit StreamLines(core::Stream& stream,
                       size_t piece_length = core::kDefaultMaxLineLength)
      : stream_(stream), piece_length_(piece_length) {}

  size_t PieceLength() const override { return piece_length_; }
  std::string ReadPiece(bool& cut) override;
  std::string ReadWholeLine() override;

 private:
  // Offset of the next LF in the unread text, reading more as needed
  // until one is found or more than PieceLength() bytes wait without one;
  // npos then, or when everything has been read.
  size_t FindLineEnd();
  // Appends the next block of the stream in the sent form; false at the
  // end of the terminator.
  bool ReadMore();
  // Takes `count` unread bytes and the `skip` bytes after them.
  std::string Take(size_t count, size_t skip);

  core::Stream& stream_;
  size_t piece_length_;
  std::string buffer_;  // the sent form; unread from start_
  size_t start_ = 0;
  size_t searched_ = 0;  // unread bytes known to hold no LF
  bool at_line_start_ = true;
  bool ended_ = false;
};

}  // namespace replyvane::mail

#endif  // REPLYVANE_MAIL_STREAM_LINES_H_
