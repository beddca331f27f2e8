// The common part of the part decoders: the part's headers and reading
// lines from the source.
#include "message/message_decoder.h"

#include "core/text.h"

namespace replyvane::message {
namespace {

constexpr size_t kOutputBlock = 64 * 1024;

// Collects decoded bytes and passes them on in blocks, so that a file
// receives few large writes instead of one per line.
class BlockOutput : public core::Stream {
 public:
  explicit BlockOutput(core::Stream& destination) : destination_(destination) {}

  size_t Read(void*, size_t) override { return 0; }
  size_t Write(const void* buffer, size_t count) override {
    pending_.append(static_cast<const char*>(buffer), count);
    if (pending_.size() >= kOutputBlock) Flush();
    return count;
  }
  int64_t Seek(int64_t, core::SeekOrigin) override { return -1; }
  const char* ClassName() const override { return "BlockOutput"; }

  void Flush() {
    std::string block;
    block.swap(pending_);
    destination_.WriteString(block);
  }

 private:
  core::Stream& destination_;
  std::string pending_;
};

}  // namespace

std::string NameValueList::Value(std::string_view name) const {
  for (const std::string& line : lines_) {
    size_t equals = line.find('=');
    if (equals != std::string::npos &&
        core::SameText(std::string_view(line).substr(0, equals), name)) {
      return line.substr(equals + 1);
    }
  }
  return "";
}

MessageDecoder::MessageDecoder(Message& owner) : owner_(&owner) {}

MessageDecoder::~MessageDecoder() = default;

void MessageDecoder::SetPartFileName(const std::string& name) {
  std::string_view base(name);
  size_t separator = base.find_last_of("/\\");
  if (separator != std::string_view::npos) base.remove_prefix(separator + 1);
  part_file_name_.clear();
  for (char ch : base) {
    if (static_cast<unsigned char>(ch) >= 0x20 && ch != 0x7F) {
      part_file_name_ += ch;
    }
  }
}

std::unique_ptr<MessageDecoder> MessageDecoder::ReadPartBody(
    core::Stream& destination, bool& message_ended) {
  BlockOutput output(destination);
  std::unique_ptr<MessageDecoder> next;
  try {
    next = CopyPartBody(output, message_ended);
  } catch (...) {
    output.Flush();
    throw;
  }
  output.Flush();
  return next;
}

std::string MessageDecoder::ReadLineFromSource() {
  std::string line;
  NextLine(line);
  return line;
}

bool MessageDecoder::NextLine(std::string& line) {
  if (source_ == nullptr) {
    line.clear();
    return false;
  }
  return source_->ReadLine(line);
}

}  // namespace replyvane::message
