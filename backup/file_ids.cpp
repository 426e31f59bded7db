#include "backup/file_ids.h"

#include <openssl/evp.h>

#include <memory>

namespace dunmere {

struct FileIdHasher::Impl {
  // Fetched once: a fetch per digest would dominate the cost on manifests of many files.
  std::unique_ptr<EVP_MD, decltype(&EVP_MD_free)> md{EVP_MD_fetch(nullptr, "SHA1", nullptr), &EVP_MD_free};
};

FileIdHasher::FileIdHasher() : impl_(std::make_unique<Impl>()) {}
FileIdHasher::~FileIdHasher() = default;

std::string FileIdHasher::operator()(std::string_view domainPath) {
  static constexpr char kHex[] = "0123456789abcdef";
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  const EVP_MD* md = impl_->md ? impl_->md.get() : EVP_sha1();
  if (EVP_Digest(domainPath.data(), domainPath.size(), digest, &length, md, nullptr) != 1 || length != 20) {
    return std::string();
  }
  std::string out(40, '0');
  for (unsigned int i = 0; i < 20; ++i) {
    out[2 * i] = kHex[digest[i] >> 4];
    out[2 * i + 1] = kHex[digest[i] & 0x0F];
  }
  return out;
}

std::string Sha1FileId(std::string_view domainPath) {
  FileIdHasher hasher;
  return hasher(domainPath);
}

}  // namespace dunmere
