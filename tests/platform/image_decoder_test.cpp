#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

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

// --- A PNG writer for sizes no checked-in file has: stored (uncompressed)
// deflate blocks, real CRCs.

std::uint32_t crc32(const Data& bytes, std::size_t from) {
  std::uint32_t crc = 0xffffffffu;
  for (std::size_t i = from; i < bytes.size(); ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void put32(Data& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void putChunk(Data& out, std::string_view type, const Data& body) {
  put32(out, static_cast<std::uint32_t>(body.size()));
  Data typed = bytesOf(type);
  typed.insert(typed.end(), body.begin(), body.end());
  out.insert(out.end(), typed.begin(), typed.end());
  put32(out, crc32(typed, 0));
}

// An RGBA PNG of width x height; rows of transparent black when withPixels,
// else a pixel stream too short for even one row.
Data craftedPng(std::uint32_t width, std::uint32_t height, bool withPixels) {
  Data out = bytesOf("\x89PNG\r\n\x1a\n");
  Data header;
  put32(header, width);
  put32(header, height);
  header.insert(header.end(), {8, 6, 0, 0, 0});
  putChunk(out, "IHDR", header);
  Data raw(withPixels ? (std::size_t{width} * 4 + 1) * height : 1, 0);
  Data zlib = {0x78, 0x01};
  for (std::size_t at = 0; at < raw.size() || at == 0; at += 65535) {
    const std::size_t length = std::min<std::size_t>(65535, raw.size() - at);
    zlib.push_back(at + length >= raw.size() ? 1 : 0);
    zlib.insert(zlib.end(),
                {static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
                 static_cast<std::uint8_t>(~length), static_cast<std::uint8_t>(~length >> 8)});
    zlib.insert(zlib.end(), raw.begin() + at, raw.begin() + at + length);
    if (length == 0) break;
  }
  std::uint32_t a = 1, b = 0;
  for (auto byte : raw) a = (a + byte) % 65521, b = (b + a) % 65521;
  put32(zlib, (b << 16) | a);
  putChunk(out, "IDAT", zlib);
  putChunk(out, "IEND", {});
  return out;
}

using Rgba = std::array<int, 4>;

Rgba pixelAt(const RgbaPixels& pixels, std::uint32_t x, std::uint32_t y) {
  const auto* p = pixels.rgba.data() + (std::size_t{y} * pixels.width + x) * 4;
  return {p[0], p[1], p[2], p[3]};
}

// Lossy formats come back near the colour that went in.
void expectNear(const Rgba& actual, const Rgba& expected, int tolerance, std::string_view where) {
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(actual[i], expected[i], tolerance) << where << " channel " << i;
  }
}

// Agreement of the two entry points, kept source bytes and buffer sizes are
// the image fuzz target's invariants; these tests check the pixels and the
// reasons for refusal.
class LinuxImageDecoderTest : public ::testing::Test {
 protected:
  // Decodes name, which must succeed; on failure the pixels are transparent
  // black of the expected size, so the colour checks fail instead of crashing.
  RgbaPixels decoded(std::string_view name, std::uint32_t width, std::uint32_t height) {
    RgbaPixels pixels;
    const auto decoding = decoder.decodePixels(testImage(name), pixels);
    EXPECT_TRUE(decoding) << name << ": " << decoding.failure;
    EXPECT_EQ(pixels.width, width) << name;
    EXPECT_EQ(pixels.height, height) << name;
    if (pixels.rgba.size() != std::size_t{width} * height * 4) {
      pixels = {width, height, Data(std::size_t{width} * height * 4, 0)};
    }
    return pixels;
  }

  std::string failureOf(const Data& data) { return decoder.decode(data).failure; }

  LinuxImageDecoder decoder;
};

TEST_F(LinuxImageDecoderTest, PngLayoutsComeOutAsRgba) {
  // The service's default image, served for every other name.
  const auto pixel = decoder.decode(bytesOf(service::builtInImage()));
  ASSERT_TRUE(pixel) << pixel.failure;
  EXPECT_EQ(pixel.image->size(), (ui::Size{1, 1}));

  auto rgba = decoded("sample.png", 6, 4);
  EXPECT_EQ(pixelAt(rgba, 0, 0), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(pixelAt(rgba, 5, 2), (Rgba{0, 255, 0, 255}));
  EXPECT_EQ(pixelAt(rgba, 0, 3), (Rgba{0, 0, 255, 255}));
  EXPECT_EQ(pixelAt(rgba, 5, 3)[3], 0) << "alpha kept";
  // Palette with a transparent entry: index (x + y) % 3, entry 0 transparent.
  auto palette = decoded("palette.png", 5, 3);
  EXPECT_EQ(pixelAt(palette, 0, 0)[3], 0);
  EXPECT_EQ(pixelAt(palette, 1, 0), (Rgba{255, 255, 255, 255}));
  EXPECT_EQ(pixelAt(palette, 1, 1), (Rgba{0, 0, 0, 255}));
  // 16-bit grey, interlaced: every pass lands in its row; value x*7000+y.
  auto gray = decoded("gray16_interlaced.png", 9, 7);
  for (std::uint32_t y = 0; y < 7; ++y) {
    for (std::uint32_t x = 0; x < 9; ++x) {
      const int level = int((x * 7000 + y) >> 8);
      EXPECT_EQ(pixelAt(gray, x, y), (Rgba{level, level, level, 255})) << x << "," << y;
    }
  }
}

TEST_F(LinuxImageDecoderTest, JpegLayoutsComeOutAsRgba) {
  auto sample = decoded("sample.jpg", 16, 8);
  expectNear(pixelAt(sample, 1, 1), {255, 0, 0, 255}, 24, "left");
  expectNear(pixelAt(sample, 14, 6), {0, 0, 255, 255}, 24, "right");
  auto progressive = decoded("gray_progressive.jpg", 16, 16);
  expectNear(pixelAt(progressive, 0, 0), {0, 0, 0, 255}, 24, "dark edge");
  expectNear(pixelAt(progressive, 15, 9), {240, 240, 240, 255}, 24, "light edge");
  expectNear(pixelAt(decoded("cmyk.jpg", 8, 8), 4, 4), {0, 255, 255, 255}, 24, "cyan");
}

TEST_F(LinuxImageDecoderTest, GifIsItsFirstFrameOnTheScreen) {
  auto sample = decoded("sample.gif", 5, 3);
  EXPECT_EQ(pixelAt(sample, 2, 0), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(pixelAt(sample, 2, 1), (Rgba{0, 255, 0, 255}));
  EXPECT_EQ(pixelAt(sample, 0, 2), (Rgba{0, 0, 255, 255}));
  EXPECT_EQ(pixelAt(sample, 4, 2)[3], 0) << "transparent index";
  // A 4x9 interlaced frame at (1,1) on a 6x10 screen: yellow rows, cyan rows.
  auto interlaced = decoded("interlaced.gif", 6, 10);
  for (std::uint32_t y = 0; y < 9; ++y) {
    const Rgba expected = y % 2 ? Rgba{0, 255, 255, 255} : Rgba{255, 255, 0, 255};
    EXPECT_EQ(pixelAt(interlaced, 1, y + 1), expected) << "frame row " << y;
    EXPECT_EQ(pixelAt(interlaced, 4, y + 1), expected) << "frame row " << y;
  }
  EXPECT_EQ(pixelAt(interlaced, 0, 0)[3], 0) << "outside the frame";
  EXPECT_EQ(pixelAt(interlaced, 5, 9)[3], 0) << "outside the frame";
}

// A bomb's size is refused from its header: the reason names the size, not
// the pixel data that is missing behind it.
TEST_F(LinuxImageDecoderTest, RefusalsNameTheirReason) {
  for (const Data& data :
       {Data(), bytesOf("\x89PNG"), bytesOf("GIF8"), bytesOf("\xff\xd8"),
        bytesOf("RIFF\x10\0\0\0WEBPVP8 "), bytesOf("<svg xmlns='http://www.w3.org/2000/svg'/>")}) {
    EXPECT_FALSE(decoder.decode(data));
  }
  EXPECT_EQ(failureOf(testImage("not_an_image.png")), "not an image");
  EXPECT_EQ(failureOf(testImage("bomb.png")), "image too large: 100000x100000");
  EXPECT_EQ(failureOf(testImage("bomb_area.png")), "image too large: 8192x8192");
  EXPECT_EQ(failureOf(testImage("bomb.jpg")), "image too large: 60000x60000");
  EXPECT_EQ(failureOf(testImage("bomb.gif")), "image too large: 65535x65535");
  EXPECT_EQ(failureOf(testImage("bomb_frame.gif")), "image too large: 60000x60000");

  // At the limits the size itself passes: what fails is the missing data.
  EXPECT_EQ(failureOf(craftedPng(kMaxImageSide + 1, 1, false)), "image too large: 8193x1");
  EXPECT_EQ(failureOf(craftedPng(4097, 4096, false)), "image too large: 4097x4096");
  EXPECT_EQ(failureOf(craftedPng(0, 1, false)), "image too large: 0x1");
  EXPECT_EQ(failureOf(craftedPng(4096, 4096, false)).rfind("PNG: ", 0), 0u);
  const auto wide = decoder.decode(craftedPng(kMaxImageSide, 1, true));
  ASSERT_TRUE(wide) << wide.failure;
  EXPECT_EQ(wide.image->size(), (ui::Size{8192, 1}));
}

// A download cut short, or damaged inside the pixel data, is not an image.
TEST_F(LinuxImageDecoderTest, CutOrDamagedDataIsRefused) {
  using Cut = std::pair<const char*, std::size_t>;  // name, bytes a decoder need not read
  for (const auto& [name, trailer] :
       {Cut{"sample.png", 12}, Cut{"palette.png", 12}, Cut{"gray16_interlaced.png", 12},
        Cut{"sample.jpg", 0}, Cut{"gray_progressive.jpg", 0}, Cut{"sample.gif", 1},
        Cut{"interlaced.gif", 1}}) {
    const Data whole = testImage(name);
    ASSERT_GT(whole.size(), trailer);
    for (std::size_t length = 0; length < whole.size() - trailer; ++length) {
      EXPECT_FALSE(decoder.decode(Data(whole.begin(), whole.begin() + length)))
          << name << " cut to " << length;
    }
  }
  Data png = testImage("sample.png");
  png[png.size() - 20] ^= 0x40;  // inside the pixel chunk: its checksum no longer holds
  EXPECT_EQ(failureOf(png).rfind("PNG: ", 0), 0u);
  Data gif = testImage("sample.gif");
  gif[10] &= 0x7f;  // drop the colour table flag: no colours for the frame
  EXPECT_FALSE(decoder.decode(gif));
}

TEST_F(LinuxImageDecoderTest, ConcurrentDecodesAgree) {
  std::vector<Data> images;
  for (const char* name : {"sample.png", "sample.jpg", "sample.gif", "gray_progressive.jpg",
                           "bomb.png", "palette.png"}) {
    images.push_back(testImage(name));
  }
  const auto decodeAll = [&] {
    std::vector<RgbaPixels> all(images.size());
    for (std::size_t i = 0; i < images.size(); ++i) decoder.decodePixels(images[i], all[i]);
    return all;
  };
  const auto expected = decodeAll();
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int round = 0; round < 20; ++round) {
        const auto got = decodeAll();
        for (std::size_t i = 0; i < got.size(); ++i) {
          if (got[i].rgba != expected[i].rgba || got[i].width != expected[i].width) ++mismatches;
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(mismatches.load(), 0);
}

class PlatformImageDecoderTest : public testing::SdkTest {};

// A host may bring its own decoder.
TEST_F(PlatformImageDecoderTest, TheLinuxPlatformDecodesThroughItsSeam) {
  struct Refusing final : ImageDecoder {
    ImageDecoding decode(const Data&) override { return {std::nullopt, "refused"}; }
  };
  EXPECT_TRUE(current().imageDecoder().decode(testImage("sample.gif")));
  LinuxPlatformOptions options;
  options.dataDirectory = dataDirectory() / "other";
  options.imageDecoder = std::make_shared<Refusing>();
  EXPECT_EQ(makeLinuxPlatform(options)->imageDecoder().decode(testImage("sample.png")).failure,
            "refused");
}

}  // namespace
}  // namespace tavrino::platform
