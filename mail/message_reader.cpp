// The message reader: header lines up to the empty line (or a terminator),
// then body lines up to the terminator, handing every part to the part
// decoder that recognises its first line. Text parts are collected in
// memory; attachment data streams from the source through the decoder
// (which writes in blocks) into a new temporary file.
//
// Reading is lenient about the message's own content and strict about the
// source: a part that cannot be decoded keeps what was decoded and its raw
// text, and reading goes on to the terminator, so a connection stays in
// step. Source failures, the reception limits (core/reception_limits.h) and
// local file failures end the read.
#include "mail/message_reader.h"

#include <unistd.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/exception.h"
#include "core/file_stream.h"
#include "core/memory_stream.h"
#include "core/reception_limits.h"
#include "core/text.h"
#include "mail/connection_lines.h"
#include "mail/message_client.h"
#include "mail/stream_lines.h"
#include "mail/temp_file.h"
#include "message/coder_registry.h"
#include "message/message_decoder.h"
#include "message/read_memory_stream.h"
#include "net/exceptions.h"
#include "net/work_scope.h"

namespace replyvane::mail {

namespace {

using message::Message;
using message::MessageDecoder;

template <typename T>
bool Is(const core::Exception& failure) {
  return dynamic_cast<const T*>(&failure) != nullptr;
}

// Failures of the connection, of a reception limit or of the local disk end
// the read. Any other failure raised while decoding is about the message's
// own text; should one of them come from the connection after all, the
// reading that goes on raises it again.
bool IsContentFailure(const core::Exception& failure) {
  return !(Is<net::SocketError>(failure) || Is<net::ClosedSocket>(failure) ||
           Is<net::SilentException>(failure) || Is<net::ReadTimeout>(failure) ||
           Is<net::WriteTimeout>(failure) ||
           Is<net::TCPConnectionError>(failure) ||
           Is<net::ReceptionLimitExceeded>(failure) ||
           Is<net::StackError>(failure) || Is<net::InvalidSocket>(failure) ||
           Is<core::StreamError>(failure));
}

// One piece of a received line. A line over the line limit arrives in
// pieces; only a whole line can be a terminator, a boundary or the start of
// a part, so a "." inside a long line never ends the message.
struct LinePiece {
  std::string text;
  bool continued = false;  // goes on the line of the previous piece
  bool cut = false;        // the line goes on in the next piece
  bool Whole() const { return !continued && !cut; }
};

// Reads the message's lines from the source in pieces.
class MessageLines {
 public:
  explicit MessageLines(LineSource& source) : source_(source) {}

  LinePiece Next() {
    LinePiece piece;
    piece.continued = cut_before_;
    piece.text = source_.ReadPiece(piece.cut);
    cut_before_ = piece.cut;
    return piece;
  }

 private:
  LineSource& source_;
  bool cut_before_ = false;
};

// The text one message holds in memory, each line costing its bytes and
// the string that holds it, twice over for the room a growing vector keeps
// (so endless empty lines count too).
class TextBudget {
 public:
  // What a stored part costs besides its text: the part object with its
  // header lists (and, for an attachment, its file), so that endless empty
  // parts count too.
  static constexpr size_t kPartCost = 1024;

  void Charge(size_t bytes, size_t lines) {
    held_ += bytes + lines * 2 * sizeof(std::string);
    if (held_ > core::kMaxMessageTextBytes) throw net::MessageTooLarge();
  }

 private:
  size_t held_ = 0;
};

// A text part's decoded data, charged to the message's budget as it grows.
class BudgetedMemory : public core::MemoryStream {
 public:
  explicit BudgetedMemory(TextBudget& budget) : budget_(budget) {}

  size_t Write(const void* buffer, size_t count) override {
    const char* bytes = static_cast<const char*>(buffer);
    budget_.Charge(count, size_t(std::count(bytes, bytes + count, '\n')));
    return core::MemoryStream::Write(buffer, count);
  }

 private:
  TextBudget& budget_;
};

// Appends a received line (one leading dot of ".." removed) or a piece of
// one. A line over the line limit is kept in pieces of that limit, one
// stored line each: no text is lost, no stored line grows unbounded, and a
// writer sends each piece as a line of its own. The empty piece that only
// ends a split line is dropped.
void AddLine(std::vector<std::string>& lines, LinePiece piece,
             TextBudget& budget) {
  if (piece.continued && piece.text.empty()) return;
  if (!piece.continued && piece.text.compare(0, 2, "..") == 0) {
    piece.text.erase(0, 1);
  }
  budget.Charge(piece.text.size(), 1);
  lines.push_back(std::move(piece.text));
}

// Stores every line up to the terminator, undecoded.
void KeepRawLines(MessageLines& lines, const std::string& terminator,
                  std::vector<std::string>& stored, TextBudget& budget) {
  for (;;) {
    LinePiece line = lines.Next();
    if (line.Whole() && line.text == terminator) return;
    AddLine(stored, std::move(line), budget);
  }
}

// The line source as the stream a part decoder reads. Lines come whole: a
// line over the piece length raises ReadLnMaxLineLengthExceeded and stays
// unread, for the raw text to take it in pieces. A line cut off by the end
// of the source is an error here, not the end of the part: a message ends
// only at its terminator, so a truncated part must not pass for a whole one.
//
// It keeps what a failure leaves unstored: the lines of the part header
// being read, or else the last line read (the one being decoded).
class PartSource final : public core::Stream {
 public:
  explicit PartSource(LineSource& source) : source_(source) {}

