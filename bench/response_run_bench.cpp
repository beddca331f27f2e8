// The response run against the cost of the servers: for 10, 100 and 1,000
// waiting messages, with the forward off and on, each message answered with
// two attachments, three clients do the same job against the same private
// Dovecot and aiosmtpd in one invocation:
//   ours    responder::ResponderJob with a view whose pause is empty (no
//           box "1" wait) and an anti-freeze installed, as in the window;
//   python  tests/support/bench_python_responder.py (poplib/smtplib);
//   floor   a minimal client below that sends the same commands and, for
//           DATA, bytes composed before the clock starts (a capture of our
//           own response and forward).
// Each run is a child process of its own, so its peak memory (ru_maxrss)
// is its own. Prints ms per message, the ratios, the peak memory, and the
// time from the check's start to the first SMTP connect (the listing).
//
//   cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release
//         -DREPLYVANE_BUILD_BENCH=ON
//   cmake --build build/bench --target response_run_bench -j2
//   build/bench/bench/response_run_bench [--runs=N] [--only=ours]
//       [--program=build/release/app/replyvane] [--imap] [sizes...]
// With --imap, our job over POP3 and over IMAP and Python's imaplib are
// timed instead (each message answered and deleted).
// With --program, the installed program's `--check` is timed as well.
// With --runs, every figure is the median of N runs (clients interleaved).
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "mail/smtp.h"
#include "net/anti_freeze.h"
#include "net/component.h"
#include "responder/data_files.h"
#include "responder/job_view.h"
#include "responder/responder_job.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/smtp_server.h"
#include "tests/support/temp_dir.h"

namespace replyvane {
namespace {

using Clock = std::chrono::steady_clock;
using testing::DovecotServer;
using testing::SmtpServer;
using testing::TempDir;

constexpr char kFrom[] = "help@example.com";
constexpr char kForwardTo[] = "team@example.com";
constexpr char kSubject[] = "Thank you for your message";
constexpr char kBody[] =
    "Hello,\n\nthank you for writing. We will answer within a day.\n";

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string Sample(int i) {
  std::string text = "From: Sender " + std::to_string(i) + " <s" +
                     std::to_string(i) +
                     "@example.com>\r\nTo: help@example.com\r\n"
                     "Subject: Question number " +
                     std::to_string(i) +
                     "\r\nDate: Tue, 01 Dec 2026 12:00:00 +0000\r\n"
                     "Message-ID: <" +
                     std::to_string(i) + "@example.com>\r\n\r\n";
  for (int line = 0; line < 40; ++line) {
    text += "Line " + std::to_string(line) +
            " of a message body of plain text, long enough to be typical.\r\n";
  }
  return text;
}

// The files every response carries: a text file and a binary one.
struct Attachments {
  std::vector<std::string> paths;
  explicit Attachments(const TempDir& dir) {
    paths = {dir.File("prices.txt"), dir.File("leaflet.bin")};
    testing::WriteFile(paths[0], std::string(20000, 'x') + "\r\n");
    std::mt19937 random(7);
    std::string data(30000, '\0');
    for (char& byte : data) byte = char(random());
    testing::WriteFile(paths[1], data);
  }
};

// What one run reports from its child process.
struct Result {
  double seconds = 0;
  double listing_seconds = 0;
  long max_rss_kib = 0;
  // User and system time of the client's process.
  double cpu_seconds = 0;
  // User and system time the SMTP server spent during the run.
  double smtp_cpu_seconds = 0;
  bool ok = false;
};

// User and system time of a running process so far, from /proc (clock
// ticks); 0 when it cannot be read.
double ProcessCpuSeconds(pid_t pid) {
  std::FILE* file =
      std::fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r");
  if (file == nullptr) return 0;
  char text[1024] = {};
  const size_t n = std::fread(text, 1, sizeof text - 1, file);
  std::fclose(file);
  // The fields after the command name, which ends with the last ')'.
  const char* at = std::strrchr(text, ')');
  if (at == nullptr || n == 0) return 0;
  unsigned long utime = 0, stime = 0;
  if (std::sscanf(at + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu",
                  &utime, &stime) != 2) {
    return 0;
  }
  return double(utime + stime) / double(::sysconf(_SC_CLK_TCK));
}

double CpuSeconds(const rusage& usage) {
  auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Runs `job` in a child process; the child writes its two timings to a
// pipe. The parent's servers are left alone: the child leaves by _exit.
Result InChild(const std::function<bool(double*, double*)>& job) {
  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0) throw std::runtime_error("pipe");
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(pipe_fds[0]);
    double times[2] = {0, 0};
    bool ok = false;
    try {
      ok = job(&times[0], &times[1]);
    } catch (const std::exception& error) {
      std::fprintf(stderr, "run failed: %s\n", error.what());
    }
    if (ok && ::write(pipe_fds[1], times, sizeof times) != sizeof times) {
      ok = false;
    }
    ::_exit(ok ? 0 : 1);
  }
  ::close(pipe_fds[1]);
  Result result;
  double times[2] = {0, 0};
  const bool got = ::read(pipe_fds[0], times, sizeof times) == sizeof times;
  ::close(pipe_fds[0]);
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  result.ok = got && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  result.seconds = times[0];
  result.listing_seconds = times[1];
  result.max_rss_kib = usage.ru_maxrss;
  result.cpu_seconds = CpuSeconds(usage);
  return result;
}

// --- ours ---

class IdleAntiFreeze : public net::AntiFreezeBase {
 public:
  void ProcessPendingMessages() override {}
};

class BenchView : public responder::JobView {
 public:
  explicit BenchView(responder::Settings settings)
      : settings_(std::move(settings)) {}
  responder::Settings CurrentSettings() override { return settings_; }
  void ConnectFailed(const std::string& text) override {
    std::fprintf(stderr, "%s\n", text.c_str());
    failed = true;
  }
  void MessageDone(const responder::ListedMessage&,
                   const responder::MessageOutcome& outcome) override {
    if (outcome.answered && outcome.deleted) ++done;
  }
  int done = 0;
  bool failed = false;

