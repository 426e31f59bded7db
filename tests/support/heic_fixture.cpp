#include "tests/support/heic_fixture.h"

#include <libheif/heif.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

namespace dunmere::testing {
namespace {

heif_error Append(heif_context*, const void* data, size_t size, void* out) {
  static_cast<std::string*>(out)->append(static_cast<const char*>(data), size);
  return heif_error{heif_error_Ok, heif_suberror_Unspecified, "ok"};
}

void Check(heif_error error) {
  if (error.code != heif_error_Ok) throw std::runtime_error(std::string("libheif: ") + error.message);
}

}  // namespace

std::string MakeHeic(int width, int height, Colour left, Colour right) {
  std::unique_ptr<heif_context, void (*)(heif_context*)> context(heif_context_alloc(), heif_context_free);
  heif_encoder* rawEncoder = nullptr;
  Check(heif_context_get_encoder_for_format(context.get(), heif_compression_HEVC, &rawEncoder));
  std::unique_ptr<heif_encoder, void (*)(heif_encoder*)> encoder(rawEncoder, heif_encoder_release);
  Check(heif_encoder_set_lossy_quality(encoder.get(), 90));
  heif_image* rawImage = nullptr;
  Check(heif_image_create(width, height, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &rawImage));
  std::unique_ptr<heif_image, void (*)(const heif_image*)> image(rawImage, heif_image_release);
  Check(heif_image_add_plane(image.get(), heif_channel_interleaved, width, height, 8));
  int stride = 0;
  std::uint8_t* plane = heif_image_get_plane(image.get(), heif_channel_interleaved, &stride);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      // A little grain, as a camera's: a picture of one flat colour codes to a few hundred bytes.
      const Colour c = x < width / 2 ? left : right;
      const int grain = static_cast<int>((static_cast<unsigned>(x) * 7919u + static_cast<unsigned>(y) * 104729u) % 13u) - 6;
      const auto channel = [grain](std::uint8_t v) { return static_cast<std::uint8_t>(std::clamp(v + grain, 0, 255)); };
      std::uint8_t* p = plane + y * stride + x * 3;
      p[0] = channel(c.r);
      p[1] = channel(c.g);
      p[2] = channel(c.b);
    }
  }
  Check(heif_context_encode_image(context.get(), image.get(), encoder.get(), nullptr, nullptr));
  std::string out;
  heif_writer writer{};
  writer.writer_api_version = 1;
  writer.write = &Append;
  Check(heif_context_write(context.get(), &writer, &out));
  return out;
}

}  // namespace dunmere::testing
