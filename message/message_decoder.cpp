// The common part of the part decoders: the part's headers and reading
// lines from the source.
#include "message/message_decoder.h"

#include "core/text.h"

namespace replyvane::message {

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
