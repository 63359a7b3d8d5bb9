// The process-wide binding of OpenSSL: its two libraries are loaded by name at
// run time and their entries resolved into one table. Nothing is loaded until
// the first TLS context asks for it, so a program that never uses TLS never
// touches OpenSSL. OpenSSL's headers give the types and constants only.
#pragma once

#include <openssl/bio.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace meridian::net {

// The entries of the binding. Each member has the type of the OpenSSL
// function it is named after and is null until resolved. Required entries
// must all be present for the binding to load; optional ones may be missing.
struct TOpenSSLEntries {
#define MERIDIAN_OPENSSL_ENTRY(name) decltype(&::name) name = nullptr;
  // TLS library, required.
  MERIDIAN_OPENSSL_ENTRY(SSL_CTX_set_cipher_list)
  MERIDIAN_OPENSSL_ENTRY(SSL_CTX_new)
  MERIDIAN_OPENSSL_ENTRY(SSL_CTX_free)
  MERIDIAN_OPENSSL_ENTRY(SSL_set_fd)
  MERIDIAN_OPENSSL_ENTRY(SSL_CTX_use_PrivateKey_file)
  MERIDIAN_OPENSSL_ENTRY(SSL_CTX_use_certificate_file)
  MERIDIAN_OPENSSL_ENTRY(OPENSSL_init_ssl)
  MERIDIAN_OPENSSL_ENTRY(SSL_state_string_long)
  MERIDIAN_OPENSSL_ENTRY(SSL_get1_peer_certificate)
  MERIDIAN_OPENSSL_ENTRY(SSL_CTX_set_verify)
  MERIDIAN_OPENSSL_ENTRY(SSL_CTX_set_verify_depth)
  MERIDIAN_OPENSSL_ENTRY(SSL_CTX_get_verify_depth)
  MERIDIAN_OPENSSL_ENTRY(SSL_CTX_set_default_passwd_cb)
  MERIDIAN_OPENSSL_ENTRY(SSL_CTX_set_default_passwd_cb_userdata)
  MERIDIAN_OPENSSL_ENTRY(SSL_CTX_check_private_key)
  MERIDIAN_OPENSSL_ENTRY(SSL_new)
  MERIDIAN_OPENSSL_ENTRY(SSL_free)
  MERIDIAN_OPENSSL_ENTRY(SSL_accept)
  MERIDIAN_OPENSSL_ENTRY(SSL_connect)
  MERIDIAN_OPENSSL_ENTRY(SSL_read)
  MERIDIAN_OPENSSL_ENTRY(SSL_peek)
  MERIDIAN_OPENSSL_ENTRY(SSL_write)
  MERIDIAN_OPENSSL_ENTRY(SSL_get_error)
  MERIDIAN_OPENSSL_ENTRY(SSL_pending)
  MERIDIAN_OPENSSL_ENTRY(TLS_method)
  MERIDIAN_OPENSSL_ENTRY(TLS_server_method)
  MERIDIAN_OPENSSL_ENTRY(TLS_client_method)
  MERIDIAN_OPENSSL_ENTRY(SSL_shutdown)
  MERIDIAN_OPENSSL_ENTRY(SSL_set_connect_state)
  MERIDIAN_OPENSSL_ENTRY(SSL_set_accept_state)
  MERIDIAN_OPENSSL_ENTRY(SSL_set_shutdown)
  MERIDIAN_OPENSSL_ENTRY(SSL_CTX_load_verify_locations)
  MERIDIAN_OPENSSL_ENTRY(SSL_get_session)
  MERIDIAN_OPENSSL_ENTRY(SSL_CTX_set_info_callback)
  MERIDIAN_OPENSSL_ENTRY(SSL_get_ex_data_X509_STORE_CTX_idx)
  MERIDIAN_OPENSSL_ENTRY(SSL_SESSION_get_id)
  MERIDIAN_OPENSSL_ENTRY(SSL_SESSION_get0_id_context)
  MERIDIAN_OPENSSL_ENTRY(SSL_CTX_ctrl)
  MERIDIAN_OPENSSL_ENTRY(SSL_ctrl)
  MERIDIAN_OPENSSL_ENTRY(SSL_CTX_set_options)
  MERIDIAN_OPENSSL_ENTRY(SSL_set_ex_data)
  MERIDIAN_OPENSSL_ENTRY(SSL_get_ex_data)
  MERIDIAN_OPENSSL_ENTRY(SSL_load_client_CA_file)
  MERIDIAN_OPENSSL_ENTRY(SSL_CTX_set_client_CA_list)
  MERIDIAN_OPENSSL_ENTRY(SSL_CTX_set_default_verify_paths)
  MERIDIAN_OPENSSL_ENTRY(SSL_CTX_set_session_id_context)
  MERIDIAN_OPENSSL_ENTRY(SSL_CIPHER_description)
  MERIDIAN_OPENSSL_ENTRY(SSL_get_current_cipher)
  MERIDIAN_OPENSSL_ENTRY(SSL_CIPHER_get_name)
  MERIDIAN_OPENSSL_ENTRY(SSL_CIPHER_get_version)
  MERIDIAN_OPENSSL_ENTRY(SSL_CIPHER_get_bits)
  MERIDIAN_OPENSSL_ENTRY(SSL_set1_host)
  MERIDIAN_OPENSSL_ENTRY(SSL_get0_param)
  MERIDIAN_OPENSSL_ENTRY(SSL_get_verify_result)
  MERIDIAN_OPENSSL_ENTRY(SSL_set_bio)
  // Crypto library, required.
  MERIDIAN_OPENSSL_ENTRY(X509_NAME_oneline)
  MERIDIAN_OPENSSL_ENTRY(X509_set_issuer_name)
  MERIDIAN_OPENSSL_ENTRY(X509_get_issuer_name)
  MERIDIAN_OPENSSL_ENTRY(X509_set_subject_name)
  MERIDIAN_OPENSSL_ENTRY(X509_get_subject_name)
  MERIDIAN_OPENSSL_ENTRY(X509_get0_notBefore)
  MERIDIAN_OPENSSL_ENTRY(X509_get0_notAfter)
  MERIDIAN_OPENSSL_ENTRY(X509_free)
  MERIDIAN_OPENSSL_ENTRY(X509_STORE_CTX_get_error)
  MERIDIAN_OPENSSL_ENTRY(X509_STORE_CTX_set_error)
  MERIDIAN_OPENSSL_ENTRY(X509_STORE_CTX_get_error_depth)
  MERIDIAN_OPENSSL_ENTRY(X509_STORE_CTX_get_current_cert)
  MERIDIAN_OPENSSL_ENTRY(X509_STORE_CTX_get_ex_data)
  MERIDIAN_OPENSSL_ENTRY(X509_VERIFY_PARAM_set1_ip_asc)
  MERIDIAN_OPENSSL_ENTRY(X509_verify_cert_error_string)
  MERIDIAN_OPENSSL_ENTRY(ERR_clear_error)
  MERIDIAN_OPENSSL_ENTRY(ERR_peek_error)
  MERIDIAN_OPENSSL_ENTRY(CRYPTO_free)
  MERIDIAN_OPENSSL_ENTRY(BIO_get_new_index)
  MERIDIAN_OPENSSL_ENTRY(BIO_meth_new)
  MERIDIAN_OPENSSL_ENTRY(BIO_meth_free)
  MERIDIAN_OPENSSL_ENTRY(BIO_meth_set_write)
  MERIDIAN_OPENSSL_ENTRY(BIO_meth_set_read)
  MERIDIAN_OPENSSL_ENTRY(BIO_meth_set_ctrl)
  MERIDIAN_OPENSSL_ENTRY(BIO_new)
  MERIDIAN_OPENSSL_ENTRY(BIO_free)
  MERIDIAN_OPENSSL_ENTRY(BIO_set_data)
  MERIDIAN_OPENSSL_ENTRY(BIO_get_data)
  MERIDIAN_OPENSSL_ENTRY(BIO_set_init)
  MERIDIAN_OPENSSL_ENTRY(BIO_set_flags)
  MERIDIAN_OPENSSL_ENTRY(BIO_clear_flags)
  // Crypto library, optional: certificate hashes and digests, which nothing
  // in the library calls.
  MERIDIAN_OPENSSL_ENTRY(X509_NAME_hash_ex)
  MERIDIAN_OPENSSL_ENTRY(X509_digest)
  MERIDIAN_OPENSSL_ENTRY(EVP_md5)
  // Crypto library, optional: the hashes of Digest authentication.
  MERIDIAN_OPENSSL_ENTRY(EVP_sha256)
  MERIDIAN_OPENSSL_ENTRY(EVP_Digest)
  // Crypto library, optional: the library's own version text, for reports.
  MERIDIAN_OPENSSL_ENTRY(OpenSSL_version)
#undef MERIDIAN_OPENSSL_ENTRY
};

