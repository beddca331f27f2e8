// The TLS session's traffic: the handshake, decrypting into a buffer of
// plain bytes, encrypting writes. Ciphertext moves only through the
// transport, and a wait is always the transport's sliced wait.
#include "net/tls_session.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "core/text.h"
#include "net/stack.h"

namespace replyvane::net {

namespace {

// Large enough for a whole TLS record with its overhead.
constexpr size_t kRawBlock = 17 * 1024;

using Clock = std::chrono::steady_clock;

Clock::time_point DeadlineOf(int32_t timeout) {
  return Clock::now() + std::chrono::milliseconds(std::max(timeout, 0));
}

// What is left of `timeout` (-2: without limit) at this moment.
int32_t Remaining(int32_t timeout, Clock::time_point deadline) {
  if (timeout == -2) return -2;
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - Clock::now());
  return int32_t(std::max<int64_t>(left.count(), 0));
}

}  // namespace

struct TLSSession::BusyMark {
  explicit BusyMark(TLSSession& session) : session(session) { ++session.busy_; }
  ~BusyMark() { --session.busy_; }
  TLSSession& session;
};

TLSSession::TLSSession(TLSTransport& transport, std::string host,
                       std::string pinned_fingerprint, std::string resume_key)
    : transport_(transport),
      host_(std::move(host)),
      pinned_(std::move(pinned_fingerprint)),
      resume_key_(std::move(resume_key)),
      raw_(kRawBlock) {
  Configure();
}

TLSSession::~TLSSession() {
  // The BIOs belong to the session object.
  if (ssl_) SSL_free(ssl_);
  if (peer_) X509_free(peer_);
}

void TLSSession::Handshake(int32_t timeout) {
  BusyMark busy(*this);
  const Clock::time_point deadline = DeadlineOf(timeout);
  const std::string ended = core::Format(
      "%s closed the connection during the TLS handshake.", host_.c_str());
  while (true) {
    ERR_clear_error();
    int result = SSL_do_handshake(ssl_);
    if (result == 1) break;
    if (SSL_get_error(ssl_, result) != SSL_ERROR_WANT_READ) {
      // The alert OpenSSL wrote stays unsent: nothing goes out after a
      // refused certificate.
      RaiseHandshakeFailure();
    }
    if (!FlushOutput()) throw TLSError(ended);
    if (!transport_.WaitRaw(Remaining(timeout, deadline))) {
      throw TLSError(
          core::Format("The TLS handshake with %s timed out.", host_.c_str()));
    }
    int32_t got = transport_.ReceiveRaw(raw_.data(), int32_t(raw_.size()));
    if (got <= 0) throw TLSError(ended);
    BIO_write(input_, raw_.data(), got);
  }
  if (!FlushOutput()) throw TLSError(ended);
}

bool TLSSession::FlushOutput() {
  while (BIO_ctrl_pending(output_) > 0) {
    int count = BIO_read(output_, raw_.data(), int(raw_.size()));
    if (count <= 0) break;
    for (int sent = 0; sent < count;) {
      int32_t n = transport_.SendRaw(raw_.data() + sent, count - sent);
      if (n <= 0) {
        failure_code_ = n < 0 ? Stack::WSAGetLastError() : kWsaEShutdown;
        return false;
      }
      sent += n;
    }
  }
  return true;
}

// Decrypts what has arrived, reading from the transport as needed. Returns
// 1 once plain bytes, a close or a failure are there, 0 when `timeout` ran
// out first.
int32_t TLSSession::Pump(int32_t timeout) {
  const Clock::time_point deadline = DeadlineOf(timeout);
  char block[16384];
  while (true) {
    ERR_clear_error();
    int n = SSL_read(ssl_, block, int(sizeof(block)));
    if (n > 0) {
      plain_.append(block, size_t(n));
      return 1;
    }
    int error = SSL_get_error(ssl_, n);
    if (error == SSL_ERROR_ZERO_RETURN) {
      closed_ = true;
      return 1;
    }
    if (error != SSL_ERROR_WANT_READ) {
      throw TLSError(core::Format("The TLS session with %s failed: %s",
                                  host_.c_str(), OpenSSLReason().c_str()));
    }
    // A session ticket or key update may want an answer.
    if (!FlushOutput()) return 1;
    if (!transport_.WaitRaw(Remaining(timeout, deadline))) return 0;
    int32_t got = transport_.ReceiveRaw(raw_.data(), int32_t(raw_.size()));
    if (got == 0) {
      // A close without close_notify ends the stream as a close.
      closed_ = true;
      return 1;
    }
    if (got < 0) {
      failure_code_ = Stack::WSAGetLastError();
      return 1;
    }
    BIO_write(input_, raw_.data(), got);
  }
}

bool TLSSession::WaitUntilReadable(int32_t timeout) {
  BusyMark busy(*this);
  if (plain_start_ < plain_.size() || closed_ || failure_code_ != 0) {
    return true;
  }
  return Pump(timeout) == 1;
}

int32_t TLSSession::Receive(void* buffer, int32_t length) {
  BusyMark busy(*this);
  if (plain_start_ == plain_.size() && !closed_ && failure_code_ == 0) {
    Pump(-2);
  }
  const size_t available = plain_.size() - plain_start_;
  if (available > 0) {
    const size_t count = std::min(available, size_t(std::max(length, 0)));
    std::memcpy(buffer, plain_.data() + plain_start_, count);
    plain_start_ += count;
    if (plain_start_ == plain_.size()) {
      plain_.clear();
      plain_start_ = 0;
    }
    return int32_t(count);
  }
  if (failure_code_ != 0) {
    Stack::WSASetLastError(failure_code_);
    return kSocketError;
  }
  return 0;
}

int32_t TLSSession::Send(const void* buffer, int32_t length) {
  BusyMark busy(*this);
  if (length <= 0) return 0;
  ERR_clear_error();
  int n = SSL_write(ssl_, buffer, length);
  if (n <= 0) {
    throw TLSError(core::Format("The TLS session with %s failed: %s",
                                host_.c_str(), OpenSSLReason().c_str()));
  }
  if (!FlushOutput()) {
    Stack::WSASetLastError(failure_code_);
    failure_code_ = 0;
    return kSocketError;
  }
  return n;
}

void TLSSession::Close() {
  if (close_sent_ || busy_ > 0 || !SSL_is_init_finished(ssl_)) return;
  close_sent_ = true;
  BusyMark busy(*this);
  ERR_clear_error();
  SSL_shutdown(ssl_);
  try {
    FlushOutput();
  } catch (const core::Exception&) {
    // The socket is going away anyway.
  }
}

}  // namespace replyvane::net
