// Part encoders write one file or stream as the lines of a message part:
// base64 lines for MIME, a "begin"/"end" block for UUE and XXE. Their infos
// (one shared instance per kind, held by the registry) create them and let
// MIME prepare the message's Content-Type. Unreadable files and write
// errors of the destination propagate.
#ifndef REPLYVANE_MESSAGE_MESSAGE_ENCODER_H_
#define REPLYVANE_MESSAGE_MESSAGE_ENCODER_H_

#include <memory>
#include <string>
#include <string_view>

#include "core/stream.h"
#include "message/uue_coder.h"

namespace replyvane::message {

class Message;

// The fixed boundaries of sent multipart messages.
inline constexpr std::string_view kMixedBoundary =
    "=_NextPart_2rfkvornsadvnqw3nerasdf";
inline constexpr std::string_view kRelatedBoundary =
    "=_NextPart_2relrfksadvnqvornw3nerasdf";
inline constexpr std::string_view kAlternativeBoundary =
    "=_NextPart_2altrfkvornsadvnqw3nerasdf";

class MessageEncoder {
 public:
  virtual ~MessageEncoder() = default;

  // The name written on a UUE/XXE "begin" line.
  const std::string& Filename() const { return filename_; }
  void SetFilename(const std::string& value) { filename_ = value; }
  // The mode written on a UUE/XXE "begin" line; 660 at creation.
  int PermissionCode() const { return permission_code_; }
  void SetPermissionCode(int value) { permission_code_ = value; }

  // Writes the whole source, from its start, as part lines each ended by
  // CR LF. The source is read and the destination written in blocks.
  virtual void EncodePart(core::Stream& source, core::Stream& destination) = 0;
  // Opens `path` read-only (core::StreamError when it cannot) and runs
  // EncodePart on it.
  void EncodeFile(const std::string& path, core::Stream& destination);

 private:
  std::string filename_;
  int permission_code_ = 660;
};

// Lines of up to 76 base64 characters (57 bytes); nothing for no data.
class MessageEncoderMIME : public MessageEncoder {
 public:
  void EncodePart(core::Stream& source, core::Stream& destination) override;
};

// "begin <mode> <name>", lines of up to 45 bytes with their length
// character, the fill character line (zero bytes), "end".
class MessageEncoderUUEBase : public MessageEncoder {
 public:
  void EncodePart(core::Stream& source, core::Stream& destination) override;

 protected:
  // The line encoder of the kind.
  virtual std::unique_ptr<EncoderUUEBase> CreateLineEncoder() const = 0;
};

class MessageEncoderUUE : public MessageEncoderUUEBase {
 protected:
  std::unique_ptr<EncoderUUEBase> CreateLineEncoder() const override;
};

class MessageEncoderXXE : public MessageEncoderUUEBase {
 protected:
  std::unique_ptr<EncoderUUEBase> CreateLineEncoder() const override;
};

class MessageEncoderInfo {
 public:
  virtual ~MessageEncoderInfo() = default;
  // A new encoder of the kind.
  virtual std::unique_ptr<MessageEncoder> CreateEncoder() const = 0;
  // Adjusts the message's headers before a header block is built (after
  // its parts are counted); nothing in the base class.
  virtual void PrepareMessageHeaders(Message& message) const;
};

class MessageEncoderInfoMIME : public MessageEncoderInfo {
 public:
  std::unique_ptr<MessageEncoder> CreateEncoder() const override;
  // ContentType becomes multipart/related (a related part), multipart/mixed
  // (attachments) or multipart/alternative (text parts) with the fixed
  // boundary; a message without parts keeps its ContentType.
  void PrepareMessageHeaders(Message& message) const override;
};

class MessageEncoderInfoUUE : public MessageEncoderInfo {
 public:
  std::unique_ptr<MessageEncoder> CreateEncoder() const override;
};

class MessageEncoderInfoXXE : public MessageEncoderInfo {
 public:
  std::unique_ptr<MessageEncoder> CreateEncoder() const override;
};

}  // namespace replyvane::message

#endif  // REPLYVANE_MESSAGE_MESSAGE_ENCODER_H_
