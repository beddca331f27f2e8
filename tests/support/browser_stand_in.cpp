#include "tests/support/browser_stand_in.h"

#include <curl/curl.h>

namespace replyvane::testing {
namespace {

size_t Keep(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

}  // namespace

std::pair<long, std::string> Browse(const std::string& url,
                                    const std::string& ca_file) {
  CURL* curl = curl_easy_init();
  std::string page;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  if (!ca_file.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, ca_file.c_str());
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 20L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Keep);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &page);
  long status = 0;
  if (curl_easy_perform(curl) == CURLE_OK) {
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  }
  curl_easy_cleanup(curl);
  return {status, page};
}

}  // namespace replyvane::testing
