#include "tools/decryptor/keybag.h"

namespace dunmere::decryptor {
namespace {

std::uint32_t Be32(std::string_view s, std::size_t at) {
  return (static_cast<std::uint32_t>(static_cast<unsigned char>(s[at])) << 24) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + 1])) << 16) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + 2])) << 8) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + 3]));
}

std::uint32_t Number(std::string_view value) { return value.size() == 4 ? Be32(value, 0) : 0; }

const Bytes kNoKey;

}  // namespace

bool Keybag::Parse(std::string_view data) {
  classes.clear();
  bool inHeader = true;
  bool sawUuid = false;
  bool sawWrap = false;
  ClassKey current;
  std::uint32_t currentClass = 0;
  bool haveClass = false;
  auto flush = [&] {
    if (haveClass) classes[currentClass] = current;
    current = ClassKey{};
    haveClass = false;
  };
  std::size_t pos = 0;
  while (pos + 8 <= data.size()) {
    const std::string_view tag = data.substr(pos, 4);
    const std::uint32_t length = Be32(data, pos + 4);
    if (length > data.size() - pos - 8) return false;
    const std::string_view value = data.substr(pos + 8, length);
    pos += 8 + length;
    // The first UUID and the first WRAP belong to the header; every later UUID opens a class block.
    if (tag == "UUID") {
      if (!sawUuid) {
        sawUuid = true;
        continue;
      }
      flush();
      inHeader = false;
      continue;
    }
    if (inHeader) {
      if (tag == "WRAP" && !sawWrap) {
        sawWrap = true;
      } else if (tag == "SALT") {
        salt = Bytes(value);
      } else if (tag == "ITER") {
        iterations = Number(value);
      } else if (tag == "DPSL") {
        dpSalt = Bytes(value);
      } else if (tag == "DPIC") {
        dpIterations = Number(value);
      }
      continue;
    }
    if (tag == "CLAS") {
      currentClass = Number(value);
      haveClass = true;
    } else if (tag == "WRAP") {
      current.wrap = Number(value);
    } else if (tag == "KTYP") {
      current.keyType = Number(value);
    } else if (tag == "WPKY") {
      current.wrappedKey = Bytes(value);
    }
  }
  flush();
  return pos == data.size() && !salt.empty() && iterations > 0;
}

Bytes Keybag::DeriveKey(std::string_view password) const {
  Bytes input(password);
  if (!dpSalt.empty() && dpIterations > 0) input = Pbkdf2Sha256(password, dpSalt, dpIterations);
  return Pbkdf2Sha1(input, salt, iterations);
}

bool Keybag::Unlock(std::string_view passwordKey) {
  bool any = false;
  for (auto& [protectionClass, classKey] : classes) {
    (void)protectionClass;
    if ((classKey.wrap & 2) == 0 || classKey.wrappedKey.size() != 40) continue;
    // WRAP 3 needs the device key as well: such classes cannot be opened off the device.
    if ((classKey.wrap & 1) != 0) continue;
    if (!AesUnwrap(passwordKey, classKey.wrappedKey, classKey.key)) return false;
    any = true;
  }
  return any;
}

const Bytes& Keybag::KeyOf(std::uint32_t protectionClass) const {
  const auto it = classes.find(protectionClass);
  return it == classes.end() ? kNoKey : it->second.key;
}

}  // namespace dunmere::decryptor
