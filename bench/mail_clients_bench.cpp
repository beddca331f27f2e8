// Loopback throughput of the POP3 and SMTP clients against the real test
// servers (Dovecot, aiosmtpd), next to Python's poplib/smtplib doing the same
// jobs against the same servers in the same run
// (tests/support/bench_python_clients.py):
//   pop3: TOP n 0 and LIST n for each of 1,000 messages, one connection;
//   smtp: 1,000 messages of a 4 KiB body and one 64 KiB attachment, each
//         composed afresh and sent on a connection of its own.
// Prints messages per second for both and the ratio. Skips (with a message)
// when the servers are not installed. Measure with a Release build
// (-DCMAKE_BUILD_TYPE=Release -DREPLYVANE_BUILD_BENCH=ON).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "mail/pop3.h"
#include "mail/smtp.h"
#include "message/message.h"
#include "message/message_parts.h"
#include "tests/support/child_process.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/smtp_server.h"
#include "tests/support/temp_dir.h"

namespace replyvane {
namespace {

constexpr int kMessages = 1000;
constexpr size_t kBodySize = 4 * 1024;
constexpr size_t kAttachmentSize = 64 * 1024;

// A message as a mailbox holds it: a usual header block and a 4 KiB body.
std::string StoredMessage(int number, const std::string& body) {
  char header[512];
  std::snprintf(header, sizeof header,
                "Return-Path: <sender%d@example.invalid>\r\n"
                "Received: from client.example.invalid by mx.example.invalid "
                "with ESMTP id %d; Tue, 8 Dec 2026 05:00:00 +0000\r\n"
                "From: Sender %d <sender%d@example.invalid>\r\n"
                "To: testuser@example.invalid\r\n"
                "Subject: Message number %d\r\n"
                "Date: Tue, 8 Dec 2026 05:00:00 +0000\r\n"
                "Message-ID: <%d@example.invalid>\r\n"
                "MIME-Version: 1.0\r\n"
                "Content-Type: text/plain; charset=us-ascii\r\n"
                "\r\n",
                number, number, number, number, number, number);
  return header + body;
}

std::string BodyText() {
  const std::string line =
      "The quick brown fox jumps over the lazy dog, again and again.\r\n";
  std::string body;
  while (body.size() < kBodySize) body += line;
  body.resize(kBodySize - 2);
  return body + "\r\n";
}

std::vector<std::string> BodyLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  for (size_t end; (end = text.find("\r\n", at)) != std::string::npos;
       at = end + 2) {
    lines.push_back(text.substr(at, end - at));
  }
  return lines;
}

// Messages per second of one job.
struct Rates {
  double ours = 0;
  double python = 0;
};

// The two servers, the attachment file and the results, for the whole run.
struct Environment {
  testing::DovecotServer pop;
  testing::SmtpServer smtp{[] {
    testing::SmtpServer::Options options;
    options.store_messages = false;
    return options;
  }()};
  testing::TempDir dir{"mail-bench"};
  std::string attachment;
  std::vector<std::string> body;
  std::string skip;
  std::map<std::string, Rates> rates;  // by job: "pop3", "smtp"

  Environment() {
    std::string missing = testing::DovecotServer::MissingReason() +
                          testing::SmtpServer::MissingReason();
    if (!missing.empty()) {
      skip = missing;
      return;
    }
    std::string body_text = BodyText();
    body = BodyLines(body_text);
    for (int n = 1; n <= kMessages; ++n) {
      pop.AddMessage(StoredMessage(n, body_text));
    }
    std::mt19937 random(1);
    std::string data(kAttachmentSize, '\0');
    for (char& byte : data) byte = static_cast<char>(random());
    attachment = dir.File("data.bin");
    testing::WriteFile(attachment, data);
    if (auto started = pop.Start(); !started) skip = started.message();
    if (auto started = smtp.Start(); !started) skip += started.message();
  }
};

// Made at first use; main destroys it, which stops both servers.
std::unique_ptr<Environment> environment;

Environment& Env() {
  if (!environment) environment = std::make_unique<Environment>();
  return *environment;
}

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
      .count();
}

