#include "net/stack.h"

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "core/exception.h"
#include "net/component.h"
#include "net/exceptions.h"
#include "net/socket_errors.h"

namespace replyvane::net {
namespace {

// Holds the shared stack for the duration of a test.
class StackTest : public ::testing::Test {
 protected:
  Component holder_;
  Stack& stack_ = *SharedStack();
};

TEST_F(StackTest, RecognisesDottedAddressesByWholeNumbersUpTo255) {
  struct Row {
    const char* text;
    bool looks_like_address;
  };
  const Row rows[] = {
      {"10.0.0.1", true},        {"0.0.0.0", true},
      {"255.255.255.255", true}, {" 192.168.1.10", true},
      {"$7F.0.0.1", true},       {"1.2.3", false},
      {"1.2.3.4.5", false},      {"a.b.c.d", false},
      {"1.2.3.256", false},      {"", false},
      {"1..2.3", false},         {"-1.2.3.4", false},
      {"1.2.3.4 ", false},       {"example.com", false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(Stack::LooksLikeIPAddress(row.text), row.looks_like_address)
        << "text \"" << row.text << "\"";
  }
}

TEST_F(StackTest, ResolvesLocalhostAndAddressesWithoutALookup) {
  for (const char* host : {"localhost", "LocalHost", "LOCALHOST"}) {
    EXPECT_EQ(stack_.ResolveHostAddress(host), "127.0.0.1") << host;
  }
  EXPECT_EQ(stack_.ResolveHostAddress("192.168.1.10"), "192.168.1.10");
  // The blank stays: the text is returned as given.
  EXPECT_EQ(stack_.ResolveHostAddress(" 192.168.1.10"), " 192.168.1.10");
  // IPv6 addresses, bare or in brackets, need no lookup either.
  EXPECT_EQ(stack_.ResolveHostAddresses("::1"),
            std::vector<std::string>{"::1"});
  EXPECT_EQ(stack_.ResolveHostAddresses("[fe80::1]"),
            std::vector<std::string>{"fe80::1"});
  EXPECT_TRUE(Stack::IsIPv6Address("[::1]"));
  EXPECT_FALSE(Stack::IsIPv6Address("127.0.0.1"));
  EXPECT_FALSE(Stack::IsIPv6Address("mail.example.com"));
}

// A client over IPv6: the connect, its addresses read back, the data.
TEST_F(StackTest, ConnectsOverIpv6) {
  const int listener = ::socket(AF_INET6, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in6 address{};
  address.sin6_family = AF_INET6;
  address.sin6_addr = in6addr_loopback;
  ASSERT_EQ(
      ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)),
      0);
  ASSERT_EQ(::listen(listener, 1), 0);
  socklen_t length = sizeof(address);
  ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  const int port = ntohs(address.sin6_port);
  const int32_t client = stack_.OpenSocketHandle(kSockStream, 0, kAfInet6);
  EXPECT_EQ(stack_.Bind(client, 0, ""), 0);
  EXPECT_EQ(stack_.Connect(client, port, "::1"), 0);
  std::string ip;
  int32_t peer_port = 0;
  stack_.GetPeerName(client, &ip, &peer_port);
  EXPECT_EQ(ip, "::1");
  EXPECT_EQ(peer_port, port);
  stack_.CloseSocket(client);
  ::close(listener);
}

TEST_F(StackTest, ConvertsBetweenDottedTextAndBytes) {
  EXPECT_EQ(Stack::TextToAddress("10.1.200.255"),
            (std::vector<uint8_t>{10, 1, 200, 255}));
  // Each part keeps its low 8 bits.
  EXPECT_EQ(Stack::TextToAddress("256.1.2.3"),
            (std::vector<uint8_t>{0, 1, 2, 3}));
  EXPECT_THROW(Stack::TextToAddress("1.x.2.3"), core::ConvertError);
  const uint8_t bytes[4] = {192, 0, 2, 7};
  EXPECT_EQ(Stack::AddressToText(bytes), "192.0.2.7");
}

TEST_F(StackTest, FormatsSocketErrorsWithTheirCodeAndText) {
  struct Row {
    int32_t code;
    const char* message;
  };
  const Row rows[] = {
      {10061, "Socket Error # 10061\r\nConnection refused."},
      {10035, "Socket Error # 10035\r\nOperation would block. "},
      {10066, "Socket Error # 10066\r\nDirectory not empty"},
      {11001, "Socket Error # 11001\r\nHost not found."},
      {10004, "Socket Error # 10004\r\nInterrupted system call."},
      {10093, "Socket Error # 10093\r\n"},
      {10005, "Socket Error # 10005\r\n"},
      {0, "Socket Error # 0\r\n"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(stack_.SocketErrorText(row.code), row.message)
        << "code " << row.code;
  }
}

TEST_F(StackTest, MapsSystemErrorsOntoSocketCodes) {
  struct Row {
    int error;
    int32_t code;
  };
  const Row rows[] = {
      {ECONNREFUSED, 10061}, {ETIMEDOUT, 10060},    {ECONNRESET, 10054},
      {ECONNABORTED, 10053}, {EPIPE, 10058},        {ESHUTDOWN, 10058},
      {ENETUNREACH, 10051},  {EHOSTUNREACH, 10065}, {EADDRINUSE, 10048},
      {EBADF, 10009},        {ENOTSOCK, 10038},     {EINTR, 10004},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(SocketCodeFromErrno(row.error), row.code)
        << "errno " << row.error;
  }
  EXPECT_EQ(SocketCodeFromLookup(EAI_NONAME), kWsaEHostNotFound);
}

TEST_F(StackTest, ChecksResultsAgainstIgnoredCodes) {
  Stack::WSASetLastError(10061);
  EXPECT_FALSE(stack_.CheckSocketResult(0));
  EXPECT_FALSE(stack_.CheckSocketResult(5));
  EXPECT_EQ(stack_.LastSocketError(), 0) << "the code was read";

  Stack::WSASetLastError(10053);
  EXPECT_TRUE(stack_.CheckSocketResult(-1, {10058, 10053}));
  EXPECT_EQ(stack_.LastSocketError(), 10053);

  Stack::WSASetLastError(10061);
  try {
    stack_.CheckSocketResult(-1, {10058});
    FAIL() << "no exception";
  } catch (const SocketError& error) {
    EXPECT_EQ(error.SocketErrorCode(), 10061);
    EXPECT_EQ(error.Message(), "Socket Error # 10061\r\nConnection refused.");
  }
  EXPECT_EQ(stack_.LastSocketError(), 10061);
}

TEST_F(StackTest, RefusesMoreThan64SocketsInOneSet) {
  std::vector<int32_t> full(64, 0);
  EXPECT_NO_THROW(stack_.Select(nullptr, &full, 0));
  std::vector<int32_t> too_many(65, 0);
  EXPECT_THROW(stack_.Select(&too_many, nullptr, 0), StackSetSizeExceeded);
  EXPECT_EQ(too_many.size(), 65u) << "the list is untouched";
}

TEST_F(StackTest, OpensCloseOnExecSockets) {
  int32_t handle = stack_.OpenSocketHandle(kSockStream, 0);
  int flags = fcntl(handle, F_GETFD);
  EXPECT_TRUE(flags & FD_CLOEXEC);
  stack_.CloseSocket(handle);
}

TEST(SharedStackTest, ExistsWhileAComponentExists) {
  ASSERT_EQ(SharedStack(), nullptr);
  {
    Component first;
    Stack* stack = SharedStack();
    ASSERT_NE(stack, nullptr);
    {
      Component second;
      EXPECT_EQ(SharedStack(), stack);
    }
    EXPECT_EQ(SharedStack(), stack) << "one component still holds it";
  }
  EXPECT_EQ(SharedStack(), nullptr);
  Component again;
  EXPECT_NE(SharedStack(), nullptr);
}

}  // namespace
}  // namespace replyvane::net
