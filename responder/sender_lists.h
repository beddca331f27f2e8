// Who is answered: a "Never answer" list and an "Only answer" list, one
// entry a line: an address ("ann@example.com"), a domain ("@example.com":
// addresses at that domain exactly) or a domain with its subdomains
// ("*.example.com": mail.example.com, a.b.example.com, but not example.com
// itself). Letter case does not count; blank lines and lines starting with
// "#" are skipped, and any other line names nobody. An "Only answer" list
// of comments alone lets everyone through; one with any other line answers
// only whom it names. Kept beside Settings.ini in
// never-answer.txt and only-answer.txt, as attach.dat is (one entry a line,
// CR LF), written only once they hold something.
#ifndef REPLYVANE_RESPONDER_SENDER_LISTS_H_
#define REPLYVANE_RESPONDER_SENDER_LISTS_H_

#include <string>
#include <string_view>
#include <vector>

namespace replyvane::responder {

inline constexpr char kNeverAnswerName[] = "never-answer.txt";
inline constexpr char kOnlyAnswerName[] = "only-answer.txt";

// True when the list entry `entry` names `address`.
bool SenderMatches(std::string_view entry, std::string_view address);
bool OnSenderList(const std::vector<std::string>& entries,
                  std::string_view address);

// Why `address` is not answered under the lists: "on the Never answer
// list", "not on the Only answer list"; empty when the lists let it be.
std::string SenderListReason(const std::vector<std::string>& never,
                             const std::vector<std::string>& only,
                             std::string_view address);

// The entries of the text a list box holds: its lines, trimmed, without
// the empty ones.
std::vector<std::string> SenderListEntries(std::string_view text);

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_SENDER_LISTS_H_
