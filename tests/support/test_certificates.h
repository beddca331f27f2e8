// A private certificate authority and server certificates for the TLS
// tests, made with the openssl command in a fresh temporary directory when
// the object is built (EC keys, so it takes a fraction of a second). The
// servers use the certificate files; the client trusts the authority
// through SSL_CERT_FILE (see TrustScope), as OpenSSL's default verify paths
// read it.
//
//   TestCertificates certificates;   // MissingReason() first, to skip
//   TrustScope trust(certificates.CaFile());
//   pop_server.UseTLS(certificates.Server(CertificateKind::kGood));
#ifndef REPLYVANE_TESTS_SUPPORT_TEST_CERTIFICATES_H_
#define REPLYVANE_TESTS_SUPPORT_TEST_CERTIFICATES_H_

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace replyvane::testing {

enum class CertificateKind {
  kGood,        // from the test CA, for localhost and 127.0.0.1, valid now
  kExpired,     // from the test CA, for localhost and 127.0.0.1, 2020-01-01
  kWrongName,   // from the test CA, for wrong.invalid only
  kSelfSigned,  // its own issuer, for localhost and 127.0.0.1
};

// A certificate file and its key file (PEM).
struct CertificateFiles {
  std::string certificate;
  std::string key;
};

class TestCertificates {
 public:
  // Makes the authority and one certificate of each kind. Throws
  // std::runtime_error with openssl's output when a step fails.
  TestCertificates();

  // Empty when /usr/bin/openssl exists; else the reason to skip.
  static std::string MissingReason();

  // The authority's certificate, to be trusted by the client.
  std::string CaFile() const { return dir_.File("ca.pem"); }
  CertificateFiles Server(CertificateKind kind) const;
  // "AB:CD:…", the SHA-256 fingerprint of a server certificate.
  std::string Fingerprint(CertificateKind kind) const;

 private:
  void Run(const std::vector<std::string>& arguments) const;
  void MakeServer(const std::string& name, const std::string& names,
                  const std::string& how);

  TempDir dir_{"certificates"};
};

// Points OpenSSL's default trusted certificates at `ca_file` (and an empty
// directory) for this process while it lives, then restores the old values.
class TrustScope {
 public:
  explicit TrustScope(const std::string& ca_file);
  ~TrustScope();
  TrustScope(const TrustScope&) = delete;
  TrustScope& operator=(const TrustScope&) = delete;

 private:
  std::optional<std::string> old_file_;
  std::optional<std::string> old_dir_;
  TempDir empty_dir_{"no-certificates"};
};

// A test suite with one set of certificates made for the whole suite and
// their authority trusted during each test; a test skips when the
// certificates cannot be made.
class CertificateSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (TestCertificates::MissingReason().empty()) {
      certificates_ = new TestCertificates();
    }
  }
  static void TearDownTestSuite() {
    delete certificates_;
    certificates_ = nullptr;
  }
  void SetUp() override {
    if (!certificates_) GTEST_SKIP() << TestCertificates::MissingReason();
    trust_.emplace(certificates_->CaFile());
  }

  static inline TestCertificates* certificates_ = nullptr;
  std::optional<TrustScope> trust_;
};

}  // namespace replyvane::testing

#endif  // REPLYVANE_TESTS_SUPPORT_TEST_CERTIFICATES_H_
