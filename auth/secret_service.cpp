#include "auth/secret_service.h"

#if REPLYVANE_HAVE_LIBSECRET

#include <dlfcn.h>
#include <libsecret/secret.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "core/text.h"

namespace replyvane::auth {

struct SecretService::Library {
  decltype(&secret_password_lookup_sync) lookup = nullptr;
  decltype(&secret_password_store_sync) store = nullptr;
  decltype(&secret_password_clear_sync) clear = nullptr;
  decltype(&secret_password_free) free_password = nullptr;
  decltype(&g_error_free) free_error = nullptr;
  decltype(&g_cancellable_new) new_cancellable = nullptr;
  decltype(&g_cancellable_cancel) cancel = nullptr;
  decltype(&g_object_unref) unref = nullptr;
  decltype(&g_io_error_quark) io_error = nullptr;
  decltype(&g_dbus_error_quark) dbus_error = nullptr;
  SecretSchema schema{};
};

namespace {

template <typename Function>
bool Take(void* handle, const char* name, Function& function) {
  function = reinterpret_cast<Function>(::dlsym(handle, name));
  return function != nullptr;
}

// Never unloaded: GLib cannot be.
const SecretService::Library* LoadLibrary() {
  void* handle = ::dlopen("libsecret-1.so.0", RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return nullptr;
  static SecretService::Library library;
  if (!Take(handle, "secret_password_lookup_sync", library.lookup) ||
      !Take(handle, "secret_password_store_sync", library.store) ||
      !Take(handle, "secret_password_clear_sync", library.clear) ||
      !Take(handle, "secret_password_free", library.free_password) ||
      !Take(handle, "g_error_free", library.free_error) ||
      !Take(handle, "g_cancellable_new", library.new_cancellable) ||
      !Take(handle, "g_cancellable_cancel", library.cancel) ||
      !Take(handle, "g_object_unref", library.unref) ||
      !Take(handle, "g_io_error_quark", library.io_error) ||
      !Take(handle, "g_dbus_error_quark", library.dbus_error)) {
    return nullptr;
  }
  SecretSchema& schema = library.schema;
  schema.name = "org.replyvane.OAuthSignIn";
  schema.flags = SECRET_SCHEMA_NONE;
  schema.attributes[0] = {"folder", SECRET_SCHEMA_ATTRIBUTE_STRING};
  schema.attributes[1] = {"key", SECRET_SCHEMA_ATTRIBUTE_STRING};
  return &library;
}

// Runs `call` with a cancellable that is cancelled when the call outlasts
// kSecretServiceLimit.
template <typename Call>
auto Bounded(const SecretService::Library& library, Call call) {
  GCancellable* cancellable = library.new_cancellable();
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  std::thread watchdog([&] {
    std::unique_lock<std::mutex> lock(mutex);
    if (!finished.wait_for(lock, kSecretServiceLimit, [&] { return done; })) {
      library.cancel(cancellable);
    }
  });
  auto result = call(cancellable);
  {
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
  }
  finished.notify_one();
  watchdog.join();
  library.unref(cancellable);
  return result;
}

// True for the errors that say no store runs here: no session bus (or
// none that can be reached), or nothing on it that keeps secrets. Those
// are no problem: the file is there for that.
bool NoStoreHere(const SecretService::Library& library, const GError& error) {
  if (error.domain == library.io_error()) {
    return error.code != G_IO_ERROR_CANCELLED &&
           error.code != G_IO_ERROR_TIMED_OUT;
  }
  return error.domain == library.dbus_error() &&
         (error.code == G_DBUS_ERROR_SERVICE_UNKNOWN ||
          error.code == G_DBUS_ERROR_NAME_HAS_NO_OWNER);
}

// The store's reason, on one short line of plain text; empty when no store
// runs here. Frees `error`.
std::string Reason(const SecretService::Library& library, GError* error) {
  if (error == nullptr) return "the desktop's secret store did not keep it";
  std::string text;
  if (error->domain == library.io_error() &&
      error->code == G_IO_ERROR_CANCELLED) {
    text = "no answer within " + std::to_string(kSecretServiceLimit.count()) +
           " seconds (is it locked?)";
  } else if (!NoStoreHere(library, *error)) {
    text = error->message != nullptr ? error->message : "failed";
  }
  library.free_error(error);
  if (text.empty()) return text;
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  }
  if (core::CutAtCharacter(text, 200)) text += "…";
  return "the desktop's secret store: " + text;
}

}  // namespace

const SecretService* SecretService::Desktop() {
  static const Library* const library = LoadLibrary();
  if (library == nullptr) return nullptr;
  static const SecretService service(*library);
  return &service;
}

std::optional<std::string> SecretService::Lookup(const std::string& folder,
                                                 const std::string& key,
                                                 std::string& problem) const {
  GError* error = nullptr;
  gchar* secret = Bounded(library_, [&](GCancellable* cancellable) {
    return library_.lookup(&library_.schema, cancellable, &error, "folder",
                           folder.c_str(), "key", key.c_str(), nullptr);
  });
  if (secret == nullptr) {
    if (error != nullptr) problem = Reason(library_, error);
    return std::nullopt;
  }
  std::string kept(secret);
  library_.free_password(secret);
  return kept;
}

bool SecretService::Store(const std::string& folder, const std::string& key,
                          const std::string& label, const std::string& secret,
                          std::string& problem) const {
  GError* error = nullptr;
  const gboolean stored = Bounded(library_, [&](GCancellable* cancellable) {
    return library_.store(&library_.schema, SECRET_COLLECTION_DEFAULT,
                          label.c_str(), secret.c_str(), cancellable, &error,
                          "folder", folder.c_str(), "key", key.c_str(),
                          nullptr);
  });
  if (!stored) problem = Reason(library_, error);
  return stored;
}

bool SecretService::Clear(const std::string& folder, const std::string& key,
                          std::string& problem) const {
  GError* error = nullptr;
  Bounded(library_, [&](GCancellable* cancellable) {
    return library_.clear(&library_.schema, cancellable, &error, "folder",
                          folder.c_str(), "key", key.c_str(), nullptr);
  });
  // False without an error: there was nothing to clear; none when no
  // store runs here.
  if (error == nullptr) return true;
  problem = Reason(library_, error);
  return problem.empty();
}

}  // namespace replyvane::auth

#else  // without libsecret's headers: the file alone

namespace replyvane::auth {

struct SecretService::Library {};

const SecretService* SecretService::Desktop() { return nullptr; }

std::optional<std::string> SecretService::Lookup(const std::string&,
                                                 const std::string&,
                                                 std::string&) const {
  return std::nullopt;
}

bool SecretService::Store(const std::string&, const std::string&,
                          const std::string&, const std::string&,
                          std::string&) const {
  return false;
}

bool SecretService::Clear(const std::string&, const std::string&,
                          std::string&) const {
  return true;
}

}  // namespace replyvane::auth

#endif