 private:
  responder::Settings settings_;
};

// IMAP mode: the mailbox is Dovecot's IMAP, every message there answered and
// deleted, as POP3 does.
bool g_imap = false;

responder::Settings OurSettings(int pop_port, int smtp_port,
                                const Attachments& files, bool forward,
                                bool imap = false) {
  responder::Settings settings;
  if (imap) {
    settings.mailbox.kind = responder::MailboxKind::kImap;
    settings.mailbox.answer_existing = true;
    settings.mailbox.after_answering = responder::AfterAnswering::kDelete;
  }
  settings.pop3_host = "127.0.0.1";
  settings.pop3_port = pop_port;
  settings.pop3_user = "testuser";
  settings.pop3_password = "testpass";
  settings.smtp_host = "127.0.0.1";
  settings.smtp_port = smtp_port;
  settings.attachment_paths = files.paths;
  settings.response_body = {"Hello,", "",
                            "thank you for writing. We will answer within a "
                            "day."};
  settings.from_address = kFrom;
  settings.subject = kSubject;
  settings.forward = forward;
  settings.forward_address = kForwardTo;
  return settings;
}

bool RunOurs(int count, const responder::Settings& settings, double* seconds,
             double* listing_seconds) {
  IdleAntiFreeze anti_freeze;  // the window's connect and wait path
  BenchView view(settings);
  responder::ResponderJob job(view);
  const Clock::time_point start = Clock::now();
  bool connected = false;
  job.SMTP().OnStatus = [&](net::Component*, net::Status status,
                            const std::string&) {
    if (status == net::hsConnecting && !connected) {
      connected = true;
      *listing_seconds = Since(start);
    }
  };
  job.Check();
  *seconds = Since(start);
  return !view.failed && view.done == count;
}

// --- the floor: the same commands, DATA composed in advance ---

class Wire {
 public:
  explicit Wire(int port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int on = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) !=
        0) {
      throw std::runtime_error("floor: connect");
    }
  }
  ~Wire() { ::close(fd_); }
  Wire(const Wire&) = delete;
  Wire& operator=(const Wire&) = delete;

  void Send(std::string_view bytes) {
    while (!bytes.empty()) {
      ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n <= 0) throw std::runtime_error("floor: send");
      bytes.remove_prefix(size_t(n));
    }
  }
  std::string Line() {
    while (true) {
      size_t end = buffer_.find('\n', at_);
      if (end != std::string::npos) {
        std::string line = buffer_.substr(at_, end + 1 - at_);
        at_ = end + 1;
        return line;
      }
      buffer_.erase(0, at_);
      at_ = 0;
      char chunk[65536];
      ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
      if (n <= 0) throw std::runtime_error("floor: closed");
      buffer_.append(chunk, size_t(n));
    }
  }
  // A one-line reply that must begin with `ok`.
  void Expect(std::string_view ok) {
    std::string line = Line();
    if (line.compare(0, ok.size(), ok) != 0) {
      throw std::runtime_error("floor: " + line);
    }
  }
  // An SMTP reply of any number of lines.
  void Reply(std::string_view ok) {
    std::string line;
    do {
      line = Line();
    } while (line.size() > 3 && line[3] == '-');
    if (line.compare(0, ok.size(), ok) != 0) {
      throw std::runtime_error("floor: " + line);
    }
  }
  // A POP3 "+OK" and its lines up to ".".
  void Multi() {
    Expect("+OK");
    while (Line() != ".\r\n") {
    }
  }
  void Command(std::string_view text, std::string_view ok) {
    Send(std::string(text) + "\r\n");
    Expect(ok);
  }

 private:
  int fd_;
  std::string buffer_;
  size_t at_ = 0;
};

