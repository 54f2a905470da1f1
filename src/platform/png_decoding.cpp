// PNG through libpng. libpng reports errors by longjmp, so every function
// that a longjmp can cross (the setjmp holders, the callbacks) keeps only
// trivially destructible locals; vectors live in decodePng, which no longjmp
// leaves.

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "platform/image_formats.hpp"
#include "tavrino/platform/image_decoder.hpp"

namespace tavrino::platform::image_formats {
namespace {

// Caps what one ancillary chunk (text, colour profile) may take once
// inflated: such chunks can be small compressed bombs of their own.
constexpr png_alloc_size_t kMaxChunkBytes = 4u << 20;

struct PngInput {
  const png_byte* data;
  std::size_t size;
  std::size_t position;
  char message[160];
};

void readInput(png_structp png, png_bytep out, std::size_t length) {
  auto* input = static_cast<PngInput*>(png_get_io_ptr(png));
  if (length > input->size - input->position) png_error(png, "data cut short");
  std::memcpy(out, input->data + input->position, length);
  input->position += length;
}

void onError(png_structp png, png_const_charp message) {
  auto* input = static_cast<PngInput*>(png_get_error_ptr(png));
  std::snprintf(input->message, sizeof input->message, "%s", message);
  png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

std::uint32_t bigEndian32(const png_byte* bytes) {
  return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
         (std::uint32_t{bytes[2]} << 8) | bytes[3];
}

// Reads the chunks before the pixel data and sets the conversion to RGBA.
bool readHeader(png_structp png, png_infop info, int* passes) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_info(png, info);
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
  *passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  return true;
}

// Reads every row: into rows when given, else each pass's rows into row.
bool readRows(png_structp png, png_bytepp rows, png_bytep row, png_uint_32 height, int passes) {
  if (setjmp(png_jmpbuf(png))) return false;
  if (rows) {
    png_read_image(png, rows);
  } else {
    for (int pass = 0; pass < passes; ++pass) {
      for (png_uint_32 y = 0; y < height; ++y) png_read_row(png, row, nullptr);
    }
  }
  return true;
}

class PngReader {
 public:
  explicit PngReader(PngInput* input)
      : png_(png_create_read_struct(PNG_LIBPNG_VER_STRING, input, onError, onWarning)),
        info_(png_ ? png_create_info_struct(png_) : nullptr) {
    if (!info_) return;
    png_set_read_fn(png_, input, readInput);
    png_set_user_limits(png_, kMaxImageSide, kMaxImageSide);
    png_set_chunk_malloc_max(png_, kMaxChunkBytes);
  }
  ~PngReader() { png_destroy_read_struct(&png_, info_ ? &info_ : nullptr, nullptr); }
  PngReader(const PngReader&) = delete;
  PngReader& operator=(const PngReader&) = delete;

  png_structp png() const { return png_; }
  png_infop info() const { return info_; }

 private:
  png_structp png_;
  png_infop info_;
};

}  // namespace

std::string decodePng(const Data& data, Picture& picture) {
  // The size straight from the header chunk, before libpng allocates a thing.
  constexpr std::size_t kHeaderEnd = 8 + 8 + 13;
  if (data.size() < kHeaderEnd || std::memcmp(data.data() + 12, "IHDR", 4) != 0) {
    return "PNG: no header";
  }
  const std::uint32_t width = bigEndian32(data.data() + 16);
  const std::uint32_t height = bigEndian32(data.data() + 20);
  if (!isAcceptableImageSize(width, height)) return tooLarge(width, height);

  PngInput input{data.data(), data.size(), 0, {}};
  PngReader reader(&input);
  if (!reader.info()) return "PNG: out of memory";
  int passes = 1;
  if (!readHeader(reader.png(), reader.info(), &passes))
    return std::string("PNG: ") + input.message;
  if (png_get_image_width(reader.png(), reader.info()) != width ||
      png_get_image_height(reader.png(), reader.info()) != height ||
      png_get_rowbytes(reader.png(), reader.info()) != std::size_t{width} * 4) {
    return "PNG: unexpected layout";
  }

  const std::size_t stride = std::size_t{width} * 4;
  std::vector<png_byte> row;
  std::vector<png_bytep> rows;
  if (picture.pixels) {
    picture.pixels->assign(stride * height, 0);
    rows.resize(height);
    for (std::uint32_t y = 0; y < height; ++y) rows[y] = picture.pixels->data() + y * stride;
  } else {
    row.resize(stride);
  }
  if (!readRows(reader.png(), rows.empty() ? nullptr : rows.data(), row.data(), height, passes)) {
    return std::string("PNG: ") + input.message;
  }
  picture.width = width;
  picture.height = height;
  return {};
}

}  // namespace tavrino::platform::image_formats
