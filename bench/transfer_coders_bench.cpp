// clang-format off
// cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DREPLYVANE_BUILD_BENCH=ON -DREPLYVANE_BUILD_APP=OFF
// cmake --build build/bench -j2 --target transfer_coders_bench
// build/bench/bench/transfer_coders_bench --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
// clang-format on
//
// Base64 and quoted-printable throughput on 64 MiB of random bytes and of
// typical mail text, with OpenSSL's EVP_EncodeBlock / EVP_DecodeBlock and
// the plain reference kernels of reference_coders.h on the same data for
// comparison. Figures are source bytes per second for encoding and decoded
// bytes per second for decoding; compare CPU-time rates, since wall time
// includes whatever else runs on the machine.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/reference_coders.h"
#include "core/memory_stream.h"
#include "message/mime_coder.h"
#include "message/quoted_printable_coder.h"
#include "message/read_memory_stream.h"

namespace replyvane::message {
namespace {

constexpr size_t kSize = 64 << 20;

const std::string& RandomData() {
  static const std::string data = [] {
    std::mt19937_64 random(42);
    std::string bytes(kSize, '\0');
    for (size_t i = 0; i < kSize; i += 8) {
      uint64_t v = random();
      std::memcpy(bytes.data() + i, &v, 8);
    }
    return bytes;
  }();
  return data;
}

// Lines of words up to about 72 columns ended by CR LF, with a few accented
// Latin-1 letters, a blank before some line ends and an occasional "=".
const std::string& TextData() {
  static const std::string data = [] {
    static const char* const kWords[] = {
        "the",    "message", "reply",   "server",   "Thank",        "you",
        "for",    "your",    "mail",    "I",        "am",           "away",
        "until",  "Monday",  "caf\xE9", "na\xEFve", "r\xE9sum\xE9", "a=b",
        "urgent", "please",  "contact", "office",   "--",           "regards",
        "2026",   "(see",    "below)",  "and",      "will"};
    std::mt19937 random(7);
    std::string text;
    text.reserve(kSize + 100);
    size_t column = 0;
    while (text.size() < kSize) {
      const char* word = kWords[random() % std::size(kWords)];
      text += word;
      column += std::strlen(word);
      if (column > 60 + random() % 12) {
        if (random() % 8 == 0) text += ' ';
        text += "\r\n";
        column = 0;
      } else {
        text += ' ';
        ++column;
      }
    }
    text.resize(kSize);
    return text;
  }();
  return data;
}

const std::string& Data(int kind) {
  return kind == 0 ? RandomData() : TextData();
}

void Label(benchmark::State& state, size_t bytes) {
  state.SetLabel(state.range(0) == 0 ? "random" : "text");
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

// A new text per call, as Encode returns it.
template <class EncoderClass>
void EncodeFreshText(benchmark::State& state) {
  const std::string& data = Data(int(state.range(0)));
  EncoderClass encoder;
  for (auto _ : state) {
    std::string text = encoder.EncodeText(data);
    benchmark::DoNotOptimize(text.data());
  }
  Label(state, data.size());
}

// Into a memory stream that already has its size, so only decoding counts.
template <class EncoderClass, class DecoderClass>
void DecodeIntoStream(benchmark::State& state) {
  const std::string& data = Data(int(state.range(0)));
  std::string text = EncodeTextOnce<EncoderClass>(data);
  DecoderClass decoder;
  core::MemoryStream out;
  decoder.DecodeToStream(text, out);
  for (auto _ : state) {
    out.Clear();
    decoder.DecodeToStream(text, out);
    benchmark::DoNotOptimize(out.Data().data());
  }
  Label(state, data.size());
}

void Base64EncodeOurs(benchmark::State& state) {
  EncodeFreshText<EncoderMIME>(state);
}

// Into one text reused from call to call, as a caller that encodes line
// after line does; comparable with OpenSSL into its buffer.
void Base64EncodeOursReusedText(benchmark::State& state) {
  const std::string& data = Data(int(state.range(0)));
  EncoderMIME encoder;
  std::string text;
  for (auto _ : state) {
    text.clear();
    ReadMemoryStream source(data);
    encoder.EncodeAppend(source, Encoder::kWholeStream, text);
    benchmark::DoNotOptimize(text.data());
  }
  Label(state, data.size());
}

// Into one buffer allocated before the loop: OpenSSL at its best.
void Base64EncodeOpenSSL(benchmark::State& state) {
  const std::string& data = Data(int(state.range(0)));
  std::vector<unsigned char> out((data.size() + 2) / 3 * 4 + 1);
  for (auto _ : state) {
    int n = EVP_EncodeBlock(out.data(),
                            reinterpret_cast<const unsigned char*>(data.data()),
                            int(data.size()));
    benchmark::DoNotOptimize(n);
    benchmark::ClobberMemory();
  }
  Label(state, data.size());
}

// Into a new text per call, the contract of our encoder: the fresh pages of
// a 85 MB result cost as much as the coding itself.
void Base64EncodeOpenSSLFreshText(benchmark::State& state) {
  const std::string& data = Data(int(state.range(0)));
  for (auto _ : state) {
    std::string text((data.size() + 2) / 3 * 4 + 1, '\0');
    int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()),
                            reinterpret_cast<const unsigned char*>(data.data()),
                            int(data.size()));
    text.resize(size_t(n));
    benchmark::DoNotOptimize(text.data());
  }
  Label(state, data.size());
}

// Into one buffer allocated before the loop, like OpenSSL at its best.
void Base64EncodeReference(benchmark::State& state) {
  const std::string& data = Data(int(state.range(0)));
  const ReferenceBase64 reference;
  std::vector<char> out((data.size() + 2) / 3 * 4);
  for (auto _ : state) {
    char* end =
        reference.Encode(reinterpret_cast<const unsigned char*>(data.data()),
                         data.size(), out.data());
    benchmark::DoNotOptimize(end);
    benchmark::ClobberMemory();
  }
  if (std::string_view(out.data(), out.size()) !=
      EncodeTextOnce<EncoderMIME>(data)) {
    state.SkipWithError("encoded text differs");
  }
  Label(state, data.size());
}

// Into a new text per call, as EncodeText returns it; the text is made
// without zero-filling it first, by appending 16 KiB pieces.
void Base64EncodeReferenceFreshText(benchmark::State& state) {
  const std::string& data = Data(int(state.range(0)));
  const ReferenceBase64 reference;
  const auto* in = reinterpret_cast<const unsigned char*>(data.data());
  constexpr size_t kPiece = 3 * 4096;
  char piece[kPiece / 3 * 4];
  for (auto _ : state) {
    std::string text;
    text.reserve((data.size() + 2) / 3 * 4);
    for (size_t at = 0; at < data.size(); at += kPiece) {
      size_t size = std::min(kPiece, data.size() - at);
      text.append(piece,
                  size_t(reference.Encode(in + at, size, piece) - piece));
    }
    benchmark::DoNotOptimize(text.data());
  }
  Label(state, data.size());
}

void Base64DecodeOurs(benchmark::State& state) {
  DecodeIntoStream<EncoderMIME, DecoderMIME>(state);
}

void Base64DecodeOpenSSL(benchmark::State& state) {
  const std::string& data = Data(int(state.range(0)));
  std::string text = EncodeTextOnce<EncoderMIME>(data);
  std::vector<unsigned char> out(text.size() / 4 * 3);
  for (auto _ : state) {
    int n = EVP_DecodeBlock(out.data(),
                            reinterpret_cast<const unsigned char*>(text.data()),
                            int(text.size()));
    benchmark::DoNotOptimize(n);
    benchmark::ClobberMemory();
  }
  if (std::memcmp(out.data(), data.data(), data.size()) != 0) {
    state.SkipWithError("decoded bytes differ");
  }
  Label(state, data.size());
}

void QuotedPrintableEncode(benchmark::State& state) {
  EncodeFreshText<EncoderQuotedPrintable>(state);
}

void QuotedPrintableDecode(benchmark::State& state) {
  DecodeIntoStream<EncoderQuotedPrintable, DecoderQuotedPrintable>(state);
}

// The reference decoder into one buffer allocated before the loop.
void QuotedPrintableDecodeReference(benchmark::State& state) {
  const std::string& data = Data(int(state.range(0)));
  std::string text = EncodeTextOnce<EncoderQuotedPrintable>(data);
  const ReferenceQuotedPrintable reference;
  std::vector<char> out(text.size());
  char* end = out.data();
  for (auto _ : state) {
    end = reference.Decode(text, out.data());
    benchmark::DoNotOptimize(end);
    benchmark::ClobberMemory();
  }
  // The text data ends in a blank that the real decoder drops.
  if (std::string_view(out.data(), size_t(end - out.data()))
          .substr(0, data.size() - 1) !=
      std::string_view(data).substr(0, data.size() - 1)) {
    state.SkipWithError("decoded bytes differ");
  }
  Label(state, data.size());
}

// The encoded text cut into its lines, each with its CR LF, as the part
// decoder hands them over one at a time.
std::vector<std::string> EncodedLines(const std::string& data) {
  std::string text = EncodeTextOnce<EncoderQuotedPrintable>(data);
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find("\r\n", start);
    end = end == std::string::npos ? text.size() : end;
    lines.push_back(text.substr(start, end - start) + "\r\n");
    start = end + 2;
  }
  return lines;
}

