#include "auth/token_store.h"

#include <errno.h>
#include <string.h>

#include <string_view>
#include <utility>
#include <vector>

#include "core/exception.h"
#include "core/file_stream.h"
#include "core/private_file.h"
#include "core/record_file.h"
#include "core/text.h"

namespace replyvane::auth {

namespace {

// The fields after the key.
std::string TokenFields(const StoredTokens& tokens) {
  return core::RecordField(tokens.refresh_token) + '\t' +
         core::RecordField(tokens.access_token) + '\t' +
         std::to_string(tokens.expires_at);
}

StoredTokens TokensOf(const std::vector<std::string_view>& fields,
                      size_t first) {
  StoredTokens tokens;
  tokens.refresh_token = fields[first];
  tokens.access_token = fields[first + 1];
  tokens.expires_at = core::ParseInt64(fields[first + 2]).value_or(0);
  return tokens;
}

}  // namespace

TokenStore::TokenStore(std::string folder, const SecretService* secrets)
    : folder_(std::move(folder)),
      path_(folder_.empty() ? "" : folder_ + kTokenFileName),
      secrets_(folder_.empty() ? nullptr : secrets) {}

std::unique_ptr<core::FileLock> TokenStore::LockForChange(
    std::chrono::milliseconds wait) const {
  if (folder_.empty()) return nullptr;
  return std::make_unique<core::FileLock>(folder_ + kTokenLockName, wait);
}

std::string TokenStore::Key(bool smtp, const std::string& user) {
  return core::RecordField(std::string(smtp ? "smtp " : "mailbox ") + user);
}

std::map<std::string, StoredTokens> TokenStore::ReadAll() const {
  if (path_.empty()) return memory_;
  std::map<std::string, StoredTokens> all;
  std::string text;
  if (!core::ReadRecordFile(path_, text)) {
    if (errno == ENOENT) return all;
    throw core::StreamError("Cannot read " + path_ + ": " + ::strerror(errno));
  }
  for (const std::string& line : core::SplitLines(text)) {
    const auto fields = core::SplitRecordFields(line);
    if (fields.size() != 4) continue;  // damage: that sign-in is asked again
    all[std::string(fields[0])] = TokensOf(fields, 1);
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
    text += core::RecordField(key) + '\t' + TokenFields(tokens) + '\n';
  }
  core::WritePrivateFile(path_, text);
}

std::optional<StoredTokens> TokenStore::Load(const std::string& key) const {
  problem_.clear();
  std::optional<StoredTokens> kept;
  if (secrets_ != nullptr) {
    if (std::optional<std::string> secret =
            secrets_->Lookup(folder_, key, problem_)) {
      const auto fields = core::SplitRecordFields(*secret);
      if (fields.size() == 3) kept = TokensOf(fields, 0);
    }
  }
  // The file may hold a later sign-in too, made where the secret store
  // could not be reached (a terminal outside the desktop's session): of
  // the two, the one that runs out later is the newer.
  std::map<std::string, StoredTokens> all;
  try {
    all = ReadAll();
  } catch (const core::StreamError&) {
    if (!kept) throw;
  }
  const auto found = all.find(key);
  if (found != all.end() &&
      (!kept || found->second.expires_at > kept->expires_at)) {
    return found->second;
  }
  return kept;
}

void TokenStore::Save(const std::string& key, const StoredTokens& tokens) {
  problem_.clear();
  if (secrets_ != nullptr &&
      secrets_->Store(folder_, key, "Replyvane sign-in: " + key,
                      TokenFields(tokens), problem_)) {
    // No older copy stays on disk; one that cannot be removed runs out
    // sooner, so it is not the one read.
    try {
      ForgetInFile(key);
    } catch (const core::StreamError&) {
    }
    return;
  }
  std::map<std::string, StoredTokens> all = ReadAll();
  all[key] = tokens;
  WriteAll(all);
}

void TokenStore::Forget(const std::string& key) {
  problem_.clear();
  if (secrets_ != nullptr && !secrets_->Clear(folder_, key, problem_)) {
    throw core::StreamError("Cannot forget the sign-in in " + problem_);
  }
  ForgetInFile(key);
}

void TokenStore::ForgetInFile(const std::string& key) {
  std::map<std::string, StoredTokens> all = ReadAll();
  if (all.erase(key) > 0) WriteAll(all);
}

}  // namespace replyvane::auth
