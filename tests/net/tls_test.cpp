// TLS beneath the connection against an in-process TLS server: what is
// accepted and what is refused (with nothing sent), the failure texts, the
// pinned fingerprint, a dropped and a stalled handshake under the
// anti-freeze, and the line reader over many records.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "net/anti_freeze.h"
#include "net/tcp_client.h"
#include "net/tls_session.h"
#include "tests/net/net_test_util.h"
#include "tests/support/test_certificates.h"
#include "tests/support/tls_test_server.h"

namespace replyvane::net {
namespace {

using testing::CertificateKind;
using testing::CertificateSuite;
using testing::TestCertificates;
using testing::TlsTestServer;
using testing::TrustScope;

class TlsTest : public CertificateSuite {
 protected:
  std::unique_ptr<TCPClient> Client(int port, const std::string& host,
                                    const std::string& pin = "") {
    auto client = std::make_unique<TCPClient>();
    client->SetHost(host);
    client->SetPort(port);
    client->SetTLSMode(TLSMode::kImplicit);
    client->SetTLSFingerprint(pin);
    client->SetReadTimeout(10000);
    return client;
  }

  // "" when the connect succeeded, else the failure's text.
  static std::string ConnectOutcome(TCPClient& client) {
    try {
      client.ConnectToHost();
      return "";
    } catch (const core::Exception& error) {
      return error.Message();
    }
  }
};

TEST_F(TlsTest, AcceptsOnlyAVerifiedOrPinnedCertificateAndSendsNothingElse) {
  const TestCertificates& c = *certificates_;
  const std::string self_signed = c.Fingerprint(CertificateKind::kSelfSigned);
  const std::string good = c.Fingerprint(CertificateKind::kGood);
  std::string bare_lower;
  for (char ch : self_signed) {
    if (ch != ':') bare_lower += char(std::tolower(ch));
  }
  struct Row {
    const char* name;
    CertificateKind kind;
    std::string host;
    std::string pin;
    std::string outcome;
  } rows[] = {
      {"trusted, host name", CertificateKind::kGood, "localhost", "", ""},
      {"trusted, IP address", CertificateKind::kGood, "127.0.0.1", "", ""},
      {"self-signed", CertificateKind::kSelfSigned, "localhost", "",
       "Certificate of localhost is not trusted: self-signed certificate\r\n"
       "SHA-256 fingerprint: " +
           self_signed},
      {"wrong host name", CertificateKind::kWrongName, "localhost", "",
       "Certificate of localhost does not match the host name localhost: it "
       "is for wrong.invalid\r\nSHA-256 fingerprint: " +
           c.Fingerprint(CertificateKind::kWrongName)},
      {"wrong address", CertificateKind::kWrongName, "127.0.0.1", "",
       "Certificate of 127.0.0.1 does not match the host name 127.0.0.1: it "
       "is for wrong.invalid\r\nSHA-256 fingerprint: " +
           c.Fingerprint(CertificateKind::kWrongName)},
      // Taken for an address once, and then checked against nothing.
      {"address in another spelling", CertificateKind::kGood, "0x7f.0.0.1", "",
       "Certificate of 0x7f.0.0.1 does not match the host name 0x7f.0.0.1: "
       "it is for localhost, 127.0.0.1\r\nSHA-256 fingerprint: " +
           good},
      {"expired", CertificateKind::kExpired, "localhost", "",
       "Certificate of localhost is not trusted: certificate has expired\r\n"
       "SHA-256 fingerprint: " +
           c.Fingerprint(CertificateKind::kExpired)},
      {"pinned self-signed", CertificateKind::kSelfSigned, "localhost",
       self_signed, ""},
      {"pin written bare and lower case", CertificateKind::kSelfSigned,
       "127.0.0.1", bare_lower, ""},
      {"pin of another certificate", CertificateKind::kSelfSigned, "localhost",
       good,
       "Certificate of localhost is not the trusted certificate " + good +
           ".\r\nSHA-256 fingerprint: " + self_signed},
      {"pin replaces the trust too", CertificateKind::kGood, "localhost",
       self_signed,
       "Certificate of localhost is not the trusted certificate " +
           self_signed + ".\r\nSHA-256 fingerprint: " + good},
      {"pin that is no fingerprint", CertificateKind::kGood, "localhost",
       "12:34",
       "The trusted certificate for localhost is not a SHA-256 fingerprint: "
       "12:34"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TlsTestServer server(c.Server(row.kind));
    auto client = Client(server.Port(), row.host, row.pin);
    ASSERT_EQ(ConnectOutcome(*client), row.outcome);
    if (row.outcome.empty()) {
      EXPECT_TRUE(client->TLSActive());
      EXPECT_EQ(client->ReadTextLine(), "+OK ready");
      client->WriteTextLine("hello");
      client->CloseConnection();
      EXPECT_EQ(server.Received(), "hello\r\n");
    } else {
      EXPECT_FALSE(client->IsConnected());
      EXPECT_EQ(server.Received(), "");
      EXPECT_EQ(server.Handshakes(), 0);
    }
  }
}

TEST_F(TlsTest, LinesSpanningManyRecordsReadAsOverPlainTcp) {
  std::string greeting;
  for (int i = 0; i < 3000; ++i) {
    greeting += "line " + std::to_string(i) + std::string(90, 'x') + "\r\n";
  }
  TlsTestServer server(certificates_->Server(CertificateKind::kGood),
                       TlsTestServer::Behaviour::kGreet, greeting + ".\r\n");
  auto client = Client(server.Port(), "localhost");
  client->ConnectToHost();
  std::vector<std::string> lines;
  client->CollectLines(&lines);
  ASSERT_EQ(lines.size(), 3000u);
  EXPECT_EQ(lines[2999], "line 2999" + std::string(90, 'x'));
  const std::string big(100000, 'y');
  client->WriteText(big);
  client->CloseConnection();
  EXPECT_EQ(server.Received(), big);
}

TEST_F(TlsTest, DroppedOrStalledHandshakeEndsTheConnectWhileWindowsRun) {
  const auto files = certificates_->Server(CertificateKind::kGood);
  {
    TlsTestServer server(files, TlsTestServer::Behaviour::kDropHandshake);
    auto client = Client(server.Port(), "localhost");
    EXPECT_EQ(ConnectOutcome(*client),
              "localhost closed the connection during the TLS handshake.");
    EXPECT_FALSE(client->IsConnected());
  }
  TlsTestServer server(files, TlsTestServer::Behaviour::kStall);
  auto client = Client(server.Port(), "localhost");
  client->SetReadTimeout(1500);
  CountingAntiFreeze anti_freeze;
  anti_freeze.SetIdleTimeOut(100);
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(ConnectOutcome(*client),
            "The TLS handshake with localhost timed out.");
  auto took = std::chrono::steady_clock::now() - started;
  EXPECT_GE(took, std::chrono::milliseconds(1400));
  EXPECT_LT(took, std::chrono::milliseconds(6000));
  // One processing per 100 ms slice of the wait, at least.
  EXPECT_GE(anti_freeze.calls, 10);
  EXPECT_FALSE(client->IsConnected());
}

TEST(TlsFingerprintTest, NormalizesTheWaysPeopleCopyIt) {
  const std::string shown =
      "AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:"
      "AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89";
  EXPECT_EQ(NormalizeFingerprint(shown), shown);
  EXPECT_EQ(NormalizeFingerprint("abcdef0123456789abcdef0123456789 "
                                 "abcdef0123456789abcdef0123456789"),
            shown);
  EXPECT_EQ(NormalizeFingerprint(shown.substr(3)), "");
  EXPECT_EQ(NormalizeFingerprint(shown + "0"), "");
  EXPECT_EQ(NormalizeFingerprint("G" + shown.substr(1)), "");
  EXPECT_EQ(NormalizeFingerprint(""), "");
}

}  // namespace
}  // namespace replyvane::net
