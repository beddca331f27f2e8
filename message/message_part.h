// The parts of a message: text parts with their lines and attachments whose
// data lives in a file. The content fields are kept as lines of the part's
// own header list, so what is set is what a writer finds there.
// Attachment::EncodeToStream fails when the file cannot be read or the
// destination cannot be written (the stream's errors propagate). A received
// attachment's file is temporary: the part removes it when it is destroyed.
#ifndef REPLYVANE_MESSAGE_MESSAGE_PART_H_
#define REPLYVANE_MESSAGE_MESSAGE_PART_H_

#include <string>
#include <vector>

#include "core/exception.h"
#include "core/stream.h"
#include "message/header_list.h"

namespace replyvane::message {

class MessageParts;
class TextPart;
class Attachment;

class MessagePart {
 public:
  virtual ~MessagePart();
  MessagePart(const MessagePart&) = delete;
  MessagePart& operator=(const MessagePart&) = delete;

  // The "Content-Transfer-Encoding" value of Headers; "" when absent.
  std::string ContentTransfer() const;
  // Stores the value in Headers; "" removes the header.
  void SetContentTransfer(const std::string& value);
  // The "Content-Type" value of Headers; "" when absent.
  std::string ContentType() const;
  void SetContentType(const std::string& value);

  // Extra header lines written after the content headers.
  HeaderList& ExtraHeaders() { return extra_headers_; }
  const HeaderList& ExtraHeaders() const { return extra_headers_; }
  void SetExtraHeaders(const HeaderList& lines);

  // The part's own header lines, where the content fields live.
  HeaderList& Headers() { return headers_; }
  const HeaderList& Headers() const { return headers_; }

  bool IsEncoded() const { return is_encoded_; }
  void SetIsEncoded(bool value) { is_encoded_ = value; }

  // The collection that owns the part.
  MessageParts& Collection() const { return *collection_; }

  // The concrete part, or nullptr when the part is of the other class.
  virtual TextPart* AsText() { return nullptr; }
  virtual Attachment* AsAttachment() { return nullptr; }
  virtual const TextPart* AsText() const { return nullptr; }
  virtual const Attachment* AsAttachment() const { return nullptr; }

 protected:
  explicit MessagePart(MessageParts& collection);
  // Copies ContentTransfer, ContentType and ExtraHeaders.
  void AssignCommon(const MessagePart& source);

 private:
  MessageParts* collection_;
  HeaderList headers_;
  HeaderList extra_headers_;
  bool is_encoded_ = false;
};

class TextPart : public MessagePart {
 public:
  // Made through MessageParts::AddTextPart.
  TextPart(MessageParts& collection, std::vector<std::string> body);

  std::vector<std::string>& Body() { return body_; }
  const std::vector<std::string>& Body() const { return body_; }
  void SetBody(std::vector<std::string> lines) { body_ = std::move(lines); }

  // Copies ContentTransfer, ContentType, ExtraHeaders and Body.
  void Assign(const TextPart& source);

  TextPart* AsText() override { return this; }
  const TextPart* AsText() const override { return this; }

 private:
  std::vector<std::string> body_;
};

class Attachment : public MessagePart {
 public:
  // Made through MessageParts::AddAttachment. StoredPath is `path`,
  // AttachmentName its file name (the text after the last "/").
  Attachment(MessageParts& collection, const std::string& path);
  // Removes the file StoredPath when IsTemporaryFile (failures ignored).
  ~Attachment() override;

  // Full path of the file that holds the data.
  const std::string& StoredPath() const { return stored_path_; }
  void SetStoredPath(const std::string& value) { stored_path_ = value; }
  // The file name on the wire, without directory.
  const std::string& AttachmentName() const { return attachment_name_; }
  void SetAttachmentName(const std::string& value) { attachment_name_ = value; }
  // The "Content-Disposition" value of Headers; "" when absent.
  std::string ContentDisposition() const;
  void SetContentDisposition(const std::string& value);
  // True for a file that the part owns: the reader's file of a received
  // attachment, removed with the part (when its message is reset or
  // freed). A file the user chose is never temporary.
  bool IsTemporaryFile() const { return is_temporary_file_; }
  void SetIsTemporaryFile(bool value) { is_temporary_file_ = value; }

  // Copies ContentTransfer, ContentType, ExtraHeaders, ContentDisposition
  // and AttachmentName (not StoredPath).
  void Assign(const Attachment& source);

  // Encodes the file StoredPath onto `destination` with a new encoder of the
  // collection's EncoderInfo, its Filename set to AttachmentName. The data
  // streams through in blocks; it is never held whole in memory.
  void EncodeToStream(core::Stream& destination);

  Attachment* AsAttachment() override { return this; }
  const Attachment* AsAttachment() const override { return this; }

 private:
  std::string stored_path_;
  std::string attachment_name_;
  bool is_temporary_file_ = false;
};

}  // namespace replyvane::message

#endif  // REPLYVANE_MESSAGE_MESSAGE_PART_H_
