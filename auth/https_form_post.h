// A form POST over HTTPS (libcurl) for the OAuth 2.0 endpoints: the
// server's certificate is checked against the trusted certificates OpenSSL
// reads by default (the system's, or SSL_CERT_FILE's), as the mail
// connections check theirs; only https: addresses are taken, no redirect
// is followed, the whole exchange is bounded in time and the answer in
// size. Nothing of the form (it holds secrets) is ever logged.
#ifndef REPLYVANE_AUTH_HTTPS_FORM_POST_H_
#define REPLYVANE_AUTH_HTTPS_FORM_POST_H_

#include <string>
#include <utility>
#include <vector>

#include "core/exception.h"

namespace replyvane::auth {

// The endpoint could not be reached or gave no whole answer.
class EndpointUnreachable : public core::Exception {
 public:
  using core::Exception::Exception;
};

struct HttpsAnswer {
  long status = 0;
  std::string body;
};

using FormFields = std::vector<std::pair<std::string, std::string>>;

inline constexpr long kEndpointTimeoutSeconds = 30;
inline constexpr size_t kLongestAnswer = 1024 * 1024;

// POSTs `fields` (application/x-www-form-urlencoded) to `url`. Raises
// EndpointUnreachable "Cannot reach <url>: <reason>" when there is no
// answer (a refused connection, a certificate that is not trusted, a
// timeout, an answer over kLongestAnswer bytes).
HttpsAnswer PostForm(const std::string& url, const FormFields& fields);

// `text` percent-encoded for a form (RFC 3986 unreserved kept).
std::string FormEncoded(const std::string& text);

}  // namespace replyvane::auth

#endif  // REPLYVANE_AUTH_HTTPS_FORM_POST_H_
