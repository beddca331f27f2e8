// What TLS costs the mail clients, beside what it costs Python's: the POP3
// job (TOP n 0 and LIST n for 1,000 messages on one connection) against
// Dovecot and the SMTP job (300 messages of a 4 KiB body and a 64 KiB
// attachment, one connection and AUTH LOGIN each) against aiosmtpd, each in
// the clear and with TLS from the first byte, by Replyvane and by Python's
// poplib/smtplib (POP3_SSL/SMTP_SSL; tests/support/
// bench_python_tls_clients.py). Prints messages per second, the ratios, and
// the extra time per message that TLS takes on each side (medians of five
// alternating rounds). Measure with a Release build.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
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
#include "tests/support/test_certificates.h"

namespace replyvane {
namespace {

constexpr int kPopMessages = 1000;
constexpr int kSmtpMessages = 300;
constexpr int kRounds = 5;

using Clock = std::chrono::steady_clock;

std::string Body() {
  const std::string line =
      "The quick brown fox jumps over the lazy dog, again and again.\r\n";
  std::string body;
  while (body.size() < 4096) body += line;
  body.resize(4094);
  return body + "\r\n";
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  for (size_t end; (end = text.find("\r\n", at)) != std::string::npos;
       at = end + 2) {
    lines.push_back(text.substr(at, end - at));
  }
  return lines;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

struct Bench {
  testing::TestCertificates certificates;
  testing::TrustScope trust{certificates.CaFile()};
  std::unique_ptr<testing::DovecotServer> pop;
  testing::SmtpServer smtp_clear{[] {
    testing::SmtpServer::Options options;
    options.store_messages = false;
    return options;
  }()};
  testing::SmtpServer smtp_tls{[this] {
    testing::SmtpServer::Options options;
    options.store_messages = false;
    options.tls = certificates.Server(testing::CertificateKind::kGood);
    return options;
  }()};
  testing::TempDir dir{"tls-bench"};
  std::string attachment;
  std::vector<std::string> body;

  Bench() {
    testing::DovecotServer::Options options;
    options.apop = false;
    options.tls_required = false;
    options.tls = certificates.Server(testing::CertificateKind::kGood);
    pop = testing::DovecotServer::UnderTmp(options);
    const std::string text = Body();
    body = Lines(text);
    for (int n = 1; n <= kPopMessages; ++n) {
      pop->AddMessage("From: Sender <s" + std::to_string(n) +
                      "@example.invalid>\r\nTo: t@example.invalid\r\n"
                      "Subject: Message " +
                      std::to_string(n) + "\r\n\r\n" + text);
    }
    std::mt19937 random(1);
    std::string data(64 * 1024, '\0');
    for (char& byte : data) byte = static_cast<char>(random());
    attachment = dir.File("data.bin");
    testing::WriteFile(attachment, data);
    for (auto started : {pop->Start(), smtp_clear.Start(), smtp_tls.Start()}) {
      if (!started) throw std::runtime_error(started.message());
    }
  }

  void Pop3(bool tls) {
    mail::POP3 client;
    client.SetHost("localhost");
    client.SetPort(tls ? pop->TlsPort() : pop->Port());
    client.SetTLSMode(tls ? net::TLSMode::kImplicit : net::TLSMode::kNone);
    client.SetUsername(pop->User());
    client.SetPassword(pop->Password());
    client.ConnectToHost();
    const int count = client.GetMessageCount();
    if (count != kPopMessages) throw std::runtime_error("unexpected mailbox");
    message::Message msg;
    for (int n = 1; n <= count; ++n) {
      msg.ResetMessage();
      client.FetchHeader(n, msg);
      if (client.GetMessageSize(n) <= 0) throw std::runtime_error("no size");
    }
    client.CloseConnection();
  }

  void Smtp(bool tls) {
    testing::SmtpServer& server = tls ? smtp_tls : smtp_clear;
    mail::SMTP client;
    client.SetHost("localhost");
    client.SetPort(tls ? server.TlsPort() : server.Port());
    client.SetTLSMode(tls ? net::TLSMode::kImplicit : net::TLSMode::kNone);
    client.SetHeloName("bench.invalid");
    client.SetUsername(server.User());
    client.SetPassword(server.Password());
    client.SetAuthenticationType(mail::AuthenticationType::atLogin);
    message::Message msg;
    for (int n = 1; n <= kSmtpMessages; ++n) {
      msg.ResetMessage();
      msg.From().SetText("Bench Sender <sender@example.invalid>");
      msg.Recipients().SetAddressesText("recipient@example.invalid");
      msg.SetSubject("Benchmark message " + std::to_string(n));
      msg.SetBody(body);
      msg.MessageParts().AddAttachment(attachment);
      client.ConnectToHost();
      client.SendMessage(msg);
      client.CloseConnection();
    }
  }

  double Python(const std::string& job, bool tls) {
    const std::string log = dir.File("python.log");
    std::remove(log.c_str());
    const bool pop3 = job == "pop3";
    int port = pop3 ? (tls ? pop->TlsPort() : pop->Port())
                    : (tls ? smtp_tls.TlsPort() : smtp_clear.Port());
    std::vector<std::string> argv = {
        "/usr/bin/python3",
        REPLYVANE_SOURCE_DIR "/tests/support/bench_python_tls_clients.py",
        "--job",
        job,
        "--host",
        "localhost",
        "--port",
        std::to_string(port),
        "--messages",
        std::to_string(kSmtpMessages)};
    if (tls) {
      argv.push_back("--cafile");
      argv.push_back(certificates.CaFile());
    }
    testing::ChildProcess python;
    python.Start(argv, log);
    if (!python.Wait(std::chrono::minutes(5))) {
      python.Stop();
      throw std::runtime_error("python timed out");
    }
    const std::string output = testing::ReadFile(log);
    const size_t seconds = output.find("seconds=");
    if (python.ExitStatus() != 0 || seconds == std::string::npos) {
      throw std::runtime_error("python failed: " + output);
    }
    return std::stod(output.substr(seconds + 8));
  }
};

double Timed(const std::function<void()>& job) {
  const Clock::time_point start = Clock::now();
  job();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void Report(Bench& bench, const std::string& job, int messages,
            void (Bench::*ours)(bool)) {
  // Seconds per run: [tls][python].
  std::vector<double> times[2][2];
  for (int round = 0; round < kRounds; ++round) {
    for (bool tls : {false, true}) {
      times[tls][0].push_back(Timed([&] { (bench.*ours)(tls); }));
      times[tls][1].push_back(bench.Python(job, tls));
    }
  }
  double per_message[2][2];
  for (int tls = 0; tls < 2; ++tls) {
    for (int side = 0; side < 2; ++side) {
      per_message[tls][side] = Median(times[tls][side]) / messages;
    }
  }
  for (int tls = 0; tls < 2; ++tls) {
    std::printf(
        "%s %-5s replyvane %8.1f msg/s  python %8.1f msg/s  ratio %.2f\n",
        job.c_str(), tls ? "TLS" : "clear", 1 / per_message[tls][0],
        1 / per_message[tls][1], per_message[tls][1] / per_message[tls][0]);
  }
  std::printf(
      "%s TLS costs replyvane %.1f us/msg, python %.1f us/msg more than "
      "the clear\n",
      job.c_str(), (per_message[1][0] - per_message[0][0]) * 1e6,
      (per_message[1][1] - per_message[0][1]) * 1e6);
}

}  // namespace
}  // namespace replyvane

int main() {
  std::string missing = replyvane::testing::DovecotServer::MissingReason() +
                        replyvane::testing::SmtpServer::MissingReason() +
                        replyvane::testing::TestCertificates::MissingReason();
  if (!missing.empty()) {
    std::printf("skipped: %s\n", missing.c_str());
    return 0;
  }
  try {
    replyvane::Bench bench;
    replyvane::Report(bench, "pop3", replyvane::kPopMessages,
                      &replyvane::Bench::Pop3);
    replyvane::Report(bench, "smtp", replyvane::kSmtpMessages,
                      &replyvane::Bench::Smtp);
  } catch (const std::exception& error) {
    std::printf("failed: %s\n", error.what());
    return 1;
  }
  return 0;
}
