#include "responder/response_lines.h"

#include "core/private_file.h"
#include "responder/data_files.h"
#include "responder/digest.h"

namespace replyvane::responder {

namespace {

constexpr char kDigestPrefix[] = "sha256:";

}  // namespace

void WriteResponseLines(const std::string& path, const std::string& text,
                        const std::vector<std::string>& lines) {
  std::string data = kDigestPrefix + Sha256Hex(text) + "\r\n";
  for (const std::string& line : lines) data += line + "\r\n";
  core::WritePrivateFile(path, data);
}

std::optional<std::vector<std::string>> ReadResponseLines(
    const std::string& path, const std::string& text) {
  if (!core::FileExists(path)) return std::nullopt;
  bool too_long = false;
  const std::string data =
      core::ReadFileHead(path, 2 * kResponseCapacity + 128, too_long);
  const std::string header = kDigestPrefix + Sha256Hex(text) + "\r\n";
  if (too_long || !data.starts_with(header)) return std::nullopt;
  std::vector<std::string> lines;
  for (size_t start = header.size(); start < data.size();) {
    const size_t end = data.find("\r\n", start);
    if (end == std::string::npos) return std::nullopt;  // cut: not the window's
    lines.push_back(data.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

}  // namespace replyvane::responder
