// A read message as one text, and a stored message in the form a POP3
// server sends it: for comparing what the reader makes of one message from
// different sources.
#ifndef REPLYVANE_TESTS_MAIL_MESSAGE_FORMS_H_
#define REPLYVANE_TESTS_MAIL_MESSAGE_FORMS_H_

#include <string>

#include "core/file_stream.h"
#include "message/message.h"

namespace replyvane::mail {

// Everything the reader made of a message, as one text.
inline std::string Described(const message::Message& msg) {
  std::string text = "headers:\n" + msg.Headers().Text() + "\nbody:\n";
  for (const std::string& line : msg.Body()) text += line + "|\n";
  for (int i = 0; i < msg.MessageParts().Count(); ++i) {
    const message::MessagePart& part = msg.MessageParts()[i];
    if (const message::TextPart* body = part.AsText()) {
      text += "text " + body->ContentType() + ":\n";
      for (const std::string& line : body->Body()) text += line + "|\n";
    } else if (const message::Attachment* file = part.AsAttachment()) {
      text += "file " + file->AttachmentName() + ": " +
              core::ReadWholeFile(file->StoredPath()) + "\n";
    }
  }
  return text;
}

// The text as a POP3 server sends it: dot-stuffed, CR LF, then ".".
inline std::string Stuffed(const std::string& text) {
  std::string wire;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    std::string line = text.substr(
        start, end == std::string::npos ? std::string::npos : end - start);
    // Only a CR before an LF belongs to the line end.
    if (end != std::string::npos && !line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    if (!line.empty() && line.front() == '.') line.insert(0, ".");
    wire += line + "\r\n";
    start = end == std::string::npos ? text.size() : end + 1;
  }
  return wire + ".\r\n";
}

}  // namespace replyvane::mail

#endif  // REPLYVANE_TESTS_MAIL_MESSAGE_FORMS_H_
