#include "tools/decryptor/backup_crypto.h"

#include <openssl/evp.h>

#include <memory>

namespace dunmere::decryptor {
namespace {

using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;

CipherCtx NewCtx() { return CipherCtx(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free); }

const unsigned char* U(std::string_view s) { return reinterpret_cast<const unsigned char*>(s.data()); }
unsigned char* U(Bytes& s) { return reinterpret_cast<unsigned char*>(s.data()); }

Bytes Pbkdf2(std::string_view password, std::string_view salt, std::uint32_t iterations, const EVP_MD* md) {
  Bytes out(32, '\0');
  if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), U(salt), static_cast<int>(salt.size()),
                        static_cast<int>(iterations), md, 32, U(out)) != 1) {
    return Bytes();
  }
  return out;
}

// One pass of a key-wrap cipher in either direction.
bool Wrap(std::string_view kek, std::string_view in, Bytes& out, bool encrypt) {
  if (kek.size() != 32 || in.size() < 16 || in.size() % 8 != 0) return false;
  CipherCtx ctx = NewCtx();
  if (!ctx) return false;
  EVP_CIPHER_CTX_set_flags(ctx.get(), EVP_CIPHER_CTX_FLAG_WRAP_ALLOW);
  if (EVP_CipherInit_ex(ctx.get(), EVP_aes_256_wrap(), nullptr, U(kek), nullptr, encrypt ? 1 : 0) != 1) return false;
  out.assign(in.size() + 16, '\0');
  int length = 0;
  if (EVP_CipherUpdate(ctx.get(), U(out), &length, U(in), static_cast<int>(in.size())) != 1 || length <= 0) {
    out.clear();
    return false;
  }
  int tail = 0;
  if (EVP_CipherFinal_ex(ctx.get(), U(out) + length, &tail) != 1) {
    out.clear();
    return false;
  }
  out.resize(static_cast<std::size_t>(length + tail));
  return true;
}

}  // namespace

Bytes Pbkdf2Sha256(std::string_view password, std::string_view salt, std::uint32_t iterations) {
  return Pbkdf2(password, salt, iterations, EVP_sha256());
}

Bytes Pbkdf2Sha1(std::string_view password, std::string_view salt, std::uint32_t iterations) {
  return Pbkdf2(password, salt, iterations, EVP_sha1());
}

bool AesUnwrap(std::string_view kek, std::string_view wrapped, Bytes& out) { return Wrap(kek, wrapped, out, false); }

bool AesWrap(std::string_view kek, std::string_view plain, Bytes& out) { return Wrap(kek, plain, out, true); }

CbcResult AesCbcDecrypt(std::string_view key, std::string_view cipher, Bytes& out) {
  out.clear();
  if (key.size() != 32) return CbcResult::kFailed;
  if (cipher.empty() || cipher.size() % 16 != 0) return CbcResult::kBadLength;
  CipherCtx ctx = NewCtx();
  const unsigned char iv[16] = {};
  if (!ctx || EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_cbc(), nullptr, U(key), iv) != 1) return CbcResult::kFailed;
  // Padding is checked here rather than by OpenSSL so that bad padding is told apart.
  EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
  out.assign(cipher.size(), '\0');
  int length = 0;
  if (EVP_DecryptUpdate(ctx.get(), U(out), &length, U(cipher), static_cast<int>(cipher.size())) != 1) {
    out.clear();
    return CbcResult::kFailed;
  }
  int tail = 0;
  EVP_DecryptFinal_ex(ctx.get(), U(out) + length, &tail);
  out.resize(static_cast<std::size_t>(length + tail));
  const auto pad = static_cast<unsigned char>(out.back());
  if (pad == 0 || pad > 16 || pad > out.size()) {
    out.clear();
    return CbcResult::kBadPadding;
  }
  for (std::size_t i = out.size() - pad; i < out.size(); ++i) {
    if (static_cast<unsigned char>(out[i]) != pad) {
      out.clear();
      return CbcResult::kBadPadding;
    }
  }
  out.resize(out.size() - pad);
  return CbcResult::kOk;
}

bool AesCbcEncrypt(std::string_view key, std::string_view plain, Bytes& out) {
  if (key.size() != 32) return false;
  CipherCtx ctx = NewCtx();
  const unsigned char iv[16] = {};
  if (!ctx || EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_cbc(), nullptr, U(key), iv) != 1) return false;
  out.assign(plain.size() + 16, '\0');
  int length = 0;
  if (EVP_EncryptUpdate(ctx.get(), U(out), &length, U(plain), static_cast<int>(plain.size())) != 1) return false;
  int tail = 0;
  if (EVP_EncryptFinal_ex(ctx.get(), U(out) + length, &tail) != 1) return false;
  out.resize(static_cast<std::size_t>(length + tail));
  return true;
}

}  // namespace dunmere::decryptor
