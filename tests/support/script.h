// The declarative dialogue a ScriptedServer plays on one connection: what it
// sends, which lines it expects from the client, and the faults it injects.
// A Script only describes; nothing here touches a socket. Scripts read like
// transcripts:
//
//   Script pop = Transcript({"S: +OK ready",
//                            "C: USER a",
//                            "S: +OK",
//                            "C: QUIT"});
//   Script smtp = Transcript({"S: 220 hi", "C: DATA", "S: 354 go", "B:",
//                             "S: 250 ok"})
//                     .CloseMidLine("221 by");
#ifndef REPLYVANE_TESTS_SUPPORT_SCRIPT_H_
#define REPLYVANE_TESTS_SUPPORT_SCRIPT_H_

#include <chrono>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace replyvane::testing {

// One action of a script. Build steps through Script's methods.
struct Step {
  enum class Kind {
    kSend,          // write `text` byte for byte
    kExpect,        // read one line, record it, compare with `text`
    kExpectAny,     // read one line and record it, no comparison
    kReceiveUntil,  // read lines up to a line equal to `text` (a DATA body)
    kStall,         // do nothing for `pause`
    kClose,         // close the connection (orderly FIN)
    kReset,         // close with a reset (RST): the client sees ECONNRESET
  };
  Kind kind;
  std::string text;
  std::chrono::milliseconds pause{0};

  // The step as a transcript line, for failure reports: "S: +OK", "C: QUIT".
  std::string Describe() const;
};

// A sequence of steps for one connection, built by chaining:
// Script().Send("+OK hi\r\n").Expect("USER a").Close().
//
// At the end of a script that does not end in Close() or Reset(), the server
// keeps reading until the client closes (bounded by the read timeout); any
// bytes that arrive then are recorded and reported as a divergence, so a
// transcript must list every line the client sends, QUIT included.
class Script {
 public:
  Script() = default;

  // Sends `bytes` exactly as given (no line end is added).
  Script& Send(std::string_view bytes);
  // Sends `line` followed by CR LF.
  Script& SendLine(std::string_view line);
  // Reads one line from the client (up to LF) and records it without its
  // CR LF. A line that differs from `line`, a line ended by a bare LF, or the
  // client closing first is recorded as a divergence; the script goes on, so
  // the test sees the whole dialogue.
  Script& Expect(std::string_view line);
  // Reads one line and records it, whatever it holds.
  Script& ExpectLine();
  // Reads whole lines until one equals `terminator_line` (with its CR LF,
  // e.g. ".\r\n"); the terminator matches only a whole line, so "x.\r\n" does
  // not end a body. The bytes before the terminator line are recorded as one
  // body (see ScriptedServer::Bodies), still dot-stuffed as sent.
  Script& ReceiveUntil(std::string_view terminator_line = ".\r\n");
  // Waits `pause` (at most 30 s; longer pauses are cut to that) without
  // reading or writing. The server's stop still interrupts it.
  Script& Stall(std::chrono::milliseconds pause);
  // Closes the connection; the rest of the script, if any, is not played.
  Script& Close();
  // Sends `partial_line` (no line end) and closes: a reply cut mid-line.
  Script& CloseMidLine(std::string_view partial_line);
  // Closes with a TCP reset, so the client's next read or write fails with
  // "connection reset" instead of seeing an orderly end.
  Script& Reset();
  // Appends transcript lines, each one step:
  //   "S: text"  Send(text + "\r\n")
  //   "S| text"  Send(text) with no line end (a partial or raw reply)
  //   "C: text"  Expect(text)
  //   "C?"       ExpectLine(), any text after "C?" is a comment
  //   "B:"       ReceiveUntil(".\r\n"), a DATA body; the rest is a comment
  //   "CLOSE"    Close()
  // An unknown prefix throws std::invalid_argument naming the line.
  Script& Transcript(std::initializer_list<std::string_view> lines);
  // Sends every byte of every Send step in its own write, with `pause`
  // between bytes and Nagle off, so the client receives one byte at a time.
  Script& ByteAtATime(
      std::chrono::microseconds pause = std::chrono::microseconds(500));

  const std::vector<Step>& Steps() const { return steps_; }
  bool IsByteAtATime() const { return byte_at_a_time_; }
  std::chrono::microseconds BytePause() const { return byte_pause_; }

 private:
  std::vector<Step> steps_;
  bool byte_at_a_time_ = false;
  std::chrono::microseconds byte_pause_{0};
};

// A new script made of transcript lines (see Script::Transcript).
Script Transcript(std::initializer_list<std::string_view> lines);

// A DATA body as recorded by ReceiveUntil, with the leading dot that the
// sender doubled removed from each line: the message bytes it meant.
std::string DotUnstuffed(std::string_view body);

// `text` with CR, LF and other control bytes written as \r, \n, \xNN, for
// failure messages.
std::string Visible(std::string_view text);

}  // namespace replyvane::testing

#endif  // REPLYVANE_TESTS_SUPPORT_SCRIPT_H_
