// Header lines: lookup by name, continuation joining, storing with folding.
// Values from received mail can be long; every operation is linear in the
// lines it touches.
#include "message/header_list.h"

#include <stdexcept>

#include "core/text.h"
#include "message/wrap_text.h"

namespace replyvane::message {

namespace {

bool IsContinuation(const std::string& line) {
  return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

}  // namespace

void HeaderList::Insert(int index, std::string line) {
  if (index < 0 || index > Count())
    throw std::out_of_range("HeaderList::Insert");
  lines_.insert(lines_.begin() + index, std::move(line));
}

void HeaderList::Delete(int index) {
  if (index < 0 || index >= Count())
    throw std::out_of_range("HeaderList::Delete");
  lines_.erase(lines_.begin() + index);
}

void HeaderList::AddLines(const HeaderList& other) {
  lines_.insert(lines_.end(), other.lines_.begin(), other.lines_.end());
}

std::string HeaderList::Text() const {
  std::string text;
  for (const std::string& line : lines_) {
    text += line;
    text += "\r\n";
  }
  return text;
}

std::string HeaderList::NameAt(int index) const {
  if (index < 0 || index >= Count()) return "";
  const std::string& line = lines_[index];
  const size_t colon = line.find(core::TrimRight(separator_text_));
  if (colon == std::string::npos) return "";
  std::string name = line.substr(0, colon);
  return names_case_sensitive_ ? name : core::UpperCase(name);
}

std::string HeaderList::ValueAt(int index) const {
  if (index < 0 || index >= Count()) return "";
  const std::string& line = lines_[index];
  const size_t start = NameAt(index).size() + 1;
  // The trimmed pieces that are not empty, joined by single blanks.
  std::string value =
      core::Trim(start < line.size() ? line.substr(start) : std::string());
  if (join_continuations_) {
    for (int i = index + 1; i < Count() && IsContinuation(lines_[i]); ++i) {
      std::string piece = core::Trim(lines_[i]);
      if (piece.empty()) continue;
      if (!value.empty()) value += ' ';
      value += piece;
    }
  }
  // A received line may hold a bare CR; the value must not carry it on.
  return core::BlankLineBreaks(value);
}

int HeaderList::FindName(std::string_view name) const {
  for (int i = 0; i < Count(); ++i) {
    if (core::SameText(NameAt(i), name)) return i;
  }
  return -1;
}

std::string HeaderList::ValueOf(std::string_view name) const {
  return ValueAt(FindName(name));
}

void HeaderList::StoreValue(std::string_view name, std::string_view value) {
  int index = FindName(name);
  if (!value.empty()) {
    if (index < 0) {
      lines_.emplace_back();
      index = Count() - 1;
    }
    std::string line = std::string(name) + separator_text_ + std::string(value);
    if (wrap_on_write_) {
      RemoveContinuations(index);
      PutWrapped(line, index);
    } else {
      lines_[index] = std::move(line);
    }
  } else if (index >= 0) {
    if (wrap_on_write_) RemoveContinuations(index);
    Delete(index);
  }
}

void HeaderList::RemoveContinuations(int index) {
  if (index < 0 || index >= Count()) return;
  int end = index + 1;
  while (end < Count() && IsContinuation(lines_[end])) ++end;
  lines_.erase(lines_.begin() + index + 1, lines_.begin() + end);
}

void HeaderList::PutWrapped(std::string_view text, int index) {
  std::vector<std::string> lines = WrapLine(text);
  if (lines.empty()) lines.emplace_back();
  lines_.at(index) = std::move(lines.back());
  lines.pop_back();
  lines_.insert(lines_.begin() + index, std::make_move_iterator(lines.begin()),
                std::make_move_iterator(lines.end()));
}

std::vector<std::string> HeaderList::WrapLine(std::string_view text) const {
  const std::string wrapped = WrapTextAt(text, "\r\n ", "\t ,", wrap_length_);
  std::vector<std::string> result;
  size_t pos = 0;
  while (pos < wrapped.size()) {
    size_t end = wrapped.find("\r\n", pos);
    if (end == std::string::npos) end = wrapped.size();
    std::string piece =
        core::TrimRight(std::string_view(wrapped).substr(pos, end - pos));
    pos = end == wrapped.size() ? end : end + 2;
    // A CR LF of the value itself must not end the header or start a new
    // one: later pieces stay continuation lines.
    if (!result.empty()) {
      if (piece.empty()) continue;
      if (!IsContinuation(piece)) piece.insert(0, 1, ' ');
    }
    result.push_back(std::move(piece));
  }
  return result;
}

}  // namespace replyvane::message
