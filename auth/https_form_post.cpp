#include "auth/https_form_post.h"

#include <curl/curl.h>
#include <openssl/ssl.h>

#include <memory>

namespace replyvane::auth {

namespace {

struct Received {
  std::string body;
  bool too_long = false;
};

size_t Collect(char* data, size_t size, size_t count, void* user) {
  auto* received = static_cast<Received*>(user);
  const size_t bytes = size * count;
  if (received->body.size() + bytes > kLongestAnswer) {
    received->too_long = true;
    return 0;  // ends the transfer
  }
  received->body.append(data, bytes);
  return bytes;
}

// The trust of the mail connections: OpenSSL's default verify paths.
CURLcode UseDefaultTrust(CURL*, void* context, void*) {
  SSL_CTX_set_default_verify_paths(static_cast<SSL_CTX*>(context));
  return CURLE_OK;
}

struct CurlDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

void InitializeOnce() {
  static const bool done = [] {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    return true;
  }();
  static_cast<void>(done);
}

}  // namespace

std::string FormEncoded(const std::string& text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
        (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
        c == '~') {
      out += char(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

HttpsAnswer PostForm(const std::string& url, const FormFields& fields) {
  if (url.rfind("https://", 0) != 0) {
    throw EndpointUnreachable("Cannot reach " + url +
                              ": only https: addresses are used");
  }
  InitializeOnce();
  std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
  if (!curl) throw EndpointUnreachable("Cannot reach " + url + ": no memory");
  std::string form;
  for (const auto& [name, value] : fields) {
    if (!form.empty()) form += '&';
    form += FormEncoded(name) + "=" + FormEncoded(value);
  }
  Received received;
  char error[CURL_ERROR_SIZE] = "";
  CURL* handle = curl.get();
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "https");
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_TIMEOUT, kEndpointTimeoutSeconds);
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, kEndpointTimeoutSeconds);
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(handle, CURLOPT_CAINFO, nullptr);
  curl_easy_setopt(handle, CURLOPT_CAPATH, nullptr);
  curl_easy_setopt(handle, CURLOPT_SSL_CTX_FUNCTION, UseDefaultTrust);
  curl_easy_setopt(handle, CURLOPT_POSTFIELDS, form.c_str());
  curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE, long(form.size()));
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &received);
  curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, error);
  curl_easy_setopt(handle, CURLOPT_USERAGENT, "Replyvane");
  const CURLcode result = curl_easy_perform(handle);
  if (received.too_long) {
    throw EndpointUnreachable("Cannot reach " + url +
                              ": the answer is too long");
  }
  if (result != CURLE_OK) {
    throw EndpointUnreachable(
        "Cannot reach " + url + ": " +
        (error[0] != '\0' ? std::string(error) : curl_easy_strerror(result)));
  }
  HttpsAnswer answer;
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &answer.status);
  answer.body = std::move(received.body);
  return answer;
}

}  // namespace replyvane::auth
