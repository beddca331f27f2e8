// The lines of one Internet message header block: "Name: value" lines, each
// possibly continued by lines that begin with a space or a tab. Looks up
// values by name (joining continuation lines), stores values with folding
// at a column limit, and deletes a header by storing an empty value.
// Nothing here fails: a missing header or an index out of range reads as
// the empty text.
#ifndef REPLYVANE_MESSAGE_HEADER_LIST_H_
#define REPLYVANE_MESSAGE_HEADER_LIST_H_

#include <string>
#include <string_view>
#include <vector>

namespace replyvane::message {

class HeaderList {
 public:
  HeaderList() = default;

  // --- Ordinary list operations (indexes 0 .. Count()-1; std::out_of_range
  // for others, except Insert which also takes Count()).
  int Count() const { return static_cast<int>(lines_.size()); }
  bool IsEmpty() const { return lines_.empty(); }
  const std::string& Line(int index) const { return lines_.at(index); }
  void SetLine(int index, std::string text) {
    lines_.at(index) = std::move(text);
  }
  const std::vector<std::string>& Lines() const { return lines_; }
  void Add(std::string line) { lines_.push_back(std::move(line)); }
  void Insert(int index, std::string line);
  void Delete(int index);
  void Clear() { lines_.clear(); }
  // Replaces the lines by those of `other`; the settings stay.
  void Assign(const HeaderList& other) { lines_ = other.lines_; }
  // Appends every line of `other`.
  void AddLines(const HeaderList& other);
  // Every line followed by CR LF; empty for an empty list.
  std::string Text() const;

  // --- Settings.
  // Written between name and value; its colon (the text without trailing
  // blanks) is what reading looks for.
  const std::string& SeparatorText() const { return separator_text_; }
  void SetSeparatorText(std::string value) {
    separator_text_ = std::move(value);
  }
  // When false NameAt upper-cases the names.
  bool NamesCaseSensitive() const { return names_case_sensitive_; }
  void SetNamesCaseSensitive(bool value) { names_case_sensitive_ = value; }
  // When true ValueAt appends the continuation lines.
  bool JoinContinuations() const { return join_continuations_; }
  void SetJoinContinuations(bool value) { join_continuations_ = value; }
  // When true StoreValue folds long lines and replaces old continuations.
  bool WrapOnWrite() const { return wrap_on_write_; }
  void SetWrapOnWrite(bool value) { wrap_on_write_ = value; }
  // Column limit for folding.
  int WrapLength() const { return wrap_length_; }
  void SetWrapLength(int value) { wrap_length_ = value; }

  // --- Header operations.
  // The line's text before its colon (upper-cased unless
  // NamesCaseSensitive); empty when the line has no colon or the index is
  // out of range. A continuation line's name begins with its blank.
  std::string NameAt(int index) const;
  // The value after the colon, joined with the continuation lines by single
  // blanks and trimmed, every CR, LF and NUL inside turned into a blank;
  // empty for an index out of range.
  std::string ValueAt(int index) const;
  // The first line whose name equals `name` ignoring case; -1 if none.
  int FindName(std::string_view name) const;
  // ValueAt(FindName(name)); empty when there is no such header.
  std::string ValueOf(std::string_view name) const;
  // Sets the first header called `name` to `value` in place (a new header
  // goes to the end); an empty value deletes the header and its
  // continuation lines.
  void StoreValue(std::string_view name, std::string_view value);
  // Deletes the continuation lines that follow line `index`.
  void RemoveContinuations(int index);
  // Replaces line `index` by the folded lines of `text`.
  void PutWrapped(std::string_view text, int index);
  // Folds one logical header line at WrapLength: the first line, then
  // continuation lines that each begin with a blank. No line ends with a
  // blank, and no line but the first is empty or lacks the leading blank
  // (so a value holding CR LF cannot start a new header).
  std::vector<std::string> WrapLine(std::string_view text) const;

 private:
  std::vector<std::string> lines_;
  std::string separator_text_ = ": ";
  bool names_case_sensitive_ = false;
  bool join_continuations_ = true;
  bool wrap_on_write_ = true;
  int wrap_length_ = 78;
};

}  // namespace replyvane::message

#endif  // REPLYVANE_MESSAGE_HEADER_LIST_H_
