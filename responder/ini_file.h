// A settings file in the classic INI form: "[section]" lines and "key=value"
// lines. Sections and keys compare without regard to ASCII case; a read finds
// the first matching section and the first matching key in it. Writing
// replaces a value in place and leaves every other line as it was; new
// sections and keys are added with CR LF line ends. Writes change the copy
// in memory; UpdateFile puts the whole file on disk at once, so it is never
// left half written (see private_file.h). A file that is missing or
// unreadable reads as empty; a file that cannot be written raises
// IniFileError "Unable to write to <path>".
#ifndef REPLYVANE_RESPONDER_INI_FILE_H_
#define REPLYVANE_RESPONDER_INI_FILE_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/exception.h"

namespace replyvane::responder {

class IniFileError : public core::Exception {
 public:
  using Exception::Exception;
};

class IniFile {
 public:
  // The longest value a read returns, in bytes.
  static constexpr size_t kMaxValueLength = 2047;

  // Touches no file; the file is read at the first read or write.
  explicit IniFile(std::string path) : path_(std::move(path)) {}

  const std::string& FileName() const { return path_; }

  // The key's value with blanks around it and one pair of enclosing quotes
  // removed, cut at a NUL byte and at kMaxValueLength bytes; `default_value`
  // when the file, the section or the key is missing.
  std::string ReadString(std::string_view section, std::string_view key,
                         const std::string& default_value);
  // The value as a number: a leading "0x"/"0X" (with more after it) reads as
  // "$", then decimal or "$" hexadecimal as a whole; else `default_value`.
  int32_t ReadInteger(std::string_view section, std::string_view key,
                      int32_t default_value);
  // ReadInteger with 1 or 0 as the default; true when the number is not 0.
  bool ReadBool(std::string_view section, std::string_view key,
                bool default_value);

  // Sets the key's value, adding the section or the key line when missing.
  // CR, LF and NUL in `value` would break the line apart and are written as
  // blanks. Only in memory until UpdateFile.
  void WriteString(std::string_view section, std::string_view key,
                   std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key,
                    int32_t value);
  void WriteBool(std::string_view section, std::string_view key, bool value);
  // WriteString when `value` differs from `default_value` or the key is in
  // the file already, so that a file that never had a setting beyond the
  // specified ones stays as it was.
  void WriteUnlessDefault(std::string_view section, std::string_view key,
                          std::string_view value,
                          std::string_view default_value);

  // Replaces the file with the written copy when anything was written since
  // the last update; nothing happens otherwise. Raises IniFileError when the
  // file cannot be written; the file on disk is then unchanged and the
  // writes stay pending.
  void UpdateFile();

 private:
  struct Line {
    std::string text;    // without its line end
    std::string ending;  // "\r\n", "\n" or "" for a last unended line
  };

  void Load();
  // Index of the first line of the section's body, or nullopt.
  std::optional<size_t> FindSection(std::string_view section) const;
  std::optional<size_t> FindKey(size_t body, std::string_view key) const;

  std::string path_;
  bool loaded_ = false;
  bool changed_ = false;  // written since the last UpdateFile
  std::vector<Line> lines_;
};

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_INI_FILE_H_