// What the floor client sends after DATA: captured message bytes, stuffed,
// with the final "." line.
std::string Stuffed(const std::string& data) {
  std::string out;
  out.reserve(data.size() + 64);
  size_t at = 0;
  while (at < data.size()) {
    size_t end = data.find("\r\n", at);
    end = end == std::string::npos ? data.size() : end + 2;
    if (data[at] == '.') out += '.';
    out.append(data, at, end - at);
    at = end;
  }
  return out + ".\r\n";
}

struct FloorPlan {
  int pop_port;
  int smtp_port;
  std::string helo;
  std::vector<std::string> response_data;  // per message, stuffed
  std::vector<std::string> forward_data;   // empty without the forward
};

void FloorSend(const FloorPlan& plan, const std::string& recipient,
               const std::string& data) {
  Wire smtp(plan.smtp_port);
  smtp.Reply("220");
  smtp.Send("EHLO " + plan.helo + "\r\n");
  smtp.Reply("250");
  smtp.Send("RSET\r\n");
  smtp.Reply("250");
  smtp.Send(std::string("MAIL FROM:<") + kFrom + ">\r\n");
  smtp.Reply("250");
  smtp.Send("RCPT TO:<" + recipient + ">\r\n");
  smtp.Reply("250");
  smtp.Send("DATA\r\n");
  smtp.Reply("354");
  smtp.Send(data);
  smtp.Reply("250");
  smtp.Send("QUIT\r\n");  // as ours: the reply is not read
}

bool RunFloor(int count, const FloorPlan& plan, double* seconds,
              double* listing_seconds) {
  const Clock::time_point start = Clock::now();
  Wire pop(plan.pop_port);
  pop.Expect("+OK");
  pop.Command("USER testuser", "+OK");
  pop.Command("PASS testpass", "+OK");
  pop.Command("STAT", "+OK");
  pop.Send("LIST\r\n");
  pop.Multi();
  pop.Send("UIDL\r\n");
  pop.Multi();
  for (int n = 1; n <= count; ++n) {
    pop.Send("TOP " + std::to_string(n) + " 0\r\n");
    pop.Multi();
    pop.Command("LIST " + std::to_string(n), "+OK");
  }
  *listing_seconds = Since(start);
  for (int n = count; n >= 1; --n) {
    // Appended rather than concatenated: GCC 12 warns falsely (-Wrestrict)
    // on a one-character literal before operator+.
    std::string recipient = "s";
    recipient += std::to_string(n - 1) + "@example.com";
    FloorSend(plan, recipient, plan.response_data[size_t(n - 1)]);
    if (!plan.forward_data.empty()) {
      pop.Send("RETR " + std::to_string(n) + "\r\n");
      pop.Multi();
      FloorSend(plan, kForwardTo, plan.forward_data[size_t(n - 1)]);
    }
    pop.Command("DELE " + std::to_string(n), "+OK");
  }
  pop.Send("QUIT\r\n");
  *seconds = Since(start);
  return true;
}

// --- python ---

