// Setting up a TLS session and judging the server's certificate: the shared
// client context (TLS 1.2 or newer, the system's trusted certificates), the
// host name or address to match, the pin, and the failure texts.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <cctype>
#include <cstdlib>
#include <map>
#include <mutex>

#include "core/text.h"
#include "net/stack.h"
#include "net/tls_session.h"

namespace replyvane::net {

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// The process's client context and the sessions it may resume, by server
// (host, address, port and pin), so a connection to a server verified
// before skips the certificate exchange. Made again, with no sessions, when
// the trusted certificates are pointed elsewhere.
struct Shared {
  std::mutex mutex;
  SSL_CTX* context = nullptr;
  std::string made_for;
  std::map<std::string, SSL_SESSION*> sessions;
};

// Never destroyed: sessions may be taken until the very end.
Shared& TheShared() {
  static Shared& shared = *new Shared;
  return shared;
}

void ForgetSessions(Shared& shared) {
  for (auto& [key, session] : shared.sessions) SSL_SESSION_free(session);
  shared.sessions.clear();
}

// Where a session object keeps its resume key.
int ResumeKeyIndex() {
  static const int index =
      SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
  return index;
}

// A session (ticket) the server issued: kept for the next connect.
int KeepSession(SSL* ssl, SSL_SESSION* session) {
  const std::string* key =
      static_cast<const std::string*>(SSL_get_ex_data(ssl, ResumeKeyIndex()));
  if (!key || key->empty()) return 0;
  Shared& shared = TheShared();
  std::lock_guard<std::mutex> lock(shared.mutex);
  SSL_SESSION*& kept = shared.sessions[*key];
  if (kept) SSL_SESSION_free(kept);
  kept = session;
  return 1;
}

// Returns a reference on the context that the caller frees.
SSL_CTX* SharedContext() {
  Shared& shared = TheShared();
  std::lock_guard<std::mutex> lock(shared.mutex);
  std::string wanted =
      Environment("SSL_CERT_FILE") + '\n' + Environment("SSL_CERT_DIR");
  if (!shared.context || wanted != shared.made_for) {
    SSL_CTX* fresh = SSL_CTX_new(TLS_client_method());
    if (!fresh) throw TLSError("TLS is not available: " + wanted);
    SSL_CTX_set_min_proto_version(fresh, TLS1_2_VERSION);
    // A renegotiation could show another certificate after the one judged.
    SSL_CTX_set_options(fresh, SSL_OP_NO_RENEGOTIATION);
    // Without trusted certificates every verification fails, with a clear
    // reason; that is the right outcome.
    SSL_CTX_set_default_verify_paths(fresh);
    SSL_CTX_set_session_cache_mode(
        fresh, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
    SSL_CTX_sess_set_new_cb(fresh, &KeepSession);
    if (shared.context) SSL_CTX_free(shared.context);
    ForgetSessions(shared);
    shared.context = fresh;
    shared.made_for = wanted;
  }
  SSL_CTX_up_ref(shared.context);
  return shared.context;
}

// Takes the kept session for `key` (one use: the server sends new ones).
SSL_SESSION* TakeSession(const std::string& key) {
  Shared& shared = TheShared();
  std::lock_guard<std::mutex> lock(shared.mutex);
  auto found = shared.sessions.find(key);
  if (found == shared.sessions.end()) return nullptr;
  SSL_SESSION* session = found->second;
  shared.sessions.erase(found);
  return session;
}

std::string Fingerprint(X509* certificate) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (!X509_digest(certificate, EVP_sha256(), digest, &length)) return "";
  std::string text;
  for (unsigned int i = 0; i < length; ++i) {
    if (i > 0) text += ':';
    text += core::Format("%02X", digest[i]);
  }
  return text;
}

// The DNS names and IPv4 addresses the certificate is for, or its common
// name when it lists none.
std::string CertificateNames(X509* certificate) {
  std::string names;
  auto add = [&names](const std::string& name) {
    names += (names.empty() ? "" : ", ") + name;
  };
  auto* list = static_cast<GENERAL_NAMES*>(
      X509_get_ext_d2i(certificate, NID_subject_alt_name, nullptr, nullptr));
  for (int i = 0; list && i < sk_GENERAL_NAME_num(list); ++i) {
    const GENERAL_NAME* name = sk_GENERAL_NAME_value(list, i);
    if (name->type == GEN_DNS) {
      const ASN1_STRING* text = name->d.dNSName;
      add(std::string(
          reinterpret_cast<const char*>(ASN1_STRING_get0_data(text)),
          size_t(ASN1_STRING_length(text))));
    } else if (name->type == GEN_IPADD &&
               ASN1_STRING_length(name->d.iPAddress) == 4) {
      add(Stack::AddressToText(ASN1_STRING_get0_data(name->d.iPAddress)));
    }
  }
  GENERAL_NAMES_free(list);
  if (names.empty()) {
    char common[256] = {};
    X509_NAME_get_text_by_NID(X509_get_subject_name(certificate),
                              NID_commonName, common, sizeof(common));
    names = common[0] ? common : "no name";
  }
  return names;
}

bool IsAddressText(const std::string& host) {
  unsigned char address[sizeof(in6_addr)];
  return ::inet_pton(AF_INET, host.c_str(), address) == 1 ||
         ::inet_pton(AF_INET6, host.c_str(), address) == 1;
}

}  // namespace

