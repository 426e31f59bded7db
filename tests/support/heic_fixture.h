#pragma once
// HEIC pictures made by libheif's own encoder for the tests: a colour per half, with a little grain.
#include <cstdint>
#include <string>

namespace dunmere::testing {

struct Colour {
  std::uint8_t r, g, b;
};

// A HEIC file's bytes: width x height pixels, the left half of one colour and the right of another.
std::string MakeHeic(int width, int height, Colour left, Colour right);

}  // namespace dunmere::testing
