// A minimal blocking line client over a raw socket, for tests that speak a
// protocol by hand (to exercise a test server, or to check a real one). It
// knows nothing of the program's own network layer. Every read is bounded by
// the timeout given at construction; failures are results, never exceptions.
#ifndef REPLYVANE_TESTS_SUPPORT_LINE_CLIENT_H_
#define REPLYVANE_TESTS_SUPPORT_LINE_CLIENT_H_

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "tests/support/socket_util.h"

namespace replyvane::testing {

class LineClient {
 public:
  // Connects to 127.0.0.1:`port`; Connected() tells whether it worked
  // (refused or not in time: false).
  explicit LineClient(int port, std::chrono::milliseconds timeout =
                                    std::chrono::milliseconds(10000));

  bool Connected() const { return socket_.Valid(); }

  // Writes all of `bytes`; false when the connection failed.
  bool Send(std::string_view bytes);
  // Writes `line` + CR LF.
  bool SendLine(std::string_view line) {
    return Send(std::string(line) + "\r\n");
  }
  // The next line without its CR LF (or bare LF); nullopt when the peer
  // closed or nothing complete came in time (what did come stays buffered).
  std::optional<std::string> ReadLine();
  // Lines up to one equal to `terminator` (e.g. "."), each followed by
  // CR LF in the result, terminator excluded; nullopt as for ReadLine.
  std::optional<std::string> ReadLinesUntil(std::string_view terminator);
  // Every byte until the peer closes or the timeout passes, buffered bytes
  // first.
  std::string ReadToClose();
  // True when the peer closed (after any unread bytes) within the timeout.
  bool PeerClosed() { return ReadToClose(), closed_; }
  // Closes the socket now (a FIN; or a reset when unread data is pending).
  void Close() { socket_.Reset(); }

 private:
  bool Fill();

  Fd socket_;
  std::chrono::milliseconds timeout_;
  std::string buffer_;
  bool closed_ = false;
};

// Probes a starting server: connects to 127.0.0.1:`port` again and again
// until it greets with a line beginning with `prefix`, then sends `quit`
// (a line) and closes. Returns the greeting without CR LF; nullopt when
// `timeout` passes first or `alive` (checked between attempts) says the
// server process is gone.
std::optional<std::string> WaitForGreeting(int port, std::string_view prefix,
                                           std::string_view quit,
                                           std::chrono::milliseconds timeout,
                                           const std::function<bool()>& alive);

}  // namespace replyvane::testing

#endif  // REPLYVANE_TESTS_SUPPORT_LINE_CLIENT_H_
