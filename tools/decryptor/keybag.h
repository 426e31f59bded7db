#pragma once
// The backup keybag: a run of records (4-byte tag, 4-byte big-endian length, value). The header
// holds the salts and iteration counts of the password derivation; then one block per protection
// class, each starting with its UUID, with the class key wrapped by the key the password gives.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "tools/decryptor/backup_crypto.h"

namespace dunmere::decryptor {

struct ClassKey {
  std::uint32_t wrap = 0;  // 2: wrapped with the password key
  std::uint32_t keyType = 0;
  Bytes wrappedKey;        // WPKY
  Bytes key;               // after unlocking
};

class Keybag {
 public:
  // False when the data is no keybag (no header, a record running past the end, no salt).
  bool Parse(std::string_view data);

  // The key the password gives: PBKDF2-HMAC-SHA256 over DPSL/DPIC first when the keybag has them
  // (iOS 10.2 and later), then PBKDF2-HMAC-SHA1 over SALT/ITER.
  Bytes DeriveKey(std::string_view password) const;

  // Unwraps every class key wrapped with the password key. False when one fails to unwrap: the
  // password is wrong.
  bool Unlock(std::string_view passwordKey);

  // The unlocked key of a protection class; empty when there is none.
  const Bytes& KeyOf(std::uint32_t protectionClass) const;

  std::uint32_t iterations = 0;
  Bytes salt;
  std::uint32_t dpIterations = 0;
  Bytes dpSalt;
  std::map<std::uint32_t, ClassKey> classes;
};

}  // namespace dunmere::decryptor
