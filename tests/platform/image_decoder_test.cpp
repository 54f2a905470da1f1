#include <thread>

#include "service/service.hpp"
#include "support/sdk_test.hpp"
#include "tavrino/platform/linux_image_decoder.hpp"

namespace tavrino::platform {
namespace {

Data bytesOf(std::string_view text) {
  return Data(text.begin(), text.end());
}

Data testImage(std::string_view name) {
  const auto bytes = service::builtInImage(name);
  EXPECT_TRUE(bytes) << name;
  return bytes ? bytesOf(*bytes) : Data();
}

// An RGBA PNG of width x height, in one stored (uncompressed) deflate block
// with real checksums: rows of transparent black when withPixels, else a
// pixel stream too short for even one row.
Data craftedPng(std::uint32_t width, std::uint32_t height, bool withPixels) {
  const auto put32 = [](Data& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(std::uint8_t(value >> shift));
  };
  Data out = bytesOf("\x89PNG\r\n\x1a\n");
  const auto putChunk = [&](std::string_view type, const Data& body) {
    put32(out, std::uint32_t(body.size()));
    Data typed = bytesOf(type);
    typed.insert(typed.end(), body.begin(), body.end());
    out.insert(out.end(), typed.begin(), typed.end());
    std::uint32_t crc = 0xffffffffu;
    for (auto byte : typed) {
      crc ^= byte;
      for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    put32(out, ~crc);
  };
  Data header;
  put32(header, width);
  put32(header, height);
  header.insert(header.end(), {8, 6, 0, 0, 0});
  putChunk("IHDR", header);
  const Data raw(withPixels ? (std::size_t{width} * 4 + 1) * height : 1, 0);
  const auto length = std::uint16_t(raw.size());
  EXPECT_EQ(length, raw.size()) << "one stored block only";
  Data zlib = {0x78, 0x01, 1};
  for (std::uint16_t half : {length, std::uint16_t(~length)})
    zlib.insert(zlib.end(), {std::uint8_t(half), std::uint8_t(half >> 8)});
  zlib.insert(zlib.end(), raw.begin(), raw.end());
  std::uint32_t a = 1, b = 0;
  for (auto byte : raw) a = (a + byte) % 65521, b = (b + a) % 65521;
  put32(zlib, (b << 16) | a);
  putChunk("IDAT", zlib);
  putChunk("IEND", {});
  return out;
}

// Agreement of the two entry points, kept source bytes and buffer sizes are
// the image fuzz target's invariants; these tests check the pixels and the
// reasons for refusal.
class LinuxImageDecoderTest : public ::testing::Test {
 protected:
  std::string failureOf(const Data& data) { return decoder.decode(data).failure; }
  LinuxImageDecoder decoder;
};

constexpr int kAny = -1;  // a channel not checked
using Rgba = std::array<int, 4>;
struct Pixel {
  std::uint32_t x, y;
  Rgba rgba;
};
struct Sample {
  const char* name;
  std::uint32_t width, height;
  int tolerance;  // lossy formats come back near the colour that went in
  std::vector<Pixel> pixels;
};

TEST_F(LinuxImageDecoderTest, EveryLayoutComesOutAsRgba) {
  const Rgba red{255, 0, 0, 255}, green{0, 255, 0, 255}, blue{0, 0, 255, 255},
      white{255, 255, 255, 255}, black{0, 0, 0, 255}, clear{kAny, kAny, kAny, 0};
  std::vector<Sample> samples{
      {"sample.png", 6, 4, 0, {{0, 0, red}, {5, 2, green}, {0, 3, blue}, {5, 3, clear}}},
      // Palette with a transparent entry: index (x + y) % 3, entry 0 transparent.
      {"palette.png", 5, 3, 0, {{0, 0, clear}, {1, 0, white}, {1, 1, black}}},
      {"gray16_interlaced.png", 9, 7, 0, {}},
      {"sample.jpg", 16, 8, 24, {{1, 1, red}, {14, 6, blue}}},
      {"gray_progressive.jpg", 16, 16, 24, {{0, 0, black}, {15, 9, {240, 240, 240, 255}}}},
      {"cmyk.jpg", 8, 8, 24, {{4, 4, {0, 255, 255, 255}}}},
      // A GIF is its first frame on the screen.
      {"sample.gif", 5, 3, 0, {{2, 0, red}, {2, 1, green}, {0, 2, blue}, {4, 2, clear}}},
      {"interlaced.gif", 6, 10, 0, {{0, 0, clear}, {5, 9, clear}}},
  };
  // 16-bit grey, interlaced: every pass lands in its row; value x*7000+y.
  for (std::uint32_t i = 0; i < 63; ++i) {
    const int level = int((i % 9 * 7000 + i / 9) >> 8);
    samples[2].pixels.push_back({i % 9, i / 9, {level, level, level, 255}});
  }
  // A 4x9 interlaced frame at (1,1) on a 6x10 screen: yellow rows, cyan rows.
  for (std::uint32_t y = 1; y < 10; ++y)
    for (std::uint32_t x : {1, 4})
      samples[7].pixels.push_back({x, y, y % 2 ? Rgba{255, 255, 0, 255} : Rgba{0, 255, 255, 255}});
  // Decoded on four threads at once, each must come out the same.
  const auto decodeAll = [&] {
    for (const Sample& sample : samples) {
      SCOPED_TRACE(sample.name);
      RgbaPixels pixels;
      const auto decoding = decoder.decodePixels(testImage(sample.name), pixels);
      EXPECT_TRUE(decoding) << decoding.failure;
      ASSERT_EQ(
          std::tuple(pixels.width, pixels.height, pixels.rgba.size()),
          std::tuple(sample.width, sample.height, std::size_t{sample.width} * sample.height * 4));
      for (const auto& [x, y, rgba] : sample.pixels)
        for (int c = 0; c < 4; ++c) {
          const int got = pixels.rgba[(y * sample.width + x) * 4 + c];
          EXPECT_TRUE(rgba[c] == kAny || std::abs(got - rgba[c]) <= sample.tolerance)
              << x << "," << y << " channel " << c << ": " << got;
        }
    }
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < 3; ++t) threads.emplace_back(decodeAll);
  decodeAll();
  for (auto& thread : threads) thread.join();
}

// A bomb's size is refused from its header: the reason names the size, not
// the pixel data that is missing behind it.
TEST_F(LinuxImageDecoderTest, RefusalsNameTheirReason) {
  std::vector<std::string> failures;
  for (const char* name :
       {"not_an_image.png", "bomb.png", "bomb_area.png", "bomb.jpg", "bomb.gif", "bomb_frame.gif"})
    failures.push_back(failureOf(testImage(name)));
  // At the limits the size itself passes: what fails is the missing data.
  for (auto [width, height] : {std::pair(kMaxImageSide + 1, 1u), {4097u, 4096u}, {0u, 1u}})
    failures.push_back(failureOf(craftedPng(width, height, false)));
  EXPECT_EQ(failures,
            (std::vector<std::string>{"not an image", "image too large: 100000x100000",
                                      "image too large: 8192x8192", "image too large: 60000x60000",
                                      "image too large: 65535x65535",
                                      "image too large: 60000x60000", "image too large: 8193x1",
                                      "image too large: 4097x4096", "image too large: 0x1"}));
  EXPECT_EQ(failureOf(craftedPng(4096, 4096, false)).rfind("PNG: ", 0), 0u);
  const auto wide = decoder.decode(craftedPng(kMaxImageSide, 1, true));
  ASSERT_TRUE(wide) << wide.failure;
  EXPECT_EQ(wide.image->size(), (ui::Size{8192, 1}));
}

// A download cut short, or damaged inside the pixel data, is not an image.
TEST_F(LinuxImageDecoderTest, CutOrDamagedDataIsRefused) {
  // Cut in the header, in the pixels, and just before the end.
  using Cut = std::pair<const char*, std::size_t>;  // name, bytes a decoder need not read
  for (const auto& [name, trailer] : {Cut{"gray16_interlaced.png", 12},
                                      Cut{"gray_progressive.jpg", 0}, Cut{"interlaced.gif", 1}}) {
    const Data whole = testImage(name);
    for (std::size_t length : {std::size_t{20}, whole.size() / 2, whole.size() - trailer - 1})
      EXPECT_FALSE(decoder.decode(Data(whole.begin(), whole.begin() + length))) << name << length;
  }
  Data png = testImage("sample.png");
  png[png.size() - 20] ^= 0x40;  // inside the pixel chunk: its checksum no longer holds
  EXPECT_EQ(failureOf(png).rfind("PNG: ", 0), 0u);
  Data gif = testImage("sample.gif");
  gif[10] &= 0x7f;  // drop the colour table flag: no colours for the frame
  EXPECT_FALSE(decoder.decode(gif));
}

}  // namespace
}  // namespace tavrino::platform
