// A blocking TCP connection: an I/O handler, the input buffer with line
// reading, unbuffered writes, and the command/reply exchange that the mail
// protocols build on. All operations block the calling thread; on the main
// thread the anti-freeze processes window messages between wait slices and
// after every send, so a window handler may run in the middle of a call.
//
// Timeouts are in ms: -1 uses ReadTimeout, -2 waits without limit, and a
// ReadTimeout of 0 also means without limit. A close by the peer shows only
// when a read or write needs more data: buffered bytes stay readable, then
// reads raise ConnClosedGracefully.
#ifndef REPLYVANE_NET_TCP_CONNECTION_H_
#define REPLYVANE_NET_TCP_CONNECTION_H_

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "core/stream.h"
#include "net/buffer.h"
#include "net/component.h"
#include "net/exceptions.h"
#include "net/io_handler.h"
#include "net/rfc_reply.h"

namespace replyvane::net {

enum MaxLineAction { maException, maSplit };

class TCPConnection : public Component {
 public:
  TCPConnection();
  // Closes the socket without status reports and frees an owned handler.
  ~TCPConnection() override;

  // --- The connection and its state ---

  net::IOHandler* IOHandler() const { return io_handler_; }
  // Installs a handler owned by the caller (it must outlive its use here).
  void SetIOHandler(net::IOHandler* handler);
  bool OwnsIOHandler() const { return owns_io_handler_; }
  // Set when a receive returned 0 bytes or the connection closed its socket.
  bool PeerClosed() const { return peer_closed_; }

  std::function<void(Component* sender)> OnDisconnected;

  // True when a handler with an open socket exists; first notices a close by
  // the peer (closing the socket, reporting hsDisconnected once).
  virtual bool IsConnected();
  // Reports hsDisconnecting, closes the socket, frees an owned handler,
  // calls OnDisconnected and reports hsDisconnected. Never raises for a
  // connection that was never opened.
  virtual void CloseConnection();
  // Sets PeerClosed and closes the socket, without status reports.
  virtual void CloseSocketOnly();
  // The local host's name (for greetings).
  std::string LocalHostName();

  // --- Settings of the data operations ---

  int32_t ReadTimeout() const { return read_timeout_; }
  void SetReadTimeout(int32_t value) { read_timeout_ = value; }
  int32_t RecvBufferSize() const { return recv_buffer_size_; }
  void SetRecvBufferSize(int32_t value) { recv_buffer_size_ = value; }
  int32_t SendBufferSize() const { return send_buffer_size_; }
  void SetSendBufferSize(int32_t value) { send_buffer_size_ = value; }
  // Default line limit of ReadTextLine (16384); 0 means no limit.
  int32_t MaxLineLength() const { return max_line_length_; }
  void SetMaxLineLength(int32_t value) { max_line_length_ = value; }
  net::MaxLineAction MaxLineAction() const { return max_line_action_; }
  void SetMaxLineAction(net::MaxLineAction value) { max_line_action_ = value; }
  // Clears the top bit of every received byte.
  bool ASCIIFilter() const { return ascii_filter_; }
  void SetASCIIFilter(bool value) { ascii_filter_ = value; }
  // The last ReadTextLine returned a piece of an over-long line.
  bool LastLineSplit() const { return last_line_split_; }
  // The last ReadTextLine returned "" because nothing more could be read.
  bool LastLineTimedOut() const { return last_line_timed_out_; }
  // Received bytes not yet consumed; emptied at connect, kept at close.
  ManagedBuffer& InputQueue() { return input_queue_; }

  // --- Reading ---