void FetchHeaders() {
  mail::POP3 client;
  client.SetHost("127.0.0.1");
  client.SetPort(Env().pop.Port());
  client.SetUsername(Env().pop.User());
  client.SetPassword(Env().pop.Password());
  client.ConnectToHost();
  int count = client.GetMessageCount();
  if (count != kMessages) throw std::runtime_error("unexpected mailbox");
  message::Message msg;
  for (int n = 1; n <= count; ++n) {
    msg.ResetMessage();
    client.FetchHeader(n, msg);
    if (client.GetMessageSize(n) <= 0) throw std::runtime_error("no size");
  }
  client.CloseConnection();
}

void SendMessages() {
  mail::SMTP client;
  client.SetHost("127.0.0.1");
  client.SetPort(Env().smtp.Port());
  client.SetHeloName("bench.invalid");
  message::Message msg;
  for (int n = 1; n <= kMessages; ++n) {
    msg.ResetMessage();
    msg.From().SetText("Bench Sender <sender@example.invalid>");
    msg.Recipients().SetAddressesText("recipient@example.invalid");
    msg.SetSubject("Benchmark message " + std::to_string(n));
    msg.SetBody(Env().body);
    msg.MessageParts().AddAttachment(Env().attachment);
    client.ConnectToHost();
    client.SendMessage(msg);
    client.CloseConnection();
  }
}

// Runs the Python job and returns the seconds it reports for itself.
double RunPython(const std::string& job) {
  std::string log = Env().dir.File("python-" + job + ".log");
  std::remove(log.c_str());
  testing::ChildProcess python;
  python.Start(
      {"/usr/bin/python3",
       REPLYVANE_SOURCE_DIR "/tests/support/bench_python_clients.py", "--jobs",
       job, "--pop3-port", std::to_string(Env().pop.Port()), "--pop3-user",
       Env().pop.User(), "--pop3-pass", Env().pop.Password(), "--smtp-port",
       std::to_string(Env().smtp.Port()), "--messages",
       std::to_string(kMessages)},
      log);
  if (!python.Wait(std::chrono::minutes(5))) {
    python.Stop();
    throw std::runtime_error("python " + job + " timed out");
  }
  std::string output = testing::ReadFile(log);
  size_t at = output.find(job + " messages=");
  size_t seconds = output.find("seconds=", at);
  if (python.ExitStatus() != 0 || at == std::string::npos ||
      seconds == std::string::npos) {
    throw std::runtime_error("python " + job + " failed: " + output);
  }
  return std::stod(output.substr(seconds + 8));
}

double Timed(void (*job)()) {
  auto start = std::chrono::steady_clock::now();
  job();
  return Seconds(start);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle]
                           : (values[middle - 1] + values[middle]) / 2;
}

// Runs our job and Python's in turn, once per iteration, so that both meet
// the same load on this shared machine; the iteration time is ours. The
// counters and the summary use the median of each side.
void Paired(benchmark::State& state, const std::string& job, void (*ours)()) {
  if (!Env().skip.empty()) {
    state.SkipWithError(Env().skip.c_str());
    return;
  }
  std::vector<double> our_times;
  std::vector<double> python_times;
  for (auto _ : state) {
    try {
      our_times.push_back(Timed(ours));
      python_times.push_back(RunPython(job));
    } catch (const std::exception& error) {
      state.SkipWithError(error.what());
      return;
    }
    state.SetIterationTime(our_times.back());
  }
  Rates& rates = Env().rates[job];
  rates.ours = kMessages / Median(our_times);
  rates.python = kMessages / Median(python_times);
  state.counters["replyvane_msgs_per_s"] = rates.ours;
  state.counters["python_msgs_per_s"] = rates.python;
  state.counters["ratio"] = rates.ours / rates.python;
}

void BM_Pop3Headers(benchmark::State& state) {
  Paired(state, "pop3", FetchHeaders);
}
void BM_SmtpSend(benchmark::State& state) {
  Paired(state, "smtp", SendMessages);
}

BENCHMARK(BM_Pop3Headers)
    ->UseManualTime()
    ->Iterations(7)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmtpSend)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

void PrintRatios() {
  for (const auto& [job, rates] : Env().rates) {
    std::printf(
        "%s: replyvane %.1f messages/s, python %.1f messages/s, "
        "ratio %.2f (medians)\n",
        job.c_str(), rates.ours, rates.python, rates.ours / rates.python);
  }
}

}  // namespace
}  // namespace replyvane

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  replyvane::PrintRatios();
  replyvane::environment.reset();
  benchmark::Shutdown();
  return 0;
}
