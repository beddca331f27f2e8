#include "responder/token_store.h"

#include <errno.h>
#include <string.h>

#include "core/exception.h"
#include "core/file_stream.h"
#include "core/text.h"
#include "responder/private_file.h"
#include "responder/record_file.h"

namespace replyvane::responder {

TokenStore::TokenStore(std::string folder)
    : path_(folder.empty() ? "" : folder + kTokenFileName) {}

std::string TokenStore::Key(bool smtp, const std::string& user) {
  return RecordField(std::string(smtp ? "smtp " : "mailbox ") + user);
}

std::map<std::string, StoredTokens> TokenStore::ReadAll() const {
  if (path_.empty()) return memory_;
  std::map<std::string, StoredTokens> all;
  std::string text;
  if (!ReadRecordFile(path_, text)) {
    if (errno == ENOENT) return all;
    throw core::StreamError("Cannot read " + path_ + ": " + ::strerror(errno));
  }
  for (const std::string& line : core::SplitLines(text)) {
    const auto fields = SplitRecordFields(line);
    if (fields.size() != 4) continue;  // damage: that sign-in is asked again
    StoredTokens tokens;
    tokens.refresh_token = fields[1];
    tokens.access_token = fields[2];
    tokens.expires_at = core::ParseInt64(fields[3]).value_or(0);
    all[std::string(fields[0])] = tokens;
  }
  return all;
}

void TokenStore::WriteAll(const std::map<std::string, StoredTokens>& all) {
  if (path_.empty()) {
    memory_ = all;
    return;
  }
  std::string text;
  for (const auto& [key, tokens] : all) {
    text += RecordField(key) + '\t' + RecordField(tokens.refresh_token) + '\t' +
            RecordField(tokens.access_token) + '\t' +
            std::to_string(tokens.expires_at) + '\n';
  }
  WritePrivateFile(path_, text);
}

std::optional<StoredTokens> TokenStore::Load(const std::string& key) const {
  const std::map<std::string, StoredTokens> all = ReadAll();
  const auto found = all.find(key);
  if (found == all.end()) return std::nullopt;
  return found->second;
}

void TokenStore::Save(const std::string& key, const StoredTokens& tokens) {
  std::map<std::string, StoredTokens> all = ReadAll();
  all[key] = tokens;
  WriteAll(all);
}

void TokenStore::Forget(const std::string& key) {
  std::map<std::string, StoredTokens> all = ReadAll();
  if (all.erase(key) > 0) WriteAll(all);
}

}  // namespace replyvane::responder
