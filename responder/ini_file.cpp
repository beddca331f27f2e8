#include "responder/ini_file.h"

#include "core/file_stream.h"
#include "core/private_file.h"
#include "core/text.h"
#include "responder/integer_text.h"

namespace replyvane::responder {

namespace {

std::optional<std::string> SectionName(const std::string& line) {
  std::string text = core::TrimLeft(line);
  size_t end = text.find(']');
  // "[name" without its bracket is a broken line, not a section.
  if (text.empty() || text[0] != '[' || end == std::string::npos) {
    return std::nullopt;
  }
  return core::Trim(text.substr(1, end - 1));
}

std::optional<std::string> KeyName(const std::string& line) {
  size_t equals = line.find('=');
  if (equals == std::string::npos) return std::nullopt;
  return core::Trim(std::string_view(line).substr(0, equals));
}

std::string CleanValue(std::string_view raw) {
  raw = raw.substr(0, raw.find('\0'));
  std::string value = core::Trim(raw);
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') &&
      value.back() == value[0]) {
    value = value.substr(1, value.size() - 2);
  }
  if (value.size() > IniFile::kMaxValueLength) {
    value.resize(IniFile::kMaxValueLength);
  }
  return value;
}

std::string OneLine(std::string_view value) {
  std::string line(value);
  for (char& c : line) {
    if (c == '\r' || c == '\n' || c == '\0') c = ' ';
  }
  return line;
}

}  // namespace

void IniFile::Load() {
  if (loaded_) return;
  loaded_ = true;
  std::string data;
  try {
    data = core::ReadWholeFile(path_);
  } catch (const core::Exception&) {
    return;  // a file that cannot be read holds no values
  }
  size_t start = 0;
  while (start < data.size()) {
    size_t end = data.find('\n', start);
    if (end == std::string::npos) {
      lines_.push_back({data.substr(start), ""});
      break;
    }
    bool crlf = end > start && data[end - 1] == '\r';
    size_t text_end = crlf ? end - 1 : end;
    lines_.push_back(
        {data.substr(start, text_end - start), crlf ? "\r\n" : "\n"});
    start = end + 1;
  }
}

void IniFile::UpdateFile() {
  if (!changed_) return;
  std::string data;
  for (const Line& line : lines_) data += line.text + line.ending;
  try {
    core::WritePrivateFile(path_, data);
  } catch (const core::Exception&) {
    throw IniFileError("Unable to write to " + path_);
  }
  changed_ = false;
}

std::optional<size_t> IniFile::FindSection(std::string_view section) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    auto name = SectionName(lines_[i].text);
    if (name && core::SameText(*name, section)) return i + 1;
  }
  return std::nullopt;
}

std::optional<size_t> IniFile::FindKey(size_t body,
                                       std::string_view key) const {
  for (size_t i = body; i < lines_.size(); ++i) {
    if (SectionName(lines_[i].text)) break;
    auto name = KeyName(lines_[i].text);
    if (name && core::SameText(*name, key)) return i;
  }
  return std::nullopt;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                const std::string& default_value) {
  Load();
  auto body = FindSection(section);
  if (!body) return default_value;
  auto line = FindKey(*body, key);
  if (!line) return default_value;
  const std::string& text = lines_[*line].text;
  return CleanValue(std::string_view(text).substr(text.find('=') + 1));
}

int32_t IniFile::ReadInteger(std::string_view section, std::string_view key,
                             int32_t default_value) {
  std::string text = ReadString(section, key, "");
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text = "$" + text.substr(2);
  }
  return ParseSettingInteger(text).value_or(default_value);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key,
                       bool default_value) {
  return ReadInteger(section, key, default_value ? 1 : 0) != 0;
}

void IniFile::WriteString(std::string_view section, std::string_view key,
                          std::string_view value) {
  Load();
  std::string text = std::string(key) + "=" + OneLine(value);
  auto body = FindSection(section);
  if (!body) {
    if (!lines_.empty() && lines_.back().ending.empty()) {
      lines_.back().ending = "\r\n";
    }
    lines_.push_back({"[" + std::string(section) + "]", "\r\n"});
    lines_.push_back({text, "\r\n"});
  } else if (auto line = FindKey(*body, key)) {
    lines_[*line].text = text;
  } else {
    // After the section's last non-blank line, before blank lines.
    size_t insert = *body;
    for (size_t i = *body; i < lines_.size(); ++i) {
      if (SectionName(lines_[i].text)) break;
      if (!core::Trim(lines_[i].text).empty()) insert = i + 1;
    }
    if (lines_[insert - 1].ending.empty()) lines_[insert - 1].ending = "\r\n";
    lines_.insert(lines_.begin() + long(insert), Line{text, "\r\n"});
  }
  changed_ = true;
}

void IniFile::WriteInteger(std::string_view section, std::string_view key,
                           int32_t value) {
  WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(std::string_view section, std::string_view key,
                        bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void IniFile::WriteUnlessDefault(std::string_view section, std::string_view key,
                                 std::string_view value,
                                 std::string_view default_value) {
  constexpr char kAbsent[] = "\x01";
  const bool present = ReadString(section, key, kAbsent) != kAbsent;
  if (present || value != default_value) WriteString(section, key, value);
}

}  // namespace replyvane::responder
