#pragma once
// How a decoder recognises a row it has already produced: a hash of the fields a screen shows, each
// field hashed apart so that two fields never run into one.
#include <cstdint>
#include <functional>
#include <string_view>
#include <type_traits>

namespace dunmere {

inline void MixKeyPart(std::uint64_t& key, std::uint64_t part) {
  key = (key ^ part) * 1099511628211ULL + 0x9E3779B97F4A7C15ULL + (key >> 31);
}

inline void AddKeyPart(std::uint64_t& key, std::string_view text) {
  MixKeyPart(key, std::hash<std::string_view>{}(text));
  MixKeyPart(key, text.size());
}

template <typename T, typename = std::enable_if_t<std::is_integral_v<T>>>
void AddKeyPart(std::uint64_t& key, T number) {
  MixKeyPart(key, static_cast<std::uint64_t>(number));
}

template <typename... Parts>
std::uint64_t RowKey(const Parts&... parts) {
  std::uint64_t key = 1469598103934665603ULL;
  (AddKeyPart(key, parts), ...);
  return key;
}

}  // namespace dunmere
