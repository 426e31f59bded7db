#pragma once
// Recognising pictures, sounds and videos by the first 512 bytes of a file.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace dunmere {

inline constexpr std::size_t kMediaHeaderBytes = 512;

// The type extension ("jpg", "mov", ...) of a file by its header: the first row of the signature
// table whose test matches. Nothing for a file that cannot be read, is shorter than 512 bytes or
// matches no test.
std::optional<std::string> DetectMediaType(const std::filesystem::path& file);

// The same on the first 512 bytes of a file.
std::optional<std::string> DetectMediaTypeOfHeader(std::string_view header);

// The extension lists of pictures, sounds and videos ("*.bmp|*.gif|…").
extern const char* const kPictureExtensions;
extern const char* const kSoundExtensions;
extern const char* const kVideoExtensions;

}  // namespace dunmere

namespace dunmere {

// Whether an extension list ("*.a|*.b|…") holds the extension of fileName as a whole entry, letter
// case aside.
bool ExtensionListHas(const char* list, std::string_view fileName);

// Where an app's file is listed: App Videos for a video or sound extension, App Photos for a
// picture or any other.
bool IsAppVideoFile(std::string_view fileName);

}  // namespace dunmere