std::string NormalizeFingerprint(const std::string& text) {
  std::string digits;
  for (char c : text) {
    if (c == ':' || c == ' ' || c == '\t') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) return "";
    digits += char(std::toupper(static_cast<unsigned char>(c)));
  }
  if (digits.size() != 64) return "";
  std::string shown;
  for (size_t i = 0; i < digits.size(); i += 2) {
    if (i > 0) shown += ':';
    shown += digits.substr(i, 2);
  }
  return shown;
}

void TLSSession::Configure() {
  if (!pinned_.empty()) {
    std::string normal = NormalizeFingerprint(pinned_);
    if (normal.empty()) {
      throw TLSError(core::Format(
          "The trusted certificate for %s is not a SHA-256 fingerprint: %s",
          host_.c_str(), pinned_.c_str()));
    }
    pinned_ = normal;
  }
  SSL_CTX* context = SharedContext();
  ssl_ = SSL_new(context);
  SSL_CTX_free(context);
  if (!ssl_) throw TLSError("TLS is not available: " + OpenSSLReason());
  input_ = BIO_new(BIO_s_mem());
  output_ = BIO_new(BIO_s_mem());
  SSL_set_bio(ssl_, input_, output_);
  SSL_set_connect_state(ssl_);
  SSL_set_app_data(ssl_, this);
  if (!resume_key_.empty()) {
    resume_key_ += '|' + host_ + '|' + pinned_;
    SSL_set_ex_data(ssl_, ResumeKeyIndex(), &resume_key_);
    if (SSL_SESSION* session = TakeSession(resume_key_)) {
      SSL_set_session(ssl_, session);
      SSL_SESSION_free(session);
    }
  }
  SSL_set_verify(ssl_, SSL_VERIFY_PEER, &TLSSession::VerifyPeer);
  SSL_set_hostflags(ssl_, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
  // An address is only what inet_pton reads (dotted decimal, IPv6); every
  // other spelling ("0x7f.0.0.1", "127.1") is checked as a name, so no host
  // text leaves the certificate unchecked. Each setting must take.
  bool set;
  std::string address = host_;
  // An IPv6 address may be written in brackets, as in a URL.
  if (address.size() > 2 && address.front() == '[' && address.back() == ']') {
    address = address.substr(1, address.size() - 2);
  }
  if (IsAddressText(address)) {
    set = X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_),
                                        address.c_str()) == 1;
  } else {
    set = !host_.empty() &&
          SSL_set_tlsext_host_name(ssl_, host_.c_str()) == 1 &&
          SSL_set1_host(ssl_, host_.c_str()) == 1;
  }
  if (!set) {
    throw TLSError(core::Format(
        "The certificate of %s cannot be checked against that host name: %s",
        host_.c_str(), OpenSSLReason().c_str()));
  }
}

int TLSSession::VerifyPeer(int preverify_ok, X509_STORE_CTX* store) {
  SSL* ssl = static_cast<SSL*>(
      X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
  auto* self = static_cast<TLSSession*>(SSL_get_app_data(ssl));
  // The certificate of this handshake, whichever it is: a pin is held
  // against every certificate the server shows, not only the first.
  X509* leaf = X509_STORE_CTX_get0_cert(store);
  if (leaf && leaf != self->peer_ && X509_up_ref(leaf)) {
    if (self->peer_) X509_free(self->peer_);
    self->peer_ = leaf;
    self->peer_fingerprint_ = Fingerprint(leaf);
  } else if (!leaf) {
    self->peer_fingerprint_.clear();
  }
  if (self->pinned_.empty()) return preverify_ok;
  // The pin stands for the whole judgement: chain, dates and names.
  if (self->peer_fingerprint_ == self->pinned_) return 1;
  self->pin_mismatch_ = true;
  return 0;
}

void TLSSession::RaiseHandshakeFailure() {
  const char* host = host_.c_str();
  if (pin_mismatch_) {
    throw TLSError(
        core::Format("Certificate of %s is not the trusted certificate %s.\r\n"
                     "SHA-256 fingerprint: %s",
                     host, pinned_.c_str(), peer_fingerprint_.c_str()));
  }
  const long result = SSL_get_verify_result(ssl_);
  if (peer_ && result != X509_V_OK) {
    std::string reason;
    if (result == X509_V_ERR_HOSTNAME_MISMATCH ||
        result == X509_V_ERR_IP_ADDRESS_MISMATCH) {
      reason = core::Format(
          "Certificate of %s does not match the host name "
          "%s: it is for %s",
          host, host, CertificateNames(peer_).c_str());
    } else {
      reason = core::Format("Certificate of %s is not trusted: %s", host,
                            X509_verify_cert_error_string(result));
    }
    throw TLSError(reason + "\r\nSHA-256 fingerprint: " + peer_fingerprint_);
  }
  throw TLSError(core::Format("The TLS handshake with %s failed: %s", host,
                              OpenSSLReason().c_str()));
}

std::string TLSSession::OpenSSLReason() const {
  unsigned long error = ERR_peek_last_error();
  const char* reason = error ? ERR_reason_error_string(error) : nullptr;
  return reason ? reason : "unknown reason";
}

}  // namespace replyvane::net
