// The shared machinery of the alphabet coders (base64, UUE, XXE): three bytes
// become four characters of a 64-character alphabet and back. The encoder
// refuses counts that are not a multiple of 3 with "Uneven size in Encode.";
// the decoder refuses texts whose length is not a multiple of 4 with
// "Uneven size in DecodeToStream.". Characters outside the alphabet decode
// to meaningless bits, never to an error.
#ifndef REPLYVANE_MESSAGE_CODER_3TO4_H_
#define REPLYVANE_MESSAGE_CODER_3TO4_H_

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "message/decoder.h"
#include "message/encoder.h"

namespace replyvane::message {

// The decoding tables of one 64-character alphabet, built once per process
// and shared by every decoder of that alphabet.
struct DecodeTable {
  explicit DecodeTable(std::string_view alphabet);

  // The alphabet's first character, whose value is 0.
  char zero;
  // Character -> 6-bit value; 255 for characters outside the alphabet.
  std::array<uint8_t, 256> value;
  // The values already shifted into place for the 1st to 4th character of
  // a group (<< 18, << 12, << 6, << 0).
  std::array<std::array<uint32_t, 256>, 4> shifted;

  // value[first] << 6 | value[second] for two characters read as one
  // little-endian 16-bit number; built on first use, for long texts.
  const uint16_t* Pairs() const;

 private:
  mutable std::once_flag pairs_once_;
  mutable std::unique_ptr<uint16_t[]> pairs_;
};

class Encoder3to4 : public Encoder {
 public:
  // The alphabet must hold exactly 64 characters (core::Exception otherwise).
  Encoder3to4(std::string_view coding_table, char fill_char);
  ~Encoder3to4() override;

  // Raises "Uneven size in Encode." when count is neither kWholeStream nor a
  // multiple of 3. Returns 4 characters per started group of 3 bytes, a last
  // short group padded with FillChar; no line breaks.
  std::string Encode(core::Stream& source,
                     int64_t count = kWholeStream) override;
  void EncodeAppend(core::Stream& source, int64_t count,
                    std::string& out) override;

  // Writes the characters of `size` bytes at `out` as lines of the
  // characters of `line_bytes` bytes (an odd multiple of 3), each ended by
  // CR LF; the last line may be shorter and padded with FillChar. Returns
  // the end. `in` must be readable 2 bytes past `size`; `out` needs 4
  // characters per started group of 3 bytes and 2 per started line.
  char* EncodeLines(const unsigned char* in, size_t size, size_t line_bytes,
                    char* out);

  const std::string& CodingTable() const { return coding_table_; }
  void SetCodingTable(std::string_view value);
  char FillChar() const { return fill_char_; }
  void SetFillChar(char value) { fill_char_ = value; }

 protected:
  // Checks the count, reads up to `count` bytes and appends their encoding
  // to `out`. Returns how many bytes were consumed.
  int64_t AppendGroups(core::Stream& source, int64_t count, std::string& out);

 private:
  // Appends the encoding of the first `size` bytes of `text`; the bytes
  // after them up to the text's end may be read but do not count.
  void AppendText(std::string_view text, size_t size, std::string& out);

  struct PairTable;
  const PairTable& Pairs();

  std::string coding_table_;
  char fill_char_;
  // Two characters per 12 bits, built on first use for large inputs.
  std::unique_ptr<PairTable> own_pairs_;
  const PairTable* pairs_ = nullptr;
};

class Decoder4to3 : public Decoder {
 public:
  // `table` is a process-wide table that outlives the decoder.
  Decoder4to3(const DecodeTable& table, char fill_char);
  ~Decoder4to3() override;

  // Raises "Uneven size in DecodeToStream." when the text length is not a
  // multiple of 4. A group whose third character is FillChar gives one byte,
  // whose fourth is FillChar two, otherwise three.
  void DecodeToStream(std::string_view text,
                      core::Stream& destination) override;

  char FillChar() const { return fill_char_; }
  void SetFillChar(char value) { fill_char_ = value; }

 protected:
  const DecodeTable& Table() const { return table_; }

 private:
  const DecodeTable& table_;
  char fill_char_;
};

}  // namespace replyvane::message

#endif  // REPLYVANE_MESSAGE_CODER_3TO4_H_