void QuotedPrintableDecodeLines(benchmark::State& state) {
  const std::string& data = Data(int(state.range(0)));
  const std::vector<std::string> lines = EncodedLines(data);
  DecoderQuotedPrintable decoder;
  core::MemoryStream out;
  for (const std::string& line : lines) decoder.DecodeToStream(line, out);
  for (auto _ : state) {
    out.Clear();
    for (const std::string& line : lines) decoder.DecodeToStream(line, out);
    benchmark::DoNotOptimize(out.Data().data());
  }
  Label(state, data.size());
}

// Each line through the reference decoder and into the stream, as any
// decoder behind the part decoder must.
void QuotedPrintableDecodeLinesReference(benchmark::State& state) {
  const std::string& data = Data(int(state.range(0)));
  const std::vector<std::string> lines = EncodedLines(data);
  const ReferenceQuotedPrintable reference;
  core::MemoryStream out;
  std::vector<char> buffer(1000);
  for (auto _ : state) {
    out.Clear();
    for (const std::string& line : lines) {
      if (line.size() > buffer.size()) buffer.resize(line.size());
      char* end = reference.Decode(line, buffer.data());
      out.WriteBuffer(buffer.data(), size_t(end - buffer.data()));
    }
    benchmark::DoNotOptimize(out.Data().data());
  }
  Label(state, data.size());
}

BENCHMARK(Base64EncodeOurs)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Base64EncodeOursReusedText)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(Base64EncodeReference)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Base64EncodeReferenceFreshText)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(Base64EncodeOpenSSL)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Base64EncodeOpenSSLFreshText)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(Base64DecodeOurs)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Base64DecodeOpenSSL)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(QuotedPrintableEncode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(QuotedPrintableDecode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(QuotedPrintableDecodeReference)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(QuotedPrintableDecodeLines)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(QuotedPrintableDecodeLinesReference)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace replyvane::message

BENCHMARK_MAIN();
