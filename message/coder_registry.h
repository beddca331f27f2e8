// The process-wide registries of part decoders and part encoders, keyed by
// name. The standard coders are registered on first use, in this order:
// decoder "UUE", encoders "UUE" and "XXE", decoder "MIME", encoder "MIME".
// Registering is not safe while another thread uses a registry; lookups
// are. An unknown encoder name raises core::Exception.
#ifndef REPLYVANE_MESSAGE_CODER_REGISTRY_H_
#define REPLYVANE_MESSAGE_CODER_REGISTRY_H_

#include <memory>
#include <string>

#include "message/message_decoder.h"
#include "message/message_encoder.h"

namespace replyvane::message {

// Append to the registries, which own the infos.
void RegisterDecoder(const std::string& name,
                     std::unique_ptr<MessageDecoderInfo> info);
void RegisterEncoder(const std::string& name,
                     std::unique_ptr<MessageEncoderInfo> info);

// The decoder of the first registered kind that recognises `line` as the
// start of a part, or nullptr.
std::unique_ptr<MessageDecoder> FindPartStart(Message& message,
                                              const std::string& line);

// The encoder info registered under exactly `name`; raises core::Exception
// "Message encoder not found: " + name when there is none.
const MessageEncoderInfo& EncoderInfoByName(const std::string& name);

}  // namespace replyvane::message

#endif  // REPLYVANE_MESSAGE_CODER_REGISTRY_H_
