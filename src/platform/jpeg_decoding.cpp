// JPEG through libjpeg. libjpeg reports errors by longjmp, so every function
// that a longjmp can cross (the setjmp holders, the callbacks) keeps only
// trivially destructible locals; vectors live in decodeJpeg, which no
// longjmp leaves.

#include <csetjmp>
#include <cstdio>

// After stdio.h, whose types they use; jerror.h after jpeglib.h.
#include <jpeglib.h>

#include <jerror.h>

#include "platform/image_formats.hpp"
#include "tavrino/platform/image_decoder.hpp"

namespace tavrino::platform::image_formats {
namespace {

// A progressive file may hold any number of scans, each a pass over the
// whole picture: a small file could keep a thread busy for minutes.
constexpr int kMaxScans = 200;
// Progressive and multi-scan files keep every coefficient of the picture;
// at the largest accepted size that is 128 MiB for four components.
constexpr long kMaxDecoderMemory = 160L << 20;

struct JpegErrors {
  jpeg_error_mgr manager;  // first: libjpeg hands back a pointer to it
  std::jmp_buf jump;
  bool cutShort;
  bool tooManyScans;
  char message[JMSG_LENGTH_MAX];
};

JpegErrors& errorsOf(j_common_ptr info) {
  return *reinterpret_cast<JpegErrors*>(info->err);
}

void onError(j_common_ptr info) {
  JpegErrors& errors = errorsOf(info);
  if (errors.tooManyScans) {
    std::snprintf(errors.message, sizeof errors.message, "more than %d scans", kMaxScans);
  } else {
    (*info->err->format_message)(info, errors.message);
  }
  std::longjmp(errors.jump, 1);
}

// Warnings are not printed; the one that says the data ended early is kept.
void onMessage(j_common_ptr info, int level) {
  if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) errorsOf(info).cutShort = true;
}

void onProgress(j_common_ptr info) {
  auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
  if (decompress->input_scan_number > kMaxScans) {
    errorsOf(info).tooManyScans = true;
    info->err->msg_code = JERR_NOT_COMPILED;  // any code: onError writes the message
    (*info->err->error_exit)(info);
  }
}

bool readHeader(j_decompress_ptr info, JpegErrors* errors, const Data* data) {
  if (setjmp(errors->jump)) return false;
  jpeg_create_decompress(info);
  info->mem->max_memory_to_use = kMaxDecoderMemory;
  jpeg_mem_src(info, data->data(), static_cast<unsigned long>(data->size()));
  if (jpeg_read_header(info, TRUE) != JPEG_HEADER_OK) {
    std::snprintf(errors->message, sizeof errors->message, "no picture");
    return false;
  }
  return true;
}

bool isCmyk(j_decompress_ptr info) {
  return info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK;
}

// CMYK as Adobe writes it (inverted) or plain, to opaque RGB.
void cmykToRgba(JSAMPROW row, JDIMENSION width, bool inverted) {
  for (JDIMENSION x = 0; x < width; ++x) {
    JSAMPLE* pixel = row + x * 4;
    int c = pixel[0], m = pixel[1], y = pixel[2], k = pixel[3];
    if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
    pixel[0] = static_cast<JSAMPLE>(c * k / 255);
    pixel[1] = static_cast<JSAMPLE>(m * k / 255);
    pixel[2] = static_cast<JSAMPLE>(y * k / 255);
    pixel[3] = 255;
  }
}

// Decodes every scan line: line y into out + y * stride when out is given,
// else into row.
bool readRows(j_decompress_ptr info, JpegErrors* errors, JSAMPLE* out, JSAMPLE* row,
              std::size_t stride) {
  if (setjmp(errors->jump)) return false;
  const bool cmyk = isCmyk(info);
  info->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBA;
  jpeg_start_decompress(info);
  if (info->output_components != 4 || std::size_t{info->output_width} * 4 != stride) {
    std::snprintf(errors->message, sizeof errors->message, "unexpected layout");
    return false;
  }
  while (info->output_scanline < info->output_height) {
    JSAMPROW line = out ? out + info->output_scanline * stride : row;
    if (jpeg_read_scanlines(info, &line, 1) != 1) {
      std::snprintf(errors->message, sizeof errors->message, "no scan line");
      return false;
    }
    if (cmyk) cmykToRgba(line, info->output_width, info->saw_Adobe_marker);
  }
  return true;
}

class JpegReader {
 public:
  JpegReader() {
    info_.err = jpeg_std_error(&errors_.manager);
    errors_.manager.error_exit = onError;
    errors_.manager.emit_message = onMessage;
    progress_.progress_monitor = onProgress;
  }
  ~JpegReader() { jpeg_destroy_decompress(&info_); }
  JpegReader(const JpegReader&) = delete;
  JpegReader& operator=(const JpegReader&) = delete;

  j_decompress_ptr info() { return &info_; }
  JpegErrors* errors() { return &errors_; }
  void watchProgress() { info_.progress = &progress_; }

 private:
  JpegErrors errors_{};
  jpeg_progress_mgr progress_{};
  jpeg_decompress_struct info_{};
};

}  // namespace

std::string decodeJpeg(const Data& data, Picture& picture) {
  JpegReader reader;
  if (!readHeader(reader.info(), reader.errors(), &data)) {
    return std::string("JPEG: ") + reader.errors()->message;
  }
  const JDIMENSION width = reader.info()->image_width;
  const JDIMENSION height = reader.info()->image_height;
  if (!isAcceptableImageSize(width, height)) return tooLarge(width, height);
  reader.watchProgress();

  const std::size_t stride = std::size_t{width} * 4;
  std::vector<JSAMPLE> row;
  if (picture.pixels) {
    picture.pixels->assign(stride * height, 0);
  } else {
    row.resize(stride);
  }
  JSAMPLE* out = picture.pixels ? picture.pixels->data() : nullptr;
  if (!readRows(reader.info(), reader.errors(), out, row.data(), stride)) {
    return std::string("JPEG: ") + reader.errors()->message;
  }
  if (reader.errors()->cutShort) return "JPEG: data cut short";
  picture.width = width;
  picture.height = height;
  return {};
}

}  // namespace tavrino::platform::image_formats
