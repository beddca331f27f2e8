// Reading from a connection: filling the input buffer, lines with their
// length limit, "." line collection, counted bytes and reading to the close.
#include <algorithm>
#include <cstring>
#include <string_view>

#include "net/stack.h"
#include "net/tcp_connection.h"
#include "net/work_scope.h"

namespace replyvane::net {

int32_t TCPConnection::FillInputBuffer(bool raise_if_closed, int32_t timeout,
                                       bool raise_on_timeout) {
  if (timeout == -1) timeout = read_timeout_ == 0 ? -2 : read_timeout_;
  BusyScope busy(*this);
  // A reply is awaited: gathered writes go out first.
  if (!output_.empty()) FlushOutput();
  CheckForClose(raise_if_closed);
  if (!IsConnected()) {
    if (raise_if_closed) throw NotConnected();
    return 0;
  }
  int32_t n;
  do {
    if (!io_handler_->WaitUntilReadable(timeout)) {
      if (raise_on_timeout) RaiseReadTimeout(timeout);
      return -1;
    }
    // A window handler may have closed the connection during the wait.
    if (!io_handler_) throw ClosedSocket();
    const int32_t block_size = std::max(recv_buffer_size_, 1);
    // The block lands in place at the end of the input buffer.
    char* block = input_queue_.Reserve(block_size);
    n = io_handler_->ReceiveBytes(block, block_size);
    if (n > 0 && ascii_filter_) {
      for (int32_t i = 0; i < n; ++i) block[i] = char(block[i] & 0x7F);
    }
    input_queue_.Commit(n > 0 ? n : 0);
    peer_closed_ = n == 0;
    if (n != 0) {
      Stack& stack = *SharedStack();
      if (stack.CheckSocketResult(n, {kWsaEShutdown, kWsaEConnAborted})) {
        n = 0;
        CloseSocketOnly();
        // With data left the reader consumes it first.
        if (input_queue_.Empty()) {
          stack.ThrowSocketError(stack.LastSocketError());
        }
      }
    }
    CheckForClose(raise_if_closed);
  } while (n == 0 && IsConnected());
  return n;
}

void TCPConnection::RaiseReadTimeout(int32_t) {
  throw net::ReadTimeout();  // the class, not the setting
}

void TCPConnection::PollForClose(bool raise_if_closed) {
  FillInputBuffer(raise_if_closed, 1, false);
}

bool TCPConnection::LineTooLong(int32_t max_length, std::string* split_line) {
  if (max_line_action_ == maException) throw ReadLnMaxLineLengthExceeded();
  last_line_split_ = true;
  *split_line = input_queue_.Extract(max_length);
  return true;
}

std::string TCPConnection::ReadTextLine(const std::string& terminator,
                                        int32_t timeout, int32_t max_length) {
  if (max_length == -1) max_length = max_line_length_;
  const std::string_view term =
      terminator.empty() ? std::string_view("\n") : terminator;
  last_line_split_ = false;
  last_line_timed_out_ = false;
  // Bytes already searched are not searched again; only a terminator that
  // could straddle the old end is looked at twice.
  size_t searched = 0;
  size_t found = std::string_view::npos;
  std::string line;
  while (true) {
    if (!input_queue_.Empty()) {
      std::string_view view = input_queue_.View();
      size_t from = searched >= term.size() ? searched - (term.size() - 1) : 0;
      found =
          term.size() == 1 ? view.find(term[0], from) : view.find(term, from);
      searched = view.size();
    }
    if (max_length > 0 && found != std::string_view::npos &&
        found > size_t(max_length)) {
      LineTooLong(max_length, &line);
      return line;
    }
    if (found != std::string_view::npos) break;
    if (max_length > 0 && searched > size_t(max_length)) {
      LineTooLong(max_length, &line);
      return line;
    }
    CheckForClose(true, true);
    int32_t n = FillInputBuffer(true, timeout, timeout == -1);
    if (n <= 0) {
      last_line_timed_out_ = true;
      return line;
    }
  }
  line.assign(input_queue_.Memory(), found);
  input_queue_.Remove(int32_t(found + term.size()));
  if (term == "\n" && !line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

template <typename Sink>
int32_t TCPConnection::CollectInto(const Sink& sink,
                                   const std::string& delimiter,
                                   bool unstuff_dots) {
  int32_t count = 0;
  WorkScope work(*this, wmRead, 0);
  WholeReplyScope whole(*this);
  while (true) {
    std::string line = ReadTextLine();
    if (line == delimiter) break;
    if (unstuff_dots && line.size() >= 2 && line[0] == '.' && line[1] == '.') {
      line.erase(0, 1);
    }
    ++count;
    sink(line);
  }
  return count;
}

int32_t TCPConnection::CollectLines(std::vector<std::string>* lines,
                                    const std::string& delimiter,
                                    bool unstuff_dots) {
  return CollectInto(
      [lines](std::string& line) {
        if (lines) lines->push_back(std::move(line));
      },
      delimiter, unstuff_dots);
}

int32_t TCPConnection::CollectLines(core::Stream* stream,
                                    const std::string& delimiter,
                                    bool unstuff_dots) {
  return CollectInto(
      [stream](std::string& line) {
        if (!stream) return;
        line += "\r\n";
        stream->WriteBuffer(line.data(), line.size());
      },
      delimiter, unstuff_dots);
}

int32_t TCPConnection::CollectLines(std::nullptr_t,
                                    const std::string& delimiter,
                                    bool unstuff_dots) {
  return CollectInto([](std::string&) {}, delimiter, unstuff_dots);
}

void TCPConnection::ReadBytes(void* buffer, int32_t count) {
  if (count <= 0 || buffer == nullptr) return;
  while (input_queue_.Size() < count) {
    FillInputBuffer(true, -1, true);
    CheckForClose(true, true);
  }
  std::memcpy(buffer, input_queue_.Memory(), size_t(count));
  input_queue_.Remove(count);
}

std::string TCPConnection::TakeAvailableData() {
  if (IsConnected()) FillInputBuffer(false, -1, true);
  return input_queue_.Extract(input_queue_.Size());
}

std::string TCPConnection::ReadUntilClosed() {
  WorkScope work(*this, wmRead, 0);
  std::string result;
  do {
    result += TakeAvailableData();
  } while (IsConnected());
  return result;
}

}  // namespace replyvane::net
