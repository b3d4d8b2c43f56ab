// Pictures in and out of the tools: PNM of every kind, and PNG through the
// platform's library, checked by the pixels it gives back.
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>

#include "support/hex.h"
#include "support/image.h"
#include "support/picture_codecs.h"

namespace kav::tools {
namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

Image Decode(const std::string& text) {
  Result<Image> image = DecodePnm(Bytes(text));
  EXPECT_TRUE(image.ok()) << image.error();
  return image ? std::move(image).value() : Image();
}

std::string DecodeError(const std::string& text) {
  const Result<Image> image = DecodePnm(Bytes(text));
  EXPECT_FALSE(image.ok()) << "accepted: " << text;
  return image ? "" : image.error();
}

TEST(PnmTest, BitmapsMakeInkBlackInTextAndBinaryForms) {
  // P1 digits may run together; comments may stand anywhere in the header.
  const Image text = Decode("P1\n# a comment\n10 2\n1010000001\n0 1 0 0 0 0 0 0 0 1\n");
  const Image binary = Decode(std::string("P4 10 2\n") + "\xA0\x40\x40\x40");
  for (const Image* image : {&text, &binary}) {
    ASSERT_EQ(image->width, 10u);
    ASSERT_EQ(image->height, 2u);
    EXPECT_EQ(image->channels, 1u);
    EXPECT_EQ(image->Row(0)[0], 0);
    EXPECT_EQ(image->Row(0)[1], 255);
    EXPECT_EQ(image->Row(0)[2], 0);
    EXPECT_EQ(image->Row(1)[1], 0);
    EXPECT_EQ(image->Row(1)[9], 0);
    EXPECT_EQ(image->Row(1)[8], 255);
  }
}

TEST(PnmTest, GraymapsAndPixmapsScaleToEightBits) {
  const Image gray = Decode("P2 3 1 15  0 15 7");
  EXPECT_EQ(gray.pixels, (std::vector<uint8_t>{0, 255, 119}));
  const Image gray16 = Decode(std::string("P5 2 1 65535\n") + std::string("\xFF\xFF\x80\x00", 4));
  EXPECT_EQ(gray16.pixels, (std::vector<uint8_t>{255, 128}));
  const Image color = Decode("P3 2 1 255 255 0 0  1 2 3");
  EXPECT_EQ(color.channels, 3u);
  EXPECT_EQ(color.pixels, (std::vector<uint8_t>{255, 0, 0, 1, 2, 3}));
  const Image colorBinary = Decode(std::string("P6 1 1 255\n") + "\x0A\x0B\x0C");
  EXPECT_EQ(colorBinary.pixels, (std::vector<uint8_t>{10, 11, 12}));
}

TEST(PnmTest, WrittenPnmReadsBack) {
  Image image(3, 2, 3);
  for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = static_cast<uint8_t>(i * 13);
  std::vector<uint8_t> pnm;
  StreamPnm(image, [&pnm](const uint8_t* bytes, size_t size) { pnm.insert(pnm.end(), bytes, bytes + size); });
  const Result<Image> back = DecodePnm(pnm);
  ASSERT_TRUE(back.ok()) << back.error();
  EXPECT_EQ(back->width, 3u);
  EXPECT_EQ(back->channels, 3u);
  EXPECT_EQ(back->pixels, image.pixels);
}

TEST(PnmTest, MalformedFilesAreRefusedWithAReason) {
  EXPECT_EQ(DecodeError("GIF89a"), "not a PNM file (no P1 to P6 signature)");
  EXPECT_EQ(DecodeError("P5 0 4 255\n"), "PNM image with no pixels");
  EXPECT_EQ(DecodeError("P5 2 2 255\nabc"), "PNM file truncated: fewer pixels than its header declares");
  EXPECT_EQ(DecodeError("P4 9 2\n\x01"), "PNM file truncated: fewer pixels than its header declares");
  EXPECT_EQ(DecodeError("P2 2 1 10 3 11"), "PNM sample above the maximum value");
  EXPECT_EQ(DecodeError("P2 2 1 70000 1 1"), "PNM maximum value outside 1 to 65535");
  EXPECT_EQ(DecodeError("P1 2 1 0 2"), "PBM pixel other than 0 or 1 at byte 9");
  EXPECT_EQ(DecodeError("P3 1 1 255 1 2"), "PNM file truncated: fewer pixels than its header declares");
  EXPECT_NE(DecodeError("P6 100000 100000 255\n").find("too large"), std::string::npos);
  EXPECT_NE(DecodeError("P5 99999999999 1 255\n").find("too large"), std::string::npos);
  EXPECT_NE(DecodeError("P5 4").find("no height"), std::string::npos);
  EXPECT_NE(DecodeError("P5 4 4 255").find("not followed by its pixels"), std::string::npos);
}

TEST(PnmTest, HeadersClaimingMorePixelsThanTheFileHoldsAreRefusedBeforeAllocating) {
  // Each claims a picture of about a gigabyte in a few bytes.
  for (const char* text :
       {"P5 32768 32768 255\nab", "P6 18000 18000 255\nabc", "P5 30000 30000 65535\nab", "P4 32768 32768\nab",
        "P1 30000 30000\n0101", "P2 30000 30000 255\n1 2 3", "P3 18000 18000 255\n1 2 3"}) {
    EXPECT_EQ(DecodeError(text), "PNM file truncated: fewer pixels than its header declares") << text;
  }
  // The text forms need no separator between PBM pixels, but do between samples.
  EXPECT_EQ(Decode("P1 3 1\n010").pixels, (std::vector<uint8_t>{255, 0, 255}));
  EXPECT_EQ(Decode("P2 3 1 255\n0 1 2").pixels, (std::vector<uint8_t>{0, 1, 2}));
}

std::vector<uint8_t> Png(const Image& image) {
  std::vector<uint8_t> png;
  const Status written =
      StreamPng(image, [&png](const uint8_t* bytes, size_t size) { png.insert(png.end(), bytes, bytes + size); });
  EXPECT_TRUE(written.ok()) << written.error();
  return png;
}

// A picture no filter predicts well, so every row and column counts.
Image Noise(uint32_t width, uint32_t height, uint32_t channels) {
  Image image(width, height, channels);
  uint32_t state = 12345;
  for (uint8_t& pixel : image.pixels) {
    state = state * 1103515245u + 12345u;
    pixel = static_cast<uint8_t>(state >> 23);
  }
  return image;
}

TEST(PngTest, PixelsReadBackExactlyInGrayAndColour) {
  if (!PngAvailable()) GTEST_SKIP() << "this build has no PNG library";
  for (const Image& source :
       {Noise(1, 1, 1), Noise(5, 3, 3), Noise(333, 77, 1), Noise(257, 130, 3), Image(9, 4, 3, 0)}) {
    const Result<Image> back = DecodePng(Png(source));
    ASSERT_TRUE(back.ok()) << back.error();
    EXPECT_EQ(back->width, source.width);
    EXPECT_EQ(back->height, source.height);
    EXPECT_EQ(back->channels, source.channels);
    EXPECT_EQ(back->pixels, source.pixels) << source.width << " x " << source.height;
  }
}

std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> bytes;
  EXPECT_EQ(ParseHex(hex, bytes), std::string_view::npos) << hex;
  return bytes;
}

