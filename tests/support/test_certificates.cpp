// The test CA and certificates, made by the openssl command. Any failed
// step throws with the command's output; nothing here is a behaviour under
// test.
#include "tests/support/test_certificates.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "tests/support/child_process.h"

namespace replyvane::testing {

namespace {

constexpr char kOpenSSL[] = "/usr/bin/openssl";
constexpr char kLocalNames[] = "DNS:localhost,IP:127.0.0.1";

const char* BaseName(CertificateKind kind) {
  switch (kind) {
    case CertificateKind::kGood:
      return "good";
    case CertificateKind::kExpired:
      return "expired";
    case CertificateKind::kWrongName:
      return "wrong-name";
    case CertificateKind::kSelfSigned:
      return "self-signed";
  }
  return "good";
}

std::optional<std::string> Environment(const char* name) {
  const char* value = std::getenv(name);
  if (!value) return std::nullopt;
  return std::string(value);
}

void Restore(const char* name, const std::optional<std::string>& value) {
  if (value) {
    setenv(name, value->c_str(), 1);
  } else {
    unsetenv(name);
  }
}

}  // namespace

std::string TestCertificates::MissingReason() {
  if (IsExecutable(kOpenSSL)) return "";
  return std::string(kOpenSSL) + " is not installed (Debian package openssl)";
}

void TestCertificates::Run(const std::vector<std::string>& arguments) const {
  std::vector<std::string> argv = {kOpenSSL};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  const std::string log = dir_.File("openssl.log");
  ChildProcess process;
  process.Start(argv, log);
  if (!process.Wait(std::chrono::milliseconds(30000)) ||
      process.ExitStatus() != 0) {
    process.Stop();
    throw std::runtime_error("openssl " + arguments.front() +
                             " failed: " + ReadFile(log));
  }
}

TestCertificates::TestCertificates() {
  const std::string dir = dir_.Path() + "/";
  const std::vector<std::string> new_key = {
      "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
  auto with_key = [&](std::vector<std::string> front,
                      std::vector<std::string> back) {
    front.insert(front.end(), new_key.begin(), new_key.end());
    front.insert(front.end(), back.begin(), back.end());
    return front;
  };
  Run(with_key({"req", "-x509"},
               {"-keyout", dir + "ca.key", "-out", dir + "ca.pem", "-days",
                "3650", "-subj", "/CN=Replyvane Test CA", "-addext",
                "basicConstraints=critical,CA:TRUE", "-addext",
                "keyUsage=critical,keyCertSign,cRLSign"}));
  std::filesystem::create_directory(dir + "db");
  WriteFile(dir + "db/index.txt", "");
  WriteFile(dir + "db/serial", "10\n");
  WriteFile(dir + "ca.cnf",
            "[ca]\ndefault_ca = test_ca\n[test_ca]\n"
            "database = " +
                dir +
                "db/index.txt\n"
                "new_certs_dir = " +
                dir +
                "db\n"
                "serial = " +
                dir +
                "db/serial\n"
                "default_md = sha256\npolicy = any\ncopy_extensions = copy\n"
                "unique_subject = no\n[any]\ncommonName = supplied\n");
  MakeServer("good", kLocalNames, "ca-now");
  MakeServer("expired", kLocalNames, "ca-2020");
  MakeServer("wrong-name", "DNS:wrong.invalid", "ca-now");
  MakeServer("self-signed", kLocalNames, "self");
}

void TestCertificates::MakeServer(const std::string& name,
                                  const std::string& names,
                                  const std::string& how) {
  const std::string base = dir_.Path() + "/" + name;
  const std::string subject =
      "/CN=" +
      std::string(name == "wrong-name" ? "wrong.invalid" : "localhost");
  std::vector<std::string> request = {"req"};
  if (how == "self")
    request.push_back("-x509");
  else
    request.push_back("-new");
  for (const char* part : {"-newkey", "ec", "-pkeyopt",
                           "ec_paramgen_curve:prime256v1", "-nodes"}) {
    request.push_back(part);
  }
  for (const std::string& part :
       {std::string("-keyout"), base + ".key", std::string("-out"),
        base + (how == "self" ? ".pem" : ".csr"), std::string("-subj"), subject,
        std::string("-addext"), "subjectAltName=" + names}) {
    request.push_back(part);
  }
  if (how == "self") {
    request.push_back("-days");
    request.push_back("365");
  }
  Run(request);
  if (how == "self") return;
  const std::string start =
      how == "ca-2020" ? "20200101000000Z" : "20000101000000Z";
  const std::string end =
      how == "ca-2020" ? "20200102000000Z" : "20491231000000Z";
  Run({"ca", "-batch", "-config", dir_.File("ca.cnf"), "-cert", CaFile(),
       "-keyfile", dir_.File("ca.key"), "-in", base + ".csr", "-out",
       base + ".pem", "-startdate", start, "-enddate", end});
}

CertificateFiles TestCertificates::Server(CertificateKind kind) const {
  const std::string base = dir_.File(BaseName(kind));
  return {base + ".pem", base + ".key"};
}

std::string TestCertificates::Fingerprint(CertificateKind kind) const {
  const std::string out = dir_.File(std::string(BaseName(kind)) + ".sha256");
  ChildProcess process;
  process.Start({kOpenSSL, "x509", "-in", Server(kind).certificate, "-noout",
                 "-fingerprint", "-sha256"},
                out);
  process.Wait(std::chrono::milliseconds(30000));
  std::string text = ReadFile(out);
  std::filesystem::remove(out);
  size_t equals = text.find('=');
  if (equals == std::string::npos) {
    throw std::runtime_error("openssl x509 -fingerprint: " + text);
  }
  text.erase(0, equals + 1);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
    text.pop_back();
  }
  return text;
}

TrustScope::TrustScope(const std::string& ca_file)
    : old_file_(Environment("SSL_CERT_FILE")),
      old_dir_(Environment("SSL_CERT_DIR")) {
  setenv("SSL_CERT_FILE", ca_file.c_str(), 1);
  setenv("SSL_CERT_DIR", empty_dir_.Path().c_str(), 1);
}

TrustScope::~TrustScope() {
  Restore("SSL_CERT_FILE", old_file_);
  Restore("SSL_CERT_DIR", old_dir_);
}

}  // namespace replyvane::testing
