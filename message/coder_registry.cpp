// The two registries, built with the standard coders on first use.
#include "message/coder_registry.h"

#include <utility>
#include <vector>

#include "message/message_decoder_mime.h"
#include "message/message_decoder_uue.h"

namespace replyvane::message {
namespace {

struct Registries {
  std::vector<std::pair<std::string, std::unique_ptr<MessageDecoderInfo>>>
      decoders;
  std::vector<std::pair<std::string, std::unique_ptr<MessageEncoderInfo>>>
      encoders;
};

Registries StandardRegistries() {
  Registries r;
  r.decoders.emplace_back("UUE", std::make_unique<MessageDecoderInfoUUE>());
  r.encoders.emplace_back("UUE", std::make_unique<MessageEncoderInfoUUE>());
  r.encoders.emplace_back("XXE", std::make_unique<MessageEncoderInfoXXE>());
  r.decoders.emplace_back("MIME", std::make_unique<MessageDecoderInfoMIME>());
  r.encoders.emplace_back("MIME", std::make_unique<MessageEncoderInfoMIME>());
  return r;
}

// Built once for the process, freed at exit with the infos.
Registries& TheRegistries() {
  static Registries registries = StandardRegistries();
  return registries;
}

}  // namespace

void RegisterDecoder(const std::string& name,
                     std::unique_ptr<MessageDecoderInfo> info) {
  TheRegistries().decoders.emplace_back(name, std::move(info));
}

void RegisterEncoder(const std::string& name,
                     std::unique_ptr<MessageEncoderInfo> info) {
  TheRegistries().encoders.emplace_back(name, std::move(info));
}

std::unique_ptr<MessageDecoder> FindPartStart(Message& message,
                                              const std::string& line) {
  for (const auto& [name, info] : TheRegistries().decoders) {
    if (auto decoder = info->DetectPartStart(message, line)) return decoder;
  }
  return nullptr;
}

const MessageEncoderInfo& EncoderInfoByName(const std::string& name) {
  for (const auto& [registered, info] : TheRegistries().encoders) {
    if (registered == name) return *info;
  }
  throw core::Exception("Message encoder not found: " + name);
}

}  // namespace replyvane::message
