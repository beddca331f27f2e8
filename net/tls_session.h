// TLS beneath a connection: an OpenSSL client session driven over memory
// buffers, so that every byte to and from the peer passes through the
// connection's own socket calls and sliced waits (and so the anti-freeze)
// and OpenSSL itself never blocks.
//
// Verification cannot be skipped: TLS 1.2 or newer, the system's trusted
// certificates (SSL_CERT_FILE / SSL_CERT_DIR point elsewhere), the host name
// or IP address checked against the certificate, SNI for host names. A
// pinned SHA-256 fingerprint instead accepts exactly the certificate that
// has it. A failed verification raises TLSError before any byte after the
// server's certificate is sent.
#ifndef REPLYVANE_NET_TLS_SESSION_H_
#define REPLYVANE_NET_TLS_SESSION_H_

#include <cstdint>
#include <string>
#include <vector>

#include "core/exception.h"

typedef struct ssl_st SSL;
typedef struct bio_st BIO;
typedef struct x509_st X509;
typedef struct x509_store_ctx_st X509_STORE_CTX;

namespace replyvane::net {

// How a client encrypts its connection: not at all, after the protocol's
// STARTTLS command (POP3 STLS, SMTP STARTTLS), or from the first byte.
enum class TLSMode { kNone, kStartTLS, kImplicit };

// A failed handshake or verification, or a broken session. The message
// names the host and the reason.
class TLSError : public core::Exception {
 public:
  using core::Exception::Exception;
};

// The raw connection beneath a session.
class TLSTransport {
 public:
  virtual ~TLSTransport() = default;
  // Bytes moved, 0 for a close, -1 on failure (code in
  // Stack::WSAGetLastError).
  virtual int32_t SendRaw(const void* buffer, int32_t length) = 0;
  virtual int32_t ReceiveRaw(void* buffer, int32_t length) = 0;
  // True when bytes (or a close) can be read within `timeout` ms (-2
  // without limit).
  virtual bool WaitRaw(int32_t timeout) = 0;
};

class TLSSession {
 public:
  // `host` is what the certificate must name (a dotted IPv4 address is
  // matched as an address); `pinned_fingerprint`, when not empty, is the
  // SHA-256 fingerprint of the only certificate accepted. `resume_key`
  // names the server's address and port: a session kept from an earlier
  // connection to the same server, host and pin is resumed; empty: never.
  TLSSession(TLSTransport& transport, std::string host,
             std::string pinned_fingerprint, std::string resume_key = "");
  ~TLSSession();
  TLSSession(const TLSSession&) = delete;
  TLSSession& operator=(const TLSSession&) = delete;

  // Runs the handshake within `timeout` ms (-2 without limit). Raises
  // TLSError for a refused or unverified certificate, a handshake failure,
  // a close or a timeout; the transport's own exceptions pass through.
  void Handshake(int32_t timeout);
  // True when decrypted data, a close or a failure can be taken within
  // `timeout` ms (-2 without limit).
  bool WaitUntilReadable(int32_t timeout);
  // As the transport's calls, over the session: bytes moved, 0 for a close,
  // -1 with the socket error code. Receive waits for data without limit.
  int32_t Receive(void* buffer, int32_t length);
  int32_t Send(const void* buffer, int32_t length);
  // Sends close_notify once, ignoring failures.
  void Close();
  // True while a call of this session runs (a window handler served during
  // a wait must not close it under the call).
  bool Busy() const { return busy_ > 0; }
  // "AB:CD:…" of the server's certificate once it was seen; else empty.
  const std::string& PeerFingerprint() const { return peer_fingerprint_; }

 private:
  struct BusyMark;

  // OpenSSL's verify callback: records the server's certificate and, with
  // a pin, accepts the chain exactly when the certificate has the pinned
  // fingerprint.
  static int VerifyPeer(int preverify_ok, X509_STORE_CTX* store);
  void Configure();
  int32_t Pump(int32_t timeout);
  bool FlushOutput();
  [[noreturn]] void RaiseHandshakeFailure();
  std::string OpenSSLReason() const;

  TLSTransport& transport_;
  std::string host_;
  std::string pinned_;
  std::string resume_key_;
  SSL* ssl_ = nullptr;
  BIO* input_ = nullptr;   // ciphertext received, for OpenSSL to read
  BIO* output_ = nullptr;  // ciphertext OpenSSL wrote, to be sent
  X509* peer_ = nullptr;   // the server's certificate, kept for messages
  std::string peer_fingerprint_;
  bool pin_mismatch_ = false;
  std::string plain_;  // decrypted bytes not yet taken
  size_t plain_start_ = 0;
  bool closed_ = false;
  int32_t failure_code_ = 0;  // the socket error of a failed raw receive
  bool close_sent_ = false;
  int busy_ = 0;
  std::vector<char> raw_;
};

// The fingerprint in the form shown ("AB:CD:…", 32 pairs) when `text` holds
// 64 hexadecimal digits (colons, blanks and case do not matter); else "".
std::string NormalizeFingerprint(const std::string& text);

}  // namespace replyvane::net

#endif  // REPLYVANE_NET_TLS_SESSION_H_
