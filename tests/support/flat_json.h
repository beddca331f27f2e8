// Reads the small, flat JSON objects the test SMTP server writes as message
// envelopes: keys mapped to strings, null, numbers, booleans or arrays of
// strings. Nested objects and arrays of other things are not supported.
#ifndef REPLYVANE_TESTS_SUPPORT_FLAT_JSON_H_
#define REPLYVANE_TESTS_SUPPORT_FLAT_JSON_H_

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace replyvane::testing {

struct FlatJsonValue {
  enum class Kind { kString, kNull, kLiteral, kArray };
  Kind kind = Kind::kNull;
  std::string text;                // a string (UTF-8), or a literal's text
  std::vector<std::string> items;  // an array's strings
};

// The object's members; std::nullopt when `json` is not such an object.
// "\uDC80".."\uDCFF" (how Python escapes undecodable bytes) become those
// raw bytes 0x80..0xFF.
std::optional<std::map<std::string, FlatJsonValue>> ParseFlatJson(
    std::string_view json);

}  // namespace replyvane::testing

#endif  // REPLYVANE_TESTS_SUPPORT_FLAT_JSON_H_
