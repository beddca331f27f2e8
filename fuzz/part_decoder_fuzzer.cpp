// Feeds arbitrary message text to header processing and the part decoders:
// header lines up to the first empty line, then the body. Failures must be
// core::Exception; anything else (a crash, a hang, a leak) is a fault.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/memory_stream.h"
#include "tests/message/part_reading.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace replyvane;
  core::MemoryStream input(
      std::string(reinterpret_cast<const char*>(data), size));
  std::vector<std::string> headers;
  std::string line;
  while (input.ReadLine(line) && !line.empty()) headers.push_back(line);
  std::string body = input.Data().substr(size_t(input.Position()));
  message::Message msg;
  try {
    message::ReadMessageBody(msg, headers, body);
  } catch (const core::Exception&) {
  }
  return 0;
}
