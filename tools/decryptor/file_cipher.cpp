#include "tools/decryptor/file_cipher.h"

#include <openssl/evp.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <vector>

#include "platform/file_util.h"

namespace dunmere::decryptor {
namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;
constexpr std::size_t kChunk = 1 << 20;

CbcResult Decrypt(std::string_view key, std::FILE* in, std::FILE* out, std::uint64_t& plainSize) {
  std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
  const unsigned char iv[16] = {};
  if (!ctx || key.size() != 32 ||
      EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_cbc(), nullptr, reinterpret_cast<const unsigned char*>(key.data()),
                         iv) != 1) {
    return CbcResult::kFailed;
  }
  EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
  std::vector<unsigned char> cipher(kChunk);
  std::vector<unsigned char> plain(kChunk + 32);
  unsigned char held[16];  // the last plain block, written once the padding is known
  bool holding = false;
  std::uint64_t total = 0;
  plainSize = 0;
  for (;;) {
    const std::size_t got = std::fread(cipher.data(), 1, kChunk, in);
    if (got == 0) break;
    total += got;
    int length = 0;
    if (EVP_DecryptUpdate(ctx.get(), plain.data(), &length, cipher.data(), static_cast<int>(got)) != 1) {
      return CbcResult::kFailed;
    }
    if (length < 16) continue;
    if (holding && std::fwrite(held, 1, 16, out) != 16) return CbcResult::kWriteFailed;
    const auto keep = static_cast<std::size_t>(length) - 16;
    if (std::fwrite(plain.data(), 1, keep, out) != keep) return CbcResult::kWriteFailed;
    plainSize += (holding ? 16 : 0) + keep;
    std::copy(plain.begin() + static_cast<std::ptrdiff_t>(keep), plain.begin() + length, held);
    holding = true;
  }
  if (std::ferror(in) != 0) return CbcResult::kFailed;
  if (total == 0 || total % 16 != 0 || !holding) return CbcResult::kBadLength;
  const unsigned pad = held[15];
  if (pad == 0 || pad > 16) return CbcResult::kBadPadding;
  for (unsigned i = 16 - pad; i < 16; ++i) {
    if (held[i] != pad) return CbcResult::kBadPadding;
  }
  const std::size_t rest = 16 - pad;
  if (std::fwrite(held, 1, rest, out) != rest) return CbcResult::kWriteFailed;
  plainSize += rest;
  return CbcResult::kOk;
}

}  // namespace

CbcResult DecryptFile(std::string_view key, const std::filesystem::path& in, const std::filesystem::path& out,
                      std::uint64_t& plainSize) {
  // A backup's file is read only when it is a regular file itself: a link is not followed, a FIFO
  // not waited on.
  const int fd = OpenRegularFile(in);
  File source(fd >= 0 ? ::fdopen(fd, "rb") : nullptr, &std::fclose);
  if (!source) {
    if (fd >= 0) ::close(fd);
    return CbcResult::kFailed;
  }
  const std::filesystem::path partial = out.string() + ".part";
  CbcResult result;
  {
    File target(std::fopen(partial.c_str(), "wbe"), &std::fclose);
    if (!target) return CbcResult::kWriteFailed;
    result = Decrypt(key, source.get(), target.get(), plainSize);
    if (std::fflush(target.get()) != 0) result = CbcResult::kWriteFailed;
  }
  std::error_code ec;
  if (result == CbcResult::kOk) {
    std::filesystem::rename(partial, out, ec);
    if (ec) result = CbcResult::kWriteFailed;
  }
  if (result != CbcResult::kOk) {
    const int err = errno;  // the reason of the failure, for the caller's message
    std::filesystem::remove(partial, ec);
    errno = err;
  }
  return result;
}

}  // namespace dunmere::decryptor