  // Empties the input buffer and clears PeerClosed.
  virtual void ClearInputState();
  // Notices a close (see IsConnected); raises ConnClosedGracefully when
  // closed, `raise_if_closed` is set and the input buffer is empty (or
  // `ignore_buffer` is set).
  virtual void CheckForClose(bool raise_if_closed, bool ignore_buffer = false);
  // One receive into the input buffer after waiting up to `timeout`. Returns
  // the bytes added, 0 when the peer closed (with data still buffered), or
  // -1 when the wait ran out without `raise_on_timeout` (else ReadTimeout).
  // Raises NotConnected when not connected and `raise_if_closed`.
  virtual int32_t FillInputBuffer(bool raise_if_closed = true,
                                  int32_t timeout = -1,
                                  bool raise_on_timeout = true);
  // FillInputBuffer with a 1 ms wait and no timeout error.
  virtual void PollForClose(bool raise_if_closed);
  // The next line without its terminator (a CR before an LF terminator is
  // dropped too). `max_length` -1 uses MaxLineLength, 0 is no limit; an
  // over-long line raises ReadLnMaxLineLengthExceeded (buffer unchanged) or,
  // with maSplit, returns the first `max_length` bytes with LastLineSplit.
  // Returns "" with LastLineTimedOut when the peer closed before the
  // terminator arrived, or when an explicit timeout ran out.
  virtual std::string ReadTextLine(const std::string& terminator = "\n",
                                   int32_t timeout = -1,
                                   int32_t max_length = -1);
  // Reads lines up to a line equal to `delimiter` (not stored); with
  // `unstuff_dots` a leading ".." loses one dot. Lines go into `lines`, or
  // each followed by CR LF into `stream`, or nowhere. Returns the count.
  int32_t CollectLines(std::vector<std::string>* lines,
                       const std::string& delimiter = ".",
                       bool unstuff_dots = true);
  int32_t CollectLines(core::Stream* stream, const std::string& delimiter = ".",
                       bool unstuff_dots = true);
  int32_t CollectLines(std::nullptr_t, const std::string& delimiter = ".",
                       bool unstuff_dots = true);
  // Exactly `count` bytes (waiting as needed); nothing for count <= 0.
  void ReadBytes(void* buffer, int32_t count);
  // One fill (when connected), then everything buffered.
  std::string TakeAvailableData();
  // Everything until the peer closes.
  virtual std::string ReadUntilClosed();

  // --- Writing (the bytes are sent before each call returns, except while
  // writes are gathered, see GatheredWrites) ---

  // Raises NotConnected when not connected, ClosedSocket/SocketError when
  // the send fails.
  void WriteBytes(const void* buffer, int32_t count);
  virtual void WriteText(const std::string& text);
  // The text and CR LF in one write.
  virtual void WriteTextLine(const std::string& text = "");
  // With `write_count`, first the number of lines as WriteInt32.
  void WriteTextLines(const std::vector<std::string>& lines,
                      bool write_count = false);
  // 4 bytes, in network order when `convert`.
  void WriteInt32(int32_t value, bool convert = true);
  // `size` bytes from the position (0 = to the end), in SendBufferSize
  // chunks; a stream that runs dry raises NoDataToRead.
  virtual void WriteFromStream(core::Stream& stream, bool from_start = true,
                               bool write_count = false, int64_t size = 0);
  // The whole file; FileNotFound when it does not exist. Returns its size.
  virtual int64_t WriteFileContents(const std::string& file_name,
                                    bool transmit = false);

  // --- Gathered writes ---

  static constexpr int32_t kOutputBufferSize = 65536;

  // While one is open, writes collect in an output buffer of
  // kOutputBufferSize bytes and leave in few large sends: when the next
  // write would not fit (a write that fits is never split, so a command
  // goes out whole), before any read (a reply is awaited), and at End of
  // the outermost scope. A write of the buffer's size or more goes straight
  // out after the buffer. A deferred send that fails raises, at that flush
  // point, what the immediate send would have raised. Unsent bytes are
  // dropped when the socket closes and when the outermost scope ends
  // without End (an exception leaves): a message cut short is not sent in
  // part later. Scopes nest; only the outermost one sends at End.
  class GatheredWrites {
   public:
    explicit GatheredWrites(TCPConnection& connection);
    ~GatheredWrites();
    GatheredWrites(const GatheredWrites&) = delete;
    GatheredWrites& operator=(const GatheredWrites&) = delete;
    // Sends what is gathered when this is the outermost scope.
    void End();

   private:
    TCPConnection& connection_;
    bool ended_ = false;
  };
  // Sends what the output buffer holds; nothing when it is empty.
  void FlushOutput();
  // Bytes gathered and not yet sent.
  int32_t PendingOutput() const { return int32_t(output_.size()); }

  // --- Command and reply ---

