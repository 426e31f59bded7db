#pragma once
// The text by which a decoder recognises a row it has already produced: the fields joined with a
// separator no text of theirs holds.
#include <string>
#include <string_view>
#include <type_traits>

namespace dunmere {

inline void AppendKeyPart(std::string& key, std::string_view text) {
  key.append(text);
  key.push_back('\x1f');
}

template <typename T, typename = std::enable_if_t<std::is_integral_v<T>>>
void AppendKeyPart(std::string& key, T number) {
  AppendKeyPart(key, std::to_string(number));
}

template <typename... Parts>
std::string RowKey(const Parts&... parts) {
  std::string key;
  (AppendKeyPart(key, parts), ...);
  return key;
}

}  // namespace dunmere
