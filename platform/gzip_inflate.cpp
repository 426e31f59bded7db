#include "platform/gzip_inflate.h"

#include <zlib.h>

#include <algorithm>
#include <memory>

namespace dunmere {

Status InflateGzip(std::string_view compressed, std::size_t maxOutput, std::string& out) {
  out.clear();
  z_stream stream{};
  // 32 added to the window bits: a gzip or a zlib header, told apart by the stream itself.
  if (inflateInit2(&stream, 32 + MAX_WBITS) != Z_OK) return kNotEnoughMemory;
  const std::unique_ptr<z_stream, int (*)(z_stream*)> guard(&stream, inflateEnd);
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
  stream.avail_in = static_cast<uInt>(std::min<std::size_t>(compressed.size(), UINT32_MAX));
  char chunk[16384];
  for (;;) {
    stream.next_out = reinterpret_cast<Bytef*>(chunk);
    stream.avail_out = sizeof chunk;
    const int rc = inflate(&stream, Z_NO_FLUSH);
    if (rc != Z_OK && rc != Z_STREAM_END) {
      out.clear();
      return kInvalidData;
    }
    const std::size_t produced = sizeof chunk - stream.avail_out;
    if (out.size() + produced > maxOutput) {
      out.clear();
      return kInvalidData;
    }
    out.append(chunk, produced);
    if (rc == Z_STREAM_END) return kOk;
    if (produced == 0 && stream.avail_in == 0) {  // the stream ends before its end mark
      out.clear();
      return kInvalidData;
    }
  }
}

}  // namespace dunmere