  // The reply of the last exchange, also when it was rejected.
  RFCReply& LastReply() { return last_reply_; }
  RFCReply& GreetingReply() { return greeting_reply_; }
  // Writes `command` and CR LF, then ReadReply(allowed). An empty list
  // accepts any code.
  virtual int16_t SendCommand(const std::string& command,
                              const std::vector<int16_t>& allowed);
  // The single form: -1 accepts any code.
  int16_t SendCommand(const std::string& command, int16_t allowed);
  // So that SendCommand(c, {}) means "any code" and SendCommand(c, {250})
  // a list of one.
  int16_t SendCommand(const std::string& command,
                      std::initializer_list<int16_t> allowed) {
    return SendCommand(command, std::vector<int16_t>(allowed));
  }
  // ReadReplyLines, then CheckReplyCode(LastReply code in 16 bits).
  // Protocols with status words override this.
  virtual int16_t ReadReply(const std::vector<int16_t>& allowed);
  // Reads one reply (blank lines skipped) into LastReply, unchecked.
  void ReadReplyLines();
  // `code` when `allowed` is empty or holds it; else RaiseReplyError.
  virtual int16_t CheckReplyCode(int16_t code,
                                 const std::vector<int16_t>& allowed);
  // Raises ProtocolReplyError for LastReply.
  virtual void RaiseReplyError();
  // Raises `E` with the message of LastReply (its text lines, each followed
  // by CR LF).
  template <typename E>
  [[noreturn]] void RaiseReplyErrorAs() {
    throw E(LastReplyMessage());
  }
  // What the connection waits for, for failure texts: "the greeting", "the
  // reply to STAT"; never a command's arguments.
  const std::string& Awaited() const { return awaited_; }
  void SetAwaited(std::string value) { awaited_ = std::move(value); }
  // The next line trimmed of control bytes and blanks, skipping empty ones
  // (at most `attempts` reads; "" when all were empty).
  std::string ReadNonEmptyLine(int32_t attempts = 2147483647);

 protected:
  // Marks an operation in progress. A window handler run by the anti-freeze
  // may close the connection in the middle of it; the handler it frees then
  // stays alive until the outermost operation has ended.
  class BusyScope {
   public:
    explicit BusyScope(TCPConnection& connection) : connection_(connection) {
      ++connection_.busy_;
    }
    ~BusyScope() {
      if (--connection_.busy_ == 0) connection_.retired_handlers_.clear();
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

   private:
    TCPConnection& connection_;
  };

  // Marks the reading of one reply or listing. A failure that leaves the
  // scope (a limit, a timeout, a reply that cannot be read) leaves the rest
  // of it unread: the connection is no longer in step with the server, so
  // the socket is closed and the unread input dropped, and every later
  // command fails instead of reading stale lines.
  class WholeReplyScope {
   public:
    explicit WholeReplyScope(TCPConnection& connection)
        : connection_(connection), failures_(std::uncaught_exceptions()) {}
    ~WholeReplyScope() {
      if (std::uncaught_exceptions() > failures_) connection_.DropOutOfStep();
    }
    WholeReplyScope(const WholeReplyScope&) = delete;
    WholeReplyScope& operator=(const WholeReplyScope&) = delete;

   private:
    TCPConnection& connection_;
    int failures_;
  };
  // Raises ReadTimeout when a wait of `timeout` ms for received data ran
  // out; clients override it to say who did not answer and what was
  // awaited.
  [[noreturn]] virtual void RaiseReadTimeout(int32_t timeout);
  // Raises the socket error 10035 when a send ran out of its send timeout;
  // clients override it as RaiseReadTimeout.
  [[noreturn]] virtual void RaiseWriteTimeout();
  // Closes the socket and drops the unread input (see WholeReplyScope).
  void DropOutOfStep();

  // LastReply's text lines, each followed by CR LF.
  std::string LastReplyMessage() const;
  // Frees an owned handler and forgets the handler.
  void ReleaseIOHandler();
  void InstallOwnedIOHandler(std::unique_ptr<net::IOHandler> handler);
  virtual void NotifyDisconnected();
  void SetPeerClosed(bool value) { peer_closed_ = value; }

 private:
  std::string TakeLine(int32_t length, const std::string& terminator);
  bool LineTooLong(int32_t max_length, std::string* split_line);
  template <typename Sink>
  int32_t CollectInto(const Sink& sink, const std::string& delimiter,
                      bool unstuff_dots);
  // Hands `count` bytes to the socket, running the anti-freeze after every
  // send; `count_work` adds them to the write work.
  void SendNow(const char* bytes, int32_t count, bool count_work);

  net::IOHandler* io_handler_ = nullptr;
  std::unique_ptr<net::IOHandler> owned_handler_;
  std::vector<std::unique_ptr<net::IOHandler>> retired_handlers_;
  int32_t busy_ = 0;
  bool owns_io_handler_ = false;
  bool peer_closed_ = false;

  int32_t read_timeout_ = 0;
  int32_t recv_buffer_size_ = 32768;
  int32_t send_buffer_size_ = 32768;
  int32_t max_line_length_ = 16384;
  net::MaxLineAction max_line_action_ = maException;
  bool ascii_filter_ = false;
  bool last_line_split_ = false;
  bool last_line_timed_out_ = false;
  ManagedBuffer input_queue_;
  // Gathered writes not yet sent; empty outside a GatheredWrites scope.
  std::string output_;
  int32_t gathering_ = 0;

  RFCReply last_reply_;
  RFCReply greeting_reply_;
  std::string awaited_;
};

}  // namespace replyvane::net

#endif  // REPLYVANE_NET_TCP_CONNECTION_H_
