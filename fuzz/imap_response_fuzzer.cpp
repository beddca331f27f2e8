// Arbitrary bytes as what an IMAP server sends, read response after
// response, literals too (some handed to a sink that streams them through
// the message reader, as a fetch does). Any failure the reader raises is an
// expected result; a crash, a hang or a sanitizer report is a finding.
//
//   build/fuzz/fuzz/imap_response_fuzzer -max_total_time=30
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/exception.h"
#include "fuzz/attachment_files.h"
#include "fuzz/memory_message_client.h"
#include "mail/imap_response.h"
#include "mail/literal_stream.h"
#include "mail/message_reader.h"
#include "mail/stream_lines.h"
#include "message/message.h"

namespace {

std::string temp_dir;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  temp_dir = replyvane::fuzz::UsePrivateTempFolder("imap_response_fuzzer");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  if (size < 1) return 0;
  const size_t chunk = 1 + bytes[0] * 7u;
  std::string_view data(reinterpret_cast<const char*>(bytes) + 1, size - 1);
  replyvane::fuzz::MemoryMessageClient client(data, chunk);
  replyvane::message::Message msg;
  const replyvane::mail::ImapLiteralSink sink = [&](const std::string& name,
                                                    size_t length) {
    if (name != "BODY[]") return false;
    replyvane::mail::LiteralStream literal(client, length);
    replyvane::mail::StreamLines lines(literal);
    msg.ResetMessage();
    if (replyvane::mail::ReadMessageHeader(lines, msg).empty()) {
      replyvane::mail::ReadMessageBody(lines, msg);
    }
    literal.Skip();
    return true;
  };
  try {
    for (int i = 0; i < 1000; ++i)
      replyvane::mail::ReadImapResponse(client, sink);
  } catch (const replyvane::core::Exception&) {
    // The data ended, or was unreadable, or over a limit.
  }
  replyvane::fuzz::RemoveAttachmentFiles(temp_dir);
  return 0;
}