// PNGs of kinds our writer never makes, read alike on every build: the
// channels follow the header's colour type and transparency shows paper.
TEST(PngTest, TransparencyShowsPaperAndPalettesBecomeColour) {
  if (!PngAvailable()) GTEST_SKIP() << "this build has no PNG library";
  struct Case {
    const char* name;
    const char* hex;
    uint32_t channels;
    std::vector<uint8_t> pixels;
  };
  const Case cases[] = {
      // Red fully transparent, blue opaque, black half transparent (128).
      {"RGBA",
       "89504e470d0a1a0a0000000d49484452000000030000000108060000001be014b40000001049444154789c63f8cf0002ff415403001776"
       "037e83e4727a0000000049454e44ae426082",
       3,
       {255, 255, 255, 0, 0, 255, 186, 186, 186}},
      // Gray 0 fully transparent, gray 50 opaque.
      {"gray and alpha",
       "89504e470d0a1a0a0000000d49484452000000020000000108040000005e2bb7010000000d49444154789c63606030fa0f0001680132"
       "144642600000000049454e44ae426082",
       1,
       {255, 50}},
      // Indices 0 and 1 of a two-colour palette.
      {"palette",
       "89504e470d0a1a0a0000000d4948445200000002000000010803000000c3fc8fb800000006504c54450a141ec86400bf77e21c00000"
       "00b49444154789c636060040000040002bf7a3f4a0000000049454e44ae426082",
       3,
       {10, 20, 30, 200, 100, 0}},
  };
  for (const Case& c : cases) {
    const Result<Image> decoded = DecodePng(FromHex(c.hex));
    ASSERT_TRUE(decoded.ok()) << c.name << ": " << decoded.error();
    const Image& image = *decoded;
    EXPECT_EQ(image.channels, c.channels) << c.name;
    ASSERT_EQ(image.pixels.size(), c.pixels.size()) << c.name;
    for (size_t i = 0; i < c.pixels.size(); ++i) {
      // Half-transparent samples are mixed in linear light, where the last
      // rounding may fall either way.
      EXPECT_NEAR(image.pixels[i], c.pixels[i], c.pixels[i] == 186 ? 1 : 0) << c.name << " sample " << i;
    }
  }
}

