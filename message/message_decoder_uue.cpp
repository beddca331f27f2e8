// Reading one UUE or XXE block from "begin" to "end".
#include "message/message_decoder_uue.h"

#include "core/text.h"
#include "message/uue_coder.h"

namespace replyvane::message {
namespace {

// The length a line of `count` bytes has: its length character and four
// characters per started group of three bytes.
size_t LineLength(int count) { return 1 + 4 * size_t((count + 2) / 3); }

// Whether `line` reads as a data line of the alphabet: its length
// character stands for at most 45 bytes and the line is about as long as
// that count needs (blanks at its end may be missing, a check character
// may follow).
bool FitsAlphabet(const std::string& line, std::string_view alphabet) {
  size_t count = alphabet.find(line[0]);
  if (count == std::string_view::npos || count > 45) return false;
  size_t expected = LineLength(int(count));
  size_t length = core::TrimRight(line).size();
  return length + 3 >= expected && length <= expected + 1;
}

// Full lines begin with "M" (UUE) or "h" (XXE); a shorter first line, as a
// small file has, is told by its length.
std::unique_ptr<DecoderUUEBase> LineDecoderFor(const std::string& line) {
  if (line[0] == 'M') return std::make_unique<DecoderUUE>();
  if (line[0] == 'h') return std::make_unique<DecoderXXE>();
  if (FitsAlphabet(line, kUUEAlphabet)) return std::make_unique<DecoderUUE>();
  if (FitsAlphabet(line, kXXEAlphabet)) return std::make_unique<DecoderXXE>();
  throw core::Exception("Unrecognized UUE encoding scheme.");
}

bool IsEndLine(const std::string& line) {
  return core::SameText(core::Trim(line), "end");
}

}  // namespace

MessageDecoderUUE::MessageDecoderUUE(Message& owner,
                                     const std::string& file_name)
    : MessageDecoder(owner) {
  SetPartKind(MessagePartKind::kAttachment);
  SetPartFileName(file_name);
}

std::unique_ptr<MessageDecoder> MessageDecoderUUE::CopyPartBody(
    core::Stream& output, bool& message_ended) {
  message_ended = false;
  std::unique_ptr<DecoderUUEBase> decoder;
  std::string line;
  // A block without its "end" line ends with the message.
  while (NextLine(line) && line != ".") {
    if (!line.empty() && line[0] == '.') line.erase(0, 1);
    if (IsEndLine(line)) return nullptr;
    if (core::Trim(line).empty() || line == "~") continue;
    if (!decoder) decoder = LineDecoderFor(line);
    decoder->DecodeToStream(line, output);
  }
  message_ended = true;
  return nullptr;
}

std::unique_ptr<MessageDecoder> MessageDecoderInfoUUE::DetectPartStart(
    Message& message, const std::string& line) const {
  if (line.size() < 10 || !core::SameText(line.substr(0, 6), "begin ") ||
      core::StrToIntDef(line.substr(6, 3), 0) <= 0 || line[9] != ' ') {
    return nullptr;
  }
  return std::make_unique<MessageDecoderUUE>(message, line.substr(10));
}

}  // namespace replyvane::message
