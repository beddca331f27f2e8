// What a mail reader shows of a sent message: the display name of its
// From, its Subject and its plain text as Python's email package decodes
// them (tests/support/decode_message.py), UTF-8, one "\f" between each.
#ifndef REPLYVANE_TESTS_SUPPORT_DECODED_MESSAGE_H_
#define REPLYVANE_TESTS_SUPPORT_DECODED_MESSAGE_H_

#include <cstdlib>
#include <string>

#include "tests/support/temp_dir.h"

namespace replyvane::testing {

// `data` written into `dir` and decoded there by `script` (another of
// tests/support, such as mime_structure.py: the MIME tree and each text
// part); "python failed" when the script could not read it.
inline std::string DecodedByPython(const TempDir& dir, const std::string& data,
                                   const char* script = "decode_message.py") {
  const std::string file = dir.File("sent.eml");
  WriteFile(file, data);
  const std::string out = dir.File("decoded.txt");
  const std::string command = std::string("/usr/bin/python3 ") +
                              REPLYVANE_SOURCE_DIR "/tests/support/" + script +
                              " " + file + " >" + out;
  if (std::system(command.c_str()) != 0) return "python failed";
  return ReadFile(out);
}

}  // namespace replyvane::testing

#endif  // REPLYVANE_TESTS_SUPPORT_DECODED_MESSAGE_H_