TEST(PngTest, PaperWhiteIsCompressed) {
  if (!PngAvailable()) GTEST_SKIP() << "this build has no PNG library";
  const Image page(1240, 500, 3);
  EXPECT_LT(Png(page).size(), page.pixels.size() / 100);
}

TEST(PngTest, AFailingDestinationFailsTheWriting) {
  if (!PngAvailable()) GTEST_SKIP() << "this build has no PNG library";
  size_t calls = 0;
  const ByteSink failing = [&calls](const uint8_t*, size_t) {
    ++calls;
    throw std::bad_alloc();
  };
  const Status written = StreamPng(Noise(300, 300, 3), failing);
  EXPECT_FALSE(written.ok());
  EXPECT_EQ(written.error(), "cannot write the PNG: out of memory");
  EXPECT_EQ(calls, 1u) << "bytes were handed on after the failure";
}

TEST(PngTest, FilesWithoutAHeaderAreRefused) {
  if (!PngAvailable()) GTEST_SKIP() << "this build has no PNG library";
  std::vector<uint8_t> png = Png(Image(2, 2, 1));
  for (size_t size : {size_t{0}, size_t{8}, size_t{28}}) {
    const Result<Image> cut = DecodePng(std::vector<uint8_t>(png.begin(), png.begin() + size));
    ASSERT_FALSE(cut.ok()) << size;
    EXPECT_EQ(cut.error().rfind("unreadable PNG", 0), 0u) << cut.error();
  }
  png.resize(png.size() - 20);  // the data cut short
  const Result<Image> cut = DecodePng(png);
  ASSERT_FALSE(cut.ok());
  EXPECT_EQ(cut.error().rfind("unreadable PNG", 0), 0u) << cut.error();
}

TEST(PngTest, AHeaderClaimingMoreThanTheDataCanHoldIsRefusedBeforeAllocating) {
  if (!PngAvailable()) GTEST_SKIP() << "this build has no PNG library";
  // A whole PNG of one white row, its header then changed to claim 30000 x 30000.
  std::vector<uint8_t> png = Png(Image(1, 1, 1));
  for (int i = 0; i < 2; ++i) {
    png[16 + 4 * i] = 0;
    png[17 + 4 * i] = 0;
    png[18 + 4 * i] = 30000 >> 8;
    png[19 + 4 * i] = 30000 & 0xFF;
  }
  const Result<Image> claimed = DecodePng(png);
  ASSERT_FALSE(claimed.ok());
  EXPECT_EQ(claimed.error(),
            "unreadable PNG: " + std::to_string(png.size()) + " bytes hold too little data for 30000 x 30000 pixels");
}

TEST(ImageTest, ChannelConversionUsesLumaAndRepeatsGray) {
  Image color(2, 1, 3);
  color.pixels = {255, 0, 0, 10, 20, 30};
  const Image gray = ConvertChannels(color, 1);
  EXPECT_EQ(gray.pixels, (std::vector<uint8_t>{76, 18}));
  EXPECT_EQ(ConvertChannels(gray, 3).pixels, (std::vector<uint8_t>{76, 76, 76, 18, 18, 18}));
}

TEST(ImageTest, FilesAreWrittenByTheirExtensionOnly) {
  const Status written = WriteImageFile("page.bmp", Image(1, 1, 1));
  ASSERT_FALSE(written.ok());
  EXPECT_NE(written.error().find("unknown picture format"), std::string::npos);
  EXPECT_TRUE(IsImageFileName("PAGE.PNG"));
  EXPECT_TRUE(IsImageFileName("a.pgm"));
  EXPECT_FALSE(IsImageFileName("png"));
}

}  // namespace
}  // namespace kav::tools