// The script reports its own times (without the interpreter's start).
Result RunPython(int pop_port, int smtp_port, const Attachments& files,
                 bool forward, bool imap = false) {
  Result result;
  int out[2];
  if (::pipe(out) != 0) return result;
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], 1);
    ::close(out[0]);
    ::close(out[1]);
    std::vector<std::string> args = {"/usr/bin/python3",
                                     REPLYVANE_SOURCE_DIR
                                     "/tests/support/bench_python_responder.py",
                                     imap ? "--imap-port" : "--pop-port",
                                     std::to_string(pop_port),
                                     "--smtp-port",
                                     std::to_string(smtp_port),
                                     "--user",
                                     "testuser",
                                     "--password",
                                     "testpass",
                                     "--sender",
                                     kFrom,
                                     "--subject",
                                     kSubject,
                                     "--body",
                                     kBody};
    for (const std::string& path : files.paths) {
      args.push_back("--attachment");
      args.push_back(path);
    }
    if (forward) {
      args.push_back("--forward-to");
      args.push_back(kForwardTo);
    }
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  std::string text;
  char chunk[4096];
  for (ssize_t n; (n = ::read(out[0], chunk, sizeof chunk)) > 0;) {
    text.append(chunk, size_t(n));
  }
  ::close(out[0]);
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  int messages = 0;
  result.ok =
      std::sscanf(text.c_str(), "messages=%d seconds=%lf listing_seconds=%lf",
                  &messages, &result.seconds, &result.listing_seconds) == 3 &&
      WIFEXITED(status) && WEXITSTATUS(status) == 0;
  result.max_rss_kib = usage.ru_maxrss;
  result.cpu_seconds = CpuSeconds(usage);
  return result;
}

// --- the program itself ---

// `replyvane --check` as a timer starts it, over settings written as the
// window saves them, in a fresh folder (so a fresh journal). The whole
// process is timed: its start, reading the settings and the journal's
// flushes included.
Result RunProgram(const std::string& program, int pop_port, int smtp_port,
                  const Attachments& files, bool forward) {
  TempDir folder("bench-settings");
  testing::WriteFile(
      folder.File("Settings.ini"),
      "[Options]\r\n1=127.0.0.1\r\n2=127.0.0.1\r\n3=testuser\r\n"
      "4=testpass\r\n8=" +
          std::to_string(pop_port) + "\r\n9=" + std::to_string(smtp_port) +
          "\r\n10=0\r\n[Reponder]\r\n2=" + kFrom + "\r\n3=" + kSubject +
          "\r\n4=" + (forward ? "1" : "0") + "\r\n5=" + kForwardTo + "\r\n");
  responder::WriteResponseFile(folder.File("response.dat"), kBody);
  responder::WriteAttachFile(folder.File("attach.dat"), files.paths);
  Result result;
  std::fflush(nullptr);
  const Clock::time_point start = Clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    std::vector<std::string> args = {program, "--check", "--settings",
                                     folder.Path()};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  result.seconds = Since(start);
  result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  result.max_rss_kib = usage.ru_maxrss;
  result.cpu_seconds = CpuSeconds(usage);
  return result;
}

// --- one measurement ---

enum class Client { kOurs, kPython, kFloor, kProgram };
const char* Name(Client client) {
  return client == Client::kOurs     ? "ours"
         : client == Client::kPython ? "python"
         : client == Client::kFloor  ? "floor"
                                     : "program";
}

// The program for `--program=PATH`; empty: not measured.
std::string g_program;

// USER/PASS, as the job logs in.
DovecotServer::Options PopOptions(bool imap = false) {
  DovecotServer::Options options;
  options.imap = imap;
  options.apop = false;
  return options;
}

// Only envelopes are kept: the servers' cost stays flat over 1,000.
SmtpServer::Options SinkOptions() {
  SmtpServer::Options options;
  options.store_messages = false;
  return options;
}

// A response and a forward as ours sends them, captured once by aiosmtpd.
struct Capture {
  std::string response;
  std::string forward;
};

Capture CaptureOurs(const Attachments& files) {
  DovecotServer pop(PopOptions());
  SmtpServer smtp;
  pop.AddMessage(Sample(0));
  if (!pop.Start() || !smtp.Start()) throw std::runtime_error("servers");
  const responder::Settings settings =
      OurSettings(pop.Port(), smtp.Port(), files, true);
  Result result = InChild([&](double* seconds, double* listing) {
    return RunOurs(1, settings, seconds, listing);
  });
  if (!result.ok || !smtp.WaitForMessages(2)) {
    throw std::runtime_error("capture failed");
  }
  std::vector<SmtpServer::Message> got = smtp.Messages();
  return {got[0].data, got[1].data};
}

