// The two plain settings files beside Settings.ini: response.dat holds the
// response text (CR LF between lines, none after the last), attach.dat the
// attachment paths (each followed by CR LF). Both are written private (see
// private_file.h). Open, read and write failures raise core::StreamError
// naming the file; a response text over kResponseCapacity raises
// core::Exception "Text exceeds memo capacity".
#ifndef REPLYVANE_RESPONDER_DATA_FILES_H_
#define REPLYVANE_RESPONDER_DATA_FILES_H_

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace replyvane::responder {

// The most the response text area takes, in bytes.
inline constexpr size_t kResponseCapacity = 16 * 1024 * 1024;

// The text with every CR LF, lone CR and lone LF made CR LF, cut at a NUL
// byte; nullopt when the file does not exist.
std::optional<std::string> ReadResponseFile(const std::string& path);
void WriteResponseFile(const std::string& path, const std::string& text);

// The lines of the text, split at CR LF, lone CR and lone LF, cut at a NUL
// byte. A break at the very end adds no entry; an empty line between two
// breaks adds an empty entry.
std::vector<std::string> SplitAttachLines(const std::string& text);
// The entries of the file; nullopt when the file does not exist.
std::optional<std::vector<std::string>> ReadAttachFile(const std::string& path);
void WriteAttachFile(const std::string& path,
                     const std::vector<std::string>& entries);

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_DATA_FILES_H_
