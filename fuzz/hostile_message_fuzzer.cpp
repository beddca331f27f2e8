// Receives one message as a POP3 server sends it (the input is the stored
// message; it is sent with CR LF line ends, dot-stuffed and ended by ".")
// and checks what the responder relies on, not only the absence of crashes:
//  - a message framed properly is read without a failure (short ones at
//    least: only the hard limits on big messages may stop the reading);
//  - no decoded header field of the message or of its parts holds a CR, LF
//    or NUL;
//  - the listed sender is nothing or a usable address, and the response
//    can be addressed to it;
//  - a forward-like message made of the received fields, body lines, text
//    parts and attachment names, written through the message writer, puts
//    no bare CR or LF and no lone "." line on the wire.
// A violation prints what was found and aborts, so libFuzzer keeps the input.
//
//   CXX=clang++ cmake -S . -B build/fuzz -DREPLYVANE_BUILD_FUZZ=ON
//         -DREPLYVANE_BUILD_APP=OFF   (one line)
//   cmake --build build/fuzz -j2 --target hostile_message_fuzzer
//   build/fuzz/fuzz/hostile_message_fuzzer -max_len=32768 NEW_DIR
//         tests/data/mailbox   (one line; the mailbox is the seed corpus)
#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "core/exception.h"
#include "fuzz/attachment_files.h"
#include "fuzz/memory_message_client.h"
#include "mail/message_client.h"
#include "mail/temp_file.h"
#include "message/message.h"
#include "message/sender_address.h"
#include "net/exceptions.h"
#include "net/io_handler.h"