Result Measure(Client client, int count, bool forward, const Attachments& files,
               const Capture& capture, bool imap = false) {
  DovecotServer pop(PopOptions(imap));
  SmtpServer smtp(SinkOptions());
  for (int i = 0; i < count; ++i) pop.AddMessage(Sample(i));
  if (!pop.Start() || !smtp.Start()) throw std::runtime_error("servers");
  Result result;
  const double smtp_cpu_before = ProcessCpuSeconds(smtp.Pid());
  if (client == Client::kOurs) {
    const responder::Settings settings =
        OurSettings(pop.Port(), smtp.Port(), files, forward, imap);
    result = InChild([&](double* seconds, double* listing) {
      return RunOurs(count, settings, seconds, listing);
    });
  } else if (client == Client::kFloor) {
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    FloorPlan plan{pop.Port(), smtp.Port(), host, {}, {}};
    for (int i = 0; i < count; ++i) {
      plan.response_data.push_back(Stuffed(capture.response));
      if (forward) plan.forward_data.push_back(Stuffed(capture.forward));
    }
    result = InChild([&](double* seconds, double* listing) {
      return RunFloor(count, plan, seconds, listing);
    });
  } else if (client == Client::kProgram) {
    result = RunProgram(g_program, pop.Port(), smtp.Port(), files, forward);
  } else {
    result = RunPython(pop.Port(), smtp.Port(), files, forward, imap);
  }
  const size_t expected = size_t(forward ? 2 * count : count);
  if (result.ok && !smtp.WaitForMessages(expected)) result.ok = false;
  result.smtp_cpu_seconds = ProcessCpuSeconds(smtp.Pid()) - smtp_cpu_before;
  if (!result.ok) std::fprintf(stderr, "%s failed\n", Name(client));
  return result;
}

// The run of median time (its memory and listing time with it).
Result Median(std::vector<Result> results) {
  if (results.empty()) return Result{.seconds = 1e-9, .ok = true};
  std::sort(
      results.begin(), results.end(),
      [](const Result& a, const Result& b) { return a.seconds < b.seconds; });
  return results[results.size() / 2];
}

// IMAP beside POP3: our job over Dovecot's POP3, our job over its IMAP
// (every message answered, marked \Deleted, expunged at the end), and
// Python's imaplib+smtplib doing the same, interleaved run by run.
bool ImapTable(const std::vector<int>& sizes, int runs,
               const Attachments& files, const Capture& capture) {
  std::printf("%6s %4s | %9s %9s %9s | %9s %9s | %8s %8s %8s | %8s %8s\n",
              "msgs", "fwd", "pop3", "imap", "py imap", "imap/pop3", "imap/py",
              "cpu pop3", "cpu imap", "cpu py", "rss imap", "rss py");
  bool ok = true;
  for (int count : sizes) {
    for (bool forward : {false, true}) {
      std::vector<Result> all[3];
      for (int run = 0; run < runs; ++run) {
        all[0].push_back(
            Measure(Client::kOurs, count, forward, files, capture, false));
        all[1].push_back(
            Measure(Client::kOurs, count, forward, files, capture, true));
        all[2].push_back(
            Measure(Client::kPython, count, forward, files, capture, true));
        for (const std::vector<Result>& one : all) ok = ok && one.back().ok;
      }
      Result r[3];
      for (int c = 0; c < 3; ++c) r[c] = Median(all[c]);
      auto per = [&](const Result& x) { return x.seconds * 1000 / count; };
      auto cpu = [&](const Result& x) { return x.cpu_seconds * 1000 / count; };
      std::printf(
          "%6d %4s | %9.2f %9.2f %9.2f | %9.2f %9.2f | %8.2f %8.2f %8.2f | "
          "%8ld %8ld\n",
          count, forward ? "on" : "off", per(r[0]), per(r[1]), per(r[2]),
          per(r[1]) / per(r[0]), per(r[1]) / per(r[2]), cpu(r[0]), cpu(r[1]),
          cpu(r[2]), r[1].max_rss_kib, r[2].max_rss_kib);
      std::fflush(stdout);
    }
  }
  std::printf(
      "ms per message (whole check / messages) of our job over POP3 and "
      "over IMAP and of Python's imaplib+smtplib over IMAP, the ratios, the "
      "client process's user+system ms per message, peak RSS in KiB\n");
  return ok;
}

}  // namespace
}  // namespace replyvane

