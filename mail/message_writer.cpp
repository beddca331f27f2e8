// The writing half of MessageClient: header block, empty line, then the body
// in the plain, alternative or attachment layout. Every line of message text
// leaves through WriteDataText or WriteHeaderLine, which split it at its own
// line ends and dot-stuff each piece, so no byte of a message ends DATA or
// adds a header; the stored lines stay as they are. Text with 8-bit bytes
// (or lines longer than SMTP carries) is labelled with the system charset
// and, unless it was set otherwise, sent quoted-printable. The attachment data
// streams from its file through the part encoder onto the connection (base64
// and UU lines hold no line ends and come stuffed).
#include <string>
#include <string_view>
#include <vector>

#include "core/text.h"
#include "mail/message_client.h"
#include "message/eight_bit_text.h"
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

// The pieces of `text` between its CR LF, lone CR and lone LF; a line end
// at the very end leaves an empty last piece, and "" is one empty piece.
std::vector<std::string_view> Pieces(std::string_view text) {
  std::vector<std::string_view> pieces;
  size_t start = 0;
  for (;;) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      pieces.push_back(text.substr(start));
      return pieces;
    }
    pieces.push_back(text.substr(start, end - start));
    start = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
  }
}

bool StartsWithBlank(std::string_view text) {
  return !text.empty() && (text[0] == ' ' || text[0] == '\t');
}

// The lines of one header line as written: a line end inside it continues
// the header only when a blank or tab and some text follow it; any other
// line end becomes a blank, so it can neither start a new header nor end
// the header block.
std::vector<std::string> HeaderLines(std::string_view line) {
  std::vector<std::string> lines;
  for (std::string_view piece : Pieces(line)) {
    if (lines.empty() ||
        (StartsWithBlank(piece) && !core::Trim(piece).empty())) {
      lines.emplace_back(piece);
    } else {
      lines.back() += ' ';
      lines.back() += piece;
    }
  }
  return lines;
}

// The quoted-printable form of `line` without its last line end; every
// line end of the data is a hard break, so the caller splits there.
std::string QuotedPrintable(std::string_view piece) {
  std::string encoded =
      message::EncodeTextOnce<message::EncoderQuotedPrintable>(
          std::string(piece) + "\r\n");
  if (encoded.size() >= 2) encoded.resize(encoded.size() - 2);
  return encoded;
}

}  // namespace

void MessageClient::WriteDataText(std::string_view text, bool to_jis) {
  std::string out;
  out.reserve(text.size() + 3);
  for (std::string_view piece : Pieces(text)) {
    std::string line = core::BlankLineBreaks(piece);
    if (to_jis) line = message::ShiftJisToJis(line);
    // A piece that begins with "." is stuffed, or a lone "." would end the
    // transaction early.
    if (!line.empty() && line[0] == '.') out += '.';
    out += line;
    out += "\r\n";
  }
  WriteText(out);
}

void MessageClient::WriteHeaderLine(std::string_view line) {
  for (const std::string& piece : HeaderLines(line)) WriteDataText(piece);
}

void MessageClient::WriteHeaderLines(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    // An empty (or blank) line would end the header block early.
    if (!core::Trim(line).empty()) WriteHeaderLine(line);
  }
}

void MessageClient::WriteQuotedPrintable(const std::vector<std::string>& lines,
                                         bool to_jis) {
  for (const std::string& line : lines) {
    for (std::string_view piece : Pieces(line)) {
      WriteDataText(QuotedPrintable(piece), to_jis);
    }
  }
}

bool MessageClient::ConvertsToJis() const {
  return message::DefaultHeaderCharset().transfer ==
         message::Transfer::iso2022jp;
}

std::string MessageClient::TextCharset() const {
  return ConvertsToJis() ? "ISO-2022-JP"
                         : message::DefaultHeaderCharset().charset;
}

void MessageClient::WriteMessage(Message& msg, bool headers_only) {
  // The lines leave in few large sends; all of them have left when this
  // returns, and a failed send raises here as an unbuffered write would.
  GatheredWrites gathered(*this);
  if (msg.NoEncode()) {
    WriteHeaderLines(msg.Headers().Lines());
    WriteDataText("");
    if (!headers_only) WriteBodyText(msg);
  } else {
    WriteHeader(msg);
    WriteDataText("");
    if (!headers_only) WriteBody(msg);
  }
  gathered.End();
}

void MessageClient::WriteHeader(Message& msg) {
  std::unique_ptr<message::HeaderList> block = msg.BuildHeaderBlock();
  WriteHeaderLines(block->Lines());
}

void MessageClient::WriteBodyText(Message& msg) {
  for (const std::string& line : msg.Body()) WriteDataText(line);
}

