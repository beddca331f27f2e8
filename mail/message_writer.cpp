// The writing half of MessageClient: header block, empty line, then the body
// in the plain, alternative or attachment layout. Every line of message text
// is dot-stuffed on the way out; the stored lines stay as they are. The
// attachment data streams from its file through the part encoder onto the
// connection.
#include <string>
#include <string_view>

#include "core/text.h"
#include "mail/message_client.h"
#include "message/encoder.h"
#include "message/header_charset.h"
#include "message/jis.h"
#include "message/message_encoder.h"
#include "message/quoted_printable_coder.h"
#include "net/tcp_stream.h"
#include "net/work_scope.h"

namespace replyvane::mail {

namespace {

using message::Message;

constexpr char kPreamble[] = "This is a multi-part message in MIME format";
constexpr char kAlternativeHeader1[] = "Content-Type: multipart/alternative; ";
constexpr char kAlternativeHeader2[] =
    "        boundary=\"=_NextPart_2altrfkvornsadvnqw3nerasdf\"";
constexpr char kContentType[] = "Content-Type: ";
constexpr char kContentTransfer[] = "Content-Transfer-Encoding: ";
constexpr char kContentDisposition[] = "Content-Disposition: ";
constexpr char kNameParameter[] = "        name=\"";
constexpr char kFileNameParameter[] = "        filename=\"";
constexpr char kEncodingText[] = "Encoding text";
constexpr char kEncodingAttachment[] = "Encoding attachment";

std::string BoundaryLine(std::string_view boundary) {
  return "--" + std::string(boundary);
}

std::string ClosingLine(std::string_view boundary) {
  return "--" + std::string(boundary) + "--";
}

// The text after the last directory separator.
std::string FileNamePart(const std::string& name) {
  size_t slash = name.find_last_of('/');
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

std::string Stuffed(const std::string& line) {
  return !line.empty() && line[0] == '.' ? "." + line : line;
}

// Every line of a text that carries its own CR LF line ends, stuffed.
std::string StuffedLines(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 2);
  size_t start = 0;
  while (start < text.size()) {
    if (text[start] == '.') out += '.';
    size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    out.append(text, start, end - start);
    start = end;
  }
  return out;
}

}  // namespace

bool MessageClient::ConvertsToJis() const {
  return message::DefaultHeaderCharset().transfer ==
         message::Transfer::iso2022jp;
}

void MessageClient::WriteMessage(Message& msg, bool headers_only) {
  if (msg.NoEncode()) {
    WriteTextLines(msg.Headers().Lines());
    WriteTextLine();
    if (!headers_only) WriteBodyText(msg);
    return;
  }
  WriteHeader(msg);
  WriteTextLine();
  if (!headers_only) WriteBody(msg);
}

void MessageClient::WriteHeader(Message& msg) {
  std::unique_ptr<message::HeaderList> block = msg.BuildHeaderBlock();
  WriteTextLines(block->Lines());
}

void MessageClient::WriteBodyText(Message& msg) {
  for (const std::string& line : msg.Body()) WriteTextLine(Stuffed(line));
}

void MessageClient::WriteStuffedLine(const std::string& line, bool to_jis) {
  std::string out = Stuffed(line);
  if (to_jis) out = message::ShiftJisToJis(out);
  WriteTextLine(out);
}

void MessageClient::WriteBody(Message& msg) {
  net::WorkScope work(*this, net::wmWrite, 0);
  bool to_jis = ConvertsToJis();
  message::MessageParts& parts = msg.MessageParts();
  parts.CountParts();

  if (parts.AttachmentCount() == 0 && parts.TextPartCount() == 0) {
    // The plain layout: the body lines and nothing else.
    DoStatus(net::hsStatusText, kEncodingText);
    for (const std::string& line : msg.Body()) WriteStuffedLine(line, to_jis);
    return;
  }
  if (parts.AttachmentCount() == 0) {
    // The alternative layout, also for a single text part: the header block
    // announces every message with text parts as multipart/alternative, so
    // the body follows that announcement and the part is not lost. Body is
    // not written in this layout.
    WriteTextLine(kPreamble);
    WriteTextLine();
    WriteTextParts(msg, message::kMixedBoundary, false, to_jis);
    return;
  }

  bool mime = msg.Encoding() == message::meMIME;
  std::string outer(parts.RelatedPartCount() > 0 ? message::kRelatedBoundary
                                                 : message::kMixedBoundary);
  if (mime) {
    WriteTextLine(kPreamble);
    WriteTextLine();
    WriteTextLine(BoundaryLine(outer));
  } else {
    WriteBodyText(msg);
    WriteTextLine();
  }
  if (parts.TextPartCount() > 1) {
    WriteTextLine(kAlternativeHeader1);
    WriteTextLine(kAlternativeHeader2);
    WriteTextLine();
    WriteTextParts(msg, message::kAlternativeBoundary, true, to_jis);
  } else if (mime) {
    WriteTextLine("Content-Type: text/plain");
    WriteTextLine("Content-Transfer-Encoding: 7bit");
    WriteTextLine();
    WriteBodyText(msg);
  }
  WriteAttachments(msg, mime ? outer : "");
  if (mime) WriteTextLine(ClosingLine(outer));
}

void MessageClient::WriteTextParts(Message& msg, std::string_view boundary,
                                   bool blank_after_each, bool to_jis) {
  message::MessageParts& parts = msg.MessageParts();
  for (int i = 0; i < parts.Count(); ++i) {
    message::TextPart* text = parts[i].AsText();
    if (text == nullptr) continue;
    WriteTextLine(BoundaryLine(boundary));
    DoStatus(net::hsStatusText, kEncodingText);
    WriteTextPart(*text, to_jis);
    if (blank_after_each) WriteTextLine();
  }
  WriteTextLine(ClosingLine(boundary));
}

void MessageClient::WriteAttachments(Message& msg,
                                     const std::string& boundary) {
  message::MessageParts& parts = msg.MessageParts();
  for (int i = 0; i < parts.Count(); ++i) {
    message::Attachment* attachment = parts[i].AsAttachment();
    if (attachment == nullptr) continue;
    DoStatus(net::hsStatusText, kEncodingAttachment);
    if (!boundary.empty()) {
      WriteTextLine();
      WriteTextLine(BoundaryLine(boundary));
      // The defaults are kept in the part, so the caller sees what was sent.
      if (attachment->ContentTransfer().empty()) {
        attachment->SetContentTransfer("base64");
      }
      if (attachment->ContentDisposition().empty()) {
        attachment->SetContentDisposition("attachment");
      }
      if (attachment->ContentTransfer() == "base64" &&
          attachment->ContentType().empty()) {
        attachment->SetContentType("application/octet-stream");
      }
      std::string name = FileNamePart(attachment->AttachmentName());
      WriteTextLine(kContentType + attachment->ContentType() + ";");
      WriteTextLine(kNameParameter + name + "\"");
      WriteTextLine(kContentTransfer + attachment->ContentTransfer());
      WriteTextLine(kContentDisposition + attachment->ContentDisposition() +
                    ";");
      WriteTextLine(kFileNameParameter + name + "\"");
      WriteTextLines(attachment->ExtraHeaders().Lines());
      WriteTextLine();
    }
    // The encoder writes blocks of whole lines straight onto the connection;
    // the file is never held in memory.
    net::TCPStream stream(*this);
    attachment->EncodeToStream(stream);
    WriteTextLine();
  }
}

void MessageClient::WriteTextPart(message::TextPart& part, bool to_jis) {
  if (part.ContentType().empty()) part.SetContentType("text/plain");
  if (part.ContentTransfer().empty()) {
    part.SetContentTransfer("quoted-printable");
  }
  WriteTextLine(kContentType + part.ContentType());
  WriteTextLine(kContentTransfer + part.ContentTransfer());
  WriteTextLines(part.ExtraHeaders().Lines());
  WriteTextLine();
  if (core::SameText(part.ContentTransfer(), "quoted-printable")) {
    for (const std::string& line : part.Body()) {
      // Every encoded line is stuffed, soft-broken ones included: a break
      // just before a "." would otherwise put a lone "." line on the wire
      // and end the transaction early. The stored line is never changed, so
      // sending the same part twice sends the same bytes.
      std::string encoded =
          StuffedLines(message::EncodeTextOnce<message::EncoderQuotedPrintable>(
              line + "\r\n"));
      if (to_jis) encoded = message::ShiftJisToJis(encoded);
      WriteText(encoded);
    }
  } else {
    for (const std::string& line : part.Body()) WriteTextLine(Stuffed(line));
  }
  WriteTextLine();
}

}  // namespace replyvane::mail
