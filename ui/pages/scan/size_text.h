#pragma once
// Byte counts as the screens show them.
#include <cstdint>
#include <string>

namespace dunmere {

// "%.2f TB" from 2^40 bytes on, then GB from 2^30, MB above 1,048,575, KB above 1,023, else "%d Bytes".
std::string SizeText(std::uint64_t bytes);

}  // namespace dunmere
