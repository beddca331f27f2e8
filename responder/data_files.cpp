#include "responder/data_files.h"

#include "core/exception.h"
#include "core/private_file.h"
#include "core/text.h"

namespace replyvane::responder {

namespace {

std::string UpToNul(std::string text) {
  size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  return text;
}

}  // namespace

std::vector<std::string> SplitAttachLines(const std::string& raw) {
  return core::SplitLines(UpToNul(raw));
}

std::optional<std::string> ReadResponseFile(const std::string& path) {
  if (!core::FileExists(path)) return std::nullopt;
  bool too_long = false;
  std::string text =
      UpToNul(core::ReadFileHead(path, kResponseCapacity, too_long));
  if (too_long) throw core::Exception("Text exceeds memo capacity");
  std::string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      result += "\r\n";
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      result += text[i];
    }
  }
  return result;
}

void WriteResponseFile(const std::string& path, const std::string& text) {
  core::WritePrivateFile(path, text);
}

std::optional<std::vector<std::string>> ReadAttachFile(
    const std::string& path) {
  if (!core::FileExists(path)) return std::nullopt;
  bool too_long = false;
  // The list is read whole; a file past the text capacity is no list of
  // paths, and is cut there rather than filling memory.
  return SplitAttachLines(
      core::ReadFileHead(path, kResponseCapacity, too_long));
}

void WriteAttachFile(const std::string& path,
                     const std::vector<std::string>& entries) {
  std::string data;
  for (const std::string& entry : entries) data += entry + "\r\n";
  core::WritePrivateFile(path, data);
}

}  // namespace replyvane::responder
