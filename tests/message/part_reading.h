// Test helper: reads a message body from memory the way reception does,
// with the registered part decoders, keeping every part's data in memory.
#ifndef REPLYVANE_TESTS_MESSAGE_PART_READING_H_
#define REPLYVANE_TESTS_MESSAGE_PART_READING_H_

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/memory_stream.h"
#include "message/coder_registry.h"
#include "message/message.h"

namespace replyvane::message {

// Records the largest single write, to show that data passes in blocks.
class WriteCountingStream : public core::MemoryStream {
 public:
  size_t Write(const void* buffer, size_t count) override {
    largest_write = std::max(largest_write, count);
    ++writes;
    return MemoryStream::Write(buffer, count);
  }
  size_t largest_write = 0;
  int writes = 0;
};

struct ReadPart {
  MessagePartKind kind;
  std::string file_name;
  std::string content_type;
  std::string data;
};

struct ReadResult {
  std::vector<std::string> body;  // lines outside parts
  std::vector<ReadPart> parts;
  bool message_ended = false;  // a part ran into the message's end
  std::string rest;            // what is left in the source
};

// Applies `header_lines` to `msg`, then reads `body` up to "." or its end.
// Raises "Unknown Message Part Type." like reception does.
inline ReadResult ReadMessageBody(Message& msg,
                                  const std::vector<std::string>& header_lines,
                                  const std::string& body) {
  for (const std::string& line : header_lines) msg.Headers().Add(line);
  msg.ApplyHeaderBlock();
  core::MemoryStream source(body);
  ReadResult result;
  std::string line;
  while (!result.message_ended && source.ReadLine(line) && line != ".") {
    std::unique_ptr<MessageDecoder> decoder = FindPartStart(msg, line);
    if (!decoder) {
      if (line.compare(0, 2, "..") == 0) line.erase(0, 1);
      result.body.push_back(line);
      continue;
    }
    while (decoder) {
      decoder->SetSource(&source);
      decoder->ReadPartHeaders();
      if (decoder->PartKind() == MessagePartKind::kNone) {
        throw core::Exception("Unknown Message Part Type.");
      }
      core::MemoryStream data;
      std::unique_ptr<MessageDecoder> next =
          decoder->ReadPartBody(data, result.message_ended);
      result.parts.push_back({decoder->PartKind(), decoder->PartFileName(),
                              decoder->PartHeaders().Value("Content-Type"),
                              data.Data()});
      decoder = std::move(next);
    }
  }
  result.rest = body.substr(size_t(source.Position()));
  return result;
}

}  // namespace replyvane::message

#endif  // REPLYVANE_TESTS_MESSAGE_PART_READING_H_
