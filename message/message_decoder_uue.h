// The UUE/XXE block decoder: a block starts at "begin <mode> <name>" and
// runs to its "end" line. The first data line tells UUE from XXE; data that
// is neither raises core::Exception "Unrecognized UUE encoding scheme.". A
// block whose "end" never comes ends at the message's "." line or at the
// end of the source.
#ifndef REPLYVANE_MESSAGE_MESSAGE_DECODER_UUE_H_
#define REPLYVANE_MESSAGE_MESSAGE_DECODER_UUE_H_

#include <memory>
#include <string>

#include "message/message_decoder.h"

namespace replyvane::message {

class MessageDecoderUUE : public MessageDecoder {
 public:
  // An attachment named `file_name`.
  MessageDecoderUUE(Message& owner, const std::string& file_name);

 protected:
  // Decodes the data lines; never hands over to a next decoder. Lines that
  // begin with "." lose that dot (transport stuffing).
  std::unique_ptr<MessageDecoder> CopyPartBody(core::Stream& output,
                                               bool& message_ended) override;
};

class MessageDecoderInfoUUE : public MessageDecoderInfo {
 public:
  // "begin " (any case), three characters that read as a number above 0,
  // a blank, then the file name.
  std::unique_ptr<MessageDecoder> DetectPartStart(
      Message& message, const std::string& line) const override;
};

}  // namespace replyvane::message

#endif  // REPLYVANE_MESSAGE_MESSAGE_DECODER_UUE_H_
