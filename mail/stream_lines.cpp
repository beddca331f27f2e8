#include "mail/stream_lines.h"

#include <string_view>

#include "net/exceptions.h"

namespace replyvane::mail {

namespace {

constexpr size_t kBlockSize = 64 * 1024;

}  // namespace

bool StreamLines::ReadMore() {
  if (ended_) return false;
  // What was read is dropped once it is most of the buffer, so that the
  // buffer stays about one block however long the text.
  if (start_ > 0 && start_ >= buffer_.size() / 2) {
    buffer_.erase(0, start_);
    start_ = 0;
  }
  char block[kBlockSize];
  const size_t n = stream_.Read(block, sizeof(block));
  if (n == 0) {
    ended_ = true;
    if (!at_line_start_) buffer_ += "\r\n";
    buffer_ += ".\r\n";
    return true;
  }
  std::string_view data(block, n);
  while (!data.empty()) {
    if (at_line_start_ && data.front() == '.') buffer_ += '.';
    const size_t lf = data.find('\n');
    if (lf == std::string_view::npos) {
      buffer_.append(data);
      at_line_start_ = false;
      break;
    }
    buffer_.append(data.substr(0, lf + 1));
    data.remove_prefix(lf + 1);
    at_line_start_ = true;
  }
  return true;
}

size_t StreamLines::FindLineEnd() {
  for (;;) {
    const std::string_view unread = std::string_view(buffer_).substr(start_);
    const size_t lf = unread.find('\n', searched_);
    if (lf != std::string_view::npos) return lf;
    searched_ = unread.size();
    if (unread.size() > piece_length_) return std::string_view::npos;
    if (!ReadMore()) return std::string_view::npos;
  }
}

std::string StreamLines::Take(size_t count, size_t skip) {
  std::string text = buffer_.substr(start_, count);
  start_ += count + skip;
  searched_ = 0;
  return text;
}

std::string StreamLines::ReadPiece(bool& cut) {
  const size_t lf = FindLineEnd();
  const size_t unread = buffer_.size() - start_;
  // As a connection cuts: a line whose end lies past the piece length.
  cut = lf == std::string::npos ? unread > 0 : lf > piece_length_;
  if (cut) return Take(std::min(unread, piece_length_), 0);
  if (lf == std::string::npos) throw net::ConnClosedGracefully();
  std::string line = Take(lf, 1);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::string StreamLines::ReadWholeLine() {
  const size_t lf = FindLineEnd();
  if (lf == std::string::npos && start_ == buffer_.size()) {
    throw net::ConnClosedGracefully();
  }
  if (lf == std::string::npos || lf > piece_length_) {
    throw net::ReadLnMaxLineLengthExceeded();
  }
  std::string line = Take(lf, 1);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace replyvane::mail
