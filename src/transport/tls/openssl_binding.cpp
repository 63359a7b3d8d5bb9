#include "transport/tls/openssl_binding.h"

#include <memory>

#include "net/exceptions.h"
#include "platform/library.h"

#ifndef MERIDIAN_OPENSSL_LIBRARIES
#define MERIDIAN_OPENSSL_LIBRARIES "libcrypto.so.3", "libssl.so.3"
#endif

namespace meridian::net {

namespace {

enum TLibraryKind : uint8_t { lkCrypto, lkTls };

struct TEntrySlot {
  const char* name;
  void** slot;
  TLibraryKind library;
  bool required;
};

struct TBindingState {
  std::mutex load_lock;
  std::vector<std::string> names{MERIDIAN_OPENSSL_LIBRARIES};
  std::unique_ptr<platform::TLibrary> crypto;
  std::unique_ptr<platform::TLibrary> tls;
  TOpenSSLEntries entries;
  bool started = false;
  int32_t context_count = 0;
};

// Never destroyed: OpenSSL registers its own clean-up to run at process exit,
// and unloading its libraries before that would leave the clean-up nowhere to
// run. The libraries therefore stay loaded until the process ends.
TBindingState& State() {
  static auto* state = new TBindingState;
  return *state;
}

// Every entry with its library, in the order it is resolved.
std::vector<TEntrySlot> Slots(TOpenSSLEntries& e) {
  std::vector<TEntrySlot> slots;
#define TLS_ENTRY(name) slots.push_back({#name, reinterpret_cast<void**>(&e.name), lkTls, true});
#define CRYPTO_ENTRY(name) slots.push_back({#name, reinterpret_cast<void**>(&e.name), lkCrypto, true});
#define CRYPTO_OPTIONAL(name) slots.push_back({#name, reinterpret_cast<void**>(&e.name), lkCrypto, false});
  TLS_ENTRY(SSL_CTX_set_cipher_list)
  TLS_ENTRY(SSL_CTX_new)
  TLS_ENTRY(SSL_CTX_free)
  TLS_ENTRY(SSL_set_fd)
  TLS_ENTRY(SSL_CTX_use_PrivateKey_file)
  TLS_ENTRY(SSL_CTX_use_certificate_file)
  TLS_ENTRY(OPENSSL_init_ssl)
  TLS_ENTRY(SSL_state_string_long)
  TLS_ENTRY(SSL_get1_peer_certificate)
  TLS_ENTRY(SSL_CTX_set_verify)
  TLS_ENTRY(SSL_CTX_set_verify_depth)
  TLS_ENTRY(SSL_CTX_get_verify_depth)
  TLS_ENTRY(SSL_CTX_set_default_passwd_cb)
  TLS_ENTRY(SSL_CTX_set_default_passwd_cb_userdata)
  TLS_ENTRY(SSL_CTX_check_private_key)
  TLS_ENTRY(SSL_new)
  TLS_ENTRY(SSL_free)
  TLS_ENTRY(SSL_accept)
  TLS_ENTRY(SSL_connect)
  TLS_ENTRY(SSL_read)
  TLS_ENTRY(SSL_peek)
  TLS_ENTRY(SSL_write)
  TLS_ENTRY(SSL_get_error)
  TLS_ENTRY(SSL_pending)
  TLS_ENTRY(TLS_method)
  TLS_ENTRY(TLS_server_method)
  TLS_ENTRY(TLS_client_method)
  TLS_ENTRY(SSL_shutdown)
  TLS_ENTRY(SSL_set_connect_state)
  TLS_ENTRY(SSL_set_accept_state)
  TLS_ENTRY(SSL_set_shutdown)
  TLS_ENTRY(SSL_CTX_load_verify_locations)
  TLS_ENTRY(SSL_get_session)
  TLS_ENTRY(SSL_CTX_set_info_callback)
  TLS_ENTRY(SSL_get_ex_data_X509_STORE_CTX_idx)
  TLS_ENTRY(SSL_SESSION_get_id)
  TLS_ENTRY(SSL_SESSION_get0_id_context)
  TLS_ENTRY(SSL_CTX_ctrl)
  TLS_ENTRY(SSL_ctrl)
  TLS_ENTRY(SSL_CTX_set_options)
  TLS_ENTRY(SSL_set_ex_data)
  TLS_ENTRY(SSL_get_ex_data)
  TLS_ENTRY(SSL_load_client_CA_file)
  TLS_ENTRY(SSL_CTX_set_client_CA_list)
  TLS_ENTRY(SSL_CTX_set_default_verify_paths)
  TLS_ENTRY(SSL_CTX_set_session_id_context)
  TLS_ENTRY(SSL_CIPHER_description)
  TLS_ENTRY(SSL_get_current_cipher)
  TLS_ENTRY(SSL_CIPHER_get_name)
  TLS_ENTRY(SSL_CIPHER_get_version)
  TLS_ENTRY(SSL_CIPHER_get_bits)
  TLS_ENTRY(SSL_set1_host)
  TLS_ENTRY(SSL_get0_param)
  TLS_ENTRY(SSL_get_verify_result)
  TLS_ENTRY(SSL_set_bio)
  CRYPTO_ENTRY(X509_NAME_oneline)
  CRYPTO_ENTRY(X509_set_issuer_name)
  CRYPTO_ENTRY(X509_get_issuer_name)
  CRYPTO_ENTRY(X509_set_subject_name)
  CRYPTO_ENTRY(X509_get_subject_name)
  CRYPTO_ENTRY(X509_get0_notBefore)
  CRYPTO_ENTRY(X509_get0_notAfter)
  CRYPTO_ENTRY(X509_free)
  CRYPTO_ENTRY(X509_STORE_CTX_get_error)
  CRYPTO_ENTRY(X509_STORE_CTX_set_error)
  CRYPTO_ENTRY(X509_STORE_CTX_get_error_depth)
  CRYPTO_ENTRY(X509_STORE_CTX_get_current_cert)
  CRYPTO_ENTRY(X509_STORE_CTX_get_ex_data)
  CRYPTO_ENTRY(X509_VERIFY_PARAM_set1_ip_asc)
  CRYPTO_ENTRY(X509_verify_cert_error_string)
  CRYPTO_ENTRY(ERR_clear_error)
  CRYPTO_ENTRY(ERR_peek_error)
  CRYPTO_ENTRY(CRYPTO_free)
  CRYPTO_ENTRY(BIO_get_new_index)
  CRYPTO_ENTRY(BIO_meth_new)
  CRYPTO_ENTRY(BIO_meth_free)
  CRYPTO_ENTRY(BIO_meth_set_write)
  CRYPTO_ENTRY(BIO_meth_set_read)
  CRYPTO_ENTRY(BIO_meth_set_ctrl)
  CRYPTO_ENTRY(BIO_new)
  CRYPTO_ENTRY(BIO_free)
  CRYPTO_ENTRY(BIO_set_data)
  CRYPTO_ENTRY(BIO_get_data)
  CRYPTO_ENTRY(BIO_set_init)
  CRYPTO_ENTRY(BIO_set_flags)
  CRYPTO_ENTRY(BIO_clear_flags)
  CRYPTO_OPTIONAL(X509_NAME_hash_ex)
  CRYPTO_OPTIONAL(X509_digest)
  CRYPTO_OPTIONAL(EVP_md5)
  CRYPTO_OPTIONAL(EVP_sha256)
  CRYPTO_OPTIONAL(EVP_Digest)
  CRYPTO_OPTIONAL(OpenSSL_version)
#undef TLS_ENTRY
#undef CRYPTO_ENTRY
#undef CRYPTO_OPTIONAL
  return slots;
}

// REQUIRES: the load lock is held.
bool LoadLocked(TBindingState& state) {
  if (state.crypto != nullptr && state.tls != nullptr) return true;
  if (state.names.size() < 2) return false;
  auto crypto = platform::TLibrary::Load(state.names[0]);
  auto tls = platform::TLibrary::Load(state.names[1]);
  if (crypto == nullptr || tls == nullptr) return false;

  TOpenSSLEntries entries;
  for (const TEntrySlot& slot : Slots(entries)) {
    const platform::TLibrary& library = slot.library == lkTls ? *tls : *crypto;
    *slot.slot = library.Symbol(slot.name);
    if (*slot.slot == nullptr && slot.required) return false;
  }
  // Only a complete binding is kept: a failed attempt leaves the state as it
  // was, so the next attempt loads afresh.
  state.entries = entries;
  state.crypto = std::move(crypto);
  state.tls = std::move(tls);
  return true;
}

}  // namespace

const TOpenSSLEntries& TNetOpenSSL::Entries() { return State().entries; }

bool TNetOpenSSL::Load() {
  TBindingState& state = State();
  std::lock_guard<std::mutex> lock(state.load_lock);
  return LoadLocked(state);
}

void TNetOpenSSL::Unload() {
  TBindingState& state = State();
  std::lock_guard<std::mutex> lock(state.load_lock);
  state.tls.reset();
  state.crypto.reset();
  state.entries = TOpenSSLEntries{};
  state.started = false;
}

bool TNetOpenSSL::LoadOpenSSLLibrary() {
  TBindingState& state = State();
  std::lock_guard<std::mutex> lock(state.load_lock);
  if (!LoadLocked(state)) return false;
  if (!state.started) {
    state.started = state.entries.OPENSSL_init_ssl(OPENSSL_INIT_LOAD_SSL_STRINGS | OPENSSL_INIT_LOAD_CRYPTO_STRINGS,
                                                   nullptr) > 0;
  }
  return state.started;
}

void TNetOpenSSL::UnloadOpenSSLLibrary() { Unload(); }

bool TNetOpenSSL::Loaded() {
  TBindingState& state = State();
  std::lock_guard<std::mutex> lock(state.load_lock);
  return state.crypto != nullptr && state.tls != nullptr;
}

void TNetOpenSSL::StartForContext() {
  TBindingState& state = State();
  {
    std::lock_guard<std::mutex> lock(state.load_lock);
    if (state.context_count >= 1 && state.started) {
      ++state.context_count;
      return;
    }
  }
  if (!LoadOpenSSLLibrary()) throw ENetOSSLCouldNotLoadSSLLibrary();
  std::lock_guard<std::mutex> lock(state.load_lock);
  ++state.context_count;
}

int32_t TNetOpenSSL::ContextCount() {
  TBindingState& state = State();
  std::lock_guard<std::mutex> lock(state.load_lock);
  return state.context_count;
}

std::vector<std::string> TNetOpenSSL::LibraryNames() {
  TBindingState& state = State();
  std::lock_guard<std::mutex> lock(state.load_lock);
  return state.names;
}

void TNetOpenSSL::SetLibraryNames(std::vector<std::string> names) {
  TBindingState& state = State();
  std::lock_guard<std::mutex> lock(state.load_lock);
  state.names = std::move(names);
}

std::mutex& TNetOpenSSL::PasswordLock() {
  static std::mutex lock;
  return lock;
}

std::mutex& TNetOpenSSL::InfoLock() {
  static std::mutex lock;
  return lock;
}

std::mutex& TNetOpenSSL::VerifyLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace meridian::net
