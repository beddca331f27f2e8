// Arbitrary bytes as a stored message, read twice: from memory
// (ReadMessageText) and, dot-stuffed and ended by ".", from a faked POP3
// connection that delivers it in chunks. Both must make the same message,
// or fail alike (the reception limits); anything else is a finding.
//
//   build/fuzz/fuzz/message_sources_fuzzer -max_total_time=30
#include <stdio.h>
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/attachment_files.h"
#include "fuzz/memory_message_client.h"
#include "mail/message_reader.h"
#include "message/message.h"
#include "net/exceptions.h"
#include "tests/mail/message_forms.h"

namespace {

std::string temp_dir;

// What reading made: the message described, or the failure's text.
template <typename Read>
std::string Outcome(const Read& read) {
  replyvane::message::Message msg;
  try {
    read(msg);
  } catch (const replyvane::net::ReceptionLimitExceeded& failure) {
    return std::string("limit: ") + failure.what();
  }
  return replyvane::mail::Described(msg);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  temp_dir = replyvane::fuzz::UsePrivateTempFolder("message_sources_fuzzer");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  if (size < 1) return 0;
  const size_t chunk = 1 + bytes[0] * 13u;
  const std::string stored(reinterpret_cast<const char*>(bytes) + 1, size - 1);
  const std::string from_memory = Outcome(
      [&](auto& msg) { replyvane::mail::ReadMessageText(stored, msg); });
  const std::string wire = replyvane::mail::Stuffed(stored);
  const std::string from_connection = Outcome([&](auto& msg) {
    replyvane::fuzz::MemoryMessageClient client(wire, chunk);
    client.SetMaxLineLength(16384);
    if (client.ReadHeader(msg, "").empty()) client.ReadBody(msg, ".");
  });
  if (from_memory != from_connection) {
    const std::string report =
        "memory:\n" + from_memory + "\nconnection:\n" + from_connection + "\n";
    ::fwrite(report.data(), 1, report.size(), stderr);
    ::abort();
  }
  replyvane::fuzz::RemoveAttachmentFiles(temp_dir);
  return 0;
}
