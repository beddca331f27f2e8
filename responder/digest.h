// SHA-256 in lower-case hexadecimal, for identities and for telling whether
// a file still belongs to the text it was made from.
#ifndef REPLYVANE_RESPONDER_DIGEST_H_
#define REPLYVANE_RESPONDER_DIGEST_H_

#include <string>
#include <string_view>

namespace replyvane::responder {

// 64 hexadecimal digits.
std::string Sha256Hex(std::string_view data);

}  // namespace replyvane::responder

#endif  // REPLYVANE_RESPONDER_DIGEST_H_
