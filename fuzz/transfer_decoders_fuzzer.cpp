// Feeds arbitrary bytes to every transfer decoder and checks the bounds each
// promises (and quoted-printable against its plain reading), then checks that
// encoding the same bytes decodes back to them. Run:
// build/fuzz/fuzz/transfer_decoders_fuzzer -max_total_time=30
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/exception.h"
#include "message/mime_coder.h"
#include "message/quoted_printable_coder.h"
#include "message/uue_coder.h"
#include "tests/message/quoted_printable_plain.h"

using namespace replyvane::message;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);

  try {
    Check(DecoderMIME().DecodeText(text).size() <= size / 4 * 3);
    Check(size % 4 == 0);
  } catch (const replyvane::core::Exception&) {
    Check(size % 4 != 0);
  }
  // The fast decoder gives exactly what the plain reading gives.
  Check(DecoderQuotedPrintable().DecodeText(text) ==
        PlainQuotedPrintableDecode(text));
  Check(PlainQuotedPrintableDecode(text).size() <= size);
  Check(DecoderUUE().DecodeText(text).size() <= 255);
  Check(DecoderXXE().DecodeText(text).size() <= 255);

  Check(DecoderMIME().DecodeText(EncodeTextOnce<EncoderMIME>(text)) == text);
  std::string line(text.substr(0, 45));
  Check(DecoderUUE().DecodeText(EncodeTextOnce<EncoderUUE>(line)) == line);
  Check(DecoderXXE().DecodeText(EncodeTextOnce<EncoderXXE>(line)) == line);
  std::string qp = EncodeTextOnce<EncoderQuotedPrintable>(text);
  size_t line_start = 0;
  for (size_t i = 0; i <= qp.size(); ++i) {
    if (i == qp.size() || qp[i] == '\r' || qp[i] == '\n') {
      Check(i - line_start <= 75);
      line_start = i + 1;
    }
  }
  return 0;
}
