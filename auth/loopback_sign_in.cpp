#include "auth/loopback_sign_in.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/rand.h>
#include <openssl/sha.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>

#include "auth/https_form_post.h"
#include "core/text.h"
#include "message/encoder.h"
#include "message/mime_coder.h"

namespace replyvane::auth {

namespace {

constexpr size_t kLongestRequestHead = 16 * 1024;
constexpr int kPollMilliseconds = 200;
// A browser that connects and says nothing does not hold the sign-in up.
constexpr int kRequestMilliseconds = 5000;

std::string RandomBytes(size_t count) {
  std::string bytes(count, '\0');
  if (RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), int(count)) !=
      1) {
    throw core::Exception("No random numbers for the sign-in");
  }
  return bytes;
}

int FromHex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecoded(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+') {
      out += ' ';
    } else if (text[i] == '%' && i + 2 < text.size() &&
               FromHex(text[i + 1]) >= 0 && FromHex(text[i + 2]) >= 0) {
      out += char(FromHex(text[i + 1]) * 16 + FromHex(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::map<std::string, std::string> QueryOf(std::string_view target) {
  std::map<std::string, std::string> query;
  const size_t mark = target.find('?');
  if (mark == std::string_view::npos) return query;
  std::string_view rest = target.substr(mark + 1);
  while (!rest.empty()) {
    const size_t amp = rest.find('&');
    const std::string_view pair = rest.substr(0, amp);
    const size_t equals = pair.find('=');
    if (equals != std::string_view::npos) {
      query[PercentDecoded(pair.substr(0, equals))] =
          PercentDecoded(pair.substr(equals + 1));
    }
    if (amp == std::string_view::npos) break;
    rest.remove_prefix(amp + 1);
  }
  return query;
}

void Answer(int connection, const char* status, const std::string& text) {
  const std::string response =
      std::string("HTTP/1.1 ") + status +
      "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
      std::to_string(text.size()) +
      "\r\nConnection: close\r\nCache-Control: no-store\r\n\r\n" + text;
  size_t sent = 0;
  while (sent < response.size()) {
    const ssize_t n = ::send(connection, response.data() + sent,
                             response.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += size_t(n);
  }
}

}  // namespace

std::string Base64Url(const std::string& bytes) {
  // RFC 4648's URL alphabet, without padding (RFC 7636).
  std::string text = message::EncodeTextOnce<message::EncoderMIME>(bytes);
  while (!text.empty() && text.back() == '=') text.pop_back();
  for (char& c : text) {
    if (c == '+') c = '-';
    if (c == '/') c = '_';
  }
  return text;
}

Pkce MakePkce() {
  Pkce pkce;
  pkce.verifier = Base64Url(RandomBytes(32));
  pkce.challenge = S256Challenge(pkce.verifier);
  return pkce;
}

std::string S256Challenge(const std::string& verifier) {
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(reinterpret_cast<const unsigned char*>(verifier.data()),
         verifier.size(), digest);
  return Base64Url(
      std::string(reinterpret_cast<char*>(digest), sizeof(digest)));
}

LoopbackSignIn::LoopbackSignIn(OAuthClient client,
                               std::string authorization_endpoint)
    : client_(std::move(client)),
      authorization_endpoint_(std::move(authorization_endpoint)),
      pkce_(MakePkce()),
      state_(Base64Url(RandomBytes(16))) {
  if (!authorization_endpoint_.starts_with("https://")) {
    throw core::Exception("The sign-in page of " + client_.provider_name +
                          " is not an https: address");
  }
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;  // the system picks a free port
  socklen_t length = sizeof(address);
  if (listener_ < 0 ||
      ::bind(listener_, reinterpret_cast<sockaddr*>(&address),
             sizeof(address)) != 0 ||
      ::listen(listener_, 4) != 0 ||
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address),
                    &length) != 0) {
    if (listener_ >= 0) ::close(listener_);
    listener_ = -1;
    throw core::Exception("Cannot listen on 127.0.0.1 for the sign-in");
  }
  redirect_uri_ =
      "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";
}

LoopbackSignIn::~LoopbackSignIn() {
  if (listener_ >= 0) ::close(listener_);
}

std::string LoopbackSignIn::AuthorizationUrl() const {
  const char separator =
      authorization_endpoint_.find('?') == std::string::npos ? '?' : '&';
  return authorization_endpoint_ + separator +
         "response_type=code&client_id=" + FormEncoded(client_.client_id) +
         "&redirect_uri=" + FormEncoded(redirect_uri_) +
         "&scope=" + FormEncoded(client_.scopes) +
         "&state=" + FormEncoded(state_) +
         "&code_challenge=" + FormEncoded(pkce_.challenge) +
         "&code_challenge_method=S256&access_type=offline&prompt=consent";
}

std::string LoopbackSignIn::Serve(int connection) {
  std::string head;
  char buffer[4096];
  // The whole head within the time, so that a client sending a byte now
  // and then cannot keep the browser's request waiting.
  const auto end = std::chrono::steady_clock::now() +
                   std::chrono::milliseconds(kRequestMilliseconds);
  while (head.find("\r\n\r\n") == std::string::npos &&
         head.find("\n\n") == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return "";
    pollfd ready{connection, POLLIN, 0};
    if (::poll(&ready, 1, int(left.count())) <= 0) return "";
    const ssize_t n = ::recv(connection, buffer, sizeof(buffer), 0);
    if (n <= 0) return "";
    head.append(buffer, size_t(n));
    if (head.size() > kLongestRequestHead) return "";
  }
  // "GET /?code=…&state=… HTTP/1.1"
  const std::vector<std::string> words =
      core::SplitWords(head.substr(0, head.find_first_of("\r\n")));
  if (words.size() < 2 || words[0] != "GET") {
    Answer(connection, "405 Method Not Allowed", "Not a sign-in.\n");
    return "";
  }
  std::map<std::string, std::string> query = QueryOf(words[1]);
  if (query["state"] != state_) {
    // Not the answer to our request: another page, or a forged one.
    Answer(connection, "400 Bad Request",
           "This is not the answer to Replyvane's sign-in.\n");
    return "";
  }
  if (!query["error"].empty()) {
    Answer(connection, "200 OK",
           "The sign-in was not done. You can close this page.\n");
    throw SignInRefused("Sign in again to " + client_.provider_name +
                        ": the sign-in was declined");
  }
  if (query["code"].empty()) {
    Answer(connection, "400 Bad Request", "No sign-in code.\n");
    return "";
  }
  Answer(connection, "200 OK",
         "Replyvane is signed in. You can close this page.\n");
  return query["code"];
}

OAuthTokens LoopbackSignIn::Wait(std::chrono::milliseconds limit,
                                 const std::function<bool()>& stop,
                                 int64_t now) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (stop && stop()) break;
    pollfd ready{listener_, POLLIN, 0};
    if (::poll(&ready, 1, kPollMilliseconds) <= 0) continue;
    const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    std::string code;
    try {
      code = Serve(connection);
    } catch (...) {
      ::close(connection);
      throw;
    }
    ::close(connection);
    if (!code.empty()) {
      return ExchangeAuthorizationCode(client_, code, pkce_.verifier,
                                       redirect_uri_, now);
    }
  }
  throw SignInRefused("Sign in again to " + client_.provider_name +
                      ": the sign-in in the browser was not finished");
}

}  // namespace replyvane::auth
