#include "backup/heic_pictures.h"

#include <libheif/heif.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
// jpeglib.h wants the standard types (FILE, size_t) declared before it.
#include <jpeglib.h>

#include "platform/file_util.h"

namespace dunmere {
namespace {

struct ContextFree {
  void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleFree {
  void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageFree {
  void operator()(heif_image* i) const { heif_image_release(i); }
};

// The file as libheif reads it: box by box and item by item, never whole.
class HeicFileSource {
 public:
  explicit HeicFileSource(const std::filesystem::path& file) : fd_(OpenRegularFile(file)) {
    struct stat info {};
    if (fd_ >= 0 && ::fstat(fd_, &info) == 0) size_ = info.st_size;
  }
  ~HeicFileSource() {
    if (fd_ >= 0) ::close(fd_);
  }
  HeicFileSource(const HeicFileSource&) = delete;
  HeicFileSource& operator=(const HeicFileSource&) = delete;

  int fd() const { return fd_; }
  std::int64_t size() const { return size_; }

  static const heif_reader* Reader() {
    static const heif_reader reader{1, &Position, &Read, &Seek, &Grow};
    return &reader;
  }

 private:
  static std::int64_t Position(void* self) { return static_cast<HeicFileSource*>(self)->position_; }
  static int Read(void* data, std::size_t size, void* user) {
    auto* self = static_cast<HeicFileSource*>(user);
    if (size > static_cast<std::uint64_t>(self->size_ - self->position_)) return 1;
    auto* to = static_cast<char*>(data);
    for (std::size_t done = 0; done < size;) {
      const ssize_t got = ::pread(self->fd_, to + done, size - done, self->position_ + static_cast<off_t>(done));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return 1;
      done += static_cast<std::size_t>(got);
    }
    self->position_ += static_cast<std::int64_t>(size);
    return 0;
  }
  static int Seek(std::int64_t position, void* user) {
    auto* self = static_cast<HeicFileSource*>(user);
    if (position < 0 || position > self->size_) return 1;
    self->position_ = position;
    return 0;
  }
  static heif_reader_grow_status Grow(std::int64_t target, void* user) {
    return target <= static_cast<HeicFileSource*>(user)->size_ ? heif_reader_grow_status_size_reached
                                                                 : heif_reader_grow_status_size_beyond_eof;
  }

  int fd_;
  std::int64_t size_ = 0;
  std::int64_t position_ = 0;
};

}  // namespace

Status DecodeHeic(const std::filesystem::path& file, RgbPicture& out, std::uint64_t mostPixels) {
  out = RgbPicture{};
  // The source outlives the context, which reads from it until it is freed.
  HeicFileSource source(file);
  if (source.fd() < 0) return kInvalidParameter;
  if (static_cast<std::uint64_t>(source.size()) > kLargestHeicFile) return StatusFromErrno(EFBIG);
  std::unique_ptr<heif_context, ContextFree> context(heif_context_alloc());
  if (!context) return kNotEnoughMemory;
  heif_context_set_maximum_image_size_limit(context.get(), kLargestHeicSide);
  if (heif_context_read_from_reader(context.get(), HeicFileSource::Reader(), &source, nullptr).code != heif_error_Ok) {
    return kInvalidData;
  }
  heif_image_handle* rawHandle = nullptr;
  if (heif_context_get_primary_image_handle(context.get(), &rawHandle).code != heif_error_Ok) return kInvalidData;
  std::unique_ptr<heif_image_handle, HandleFree> handle(rawHandle);
  const int width = heif_image_handle_get_width(handle.get());
  const int height = heif_image_handle_get_height(handle.get());
  if (width <= 0 || height <= 0 || width > kLargestHeicSide || height > kLargestHeicSide) return kInvalidData;
  if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > mostPixels) return StatusFromErrno(EFBIG);
  heif_image* rawImage = nullptr;
  if (heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB, heif_chroma_interleaved_RGB, nullptr).code !=
      heif_error_Ok) {
    return kInvalidData;
  }
  std::unique_ptr<heif_image, ImageFree> image(rawImage);
  int stride = 0;
  const std::uint8_t* plane = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
  const int planeWidth = heif_image_get_width(image.get(), heif_channel_interleaved);
  const int planeHeight = heif_image_get_height(image.get(), heif_channel_interleaved);
  if (plane == nullptr || planeWidth <= 0 || planeHeight <= 0 || stride < planeWidth * 3) return kInvalidData;
  out.width = planeWidth;
  out.height = planeHeight;
  const std::size_t row = static_cast<std::size_t>(planeWidth) * 3;
  out.rgb.resize(row * static_cast<std::size_t>(planeHeight));
  for (int y = 0; y < planeHeight; ++y) {
    std::memcpy(out.rgb.data() + row * static_cast<std::size_t>(y), plane + static_cast<std::size_t>(stride) * y, row);
  }
  return kOk;
}

namespace {

// The library's errors end the process unless caught: they come back here instead.
struct JpegErrors {
  jpeg_error_mgr manager;
  std::jmp_buf back;
};

[[noreturn]] void JpegFailed(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->back, 1); }

// Compresses into a buffer the library allocates (freed by the caller). Only plain data lives in this
// frame, so the jump back from an error skips no destructor.
bool CompressJpeg(const RgbPicture& picture, int quality, unsigned char** buffer, unsigned long* size) {
  jpeg_compress_struct info;
  JpegErrors errors;
  info.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = JpegFailed;
  if (setjmp(errors.back) != 0) {
    jpeg_destroy_compress(&info);
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, buffer, size);
  info.image_width = static_cast<JDIMENSION>(picture.width);
  info.image_height = static_cast<JDIMENSION>(picture.height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  const std::size_t row = static_cast<std::size_t>(picture.width) * 3;
  while (info.next_scanline < info.image_height) {
    JSAMPROW line = const_cast<JSAMPROW>(picture.rgb.data() + row * info.next_scanline);
    jpeg_write_scanlines(&info, &line, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return true;
}

}  // namespace

Status WriteJpeg(const RgbPicture& picture, const std::filesystem::path& file, int quality) {
  if (picture.width <= 0 || picture.height <= 0 ||
      picture.rgb.size() != static_cast<std::size_t>(picture.width) * picture.height * 3) {
    return kInvalidParameter;
  }
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  const bool compressed = CompressJpeg(picture, std::clamp(quality, 1, 100), &buffer, &size);
  const std::unique_ptr<unsigned char, decltype(&std::free)> owned(buffer, &std::free);
  if (!compressed || buffer == nullptr) return kNotEnoughMemory;
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) return StatusFromErrno(errno);
  const bool written = WriteAll(fd, std::string_view(reinterpret_cast<const char*>(buffer), size));
  const int err = errno;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed) {
    std::error_code ec;
    std::filesystem::remove(file, ec);  // no half picture left behind
    return StatusFromErrno(err != 0 ? err : EIO);
  }
  return kOk;
}

Status HeicToJpeg(const std::filesystem::path& heic, const std::filesystem::path& jpeg) {
  RgbPicture picture;
  if (const Status rc = DecodeHeic(heic, picture); rc != kOk) return rc;
  return WriteJpeg(picture, jpeg);
}

}  // namespace dunmere