int main(int argc, char* argv[]) {
  using namespace replyvane;
  std::vector<int> sizes;
  int runs = 1;
  std::string only;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--runs=", 0) == 0) {
      runs = std::max(1, std::stoi(arg.substr(7)));
    } else if (arg.rfind("--program=", 0) == 0) {
      g_program = arg.substr(10);
    } else if (arg == "--imap") {
      g_imap = true;
    } else if (arg.rfind("--only=", 0) == 0) {
      only = arg.substr(7);
    } else {
      sizes.push_back(std::stoi(arg));
    }
  }
  if (sizes.empty()) sizes = {10, 100, 1000};
  if (!DovecotServer::MissingReason().empty() ||
      !SmtpServer::MissingReason().empty()) {
    std::fprintf(stderr, "%s%s\n", DovecotServer::MissingReason().c_str(),
                 SmtpServer::MissingReason().c_str());
    return 1;
  }
  if (g_imap && !DovecotServer::MissingImapReason().empty()) {
    std::fprintf(stderr, "%s\n", DovecotServer::MissingImapReason().c_str());
    return 1;
  }
  TempDir dir("response-bench");
  Attachments files(dir);
  const Capture capture = CaptureOurs(files);
  std::printf("response %zu bytes, forward %zu bytes on the wire\n",
              capture.response.size(), capture.forward.size());
  if (g_imap) return ImapTable(sizes, runs, files, capture) ? 0 : 1;
  std::printf(
      "%6s %4s | %9s %9s %9s | %7s %7s | %8s %8s %8s | %9s %9s %9s | %8s "
      "%8s %8s | %8s %8s %8s\n",
      "msgs", "fwd", "ours", "python", "floor", "o/floor", "o/py", "rss ours",
      "rss py", "rss flr", "list ours", "list py", "list flr", "cpu ours",
      "cpu py", "cpu flr", "smtp o", "smtp py", "smtp flr");
  bool ok = true;
  for (int count : sizes) {
    for (bool forward : {false, true}) {
      std::vector<Result> all[4];
      for (int run = 0; run < runs; ++run) {
        for (Client client : {Client::kOurs, Client::kPython, Client::kFloor,
                              Client::kProgram}) {
          if (!only.empty() && only != Name(client)) continue;
          if (client == Client::kProgram && g_program.empty()) continue;
          all[int(client)].push_back(
              Measure(client, count, forward, files, capture));
          ok = ok && all[int(client)].back().ok;
        }
      }
      Result r[4];
      for (int c = 0; c < 4; ++c) r[c] = Median(all[c]);
      auto per = [&](const Result& x) { return x.seconds * 1000 / count; };
      auto smtp_cpu = [&](const Result& x) {
        return x.smtp_cpu_seconds * 1000 / count;
      };
      auto cpu = [&](const Result& x) { return x.cpu_seconds * 1000 / count; };
      std::printf(
          "%6d %4s | %9.2f %9.2f %9.2f | %7.2f %7.2f | %8ld %8ld %8ld | "
          "%9.1f %9.1f %9.1f | %8.2f %8.2f %8.2f | %8.2f %8.2f %8.2f\n",
          count, forward ? "on" : "off", per(r[0]), per(r[1]), per(r[2]),
          per(r[0]) / per(r[2]), per(r[0]) / per(r[1]), r[0].max_rss_kib,
          r[1].max_rss_kib, r[2].max_rss_kib, r[0].listing_seconds * 1000,
          r[1].listing_seconds * 1000, r[2].listing_seconds * 1000, cpu(r[0]),
          cpu(r[1]), cpu(r[2]), smtp_cpu(r[0]), smtp_cpu(r[1]), smtp_cpu(r[2]));
      if (!g_program.empty()) {
        std::printf(
            "%6d %4s | program --check, whole process: %.2f ms per message, "
            "%.2f of python, %.2f of the floor, cpu %.2f, smtp %.2f, peak "
            "RSS %ld KiB\n",
            count, forward ? "on" : "off", per(r[3]), per(r[3]) / per(r[1]),
            per(r[3]) / per(r[2]), cpu(r[3]), smtp_cpu(r[3]), r[3].max_rss_kib);
      }
      std::fflush(stdout);
    }
  }
  std::printf(
      "ms per message (whole check / messages), ratios per message, peak RSS "
      "in KiB, listing = ms from the check's start to the first SMTP "
      "connect (floor, python: to the end of the TOP/LIST loop), cpu = the "
      "client process's user+system ms per message, smtp = aiosmtpd's "
      "user+system ms per message while serving that client\n");
  return ok ? 0 : 1;
}
