// The response's lines as the window sends them: its text area breaks long
// lines where it wraps them, and that is what a correspondent gets. The
// window writes those lines beside response.dat (response.wrapped) each
// time it saves, under the SHA-256 of the response text they were made
// from, so that an unattended check sends the very same lines. A text
// changed by hand since no longer matches, and its own lines are sent.
#ifndef REPLYVANE_RESPONDER_RESPONSE_LINES_H_
#define REPLYVANE_RESPONDER_RESPONSE_LINES_H_

#include <optional>
#include <string>
#include <vector>

namespace replyvane::responder {

inline constexpr char kResponseLinesName[] = "response.wrapped";

// Writes "sha256:" and the digest of `text` (response.dat's bytes), then
// each line, every one ended by CR LF. Raises core::StreamError as
// WritePrivateFile does.
void WriteResponseLines(const std::string& path, const std::string& text,
                        const std::vector<std::string>& lines);

// The lines of the file at `path` when it was made from `text`; nullopt
// when there is no file, or it was made from another text.
std::optional<std::vector<std::string>> ReadResponseLines(
    const std::string& path, const std::string& text);

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_RESPONSE_LINES_H_
