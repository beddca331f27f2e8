// Throughput of the part coders on an attachment file: encoding it as
// base64 part lines (against OpenSSL's base64 and a plain reference kernel
// writing the same lines, as baselines) and decoding such lines back
// through the MIME part decoder.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/reference_coders.h"
#include "core/file_stream.h"
#include "core/memory_stream.h"
#include "message/coder_registry.h"
#include "message/message.h"
#include "message/message_encoder.h"

namespace replyvane::message {
namespace {

// Counts what is written and keeps nothing, like /dev/null.
class NullStream : public core::Stream {
 public:
  size_t Read(void*, size_t) override { return 0; }
  size_t Write(const void*, size_t count) override {
    written += count;
    return count;
  }
  int64_t Seek(int64_t, core::SeekOrigin) override { return -1; }
  const char* ClassName() const override { return "NullStream"; }
  size_t written = 0;
};

// A file of random bytes that lives as long as the object.
class RandomFile {
 public:
  explicit RandomFile(size_t size) {
    char name[] = "/tmp/replyvane-bench-XXXXXX";
    int fd = mkstemp(name);
    close(fd);
    path_ = name;
    std::mt19937 random(1);
    std::string block(1 << 20, '\0');
    core::FileStream out(path_, core::FileMode::kCreate);
    for (size_t done = 0; done < size; done += block.size()) {
      for (char& ch : block) ch = char(random());
      out.WriteBuffer(block.data(), std::min(block.size(), size - done));
    }
  }
  ~RandomFile() { unlink(path_.c_str()); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

void BM_EncodeAttachmentFile(benchmark::State& state) {
  const size_t size = size_t(state.range(0)) << 20;
  RandomFile file(size);
  Message msg;
  Attachment& part = msg.MessageParts().AddAttachment(file.Path());
  for (auto _ : state) {
    NullStream out;
    part.EncodeToStream(out);
    benchmark::DoNotOptimize(out.written);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(size));
}

void BM_OpenSSLBase64Lines(benchmark::State& state) {
  const size_t size = size_t(state.range(0)) << 20;
  RandomFile file(size);
  std::vector<unsigned char> in(57 * 1024);
  std::vector<unsigned char> out(78 * 1024 + 1);
  for (auto _ : state) {
    core::FileStream source(file.Path(), core::FileMode::kOpenRead);
    NullStream sink;
    size_t n;
    while ((n = source.Read(in.data(), in.size())) > 0) {
      size_t used = 0;
      for (size_t at = 0; at < n; at += 57) {
        int chars = EVP_EncodeBlock(out.data() + used, in.data() + at,
                                    int(std::min<size_t>(57, n - at)));
        used += size_t(chars);
        out[used++] = '\r';
        out[used++] = '\n';
      }
      sink.Write(out.data(), used);
    }
    benchmark::DoNotOptimize(sink.written);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(size));
}

// The reference kernel line by line into a buffer of 1024 lines, read and
// written in the same blocks as the part encoder.
void ReferenceLines(const std::string& path, core::Stream& sink) {
  static const ReferenceBase64 reference;
  std::vector<unsigned char> in(57 * 1024);
  std::vector<char> out(78 * 1024);
  core::FileStream source(path, core::FileMode::kOpenRead);
  size_t n;
  while ((n = source.Read(in.data(), in.size())) > 0) {
    char* end = out.data();
    for (size_t at = 0; at < n; at += 57) {
      end = reference.Encode(in.data() + at, std::min<size_t>(57, n - at), end);
      std::memcpy(end, "\r\n", 2);
      end += 2;
    }
    sink.Write(out.data(), size_t(end - out.data()));
  }
}

void BM_ReferenceBase64Lines(benchmark::State& state) {
  const size_t size = size_t(state.range(0)) << 20;
  RandomFile file(size);
  for (auto _ : state) {
    NullStream sink;
    ReferenceLines(file.Path(), sink);
    benchmark::DoNotOptimize(sink.written);
  }
  core::MemoryStream ours;
  core::MemoryStream theirs;
  MessageEncoderMIME().EncodeFile(file.Path(), ours);
  ReferenceLines(file.Path(), theirs);
  if (ours.Data() != theirs.Data()) state.SkipWithError("lines differ");
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(size));
}

void BM_DecodeMIMEPart(benchmark::State& state) {
  const size_t size = size_t(state.range(0)) << 20;
  RandomFile file(size);
  core::MemoryStream encoded;
  encoded.WriteString("Content-Transfer-Encoding: base64\r\n\r\n");
  MessageEncoderMIME().EncodeFile(file.Path(), encoded);
  encoded.WriteString("--b--\r\n");
  for (auto _ : state) {
    Message msg;
    msg.MIMEBoundary().PushBoundary("b");
    std::unique_ptr<MessageDecoder> decoder = FindPartStart(msg, "--b");
    encoded.SetPosition(0);
    decoder->SetSource(&encoded);
    decoder->ReadPartHeaders();
    NullStream sink;
    bool ended = false;
    decoder->ReadPartBody(sink, ended);
    benchmark::DoNotOptimize(sink.written);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(size));
}

BENCHMARK(BM_EncodeAttachmentFile)
    ->Arg(1)
    ->Arg(16)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenSSLBase64Lines)
    ->Arg(1)
    ->Arg(16)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReferenceBase64Lines)
    ->Arg(1)
    ->Arg(16)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeMIMEPart)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace replyvane::message

BENCHMARK_MAIN();
