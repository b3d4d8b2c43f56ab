// Pictures in and out of the tools: PNM of every kind, and the PNG writer,
// whose chunks and zlib stream are checked piece by piece.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/image.h"
#include "support/zlib_stream.h"

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

uint32_t ReadU32(const uint8_t* p) { return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]; }

// The CRC of PNG chunks, one bit at a time.
uint32_t BitwiseCrc32(const uint8_t* data, size_t size) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

// The payload of a zlib stream made of stored blocks, or nothing if it is not one.
std::vector<uint8_t> InflateStored(const std::vector<uint8_t>& stream) {
  std::vector<uint8_t> out;
  size_t at = 2;
  for (bool last = false; !last;) {
    if (at + 5 > stream.size() || (stream[at] & 6) != 0) return {};
    last = stream[at] & 1;
    const size_t length = stream[at + 1] | stream[at + 2] << 8;
    if ((length ^ (stream[at + 3] | stream[at + 4] << 8)) != 0xFFFF) return {};
    out.insert(out.end(), stream.begin() + at + 5, stream.begin() + at + 5 + length);
    at += 5 + length;
  }
  if (at + 4 != stream.size() || ReadU32(&stream[at]) != Adler32(out.data(), out.size())) return {};
  return out;
}

TEST(ZlibStreamTest, StoredBlocksSplitAtTheirLimitAndCarryTheChecksum) {
  std::vector<uint8_t> data(65535 * 2 + 7);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + (i >> 9));
  const std::vector<uint8_t> stream = StoredZlibStream(data.data(), data.size());
  EXPECT_EQ(stream.size(), 2 + 3 * 5 + data.size() + 4);
  EXPECT_EQ((stream[0] * 256 + stream[1]) % 31, 0);  // a valid zlib header
  EXPECT_EQ(InflateStored(stream), data);
  EXPECT_EQ(InflateStored(StoredZlibStream(nullptr, 0)), std::vector<uint8_t>{});
  EXPECT_EQ(Adler32(reinterpret_cast<const uint8_t*>("Wikipedia"), 9), 0x11E60398u);
}

TEST(PngTest, ChunksAreWellFormedAndThePixelsReadBack) {
  Image image(5, 3, 3);
  for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = static_cast<uint8_t>(i * 17);
  const std::vector<uint8_t> png = EncodePng(image);
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(std::memcmp(png.data(), "\x89PNG\r\n\x1A\n", 8), 0);
  std::vector<std::string> types;
  for (size_t at = 8; at + 12 <= png.size();) {
    const uint32_t length = ReadU32(&png[at]);
    types.emplace_back(reinterpret_cast<const char*>(&png[at + 4]), 4);
    EXPECT_EQ(ReadU32(&png[at + 8 + length]), BitwiseCrc32(&png[at + 4], 4 + length)) << types.back();
    at += 12 + length;
    if (types.back() == "IEND") {
      EXPECT_EQ(at, png.size());
    }
  }
  EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
  EXPECT_EQ(ReadU32(&png[png.size() - 4]), 0xAE426082u);  // the one CRC every PNG ends with
  EXPECT_EQ(ReadU32(&png[16]), 5u);                       // IHDR width
  EXPECT_EQ(ReadU32(&png[20]), 3u);                       // IHDR height
  EXPECT_EQ(png[24], 8);                                  // bits per sample
  EXPECT_EQ(png[25], 2);                                  // RGB
  if (!PngDecodingAvailable()) GTEST_SKIP() << "no PNG reader in this build to read the pixels back";
  for (uint32_t channels : {1u, 3u}) {
    const Image source = ConvertChannels(image, channels);
    const Result<Image> back = DecodePng(EncodePng(source));
    ASSERT_TRUE(back.ok()) << back.error();
    EXPECT_EQ(back->channels, channels);
    EXPECT_EQ(back->pixels, source.pixels);
  }
}

TEST(PngTest, AHeaderClaimingMoreThanTheDataCanHoldIsRefusedBeforeAllocating) {
  if (!PngDecodingAvailable()) GTEST_SKIP() << "no PNG reader in this build";
  // A whole PNG of one white row, its header then changed to claim 30000 x 30000.
  std::vector<uint8_t> png = EncodePng(Image(1, 1, 1));
  for (int i = 0; i < 2; ++i) {
    png[16 + 4 * i] = 0;
    png[17 + 4 * i] = 0;
    png[18 + 4 * i] = 30000 >> 8;
    png[19 + 4 * i] = 30000 & 0xFF;
  }
  const uint32_t crc = BitwiseCrc32(&png[12], 17);
  for (int i = 0; i < 4; ++i) png[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
  const Result<Image> image = DecodePng(png);
  ASSERT_FALSE(image.ok());
  EXPECT_NE(
      image.error().find("PNG of 30000 x 30000 pixels in " + std::to_string(png.size()) + " bytes: too little data"),
      std::string::npos)
      << image.error();
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
