// GIF through giflib, which reports errors by return codes. The picture is
// the first frame laid on the logical screen (transparent where the frame
// does not reach); later frames are not read.

#include <gif_lib.h>

#include <algorithm>
#include <cstring>

#include "platform/image_formats.hpp"
#include "tavrino/platform/image_decoder.hpp"

namespace tavrino::platform::image_formats {
namespace {

struct GifInput {
  const GifByteType* data;
  std::size_t size;
  std::size_t position;
};

int readInput(GifFileType* gif, GifByteType* out, int length) {
  auto* input = static_cast<GifInput*>(gif->UserData);
  const std::size_t count =
      std::min(static_cast<std::size_t>(std::max(length, 0)), input->size - input->position);
  std::memcpy(out, input->data + input->position, count);
  input->position += count;
  return static_cast<int>(count);
}

class GifReader {
 public:
  explicit GifReader(GifInput* input) : gif_(DGifOpen(input, readInput, &error_)) {}
  ~GifReader() {
    int ignored = 0;
    if (gif_) DGifCloseFile(gif_, &ignored);
  }
  GifReader(const GifReader&) = delete;
  GifReader& operator=(const GifReader&) = delete;

  GifFileType* gif() const { return gif_; }
  std::string failure() const {
    const char* text = GifErrorString(gif_ ? gif_->Error : error_);
    return std::string("GIF: ") + (text ? text : "unknown error");
  }

 private:
  int error_ = 0;
  GifFileType* gif_;
};

// The rows of a frame in the order they are stored: interlaced frames store
// every 8th row from 0, every 8th from 4, every 4th from 2, every 2nd from 1.
class RowOrder {
 public:
  RowOrder(int height, bool interlaced) : height_(height), interlaced_(interlaced) {}
  int next() {
    if (!interlaced_) return row_++;
    static constexpr int kStart[] = {0, 4, 2, 1};
    static constexpr int kStep[] = {8, 8, 4, 2};
    while (pass_ < 4 && row_ >= height_) {
      ++pass_;
      if (pass_ < 4) row_ = kStart[pass_];
    }
    const int row = row_;
    row_ += kStep[std::min(pass_, 3)];
    return row;
  }

 private:
  int height_;
  bool interlaced_;
  int pass_ = 0;
  int row_ = 0;
};

// Skips an extension's sub-blocks; returns the transparent index from a
// graphic control block, or keeps transparent as it was.
bool readExtension(GifFileType* gif, int& transparent) {
  int code = 0;
  GifByteType* block = nullptr;
  if (DGifGetExtension(gif, &code, &block) != GIF_OK) return false;
  if (code == GRAPHICS_EXT_FUNC_CODE && block) {
    GraphicsControlBlock control;
    if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK) {
      transparent = control.TransparentColor;
    }
  }
  while (block) {
    if (DGifGetExtensionNext(gif, &block) != GIF_OK) return false;
  }
  return true;
}

}  // namespace

std::string decodeGif(const Data& data, Picture& picture) {
  GifInput input{data.data(), data.size(), 0};
  GifReader reader(&input);
  GifFileType* gif = reader.gif();
  if (!gif) return reader.failure();
  const bool hasScreen = gif->SWidth > 0 && gif->SHeight > 0;
  if (hasScreen && !isAcceptableImageSize(gif->SWidth, gif->SHeight)) {
    return tooLarge(gif->SWidth, gif->SHeight);
  }

  int transparent = NO_TRANSPARENT_COLOR;
  for (;;) {
    GifRecordType record = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif, &record) != GIF_OK) return reader.failure();
    if (record == TERMINATE_RECORD_TYPE) return "GIF: no frame";
    if (record == EXTENSION_RECORD_TYPE) {
      if (!readExtension(gif, transparent)) return reader.failure();
      continue;
    }
    if (record == IMAGE_DESC_RECORD_TYPE) break;
  }
  if (DGifGetImageDesc(gif) != GIF_OK) return reader.failure();

  const GifImageDesc& frame = gif->Image;
  if (!isAcceptableImageSize(std::max(frame.Width, 0), std::max(frame.Height, 0))) {
    return tooLarge(std::max(frame.Width, 0), std::max(frame.Height, 0));
  }
  const ColorMapObject* colors = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
  if (!colors || !colors->Colors || colors->ColorCount <= 0) return "GIF: no colour table";

  // Without a logical screen the frame is the picture.
  const int width = hasScreen ? gif->SWidth : frame.Width;
  const int height = hasScreen ? gif->SHeight : frame.Height;
  const int left = hasScreen ? frame.Left : 0;
  const int top = hasScreen ? frame.Top : 0;
  const std::size_t stride = static_cast<std::size_t>(width) * 4;
  if (picture.pixels) picture.pixels->assign(stride * height, 0);

  std::vector<GifPixelType> line(frame.Width);
  RowOrder order(frame.Height, frame.Interlace);
  for (int stored = 0; stored < frame.Height; ++stored) {
    if (DGifGetLine(gif, line.data(), frame.Width) != GIF_OK) return reader.failure();
    const int y = top + order.next();
    if (!picture.pixels || y < 0 || y >= height) continue;
    std::uint8_t* out = picture.pixels->data() + static_cast<std::size_t>(y) * stride;
    for (int x = 0; x < frame.Width; ++x) {
      const int at = left + x;
      if (at < 0 || at >= width || line[x] == transparent) continue;
      // An index past the table draws black, as browsers do.
      static constexpr GifColorType kBlack{0, 0, 0};
      const GifColorType& color = line[x] < colors->ColorCount ? colors->Colors[line[x]] : kBlack;
      std::uint8_t* pixel = out + static_cast<std::size_t>(at) * 4;
      pixel[0] = color.Red;
      pixel[1] = color.Green;
      pixel[2] = color.Blue;
      pixel[3] = 255;
    }
  }
  picture.width = static_cast<std::uint32_t>(width);
  picture.height = static_cast<std::uint32_t>(height);
  return {};
}

}  // namespace tavrino::platform::image_formats