// The binding's state. All functions are safe to call from any thread;
// loading is serialised.
class TNetOpenSSL {
 public:
  // The resolved entries; valid once Load answered true.
  static const TOpenSSLEntries& Entries();

  // Loads the crypto library and then the TLS library (when not yet loaded)
  // and resolves every entry from its library. True exactly when every
  // required entry was found. A failed attempt keeps nothing, so the next one
  // tries again.
  static bool Load();
  // Frees the libraries.
  static void Unload();
  // Load plus the library start (error strings and algorithms). True when
  // both succeeded.
  static bool LoadOpenSSLLibrary();
  // Unload, after which the next Load starts afresh.
  static void UnloadOpenSSLLibrary();
  // True while the libraries are loaded.
  static bool Loaded();

  // Starts the library for a new TLS context: loads and starts it when no
  // context was ever created, then counts the context. Throws
  // ENetOSSLCouldNotLoadSSLLibrary "Could not load SSL library." when the
  // libraries cannot be loaded or started.
  static void StartForContext();
  // TLS contexts created since the process started.
  static int32_t ContextCount();

  // The file names (or paths) of the crypto and the TLS library, in that
  // order. Default: the build's list, on Linux "libcrypto.so.3" and
  // "libssl.so.3". Takes effect at the next Load.
  static std::vector<std::string> LibraryNames();
  static void SetLibraryNames(std::vector<std::string> names);

  // Serialise OpenSSL's callbacks into the library, one lock per kind.
  static std::mutex& PasswordLock();
  static std::mutex& InfoLock();
  static std::mutex& VerifyLock();
};

// Shorthand for TNetOpenSSL::Entries().
inline const TOpenSSLEntries& OpenSSL() { return TNetOpenSSL::Entries(); }

}  // namespace meridian::net
