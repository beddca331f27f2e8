// How soon a message is answered while `replyvane --watch` idles: the time
// from a message's delivery into Dovecot's IMAP folder (the file renamed
// into the maildir) to aiosmtpd's 250 for its response (the server records
// the moment on the same monotonic clock), over N deliveries one at a time,
// each after a random pause of 20 to 300 ms so that a delivery meets the
// watch in any state of its wait. The watch runs on a thread of its own,
// as the program's --watch runs it. Prints p50, p95, the slowest and the
// mean; and, first, the same for the server's own part: the time from a
// delivery to the EXISTS that ends a bare IDLE of our IMAP client (Dovecot
// waits a moment after a change before it tells).
//
//   cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release
//         -DREPLYVANE_BUILD_BENCH=ON
//   cmake --build build/bench --target imap_watch_bench -j2
//   build/bench/bench/imap_watch_bench [deliveries, default 200]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "mail/imap.h"
#include "responder/data_files.h"
#include "responder/watch_run.h"
#include "tests/support/dovecot_server.h"
#include "tests/support/smtp_server.h"
#include "tests/support/temp_dir.h"

namespace replyvane {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using testing::DovecotServer;
using testing::SmtpServer;
using testing::TempDir;

double Now() {
  return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

std::string Sample(int i) {
  return "From: Sender " + std::to_string(i) + " <s" + std::to_string(i) +
         "@example.com>\r\nTo: help@example.com\r\nSubject: Question " +
         std::to_string(i) +
         "\r\nDate: Tue, 01 Dec 2026 12:00:00 +0000\r\nMessage-ID: <" +
         std::to_string(i) +
         "@example.com>\r\n\r\nA question, in a line of plain text.\r\n";
}

// The settings folder of a watch over `imap_port`: every new message
// answered, then kept (the folder as the user left it).
void WriteSettings(const TempDir& folder, int imap_port, int smtp_port) {
  testing::WriteFile(
      folder.File("Settings.ini"),
      "[Options]\r\n1=127.0.0.1\r\n2=127.0.0.1\r\n3=testuser\r\n"
      "4=testpass\r\n8=" +
          std::to_string(imap_port) + "\r\n9=" + std::to_string(smtp_port) +
          "\r\n10=0\r\n[Reponder]\r\n2=help@example.com\r\n3=Thank you\r\n"
          "4=0\r\n[Mailbox]\r\nKind=IMAP\r\n");
  responder::WriteResponseFile(folder.File("response.dat"),
                               "Thank you for writing.\n");
}

double Percentile(const std::vector<double>& sorted, double share) {
  const size_t at = std::min(sorted.size() - 1,
                             size_t(share * double(sorted.size() - 1) + 0.5));
  return sorted[at];
}

// Delivery to the EXISTS of an IDLE already waiting, `count` times.
std::vector<double> ServerNotices(DovecotServer& imap, int count,
                                  std::mt19937& random) {
  std::vector<double> seconds;
  for (int i = 0; i < count; ++i) {
    mail::IMAP client;
    client.SetHost("127.0.0.1");
    client.SetPort(imap.Port());
    client.SetUsername(imap.User());
    client.SetPassword(imap.Password());
    client.SetReadTimeout(10000);
    client.ConnectToHost(10000);
    client.Select("INBOX", true);
    std::atomic<double> delivered{0};
    std::thread deliver([&] {
      std::this_thread::sleep_for(milliseconds(50 + int(random() % 200)));
      delivered = Now();
      imap.AddMessage(Sample(-1 - i));
    });
    const bool told = client.Idle(std::chrono::seconds(10), nullptr);
    const double at = Now();
    deliver.join();
    client.Logout();
    if (told) seconds.push_back(at - delivered);
  }
  std::sort(seconds.begin(), seconds.end());
  return seconds;
}

}  // namespace
}  // namespace replyvane

int main(int argc, char* argv[]) {
  using namespace replyvane;
  const int deliveries = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
  if (std::string missing =
          DovecotServer::MissingImapReason() + SmtpServer::MissingReason();
      !missing.empty()) {
    std::fprintf(stderr, "%s\n", missing.c_str());
    return 1;
  }
  DovecotServer::Options options;
  options.imap = true;
  std::unique_ptr<DovecotServer> imap = DovecotServer::UnderTmp(options);
  SmtpServer::Options sink;
  sink.store_messages = false;
  SmtpServer smtp(sink);
  if (!imap->Start() || !smtp.Start()) {
    std::fprintf(stderr, "the servers did not start\n");
    return 1;
  }
  std::mt19937 random(2026);
  const std::vector<double> notices = ServerNotices(*imap, 20, random);
  if (!notices.empty()) {
    std::printf(
        "Dovecot alone, delivery to the EXISTS of a waiting IDLE, %zu "
        "deliveries: p50 %.1f ms, slowest %.1f ms\n",
        notices.size(), Percentile(notices, 0.5) * 1000, notices.back() * 1000);
  }
  TempDir folder("watch-bench");
  WriteSettings(folder, imap->Port(), smtp.Port());

  std::atomic<bool> stop{false};
  std::ostringstream out, err;
  std::thread watch(
      [&] { responder::RunWatch(folder.Path(), out, err, stop); });
  // Watching once the first look has recorded where answering starts.
  const auto began = Clock::now();
  while (!std::filesystem::exists(folder.File("imap-start.dat")) &&
         Clock::now() - began < std::chrono::seconds(20)) {
    std::this_thread::sleep_for(milliseconds(10));
  }

  std::uniform_int_distribution<int> pause_ms(20, 300);
  std::vector<double> seconds;
  bool ok = true;
  for (int i = 1; i <= deliveries && ok; ++i) {
    std::this_thread::sleep_for(milliseconds(pause_ms(random)));
    const double delivered = Now();
    imap->AddMessage(Sample(i));
    if (!smtp.WaitForMessages(size_t(i), milliseconds(30000))) {
      std::fprintf(stderr, "delivery %d was not answered in 30 s\n", i);
      ok = false;
      break;
    }
    seconds.push_back(smtp.Messages().back().accepted - delivered);
  }
  stop = true;
  watch.join();
  if (!ok || seconds.empty()) {
    std::fprintf(stderr, "%s%s\n", out.str().c_str(), err.str().c_str());
    return 1;
  }
  double total = 0;
  for (double s : seconds) total += s;
  std::sort(seconds.begin(), seconds.end());
  std::printf(
      "--watch over Dovecot IMAP and aiosmtpd, %zu deliveries one at a time: "
      "delivery to the response's 250 p50 %.1f ms, p95 %.1f ms, slowest "
      "%.1f ms, mean %.1f ms\n",
      seconds.size(), Percentile(seconds, 0.5) * 1000,
      Percentile(seconds, 0.95) * 1000, seconds.back() * 1000,
      total / double(seconds.size()) * 1000);
  return smtp.MessageCount() == size_t(deliveries) ? 0 : 1;
}
