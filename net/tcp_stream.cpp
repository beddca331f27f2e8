// The stream view of a connection; failures are the connection's own.
#include "net/tcp_stream.h"

namespace replyvane::net {

size_t TCPStream::Read(void* buffer, size_t count) {
  connection_.ReadBytes(buffer, int32_t(count));
  return count;
}

size_t TCPStream::Write(const void* buffer, size_t count) {
  connection_.WriteBytes(buffer, int32_t(count));
  return count;
}

bool TCPStream::ReadLine(std::string& line, int64_t max_length) {
  line = connection_.ReadTextLine("\n", -1, int32_t(max_length));
  return !connection_.LastLineTimedOut();
}

}  // namespace replyvane::net
