#pragma once
// Result codes shared by every module. 0 is success; the others are the system error numbers the
// program reports (so that a code means the same whether it came from us or from the system) plus
// a few values of the program's own.
#include <cstdint>
#include <string>

namespace dunmere {

using Status = std::int32_t;

inline constexpr Status kOk = 0;
inline constexpr Status kPathNotFound = 3;          // the system's "path not found": a file or folder that is
                                                    // not there (2, the system's "file not found", is
                                                    // the result of a stop: a missing file is told as 3)
inline constexpr Status kAccessDenied = 5;
inline constexpr Status kNotEnoughMemory = 8;
inline constexpr Status kInvalidData = 13;          // the system's "data is invalid": damaged contents
inline constexpr Status kReadFault = 30;            // short read
inline constexpr Status kInvalidParameter = 87;     // missing or invalid input, format fault
inline constexpr Status kQueryFailed = 1006;        // a database query reported an error
inline constexpr Status kManifestOpenFailed = 6009; // the manifest file cannot be opened
inline constexpr Status kStoppedByUser = 2;         // a progress callback asked to stop
inline constexpr Status kDeviceUnreadable = -1;
inline constexpr Status kWrongPassword = -110;
inline constexpr Status kHelperFailed = -111;       // a helper program failed, was killed or could not run
inline constexpr Status kDiskFull = 112;            // the system's "disk full"
inline constexpr Status kNameTooLong = 206;         // the system's "file name too long"
// System errors without a code of their own: this base plus errno, told by the system's own text.
inline constexpr Status kSystemErrorBase = 0x10000;

// Maps an errno value to the system code the rest of the program understands.
Status StatusFromErrno(int err);

// The system's message for a code, in US English ("The system cannot find the path specified."); for
// the codes of kSystemErrorBase the system's strerror text.
std::string StatusText(Status status);

}  // namespace dunmere
