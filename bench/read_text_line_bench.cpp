// ReadTextLine over loopback against the practical limit, a plain recv +
// memchr loop over the same stream: 1,000,000 lines of 80 bytes (78 + CR LF)
// per run, with receive blocks of 1024 and 32768 bytes.
//
//   cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release
//         -DREPLYVANE_BUILD_BENCH=ON -DREPLYVANE_BUILD_APP=OFF
//         -DCMAKE_CXX_FLAGS=-Wno-restrict   (GCC 12 at -O2 may warn falsely)
//   cmake --build build/bench -j2 --target read_text_line_bench
//   build/bench/bench/read_text_line_bench
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <thread>

#include "net/tcp_client.h"
#include "tests/support/socket_util.h"

namespace replyvane {
namespace {

constexpr int kLines = 1000000;
constexpr int kLineBytes = 80;
constexpr int kLinesPerChunk = 1000;

std::string Chunk() {
  std::string chunk;
  for (int i = 0; i < kLinesPerChunk; ++i) {
    std::string line(kLineBytes - 2, char('a' + i % 26));
    chunk += line + "\r\n";
  }
  return chunk;
}

// Serves the whole stream to the first connection on its own thread, then
// closes it.
class StreamServer {
 public:
  StreamServer() : listener_(testing::ListenLoopback(0)) {
    port_ = testing::LocalPort(listener_.Get());
    thread_ = std::thread([this] { Serve(); });
  }
  ~StreamServer() { thread_.join(); }
  int Port() const { return port_; }

 private:
  void Serve() {
    testing::Fd peer(::accept(listener_.Get(), nullptr, nullptr));
    const std::string chunk = Chunk();
    for (int i = 0; i < kLines / kLinesPerChunk; ++i) {
      size_t sent = 0;
      while (sent < chunk.size()) {
        ssize_t n = ::send(peer.Get(), chunk.data() + sent, chunk.size() - sent,
                           MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += size_t(n);
      }
    }
  }

  testing::Fd listener_;
  int port_ = 0;
  std::thread thread_;
};

void Report(benchmark::State& state, int64_t lines) {
  state.SetBytesProcessed(int64_t(state.iterations()) * kLines * kLineBytes);
  state.counters["lines/s"] =
      benchmark::Counter(double(lines), benchmark::Counter::kIsRate);
}

void BM_ReadTextLine(benchmark::State& state) {
  int64_t total = 0;
  for (auto _ : state) {
    StreamServer server;
    net::TCPClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(server.Port());
    client.SetRecvBufferSize(int32_t(state.range(0)));
    client.ConnectToHost();
    int64_t bytes = 0;
    for (int i = 0; i < kLines; ++i) {
      bytes += int64_t(client.ReadTextLine().size()) + 2;
    }
    if (bytes != int64_t(kLines) * kLineBytes) state.SkipWithError("short");
    total += kLines;
    client.CloseConnection();
  }
  Report(state, total);
}

void BM_PlainRecvMemchr(benchmark::State& state) {
  int64_t total = 0;
  std::string buffer(size_t(state.range(0)), '\0');
  for (auto _ : state) {
    StreamServer server;
    testing::Fd fd =
        testing::ConnectLoopback(server.Port(), std::chrono::seconds(5));
    int64_t lines = 0;
    ssize_t n;
    while ((n = ::recv(fd.Get(), buffer.data(), buffer.size(), 0)) > 0) {
      const char* p = buffer.data();
      const char* end = p + n;
      while ((p = static_cast<const char*>(std::memchr(p, '\n', end - p)))) {
        ++lines;
        ++p;
      }
    }
    if (lines != kLines) state.SkipWithError("short");
    total += lines;
  }
  Report(state, total);
}

BENCHMARK(BM_ReadTextLine)
    ->Arg(1024)
    ->Arg(32768)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_PlainRecvMemchr)
    ->Arg(1024)
    ->Arg(32768)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace replyvane

BENCHMARK_MAIN();
