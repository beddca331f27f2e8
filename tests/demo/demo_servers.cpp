// The servers behind scripts/demo.sh: the test fixtures' private Dovecot
// POP3 server with a handful of sample messages and the aiosmtpd SMTP
// server, both on 127.0.0.1 and both with TLS: a test authority made at the
// start signs their certificate (POP3 over TLS from the first byte, SMTP
// with STARTTLS and AUTH after it; the clear ports work too). Writes their
// ports, log-ins and the authority's file to <demo dir>/servers.env, runs
// until SIGTERM or SIGINT, then copies the
// received messages to <demo dir>/sent and stops both servers. Exits 1
// when a server cannot start (its log goes to standard error).
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "tests/support/dovecot_server.h"
#include "tests/support/smtp_server.h"
#include "tests/support/test_certificates.h"

namespace {

using replyvane::testing::DovecotServer;
using replyvane::testing::SmtpServer;
using replyvane::testing::TestCertificates;

struct Sample {
  const char* from;
  const char* subject;
  const char* body;
};

constexpr Sample kSamples[] = {
    {"Ann Example <ann@example.com>", "Order 1187: when will it ship?",
     "Hello,\r\n\r\nI ordered two lamps last week. When will they ship?\r\n"
     "\r\nAnn\r\n"},
    {"bob@example.org", "Invoice question",
     "Hi, the invoice lists three items but I ordered two.\r\n"},
    {"Cat <cat@example.net>", "Opening hours over the holidays",
     "Are you open on the 24th?\r\n"},
    {"dan@example.com", "Thank you!",
     "Just wanted to say the repair was quick. Thanks!\r\n"},
    {"Eve <eve@example.org>", "Change of address",
     "Please send future mail to my new address:\r\n"
     "12 Harbour Lane\r\n.\r\nThat is all.\r\n"},
};

std::string MessageText(const Sample& sample, int index) {
  return std::string("From: ") + sample.from +
         "\r\nTo: help@replyvane.test\r\nSubject: " + sample.subject +
         "\r\nDate: Tue, 0" + std::to_string(index + 1) +
         " Dec 2026 09:30:00 +0000\r\nMessage-ID: <demo" +
         std::to_string(index) + "@example.com>\r\n\r\n" + sample.body;
}

int CopyMessages(const SmtpServer& smtp, const std::filesystem::path& to) {
  std::filesystem::create_directories(to);
  int copied = 0;
  for (const auto& entry :
       std::filesystem::directory_iterator(smtp.MessageDir())) {
    if (entry.path().extension() != ".eml") continue;
    std::filesystem::copy_file(
        entry.path(), to / entry.path().filename(),
        std::filesystem::copy_options::overwrite_existing);
    ++copied;
  }
  return copied;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::cerr << "usage: demo_servers <demo directory>\n";
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  // Wait for the stop signal with sigwait, so it is blocked from the start.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);

  const TestCertificates certificates;
  const auto files =
      certificates.Server(replyvane::testing::CertificateKind::kGood);
  auto pop_server = DovecotServer::UnderTmp(DovecotServer::Options{
      .apop = false, .tls = files, .tls_required = false});
  DovecotServer& pop = *pop_server;
  SmtpServer smtp(SmtpServer::Options{.tls = files});
  for (int i = 0; i < int(std::size(kSamples)); ++i) {
    pop.AddMessage(MessageText(kSamples[i], i));
  }
  for (replyvane::testing::ServerProcess* server :
       {static_cast<replyvane::testing::ServerProcess*>(&pop),
        static_cast<replyvane::testing::ServerProcess*>(&smtp)}) {
    if (auto started = server->Start(); !started) {
      std::cerr << started.message() << "\n";
      return 1;
    }
  }
  {
    std::ofstream env(dir / "servers.env.part");
    env << "POP3_PORT=" << pop.Port() << "\nPOP3_USER=" << pop.User()
        << "\nPOP3_PASSWORD=" << pop.Password() << "\nSMTP_PORT=" << smtp.Port()
        << "\nPOP3_TLS_PORT=" << pop.TlsPort() << "\nSMTP_USER=" << smtp.User()
        << "\nSMTP_PASSWORD=" << smtp.Password()
        << "\nCA_FILE=" << certificates.CaFile() << "\n";
  }
  std::filesystem::rename(dir / "servers.env.part", dir / "servers.env");
  std::cout << "POP3 server on 127.0.0.1:" << pop.Port() << " with "
            << pop.MessageCount()
            << " messages, SMTP server on 127.0.0.1:" << smtp.Port()
            << std::endl;

  int signal_number = 0;
  sigwait(&stop, &signal_number);
  const int copied = CopyMessages(smtp, dir / "sent");
  std::cout << copied << " sent messages stored in " << (dir / "sent").string()
            << "; " << pop.MessageCount() << " left in the mailbox"
            << std::endl;
  return 0;
}