namespace {

using replyvane::mail::MessageClient;
using replyvane::message::Message;

using replyvane::fuzz::MemoryMessageClient;

// An open connection that keeps what is sent and never has data to read.
class WireRecorder : public replyvane::net::IOHandler {
 public:
  bool HasOpenSocket() override { return true; }
  bool WaitUntilReadable(int32_t) override { return false; }
  int32_t ReceiveBytes(void*, int32_t) override { return 0; }
  int32_t SendBytes(const void* buffer, int32_t length) override {
    wire.append(static_cast<const char*>(buffer), size_t(length));
    return length;
  }
  std::string wire;
};

std::string temp_dir;

[[noreturn]] void Violation(const std::string& what, std::string_view text) {
  std::fprintf(stderr, "VIOLATION: %s: \"%.*s\"\n", what.c_str(),
               int(std::min<size_t>(text.size(), 300)), text.data());
  ::abort();
}

void CheckDecoded(const std::string& what, std::string_view text) {
  if (text.find_first_of(std::string_view("\r\n\0", 3)) !=
      std::string_view::npos) {
    Violation(what + " holds CR, LF or NUL", text);
  }
}

// The stored message as a POP3 server sends it: CR LF lines (a bare LF
// counts as a line end, a bare CR does not), dot-stuffed, then ".".
std::string OnTheWire(std::string_view stored, int& lines) {
  std::string out;
  lines = 0;
  while (!stored.empty()) {
    size_t end = stored.find('\n');
    std::string_view line = stored.substr(0, end);
    stored.remove_prefix(end == stored.npos ? stored.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty() && line[0] == '.') out += '.';
    out.append(line);
    out += "\r\n";
    ++lines;
  }
  return out + ".\r\n";
}

void CheckFields(const Message& msg) {
  CheckDecoded("Subject", msg.Subject());
  CheckDecoded("From name", msg.From().Name());
  CheckDecoded("From address", msg.From().Address());
  CheckDecoded("Sender", msg.Sender().Text());
  CheckDecoded("Disposition-Notification-To", msg.ReceiptRecipient().Text());
  CheckDecoded("To", msg.Recipients().AddressesText());
  CheckDecoded("Cc", msg.CCList().AddressesText());
  CheckDecoded("Bcc", msg.BccList().AddressesText());
  CheckDecoded("Reply-To", msg.ReplyTo().AddressesText());
  CheckDecoded("Organization", msg.Organization());
  CheckDecoded("References", msg.References());
  CheckDecoded("Content-Type", msg.ContentType());
  CheckDecoded("charset", msg.CharSet());
  CheckDecoded("Content-Transfer-Encoding", msg.ContentTransferEncoding());
  CheckDecoded("Content-Disposition", msg.ContentDisposition());
  CheckDecoded("Message-ID", msg.MsgId());
  for (int i = 0; i < msg.MessageParts().Count(); ++i) {
    const replyvane::message::MessagePart& part = msg.MessageParts()[i];
    CheckDecoded("part Content-Type", part.ContentType());
    CheckDecoded("part Content-Transfer-Encoding", part.ContentTransfer());
    if (const auto* attachment = part.AsAttachment()) {
      CheckDecoded("attachment name", attachment->AttachmentName());
    }
  }
}

int64_t FileSize(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 ? int64_t(info.st_size) : -1;
}

// What a forward of `fetched` may carry: its fields in the header, its
// body lines, the text of every text part and a line per attachment.
void ComposeForward(Message& forward, const Message& fetched,
                    const std::string& sender) {
  forward.Recipients().SetAddressesText("fw@example.com");
  forward.From().SetText("me@example.com");
  forward.ReplyTo().SetAddressesText("me@example.com");
  forward.SetSubject(fetched.Subject());
  forward.SetOrganization(fetched.Organization());
  forward.ExtraHeaders().Add("X-Original-From: " + fetched.From().Text());
  std::vector<std::string> body = {"From: " + sender};
  body.insert(body.end(), fetched.Body().begin(), fetched.Body().end());
  for (int i = 0; i < fetched.MessageParts().Count(); ++i) {
    const replyvane::message::MessagePart& part = fetched.MessageParts()[i];
    if (const auto* attachment = part.AsAttachment()) {
      body.push_back("Attachment: " + attachment->AttachmentName() + " (" +
                     std::to_string(FileSize(attachment->StoredPath())) +
                     " bytes)");
    } else if (const auto* text = part.AsText()) {
      forward.MessageParts()
          .AddTextPart(text->Body())
          .SetContentType(part.ContentType());
    }
  }
  forward.SetBody(std::move(body));
}

// The sender the row lists and the response goes to: nothing, or a usable
// address without line breaks.
std::string CheckedSender(const Message& fetched) {
  const std::string best = replyvane::message::BestSenderAddress(fetched);
  if (!best.empty() && !replyvane::message::IsUsableAddress(best)) {
    Violation("best sender address is not usable", best);
  }
  const std::string recipient = replyvane::message::ReplyRecipient(fetched);
  CheckDecoded("reply recipient", recipient);
  if (best.empty() != recipient.empty()) {
    Violation("reply recipient without a best address or the reverse",
              recipient + " / " + best);
  }
  return recipient;
}

// The response goes to the listed sender, as the response run sends it.
void ComposeResponse(Message& response, const Message& fetched,
                     const std::string& sender) {
  try {
    response.Recipients().SetAddressesText(sender);
  } catch (const replyvane::core::Exception& e) {
    Violation("the listed sender does not parse", sender + ": " + e.what());
  }
  response.From().SetText("me@example.com");
  response.SetSubject("Re: " + fetched.Subject());
  response.SetBody({"Thank you."});
}

void CheckWritten(Message& msg, const char* what) {
  MessageClient writer;
  WireRecorder wire;
  writer.SetIOHandler(&wire);
  try {
    writer.WriteMessage(msg);
  } catch (const std::exception& e) {
    Violation(std::string(what) + " could not be written", e.what());
  }
  writer.SetIOHandler(nullptr);
  const std::string& data = wire.wire;
  for (size_t i = 0; i < data.size(); ++i) {
    if (data[i] == '\r' && (i + 1 == data.size() || data[i + 1] != '\n')) {
      Violation(std::string(what) + ": bare CR on the wire",
                data.substr(i < 60 ? 0 : i - 60, 120));
    }
    if (data[i] == '\n' && (i == 0 || data[i - 1] != '\r')) {
      Violation(std::string(what) + ": bare LF on the wire",
                data.substr(i < 60 ? 0 : i - 60, 120));
    }
  }
  if (data.rfind(".\r\n", 0) == 0 ||
      data.find("\r\n.\r\n") != std::string::npos) {
    Violation(std::string(what) + ": lone \".\" line on the wire", data);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  temp_dir = replyvane::fuzz::UsePrivateTempFolder("hostile_message_fuzzer");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  std::string_view stored(reinterpret_cast<const char*>(bytes), size);
  int lines = 0;
  const std::string wire = OnTheWire(stored, lines);
  // The receive chunk size varies with the input, so line ends fall
  // anywhere in a chunk.
  const size_t chunk = 1 + size % 97;

  // As the listing reads it: the header lines only (TOP n 0).
  {
    const size_t end = wire.find("\r\n\r\n");
    const std::string header =
        end == std::string::npos ? wire : wire.substr(0, end + 4) + ".\r\n";
    MemoryMessageClient reader(header, chunk);
    Message msg;
    try {
      reader.ReadHeader(msg, ".");
    } catch (const replyvane::core::Exception& e) {
      if (lines < 1000) Violation("header not read", e.what());
    }
    CheckFields(msg);
  }

  // As the response run reads it: the whole message (RETR n).
  MemoryMessageClient reader(wire, chunk);
  Message fetched;
  bool read = true;
  try {
    if (reader.ReadHeader(fetched, "").empty()) reader.ReadBody(fetched, ".");
  } catch (const replyvane::core::Exception& e) {
    if (lines < 1000) Violation("message not read", e.what());
    read = false;
  }
  CheckFields(fetched);
  if (read) {
    const std::string sender = CheckedSender(fetched);
    Message forward;
    ComposeForward(forward, fetched, sender);
    CheckWritten(forward, "forward");
    if (!sender.empty()) {
      Message response;
      ComposeResponse(response, fetched, sender);
      CheckWritten(response, "response");
    }
  }
  replyvane::fuzz::RemoveAttachmentFiles(temp_dir);
  return 0;
}
