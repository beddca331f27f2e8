// Part encoders and their infos. The source is read in blocks of whole
// lines and the lines of a block are written with one call, so a file of
// any size passes through a fixed amount of memory.
#include "message/message_encoder.h"

#include <memory>
#include <vector>

#include "core/file_stream.h"
#include "core/text.h"
#include "message/message.h"
#include "message/mime_coder.h"
#include "message/read_memory_stream.h"

namespace replyvane::message {
namespace {

constexpr size_t kLinesPerBlock = 1024;

// Reads until `size` bytes are in or the source has no more; returns how
// many were read.
size_t ReadBlock(core::Stream& source, char* block, size_t size) {
  size_t filled = 0;
  while (filled < size) {
    size_t n = source.Read(block + filled, size - filled);
    if (n == 0) break;
    filled += n;
  }
  return filled;
}

// Reads the source from its start in blocks of `block_size` bytes (the last
// may be shorter) and writes what `encode_block` appends to its text for
// each of them.
template <class EncodeBlock>
void EncodeBlocks(core::Stream& source, core::Stream& destination,
                  size_t block_size, EncodeBlock encode_block) {
  source.SetPosition(0);
  std::vector<char> block(block_size);
  std::string out;
  for (;;) {
    size_t filled = ReadBlock(source, block.data(), block.size());
    if (filled == 0) return;
    out.clear();
    encode_block(std::string_view(block.data(), filled), out);
    destination.WriteString(out);
    if (filled < block.size()) return;
  }
}

}  // namespace

void MessageEncoder::EncodeFile(const std::string& path,
                                core::Stream& destination) {
  core::FileStream file(path, core::FileMode::kOpenRead);
  EncodePart(file, destination);
}

void MessageEncoderMIME::EncodePart(core::Stream& source,
                                    core::Stream& destination) {
  // 57 bytes make exactly 76 characters: a block of whole lines is encoded
  // straight into its lines.
  constexpr size_t kLineBytes = 57;
  constexpr size_t kBlockSize = kLineBytes * kLinesPerBlock;
  EncoderMIME encoder;
  source.SetPosition(0);
  // Two spare bytes: the encoder loads words.
  auto block = std::make_unique<char[]>(kBlockSize + 2);
  auto lines =
      std::make_unique<char[]>((kLineBytes / 3 * 4 + 2) * kLinesPerBlock);
  for (;;) {
    size_t filled = ReadBlock(source, block.get(), kBlockSize);
    if (filled == 0) return;
    char* end =
        encoder.EncodeLines(reinterpret_cast<const unsigned char*>(block.get()),
                            filled, kLineBytes, lines.get());
    destination.WriteBuffer(lines.get(), size_t(end - lines.get()));
    if (filled < kBlockSize) return;
  }
}

void MessageEncoderUUEBase::EncodePart(core::Stream& source,
                                       core::Stream& destination) {
  std::unique_ptr<EncoderUUEBase> encoder = CreateLineEncoder();
  // The name is the only text of the block not made here; a line end in
  // it must not end the begin line.
  destination.WriteString("begin " + std::to_string(PermissionCode()) + " " +
                          core::BlankLineBreaks(Filename()) + "\r\n");
  EncodeBlocks(source, destination, 45 * kLinesPerBlock,
               [&](std::string_view block, std::string& out) {
                 ReadMemoryStream lines(block);
                 while (lines.Position() < int64_t(block.size())) {
                   std::string line = encoder->Encode(lines, 45);
                   // A line of 14 bytes begins with "."; it goes out stuffed
                   // like any message line and the reader unstuffs it.
                   if (line[0] == '.') out += '.';
                   out += line;
                   out += "\r\n";
                 }
               });
  destination.WriteString(std::string(1, encoder->FillChar()) + "\r\nend\r\n");
}

std::unique_ptr<EncoderUUEBase> MessageEncoderUUE::CreateLineEncoder() const {
  return std::make_unique<EncoderUUE>();
}

std::unique_ptr<EncoderUUEBase> MessageEncoderXXE::CreateLineEncoder() const {
  return std::make_unique<EncoderXXE>();
}

void MessageEncoderInfo::PrepareMessageHeaders(Message&) const {}

std::unique_ptr<MessageEncoder> MessageEncoderInfoMIME::CreateEncoder() const {
  return std::make_unique<MessageEncoderMIME>();
}

void MessageEncoderInfoMIME::PrepareMessageHeaders(Message& message) const {
  const MessageParts& parts = message.MessageParts();
  std::string type;
  if (parts.RelatedPartCount() > 0) {
    type = "multipart/related; type=\"multipart/alternative\"; boundary=\"" +
           std::string(kRelatedBoundary) + "\"";
  } else if (parts.AttachmentCount() > 0) {
    type = "multipart/mixed; boundary=\"" + std::string(kMixedBoundary) + "\"";
  } else if (parts.TextPartCount() > 0) {
    type = "multipart/alternative; boundary=\"" + std::string(kMixedBoundary) +
           "\"";
  } else {
    return;
  }
  message.SetContentType(type);
}

std::unique_ptr<MessageEncoder> MessageEncoderInfoUUE::CreateEncoder() const {
  return std::make_unique<MessageEncoderUUE>();
}

std::unique_ptr<MessageEncoder> MessageEncoderInfoXXE::CreateEncoder() const {
  return std::make_unique<MessageEncoderXXE>();
}

}  // namespace replyvane::message
