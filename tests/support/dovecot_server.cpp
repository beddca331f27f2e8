// The private Dovecot instance. Every path Dovecot uses lies inside the
// fixture's directory, so it coexists with any other instance on the
// machine. Failures to start come back as an assertion failure carrying the
// server's log; directory trouble throws std::system_error.
#include "tests/support/dovecot_server.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <thread>

#include "tests/support/socket_util.h"

namespace replyvane::testing {
namespace {

constexpr char kProgram[] = "/usr/sbin/dovecot";
// As root the mailbox may not belong to uid 0; it goes to nobody.
constexpr uid_t kMailUid = 65534;
constexpr gid_t kMailGid = 65534;

std::string CurrentUserName() {
  passwd* entry = getpwuid(geteuid());
  return entry != nullptr ? entry->pw_name : std::to_string(geteuid());
}

std::string CurrentGroupName() {
  group* entry = getgrgid(getegid());
  return entry != nullptr ? entry->gr_name : std::to_string(getegid());
}

}  // namespace

DovecotServer::DovecotServer(Options options)
    : ServerProcess("dovecot", options.imap ? "* OK" : "+OK",
                    options.start_timeout),
      options_(std::move(options)),
      root_(geteuid() == 0) {
  namespace fs = std::filesystem;
  for (const char* sub : {"log", "mail"}) fs::create_directory(dir_.File(sub));
  for (const char* sub : {"new", "cur", "tmp"}) {
    fs::create_directories(MaildirPath() + "/" + sub);
  }
  if (root_) {
    // Dovecot's unprivileged processes must reach the passwd file and mail.
    chmod(dir_.Path().c_str(), 0755);
    GiveToMailUser(dir_.File("mail"));
    for (const auto& entry :
         fs::recursive_directory_iterator(dir_.File("mail"))) {
      GiveToMailUser(entry.path());
    }
  }
  WritePasswd();
}

std::unique_ptr<DovecotServer> DovecotServer::UnderTmp(Options options) {
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old ? old : "";
  setenv("TMPDIR", "/tmp", 1);
  auto server = std::make_unique<DovecotServer>(std::move(options));
  if (old) {
    setenv("TMPDIR", saved.c_str(), 1);
  } else {
    unsetenv("TMPDIR");
  }
  return server;
}

std::string DovecotServer::MissingReason() {
  if (IsExecutable(kProgram)) return "";
  return std::string(kProgram) +
         " is not installed (Debian packages dovecot-core and dovecot-pop3d; "
         "scripts/install-deps.sh installs them)";
}

std::string DovecotServer::MissingImapReason() {
  if (std::string missing = MissingReason(); !missing.empty()) return missing;
  if (IsExecutable("/usr/lib/dovecot/imap")) return "";
  return "Dovecot's IMAP server is not installed (Debian package "
         "dovecot-imapd; scripts/install-deps.sh installs it)";
}

std::string DovecotServer::MaildirPath() const {
  return dir_.File("mail/" + options_.user + "/Maildir");
}

void DovecotServer::GiveToMailUser(const std::string& path) const {
  if (root_ && chown(path.c_str(), kMailUid, kMailGid) != 0) {
    throw std::filesystem::filesystem_error(
        "chown", path, std::error_code(errno, std::generic_category()));
  }
}

void DovecotServer::SetPassword(std::string_view password) {
  options_.password = password;
  WritePasswd();
  if (Running()) {
    // Dovecot looks at the file at most once per second of its clock; from
    // the next whole second on, the next log-in sees the new file.
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    std::this_thread::sleep_for(
        std::chrono::nanoseconds(1'000'000'000 - now.tv_nsec + 20'000'000));
  }
}

void DovecotServer::WritePasswd() {
  uid_t uid = root_ ? kMailUid : geteuid();
  gid_t gid = root_ ? kMailGid : getegid();
  // Written beside and renamed, so a running server never reads half a file.
  std::string temporary = dir_.File("passwd.new");
  WriteFile(temporary, options_.user + ":{PLAIN}" + options_.password + ":" +
                           std::to_string(uid) + ":" + std::to_string(gid) +
                           "::" + dir_.File("mail/" + options_.user) + "::\n");
  // Dovecot rereads the file when its mtime (whole seconds) or size
  // changes; a new password of the same length in the same second would
  // go unnoticed, so the new file is dated after the old one.
  struct stat old_file;
  if (stat(dir_.File("passwd").c_str(), &old_file) == 0) {
    timespec times[2] = {{old_file.st_mtim.tv_sec + 1, 0},
                         {old_file.st_mtim.tv_sec + 1, 0}};
    utimensat(AT_FDCWD, temporary.c_str(), times, 0);
  }
  std::filesystem::rename(temporary, dir_.File("passwd"));
}

std::string DovecotServer::Config() const {
  std::string dir = dir_.Path();
  std::string port = std::to_string(Port());
  std::string user = CurrentUserName();
  const std::string addresses = options_.ipv6 ? "127.0.0.1, ::1" : "127.0.0.1";
  const std::string protocol = options_.imap ? "imap" : "pop3";
  std::string config =
      "instance_name = replyvane-test-" + port + "\n" +
      "protocols = " + protocol +
      "\n"
      "listen = " +
      addresses +
      "\n"
      "base_dir = " +
      dir + "/run\n" + "state_dir = " + dir + "/state\n" + "log_path = " + dir +
      "/log/dovecot.log\n" + "info_log_path = " + dir + "/log/dovecot.log\n" +
      TlsConfig() + "auth_mechanisms = plain login" +
      (options_.apop ? " apop" : "") +
      (options_.oauth2_introspection_url.empty() ? ""
                                                 : " xoauth2 oauthbearer") +
      "\n" + OAuth2PassDb() + "mail_location = maildir:~/Maildir\n" +
      // IDLE tells of new mail within a second.
      (options_.imap ? "mailbox_idle_check_interval = 1 secs\n" : "") +
      "auth_failure_delay = 0\n"
      "passdb {\n  driver = passwd-file\n"
      "  args = scheme=PLAIN username_format=%u " +
      dir + "/passwd\n}\n" +
      "userdb {\n  driver = passwd-file\n"
      "  args = username_format=%u " +
      dir + "/passwd\n}\n";
  std::string login_chroot;
  if (root_) {
    config +=
        "default_internal_user = dovecot\n"
        "default_internal_group = dovecot\n"
        "default_login_user = dovenull\n"
        "first_valid_uid = 65534\n"
        "first_valid_gid = 65534\n";
  } else {
    config += "default_internal_user = " + user + "\n" +
              "default_internal_group = " + CurrentGroupName() + "\n" +
              "default_login_user = " + user + "\n";
    login_chroot = "  chroot =\n";
  }
  config += "service " + protocol +
            "-login {\n"
            "  inet_listener " +
            protocol + " {\n    address = " + addresses +
            "\n"
            "    port = " +
            port + "\n  }\n" + "  inet_listener " + protocol + "s {\n" +
            (options_.tls ? "    address = 127.0.0.1\n    port = " +
                                std::to_string(tls_port_) + "\n    ssl = yes\n"
                          : "    port = 0\n") +
            "  }\n" + login_chroot + "}\n" + "service anvil {\n" +
            login_chroot +
            "  unix_listener anvil-auth-penalty {\n    mode = 0\n  }\n}\n";
  return config;
}

std::string DovecotServer::OAuth2PassDb() const {
  if (options_.oauth2_introspection_url.empty()) return "";
  const std::string settings = dir_.File("dovecot-oauth2.conf.ext");
  // Where Dovecot's own processes can read it.
  const std::string ca_file = dir_.File("oauth2-ca.pem");
  WriteFile(ca_file, ReadFile(options_.oauth2_ca_file));
  chmod(ca_file.c_str(), 0644);
  WriteFile(settings,
            "introspection_mode = post\n"
            "introspection_url = " +
                options_.oauth2_introspection_url +
                "\n"
                "username_attribute = username\n"
                "active_attribute = active\n"
                "active_value = true\n"
                "tls_ca_cert_file = " +
                ca_file + "\n");
  return "passdb {\n  driver = oauth2\n  mechanisms = xoauth2 oauthbearer\n"
         "  args = " +
         settings + "\n}\n";
}

std::string DovecotServer::TlsConfig() const {
  if (!options_.tls) return "ssl = no\ndisable_plaintext_auth = no\n";
  return std::string(options_.tls_required
                         ? "ssl = required\ndisable_plaintext_auth = yes\n"
                         : "ssl = yes\ndisable_plaintext_auth = no\n") +
         "ssl_cert = <" + options_.tls->certificate + "\n" + "ssl_key = <" +
         options_.tls->key + "\n" + "ssl_min_protocol = TLSv1.2\n";
}

std::vector<std::string> DovecotServer::Prepare() {
  tls_port_ = 0;
  if (options_.tls) {
    do {
      tls_port_ = FreeHighPort();
    } while (tls_port_ == Port());
  }
  std::string config_path = dir_.File("dovecot.conf");
  WriteFile(config_path, Config());
  return {kProgram, "-F", "-c", config_path};
}

std::string DovecotServer::AddMessage(std::string_view bytes) {
  // Dovecot numbers new mail by the time stamp that begins the file name.
  ++added_;
  char name[96];
  std::snprintf(name, sizeof name, "%d.M%06dP%d.replyvane", 1000000000 + added_,
                added_, static_cast<int>(getpid()));
  std::string temporary = MaildirPath() + "/tmp/" + name;
  std::string path = MaildirPath() + "/new/" + name;
  WriteFile(temporary, bytes);
  GiveToMailUser(temporary);
  std::filesystem::rename(temporary, path);
  return path;
}

int DovecotServer::MessageCount() const {
  int count = 0;
  for (const char* sub : {"/new", "/cur"}) {
    for (const auto& entry :
         std::filesystem::directory_iterator(MaildirPath() + sub)) {
      if (entry.is_regular_file()) ++count;
    }
  }
  return count;
}

std::string DovecotServer::Log() const {
  return ReadFile(dir_.File("log/dovecot.log")) + ReadFile(OutputPath());
}

}  // namespace replyvane::testing
