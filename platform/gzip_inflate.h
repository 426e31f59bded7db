#pragma once
// Inflating a gzip (or zlib) stream into memory, with a ceiling on what it may grow to.
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/status.h"

namespace dunmere {

// out receives the inflated bytes of a gzip or zlib stream. 87 for a damaged or truncated stream,
// or one that would inflate past maxOutput bytes (out is then emptied).
Status InflateGzip(std::string_view compressed, std::size_t maxOutput, std::string& out);

}  // namespace dunmere
