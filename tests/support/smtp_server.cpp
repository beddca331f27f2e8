// The aiosmtpd test server as a child process, and reading back what it
// stored. A message counts only once its envelope (.json, written last) is
// there; a half-written message is never returned.
#include "tests/support/smtp_server.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "tests/support/flat_json.h"
#include "tests/support/socket_util.h"

namespace replyvane::testing {
namespace {

constexpr char kPython[] = "/usr/bin/python3";
constexpr char kScript[] = REPLYVANE_SOURCE_DIR "/tests/support/smtp_server.py";

// The envelope files present now, sorted (NNNN.json sorts by arrival).
std::vector<std::string> EnvelopeFiles(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
    std::string name = entry.path().filename();
    if (name.ends_with(".json") && !name.starts_with(".")) {
      names.push_back(name);
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

SmtpServer::Message ReadMessage(const std::string& dir,
                                const std::string& json_name) {
  std::string path = dir + "/" + json_name;
  auto fields = ParseFlatJson(ReadFile(path));
  using Kind = FlatJsonValue::Kind;
  if (!fields || (*fields)["mail_from"].kind != Kind::kString ||
      (*fields)["rcpt_tos"].kind != Kind::kArray) {
    throw std::runtime_error("unreadable envelope " + path);
  }
  SmtpServer::Message message;
  message.mail_from = (*fields)["mail_from"].text;
  message.rcpt_tos = (*fields)["rcpt_tos"].items;
  if ((*fields)["login"].kind == Kind::kString) {
    message.login = (*fields)["login"].text;
  }
  if ((*fields)["accepted"].kind == Kind::kLiteral) {
    message.accepted = std::strtod((*fields)["accepted"].text.c_str(), nullptr);
  }
  std::string base = json_name.substr(0, json_name.size() - 5);
  message.data = ReadFile(dir + "/" + base + ".eml");
  return message;
}

}  // namespace

SmtpServer::SmtpServer(Options options)
    : ServerProcess("the SMTP server", "220 ", options.start_timeout),
      options_(std::move(options)) {
  std::filesystem::create_directory(MessageDir());
}

std::string SmtpServer::MissingReason() {
  static const std::string reason = [] {
    if (!IsExecutable(kPython)) {
      return std::string(kPython) +
             " is not installed (Debian package python3)";
    }
    TempDir scratch("python-check");
    ChildProcess check;
    check.Start({kPython, "-c", "import aiosmtpd"}, scratch.File("log"));
    check.Wait(std::chrono::milliseconds(10000));
    check.Stop();
    if (check.ExitStatus() == 0) return std::string();
    return std::string(kPython) +
           " cannot import aiosmtpd (Debian package python3-aiosmtpd; "
           "scripts/install-deps.sh installs it)";
  }();
  return reason;
}

std::vector<std::string> SmtpServer::Prepare() {
  std::vector<std::string> argv = {
      kPython,      kScript,          "--port", std::to_string(Port()),
      "--dir",      MessageDir(),     "--user", options_.user,
      "--password", options_.password};
  if (options_.auth_required) argv.push_back("--auth-required");
  if (options_.xoauth2) argv.push_back("--xoauth2");
  if (!options_.store_messages) argv.push_back("--no-store");
  if (options_.ipv6) argv.push_back("--ipv6");
  tls_port_ = 0;
  if (options_.tls) {
    do {
      tls_port_ = FreeHighPort();
    } while (tls_port_ == Port());
    for (const std::string& part :
         {std::string("--cert"), options_.tls->certificate,
          std::string("--key"), options_.tls->key, std::string("--tls-port"),
          std::to_string(tls_port_)}) {
      argv.push_back(part);
    }
    if (options_.require_starttls) argv.push_back("--require-starttls");
  }
  return argv;
}

std::vector<SmtpServer::Message> SmtpServer::Messages() const {
  std::vector<Message> messages;
  for (const std::string& name : EnvelopeFiles(MessageDir())) {
    messages.push_back(ReadMessage(MessageDir(), name));
  }
  return messages;
}

size_t SmtpServer::MessageCount() const {
  return EnvelopeFiles(MessageDir()).size();
}

bool SmtpServer::WaitForMessages(size_t count,
                                 std::chrono::milliseconds timeout) const {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (MessageCount() < count) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

std::string SmtpServer::Log() const {
  return ReadFile(dir_.File("server.log"));
}

}  // namespace replyvane::testing
