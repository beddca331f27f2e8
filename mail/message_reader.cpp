// The reading half of MessageClient: header lines up to the empty line (or a
// terminator), then body lines up to the terminator, handing every part to
// the part decoder that recognises its first line. Text parts are collected
// in memory; attachment data streams from the connection through the
// decoder (which writes in blocks) into a new temporary file.
#include <memory>
#include <string>
#include <vector>

#include "core/exception.h"
#include "core/memory_stream.h"
#include "core/text.h"
#include "mail/message_client.h"
#include "mail/temp_file.h"
#include "message/coder_registry.h"
#include "message/message_decoder.h"
#include "net/exceptions.h"
#include "net/tcp_stream.h"
#include "net/work_scope.h"

namespace replyvane::mail {

namespace {

using message::Message;
using message::MessageDecoder;

constexpr char kUnknownPartType[] = "Unknown Message Part Type.";

// The connection as the source of a part decoder. A line cut off by the
// peer's close is an error here, not the end of the source: a message ends
// only at its terminator, so a truncated part must not pass for a whole one.
class PartSource : public net::TCPStream {
 public:
  using net::TCPStream::TCPStream;

  bool ReadLine(std::string& line, int64_t max_length) override {
    if (!net::TCPStream::ReadLine(line, max_length)) {
      throw net::ConnClosedGracefully();
    }
    return true;
  }
};

}  // namespace

MessageClient::MessageClient() = default;
MessageClient::~MessageClient() = default;

std::string MessageClient::ReadMessageLine() {
  std::string line = ReadTextLine();
  // An unterminated last line means the peer closed inside the message; it
  // must not pass for the empty line that ends a header block.
  if (line.empty() && LastLineTimedOut()) throw net::ConnClosedGracefully();
  return line;
}

std::string MessageClient::ReadHeader(Message& msg,
                                      const std::string& alt_terminator) {
  net::WorkScope work(*this, net::wmRead, 0);
  std::string line;
  for (;;) {
    line = ReadMessageLine();
    if (alt_terminator.empty() && line == ".") break;
    if (line == alt_terminator) break;
    if (!line.empty()) msg.Headers().Add(line);
  }
  msg.ApplyHeaderBlock();
  return line;
}

void MessageClient::ReadBody(Message& msg, const std::string& terminator) {
  if (msg.NoDecode()) {
    CollectLines(&msg.Body(), terminator, true);
    return;
  }
  net::WorkScope work(*this, net::wmRead, 0);
  // Decoders read the lines of their parts from the connection through it.
  PartSource source(*this);
  bool message_ended = false;
  while (!message_ended) {
    std::string line = ReadMessageLine();
    if (line == terminator) break;
    std::unique_ptr<MessageDecoder> decoder = message::FindPartStart(msg, line);
    if (decoder == nullptr) {
      if (line.compare(0, 2, "..") == 0) line.erase(0, 1);
      msg.Body().push_back(std::move(line));
      continue;
    }
    while (decoder != nullptr) {
      decoder->SetSource(&source);
      decoder->ReadPartHeaders();
      switch (decoder->PartKind()) {
        case message::MessagePartKind::kText:
          decoder = StoreTextPart(msg, std::move(decoder), message_ended);
          break;
        case message::MessagePartKind::kAttachment:
          decoder = StoreAttachmentPart(msg, std::move(decoder), message_ended);
          break;
        default:
          throw core::Exception(kUnknownPartType);
      }
    }
  }
}

std::unique_ptr<MessageDecoder> MessageClient::StoreTextPart(
    Message& msg, std::unique_ptr<MessageDecoder> decoder,
    bool& message_ended) {
  core::MemoryStream data;
  std::unique_ptr<MessageDecoder> next =
      decoder->ReadPartBody(data, message_ended);
  message::TextPart& part = msg.MessageParts().AddTextPart();
  part.SetContentType(decoder->PartHeaders().Value("Content-Type"));
  part.SetContentTransfer(
      decoder->PartHeaders().Value("Content-Transfer-Encoding"));
  part.SetBody(core::SplitLines(data.Data()));
  return next;
}

std::unique_ptr<MessageDecoder> MessageClient::StoreAttachmentPart(
    Message& msg, std::unique_ptr<MessageDecoder> decoder,
    bool& message_ended) {
  // The file is closed when `file` goes, also when decoding fails; the data
  // decoded so far then stays in it, and no attachment names it.
  std::unique_ptr<core::FileStream> file = CreateTempFile(TempDirectory());
  std::unique_ptr<MessageDecoder> next =
      decoder->ReadPartBody(*file, message_ended);
  message::Attachment& part = msg.MessageParts().AddAttachment();
  const message::NameValueList& headers = decoder->PartHeaders();
  part.SetContentType(headers.Value("Content-Type"));
  part.SetContentTransfer(headers.Value("Content-Transfer-Encoding"));
  part.SetContentDisposition(headers.Value("Content-Disposition"));
  part.SetAttachmentName(decoder->PartFileName());
  part.SetStoredPath(file->Path());
  return next;
}

}  // namespace replyvane::mail
