// A read-only stream over text that someone else owns, so that a text can be
// encoded without copying it. The text must outlive the stream; writing
// writes nothing (so WriteBuffer raises "Stream write error").
#ifndef REPLYVANE_MESSAGE_READ_MEMORY_STREAM_H_
#define REPLYVANE_MESSAGE_READ_MEMORY_STREAM_H_

#include <string_view>

#include "core/stream.h"

namespace replyvane::message {

class ReadMemoryStream final : public core::Stream {
 public:
  explicit ReadMemoryStream(std::string_view text) : text_(text) {}

  // Copies up to `count` bytes from the position; 0 at the end.
  size_t Read(void* buffer, size_t count) override;
  // Always 0: the text is not ours to change.
  size_t Write(const void* buffer, size_t count) override;
  // Clamps the new position to 0..size and returns it.
  int64_t Seek(int64_t offset, core::SeekOrigin origin) override;
  const char* ClassName() const override { return "ReadMemoryStream"; }
  int64_t Size() override { return int64_t(text_.size()); }

  // The text from the position to the end, for readers that can take it in
  // place; they move the position past what they used with Seek.
  std::string_view Unread() const { return text_.substr(position_); }

 private:
  std::string_view text_;
  size_t position_ = 0;
};

}  // namespace replyvane::message

#endif  // REPLYVANE_MESSAGE_READ_MEMORY_STREAM_H_