void MessageClient::WriteBody(Message& msg) {
  net::WorkScope work(*this, net::wmWrite, 0);
  bool to_jis = ConvertsToJis();
  message::MessageParts& parts = msg.MessageParts();
  parts.CountParts();

  if (parts.AttachmentCount() == 0 && parts.TextPartCount() == 0) {
    // The plain layout: the body lines and nothing else.
    DoStatus(net::hsStatusText, kEncodingText);
    // The header block announced quoted-printable for labelled text (8-bit
    // or with over-long lines; ISO-2022-JP text is 7-bit and goes out
    // converted).
    if (message::LabelsPlainBody(msg) && !to_jis) {
      WriteQuotedPrintable(msg.Body(), false);
    } else {
      for (const std::string& line : msg.Body()) WriteDataText(line, to_jis);
    }
    return;
  }
  if (parts.AttachmentCount() == 0) {
    // The alternative layout, also for a single text part: the header block
    // announces every message with text parts as multipart/alternative, so
    // the body follows that announcement and the part is not lost. Body is
    // not written in this layout.
    WriteDataText(kPreamble);
    WriteDataText("");
    WriteTextParts(msg, message::kMixedBoundary, false, to_jis);
    return;
  }

  bool mime = msg.Encoding() == message::meMIME;
  std::string outer(parts.RelatedPartCount() > 0 ? message::kRelatedBoundary
                                                 : message::kMixedBoundary);
  if (mime) {
    WriteDataText(kPreamble);
    WriteDataText("");
    WriteDataText(BoundaryLine(outer));
  } else {
    WriteBodyText(msg);
    WriteDataText("");
  }
  if (parts.TextPartCount() > 1) {
    WriteDataText(kAlternativeHeader1);
    WriteDataText(kAlternativeHeader2);
    WriteDataText("");
    WriteTextParts(msg, message::kAlternativeBoundary, true, to_jis);
  } else if (mime && !message::NeedsQuotedPrintable(msg.Body())) {
    WriteDataText("Content-Type: text/plain");
    WriteDataText("Content-Transfer-Encoding: 7bit");
    WriteDataText("");
    WriteBodyText(msg);
  } else if (mime) {
    WriteHeaderLine(kContentType +
                    message::WithCharset("text/plain", TextCharset()));
    WriteHeaderLine(std::string(kContentTransfer) +
                    (to_jis ? "7bit" : "quoted-printable"));
    WriteDataText("");
    if (to_jis) {
      for (const std::string& line : msg.Body()) WriteDataText(line, true);
    } else {
      WriteQuotedPrintable(msg.Body(), false);
    }
  }
  WriteAttachments(msg, mime ? outer : "");
  if (mime) WriteDataText(ClosingLine(outer));
}

void MessageClient::WriteTextParts(Message& msg, std::string_view boundary,
                                   bool blank_after_each, bool to_jis) {
  message::MessageParts& parts = msg.MessageParts();
  for (int i = 0; i < parts.Count(); ++i) {
    message::TextPart* text = parts[i].AsText();
    if (text == nullptr) continue;
    WriteDataText(BoundaryLine(boundary));
    DoStatus(net::hsStatusText, kEncodingText);
    WriteTextPart(*text, to_jis);
    if (blank_after_each) WriteDataText("");
  }
  WriteDataText(ClosingLine(boundary));
}

void MessageClient::WriteAttachments(Message& msg,
                                     const std::string& boundary) {
  message::MessageParts& parts = msg.MessageParts();
  for (int i = 0; i < parts.Count(); ++i) {
    message::Attachment* attachment = parts[i].AsAttachment();
    if (attachment == nullptr) continue;
    DoStatus(net::hsStatusText, kEncodingAttachment);
    if (!boundary.empty()) {
      WriteDataText("");
      WriteDataText(BoundaryLine(boundary));
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
      std::string name =
          core::BlankLineBreaks(FileNamePart(attachment->AttachmentName()));
      WriteHeaderLine(kContentType + attachment->ContentType() + ";");
      WriteHeaderLine(kNameParameter + name + "\"");
      WriteHeaderLine(kContentTransfer + attachment->ContentTransfer());
      WriteHeaderLine(kContentDisposition + attachment->ContentDisposition() +
                      ";");
      WriteHeaderLine(kFileNameParameter + name + "\"");
      WriteHeaderLines(attachment->ExtraHeaders().Lines());
      WriteDataText("");
    }
    // The encoder writes blocks of whole lines straight onto the connection;
    // the file is never held in memory.
    net::TCPStream stream(*this);
    attachment->EncodeToStream(stream);
    WriteDataText("");
  }
}

void MessageClient::WriteTextPart(message::TextPart& part, bool to_jis) {
  if (part.ContentType().empty()) part.SetContentType("text/plain");
  if (part.ContentTransfer().empty()) {
    part.SetContentTransfer("quoted-printable");
  }
  // 8-bit text names its charset; the stored type stays as set, so sending
  // the same part twice sends the same bytes.
  std::string type = part.ContentType();
  if (message::HasEightBit(part.Body())) {
    type = message::WithCharset(type, TextCharset());
  }
  WriteHeaderLine(kContentType + type);
  WriteHeaderLine(kContentTransfer + part.ContentTransfer());
  WriteHeaderLines(part.ExtraHeaders().Lines());
  WriteDataText("");
  if (core::SameText(part.ContentTransfer(), "quoted-printable")) {
    // Soft-broken lines are stuffed like any other: a break just before a
    // "." must not leave a lone "." line.
    WriteQuotedPrintable(part.Body(), to_jis);
  } else {
    for (const std::string& line : part.Body()) WriteDataText(line);
  }
  WriteDataText("");
}

}  // namespace replyvane::mail
