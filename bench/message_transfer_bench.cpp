// Sends and reads back a message with one attachment of 1, 16 and 128 MiB
// over loopback, next to base64-encoding the same file to /dev/null, and
// reports the throughput and the peak resident memory of each run (VmHWM,
// reset before each benchmark). Memory should stay flat across sizes.
//
//   cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release
//         -DREPLYVANE_BUILD_BENCH=ON -DREPLYVANE_BUILD_APP=OFF   (one line)
//   cmake --build build/bench -j2 --target message_transfer_bench
//   for size in 1 16 128; do
//     build/bench/bench/message_transfer_bench --benchmark_filter="/$size/"
//   done
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/file_stream.h"
#include "mail/message_client.h"
#include "mail/temp_file.h"
#include "message/message.h"
#include "tests/support/socket_util.h"

namespace {

using replyvane::mail::MessageClient;
using replyvane::message::Message;
namespace testing = replyvane::testing;

constexpr int64_t kMiB = 1 << 20;

// Forgets the peak resident size so far, so each benchmark sees its own.
void ResetPeakMemory() {
  int fd = ::open("/proc/self/clear_refs", O_WRONLY);
  if (fd < 0) return;
  (void)!::write(fd, "5", 1);
  ::close(fd);
}

// VmHWM in MiB.
double PeakMemoryMiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024;
  }
  return 0;
}

// A file of `size` random bytes, written in blocks.
std::string MakeFile(int64_t size) {
  std::string path = replyvane::mail::TempDirectory() + "bench_attachment_" +
                     std::to_string(size / kMiB) + "MiB.bin";
  replyvane::core::FileStream file(path, replyvane::core::FileMode::kCreate);
  std::mt19937_64 generator(size);
  std::vector<uint64_t> block(kMiB / 8);
  for (int64_t done = 0; done < size; done += kMiB) {
    for (uint64_t& word : block) word = generator();
    file.WriteBuffer(block.data(),
                     size_t(std::min<int64_t>(kMiB, size - done)));
  }
  return path;
}

// Accepts one connection and reads it to its end, into `sink` when given.
std::thread Drain(const testing::Fd& listener, int sink = -1) {
  return std::thread([&listener, sink] {
    testing::Fd peer(::accept(listener.Get(), nullptr, nullptr));
    std::vector<char> chunk(256 * 1024);
    for (;;) {
      ssize_t n = ::recv(peer.Get(), chunk.data(), chunk.size(), 0);
      if (n <= 0) break;
      if (sink >= 0) (void)!::write(sink, chunk.data(), size_t(n));
    }
  });
}

void Connect(MessageClient& client, const testing::Fd& listener) {
  client.SetHost("127.0.0.1");
  client.SetPort(testing::LocalPort(listener.Get()));
  client.ConnectToHost();
}

void Compose(Message& msg, const std::string& path) {
  msg.From().SetText("bench@example.org");
  msg.Recipients().SetAddressesText("reader@example.org");
  msg.SetSubject("Benchmark");
  msg.SetBody({"The attachment follows."});
  msg.MessageParts().AddAttachment(path);
}

void Send(const std::string& path, int sink = -1) {
  testing::Fd listener = testing::ListenLoopback(0);
  std::thread drain = Drain(listener, sink);
  {
    MessageClient client;
    Connect(client, listener);
    Message msg;
    Compose(msg, path);
    client.WriteMessage(msg);
    client.WriteTextLine(".");
    client.CloseConnection();
  }
  drain.join();
}

void Report(benchmark::State& state, int64_t size) {
  state.SetBytesProcessed(state.iterations() * size);
  state.counters["peak_rss_MiB"] = PeakMemoryMiB();
}

void BM_Base64ToDevNull(benchmark::State& state) {
  int64_t size = state.range(0) * kMiB;
  std::string path = MakeFile(size);
  ResetPeakMemory();
  constexpr size_t kLines = 1024;
  std::vector<unsigned char> in(57 * kLines);
  std::vector<unsigned char> out(80 * kLines);
  for (auto _ : state) {
    replyvane::core::FileStream file(path,
                                     replyvane::core::FileMode::kOpenRead);
    int null = ::open("/dev/null", O_WRONLY);
    for (;;) {
      size_t n = file.Read(in.data(), in.size());
      if (n == 0) break;
      size_t written = 0;
      for (size_t at = 0; at < n; at += 57) {
        int line = std::min<int>(57, int(n - at));
        written +=
            size_t(EVP_EncodeBlock(out.data() + written, in.data() + at, line));
        out[written++] = '\r';
        out[written++] = '\n';
      }
      (void)!::write(null, out.data(), written);
    }
    ::close(null);
  }
  Report(state, size);
  ::unlink(path.c_str());
}

void BM_SendMessage(benchmark::State& state) {
  int64_t size = state.range(0) * kMiB;
  std::string path = MakeFile(size);
  ResetPeakMemory();
  for (auto _ : state) Send(path);
  Report(state, size);
  ::unlink(path.c_str());
}

void BM_ReceiveMessage(benchmark::State& state) {
  int64_t size = state.range(0) * kMiB;
  std::string path = MakeFile(size);
  // The server's side: the message as sent, kept in a file.
  std::string wire_path = path + ".wire";
  int wire = ::open(wire_path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
  Send(path, wire);
  struct stat info;
  ::fstat(wire, &info);
  ResetPeakMemory();
  for (auto _ : state) {
    testing::Fd listener = testing::ListenLoopback(0);
    std::thread serve([&] {
      testing::Fd peer(::accept(listener.Get(), nullptr, nullptr));
      off_t offset = 0;
      while (offset<info.st_size&& ::sendfile(peer.Get(), wire, &offset,
                                              size_t(info.st_size))> 0) {
      }
    });
    MessageClient client;
    Connect(client, listener);
    Message msg;
    if (client.ReadHeader(msg).empty()) client.ReadBody(msg);
    serve.join();
    client.CloseConnection();
    for (int i = 0; i < msg.MessageParts().Count(); ++i) {
      if (auto* file = msg.MessageParts()[i].AsAttachment()) {
        if (i == msg.MessageParts().Count() - 1) {
          state.counters["received_MiB"] =
              double(
                  replyvane::core::FileStream(
                      file->StoredPath(), replyvane::core::FileMode::kOpenRead)
                      .Size()) /
              double(kMiB);
        }
        ::unlink(file->StoredPath().c_str());
      }
    }
  }
  Report(state, size);
  ::close(wire);
  ::unlink(wire_path.c_str());
  ::unlink(path.c_str());
}

void Sizes(benchmark::internal::Benchmark* bench) {
  bench->Unit(benchmark::kMillisecond)->UseRealTime();
  bench->Arg(1)->Arg(16)->Arg(128);
}

BENCHMARK(BM_Base64ToDevNull)->Apply(Sizes);
BENCHMARK(BM_SendMessage)->Apply(Sizes);
BENCHMARK(BM_ReceiveMessage)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();