  bool ReadLine(std::string& line, int64_t) override {
    last_line_.reset();
    line = source_.ReadWholeLine();
    if (recording_) header_lines_.push_back(line);
    last_line_ = line;
    return true;
  }
  // Decoders read lines only.
  size_t Read(void*, size_t) override { return 0; }
  size_t Write(const void*, size_t) override { return 0; }
  int64_t Seek(int64_t, core::SeekOrigin) override { return -1; }
  const char* ClassName() const override { return "PartSource"; }

  // Part header lines are recorded between these two calls.
  void StartHeader() {
    recording_ = true;
    header_lines_.clear();
  }
  void EndHeader() { recording_ = false; }

  // The lines read and not stored when the part failed: the header lines
  // when it failed in its header, else the line being decoded.
  std::vector<std::string> UnstoredLines() {
    if (recording_) return std::move(header_lines_);
    if (last_line_) return {*last_line_};
    return {};
  }

 private:
  LineSource& source_;
  bool recording_ = false;
  std::vector<std::string> header_lines_;
  std::optional<std::string> last_line_;
};

message::TextPart& AddTextPart(Message& msg, const MessageDecoder& decoder,
                               const std::string& data) {
  message::TextPart& part = msg.MessageParts().AddTextPart();
  part.SetContentType(decoder.PartHeaders().Value("Content-Type"));
  part.SetContentTransfer(
      decoder.PartHeaders().Value("Content-Transfer-Encoding"));
  part.SetBody(core::SplitLines(data));
  return part;
}

std::unique_ptr<MessageDecoder> StoreTextPart(Message& msg,
                                              MessageDecoder& decoder,
                                              TextBudget& budget,
                                              bool& message_ended) {
  BudgetedMemory data(budget);
  std::unique_ptr<MessageDecoder> next;
  try {
    next = decoder.ReadPartBody(data, message_ended);
  } catch (const core::Exception& failure) {
    // What was decoded before the failure stays.
    if (IsContentFailure(failure)) AddTextPart(msg, decoder, data.Data());
    throw;
  }
  AddTextPart(msg, decoder, data.Data());
  return next;
}

void AddAttachment(Message& msg, const MessageDecoder& decoder,
                   const std::string& path) {
  message::Attachment& part = msg.MessageParts().AddAttachment();
  const message::NameValueList& headers = decoder.PartHeaders();
  part.SetContentType(headers.Value("Content-Type"));
  part.SetContentTransfer(headers.Value("Content-Transfer-Encoding"));
  part.SetContentDisposition(headers.Value("Content-Disposition"));
  part.SetAttachmentName(decoder.PartFileName());
  part.SetStoredPath(path);
  // The part owns the file from here on and removes it with itself.
  part.SetIsTemporaryFile(true);
}

std::unique_ptr<MessageDecoder> StoreAttachmentPart(Message& msg,
                                                    MessageDecoder& decoder,
                                                    bool& message_ended) {
  std::unique_ptr<core::FileStream> file = CreateTempFile(TempDirectory());
  const std::string path = file->Path();
  std::unique_ptr<MessageDecoder> next;
  try {
    next = decoder.ReadPartBody(*file, message_ended);
  } catch (const core::Exception& failure) {
    // The file is closed in any case. After a fault of the content the
    // attachment holds what was decoded; after any other fault no part
    // names the file, so it goes at once.
    file.reset();
    if (IsContentFailure(failure)) {
      AddAttachment(msg, decoder, path);
    } else {
      ::unlink(path.c_str());
    }
    throw;
  }
  file.reset();
  AddAttachment(msg, decoder, path);
  return next;
}

// Adds a text part for the raw text of a part that could not be decoded,
// with `lines` as its first lines; returns its lines for the rest.
std::vector<std::string>& KeepUndecoded(Message& msg,
                                        std::vector<std::string> lines,
                                        TextBudget& budget) {
  message::TextPart& part = msg.MessageParts().AddTextPart();
  part.SetContentType("text/plain");
  for (std::string& line : lines) {
    AddLine(part.Body(), LinePiece{std::move(line)}, budget);
  }
  return part.Body();
}

// Reads the part `decoder` starts and the parts that follow it. True when
// the message's end was read.
bool ReadParts(Message& msg, std::unique_ptr<MessageDecoder> decoder,
               PartSource& source, TextBudget& budget) {
  bool message_ended = false;
  while (decoder != nullptr) {
    budget.Charge(TextBudget::kPartCost, 0);
    decoder->SetSource(&source);
    source.StartHeader();
    decoder->ReadPartHeaders();
    if (decoder->PartKind() != message::MessagePartKind::kNone) {
      source.EndHeader();
    }
    switch (decoder->PartKind()) {
      case message::MessagePartKind::kText:
        decoder = StoreTextPart(msg, *decoder, budget, message_ended);
        break;
      case message::MessagePartKind::kAttachment:
        decoder = StoreAttachmentPart(msg, *decoder, message_ended);
        break;
      default:
        // A part header that ran into the message's end: its lines are
        // kept as they came, without the terminator.
        std::vector<std::string> lines = source.UnstoredLines();
        if (!lines.empty() && lines.back() == ".") lines.pop_back();
        KeepUndecoded(msg, std::move(lines), budget);
        return true;
    }
  }
  return message_ended;
}

}  // namespace

std::string ReadMessageHeader(LineSource& source, Message& msg,
                              const std::string& alt_terminator) {
  MessageLines lines(source);
  size_t line_count = 0;
  size_t bytes = 0;
  LinePiece line;
  for (;;) {
    line = lines.Next();
    bytes += line.text.size() + 2;
    if (bytes > core::kMaxHeaderBlockBytes) throw net::HeaderBlockTooLarge();
    // An over-long header line keeps its first piece; the rest is dropped.
    if (line.continued) continue;
    if (++line_count > core::kMaxHeaderLines) throw net::TooManyHeaderLines();
    if (line.Whole() && alt_terminator.empty() && line.text == ".") break;
    if (line.Whole() && line.text == alt_terminator) break;
    if (!line.text.empty()) msg.Headers().Add(line.text);
  }
  try {
    msg.ApplyHeaderBlock();
  } catch (const core::Exception& failure) {
    // The header lines stay in Headers as they came.
    if (!IsContentFailure(failure)) throw;
  }
  return line.text;
}

void ReadMessageBody(LineSource& source, Message& msg,
                     const std::string& terminator) {
  MessageLines lines(source);
  TextBudget budget;
  if (msg.NoDecode()) {
    KeepRawLines(lines, terminator, msg.Body(), budget);
    return;
  }
  // Decoders read the lines of their parts from the source through it.
  PartSource parts(source);
  for (;;) {
    LinePiece line = lines.Next();
    if (line.Whole() && line.text == terminator) return;
    std::unique_ptr<MessageDecoder> decoder =
        line.Whole() ? message::FindPartStart(msg, line.text) : nullptr;
    if (decoder == nullptr) {
      AddLine(msg.Body(), std::move(line), budget);
      continue;
    }
    try {
      if (ReadParts(msg, std::move(decoder), parts, budget)) return;
    } catch (const core::Exception& failure) {
      if (!IsContentFailure(failure)) throw;
      // The part's raw text from the failure on, to the terminator.
      std::vector<std::string>& raw =
          KeepUndecoded(msg, parts.UnstoredLines(), budget);
      KeepRawLines(lines, terminator, raw, budget);
      return;
    }
  }
}

namespace {

void ReadWholeMessage(core::Stream& stream, Message& msg) {
  StreamLines lines(stream);
  if (ReadMessageHeader(lines, msg).empty()) ReadMessageBody(lines, msg);
}

}  // namespace

void ReadMessageText(std::string_view text, Message& msg) {
  message::ReadMemoryStream stream(text);
  ReadWholeMessage(stream, msg);
}

void ReadMessageFile(const std::string& path, Message& msg) {
  core::FileStream file(path, core::FileMode::kOpenRead);
  ReadWholeMessage(file, msg);
}

MessageClient::MessageClient() = default;
MessageClient::~MessageClient() = default;

std::string MessageClient::ReadHeader(Message& msg,
                                      const std::string& alt_terminator) {
  net::WorkScope work(*this, net::wmRead, 0);
  WholeReplyScope whole(*this);
  ConnectionLines lines(*this);
  return ReadMessageHeader(lines, msg, alt_terminator);
}

void MessageClient::ReadBody(Message& msg, const std::string& terminator) {
  net::WorkScope work(*this, net::wmRead, 0);
  WholeReplyScope whole(*this);
  ConnectionLines lines(*this);
  ReadMessageBody(lines, msg, terminator);
}

}  // namespace replyvane::mail
