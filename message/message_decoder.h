// Part decoders: reception asks the registry (coder_registry.h) whether a
// body line starts a part, and the decoder it gets reads that part's
// header lines, tells whether the part is text or an attachment and copies
// the decoded data to a stream until the part ends. A decoder lives for one
// part and hands back the decoder of the next part, if any. Coding errors
// of the data ("Uneven size in DecodeToStream.", "Unrecognized UUE encoding
// scheme.") and the source's read errors propagate as core::Exception.
#ifndef REPLYVANE_MESSAGE_MESSAGE_DECODER_H_
#define REPLYVANE_MESSAGE_MESSAGE_DECODER_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/stream.h"

namespace replyvane::message {

class Message;

enum class MessagePartKind { kNone, kText, kAttachment };

// Lines "name=value"; lookup by name ignores case.
class NameValueList {
 public:
  void Add(std::string line) { lines_.push_back(std::move(line)); }
  int Count() const { return int(lines_.size()); }
  bool Empty() const { return lines_.empty(); }
  std::vector<std::string>& Lines() { return lines_; }
  const std::vector<std::string>& Lines() const { return lines_; }
  // The text after the "=" of the first line whose text before its first
  // "=" equals `name` ignoring case; "" when there is none.
  std::string Value(std::string_view name) const;

 private:
  std::vector<std::string> lines_;
};

class MessageDecoder {
 public:
  virtual ~MessageDecoder();
  MessageDecoder(const MessageDecoder&) = delete;
  MessageDecoder& operator=(const MessageDecoder&) = delete;

  // The part's header lines as "name=value" ("Content-Type=text/plain").
  NameValueList& PartHeaders() { return part_headers_; }
  const NameValueList& PartHeaders() const { return part_headers_; }
  MessagePartKind PartKind() const { return part_kind_; }
  // The file name the part announces (encoded words decoded), without any
  // directory and without control characters, since it comes from the
  // sender and may end up in headers and file dialogs.
  const std::string& PartFileName() const { return part_file_name_; }

  // The stream the part's lines are read from. It is not owned and must
  // outlive the decoder; a decoder handed back by ReadPartBody reads from
  // the same source.
  core::Stream* Source() const { return source_; }
  void SetSource(core::Stream* source) { source_ = source; }

  // Reads the part's data up to its end and writes it, decoded, to
  // `destination` in blocks (also what was decoded before a failure).
  // Returns the decoder of the next part, or nullptr. `message_ended`
  // becomes true when the part ran into the message's end: the "." line
  // (consumed) or the end of the source.
  virtual std::unique_ptr<MessageDecoder> ReadPartBody(
      core::Stream& destination, bool& message_ended);
  // Reads the part's header lines; nothing in the base class.
  virtual void ReadPartHeaders() {}

  // The next line of the source without its line break; "" at its end.
  std::string ReadLineFromSource();

 protected:
  explicit MessageDecoder(Message& owner);

  // ReadPartBody of the kind, writing to `output`.
  virtual std::unique_ptr<MessageDecoder> CopyPartBody(core::Stream& output,
                                                       bool& message_ended) = 0;

  // The next line into `line`; false at the end of the source.
  bool NextLine(std::string& line);

  Message& Owner() const { return *owner_; }
  void SetPartKind(MessagePartKind kind) { part_kind_ = kind; }
  // Keeps the text after the last "/" or "\\", control characters dropped.
  void SetPartFileName(const std::string& name);

 private:
  Message* owner_;
  core::Stream* source_ = nullptr;
  NameValueList part_headers_;
  MessagePartKind part_kind_ = MessagePartKind::kNone;
  std::string part_file_name_;
};

// One shared instance per kind of decoder, held by the registry.
class MessageDecoderInfo {
 public:
  virtual ~MessageDecoderInfo() = default;
  // A new decoder when `line` starts a part of this kind, else nullptr.
  virtual std::unique_ptr<MessageDecoder> DetectPartStart(
      Message& message, const std::string& line) const = 0;
};

}  // namespace replyvane::message

#endif  // REPLYVANE_MESSAGE_MESSAGE_DECODER_H_
