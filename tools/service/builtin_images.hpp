#pragma once

// The test images compiled into the service (the files of
// tools/service/images/):
//   sample.png   6x4 RGBA: rows 0-2 red in columns 0-2, green in 3-5; row 3
//                blue, its last pixel fully transparent
//   sample.jpg   16x8: left half red, right half blue (lossy)
//   sample.gif   5x3: a red, a green and a blue row; the last pixel transparent
//   palette.png  5x3 palette with a transparent entry; gray16_interlaced.png
//                9x7 16-bit grey, interlaced; gray_progressive.jpg 16x16;
//                cmyk.jpg 8x8 cyan (Adobe CMYK); interlaced.gif a 4x9
//                interlaced frame at (1,1) on a 6x10 screen, local colours
//   bomb.png 100000x100000, bomb_area.png 8192x8192, bomb.jpg 60000x60000,
//                bomb.gif a 65535x65535 screen, bomb_frame.gif a 60000x60000
//                frame: headers that declare a huge size over a few bytes
//   not_an_image.png  HTML text

#include <string_view>
#include <vector>

namespace tavrino::service {

struct BuiltInImage {
  std::string_view name;  // "sample.png"
  std::string_view bytes;
};

// Sorted by name.
const std::vector<BuiltInImage>& builtInImages();

}  // namespace tavrino::service
