// The pictures library's row readers give, row by row, the very pixels the
// libraries' whole-picture decoders give (TurboJPEG, libpng's simplified
// reader), which the printer app and the tools printed and drew before, and
// bound what decoding holds before it starts.
#include "pictures/picture_reader.h"

#include <gtest/gtest.h>
#include <png.h>
#include <turbojpeg.h>

#include <csetjmp>
#include <cstdint>
#include <string>
#include <vector>

#include "host/luma.h"

namespace kav::pictures {
namespace {

using Bytes = std::vector<uint8_t>;

// Samples with edges, gradients and noise, so every decoding step counts.
Bytes Samples(uint32_t width, uint32_t height, uint32_t channels) {
  Bytes samples(size_t{width} * height * channels);
  uint32_t state = 2463534242u;
  for (size_t i = 0; i < samples.size(); ++i) {
    const uint32_t x = uint32_t(i / channels % width);
    const uint32_t y = uint32_t(i / channels / width);
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    samples[i] = uint8_t((x * 255 / width + y * 3 + (i % channels) * 80 + ((x / 8 + y / 8) % 2) * 60 + state % 24));
  }
  return samples;
}

Bytes Decoded(Result<Reader> opened, uint32_t channels) {
  EXPECT_TRUE(opened.ok()) << opened.error();
  if (!opened) return {};
  PictureReader& reader = **opened;
  Bytes pixels(size_t{reader.info().width} * reader.info().height * channels);
  Status decoded = reader.Start(channels, UINT64_MAX);
  if (decoded) decoded = ReadEveryRow(reader, pixels.data());
  EXPECT_TRUE(decoded.ok()) << decoded.error();
  EXPECT_EQ(reader.Damage(), "");
  return pixels;
}

struct JpegKind {
  const char* name;
  uint32_t channels;
  int subsampling;
  int flags;
};

Bytes Jpeg(const Bytes& samples, uint32_t width, uint32_t height, const JpegKind& kind) {
  tjhandle encoder = tjInitCompress();
  unsigned char* data = nullptr;
  unsigned long size = 0;
  const int encoded =
      tjCompress2(encoder, samples.data(), int(width), 0, int(height), kind.channels == 1 ? TJPF_GRAY : TJPF_RGB, &data,
                  &size, kind.subsampling, 85, kind.flags);
  EXPECT_EQ(encoded, 0) << tjGetErrorStr2(encoder);
  Bytes jpeg(data, data + size);
  tjFree(data);
  tjDestroy(encoder);
  return jpeg;
}

Bytes TurboJpegPixels(const Bytes& jpeg, uint32_t width, uint32_t height, uint32_t channels) {
  tjhandle decoder = tjInitDecompress();
  Bytes pixels(size_t{width} * height * channels);
  EXPECT_EQ(tjDecompress2(decoder, jpeg.data(), jpeg.size(), pixels.data(), int(width), 0, int(height),
                          channels == 1 ? TJPF_GRAY : TJPF_RGB, 0),
            0)
      << tjGetErrorStr2(decoder);
  tjDestroy(decoder);
  return pixels;
}

constexpr JpegKind kJpegKinds[] = {
    {"gray", 1, TJSAMP_GRAY, 0},
    {"4:4:4", 3, TJSAMP_444, 0},
    {"4:2:2", 3, TJSAMP_422, 0},
    {"4:2:0", 3, TJSAMP_420, 0},
    {"progressive 4:2:0", 3, TJSAMP_420, TJFLAG_PROGRESSIVE},
    {"progressive gray", 1, TJSAMP_GRAY, TJFLAG_PROGRESSIVE},
};

TEST(JpegReaderTest, RowsAreTheWholePictureDecodersPixelsInBothChannelCounts) {
  for (const auto& [width, height] : {std::pair{1u, 1u}, {17u, 9u}, {333u, 77u}}) {
    for (const JpegKind& kind : kJpegKinds) {
      const Bytes jpeg = Jpeg(Samples(width, height, kind.channels), width, height, kind);
      for (uint32_t channels : {1u, 3u}) {
        EXPECT_EQ(Decoded(OpenJpeg(jpeg.data(), jpeg.size()), channels), TurboJpegPixels(jpeg, width, height, channels))
            << kind.name << ", " << width << " x " << height << " to " << channels << " channels";
      }
    }
  }
}

TEST(JpegReaderTest, WhatAPictureOfSeveralScansHoldsIsKnownAndBoundedBeforeDecoding) {
  const Bytes samples = Samples(640, 480, 3);
  const Bytes baseline = Jpeg(samples, 640, 480, kJpegKinds[3]);
  const Result<Reader> sequential = OpenJpeg(baseline.data(), baseline.size());
  ASSERT_TRUE(sequential.ok()) << sequential.error();
  EXPECT_EQ((*sequential)->info().heldBytes, 0u) << "a baseline picture is decoded a row at a time";

  const Bytes progressive = Jpeg(samples, 640, 480, kJpegKinds[4]);
  Result<Reader> refused = OpenJpeg(progressive.data(), progressive.size());
  ASSERT_TRUE(refused.ok()) << refused.error();
  const uint64_t held = (*refused)->info().heldBytes;
  // Every coefficient of the luma and the two quarter-size chroma planes.
  EXPECT_EQ(held, (640 * 480 + 2 * 320 * 240) * 2u);
  const Status over = (*refused)->Start(3, held - 1);
  EXPECT_FALSE(over.ok());
  EXPECT_EQ(over.error(), "decoding it holds 1 MiB at once, more than the 1 MiB allowed");
  // libjpeg's own count of what it holds stays within the bound.
  Result<Reader> allowed = OpenJpeg(progressive.data(), progressive.size());
  ASSERT_TRUE(allowed.ok()) << allowed.error();
  Bytes pixels(640 * 480 * 3);
  Status decoded = (*allowed)->Start(3, held);
  if (decoded) decoded = ReadEveryRow(**allowed, pixels.data());
  EXPECT_TRUE(decoded.ok()) << decoded.error();
}

TEST(JpegReaderTest, AnUnboundedDecodingHoldsWhatItNeeds) {
  // More coefficients (36 MB) than libjpeg's allowance for its row buffers.
  const Bytes progressive = Jpeg(Bytes(6000 * 3000, 128), 6000, 3000, kJpegKinds[5]);
  Result<Reader> opened = OpenJpeg(progressive.data(), progressive.size());
  ASSERT_TRUE(opened.ok()) << opened.error();
  Bytes row(6000);
  Status decoded = (*opened)->Start(1, UINT64_MAX);
  if (decoded) decoded = (*opened)->ReadRow(row.data());
  EXPECT_TRUE(decoded.ok()) << decoded.error();
}

TEST(JpegReaderTest, DataEndingEarlyIsDecodedAsFarAsItGoesAndSaysSo) {
  Bytes jpeg = Jpeg(Samples(256, 256, 3), 256, 256, kJpegKinds[3]);
  jpeg.resize(jpeg.size() / 2);
  Result<Reader> opened = OpenJpeg(jpeg.data(), jpeg.size());
  ASSERT_TRUE(opened.ok()) << opened.error();
  Bytes pixels(256 * 256 * 3);
  Status decoded = (*opened)->Start(3, 0);
  if (decoded) decoded = ReadEveryRow(**opened, pixels.data());
  EXPECT_TRUE(decoded.ok()) << decoded.error();
  EXPECT_EQ((*opened)->Damage(), "Premature end of JPEG file");
}

struct PngKind {
  const char* name;
  int colorType;
  int bitDepth;
  int interlace;
  bool transparency;  // a tRNS chunk
  bool linearGamma;   // a gAMA chunk of 1.0
};

int ChannelsOf(int colorType) {
  switch (colorType) {
    case PNG_COLOR_TYPE_RGB:
      return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA:
      return 4;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      return 2;
    default:
      return 1;  // gray, or palette indices
  }
}

// A PNG of the kind, its samples scaled to its depth.
Bytes Png(const PngKind& kind, uint32_t width, uint32_t height) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  Bytes file;
  const int channels = ChannelsOf(kind.colorType);
  const Bytes samples = Samples(width, height, uint32_t(channels));
  const size_t rowBytes = (size_t{width} * channels * kind.bitDepth + 7) / 8;
  std::vector<Bytes> rows(height, Bytes(rowBytes));
  for (uint32_t y = 0; y < height; ++y) {
    for (size_t i = 0; i < size_t{width} * channels; ++i) {
      const uint8_t sample = samples[y * size_t{width} * channels + i];
      if (kind.bitDepth == 16) {
        rows[y][2 * i] = sample;
        rows[y][2 * i + 1] = uint8_t(sample * 37);
      } else if (kind.bitDepth == 8) {
        rows[y][i] = sample;
      } else {
        const size_t bit = i * kind.bitDepth;
        rows[y][bit / 8] |= uint8_t((sample >> (8 - kind.bitDepth)) << (8 - kind.bitDepth - bit % 8));
      }
    }
  }
  std::vector<png_bytep> pointers;
  for (Bytes& row : rows) pointers.push_back(row.data());
  png_color palette[256];
  png_byte alphas[256];
  for (int i = 0; i < 256; ++i) {
    palette[i] = {png_byte(i), png_byte(255 - i), png_byte(i * 7)};
    alphas[i] = png_byte(i * 13);
  }
  png_color_16 transparent{};
  transparent.gray = 40;  // of an 8-bit gray picture
  if (setjmp(png_jmpbuf(png)) == 0) {
    png_set_write_fn(
        png, &file,
        [](png_structp p, png_bytep data, size_t size) {
          auto* out = static_cast<Bytes*>(png_get_io_ptr(p));
          out->insert(out->end(), data, data + size);
        },
        nullptr);
    png_set_IHDR(png, info, width, height, kind.bitDepth, kind.colorType, kind.interlace, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (kind.colorType == PNG_COLOR_TYPE_PALETTE) png_set_PLTE(png, info, palette, 1 << kind.bitDepth);
    if (kind.transparency) png_set_tRNS(png, info, alphas, 1 << kind.bitDepth, &transparent);
    if (kind.linearGamma) png_set_gAMA_fixed(png, info, PNG_GAMMA_LINEAR);
    png_set_rows(png, info, pointers.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  } else {
    ADD_FAILURE() << kind.name << ": libpng could not write it";
  }
  png_destroy_write_struct(&png, &info);
  return file;
}

// What libpng's simplified reader makes of the file, on white, in the
// file's channels, then turned to `channels` as the app turns them.
Bytes SimplifiedReaderPixels(const Bytes& file, uint32_t channels) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  EXPECT_TRUE(png_image_begin_read_from_memory(&image, file.data(), file.size())) << image.message;
  const bool colour = (image.format & PNG_FORMAT_FLAG_COLOR) != 0;
  image.format = colour ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
  Bytes pixels(PNG_IMAGE_SIZE(image));
  const png_color white = {255, 255, 255};
  EXPECT_TRUE(png_image_finish_read(&image, &white, pixels.data(), 0, nullptr)) << image.message;
  if ((colour ? 3u : 1u) == channels) return pixels;
  Bytes turned(size_t{image.width} * image.height * channels);
  for (size_t i = 0; i < size_t{image.width} * image.height; ++i) {
    if (channels == 1) {
      turned[i] = Luma(pixels[3 * i], pixels[3 * i + 1], pixels[3 * i + 2]);
    } else {
      turned[3 * i] = turned[3 * i + 1] = turned[3 * i + 2] = pixels[i];
    }
  }
  return turned;
}

constexpr PngKind kPngKinds[] = {
    {"gray 1-bit", PNG_COLOR_TYPE_GRAY, 1, PNG_INTERLACE_NONE, false, false},
    {"gray 4-bit", PNG_COLOR_TYPE_GRAY, 4, PNG_INTERLACE_NONE, false, false},
    {"gray 8-bit", PNG_COLOR_TYPE_GRAY, 8, PNG_INTERLACE_NONE, false, false},
    {"gray 8-bit, a transparent gray", PNG_COLOR_TYPE_GRAY, 8, PNG_INTERLACE_NONE, true, false},
    {"gray 16-bit", PNG_COLOR_TYPE_GRAY, 16, PNG_INTERLACE_NONE, false, false},
    {"gray and alpha", PNG_COLOR_TYPE_GRAY_ALPHA, 8, PNG_INTERLACE_NONE, false, false},
    {"gray and alpha 16-bit, linear", PNG_COLOR_TYPE_GRAY_ALPHA, 16, PNG_INTERLACE_NONE, false, true},
    {"colour", PNG_COLOR_TYPE_RGB, 8, PNG_INTERLACE_NONE, false, false},
    {"colour, linear", PNG_COLOR_TYPE_RGB, 8, PNG_INTERLACE_NONE, false, true},
    {"colour 16-bit", PNG_COLOR_TYPE_RGB, 16, PNG_INTERLACE_NONE, false, false},
    {"colour interlaced", PNG_COLOR_TYPE_RGB, 8, PNG_INTERLACE_ADAM7, false, false},
    {"colour and alpha", PNG_COLOR_TYPE_RGB_ALPHA, 8, PNG_INTERLACE_NONE, false, false},
    {"colour and alpha, interlaced", PNG_COLOR_TYPE_RGB_ALPHA, 8, PNG_INTERLACE_ADAM7, false, false},
    {"palette 2-bit", PNG_COLOR_TYPE_PALETTE, 2, PNG_INTERLACE_NONE, false, false},
    {"palette 8-bit, transparent entries", PNG_COLOR_TYPE_PALETTE, 8, PNG_INTERLACE_NONE, true, false},
};

TEST(PngReaderTest, RowsAreTheSimplifiedReadersPixelsInBothChannelCounts) {
  for (const auto& [width, height] : {std::pair{1u, 1u}, {13u, 11u}, {129u, 40u}}) {
    for (const PngKind& kind : kPngKinds) {
      const Bytes file = Png(kind, width, height);
      for (uint32_t channels : {1u, 3u}) {
        EXPECT_EQ(Decoded(OpenPng(file.data(), file.size()), channels), SimplifiedReaderPixels(file, channels))
            << kind.name << ", " << width << " x " << height << " to " << channels << " channels";
      }
    }
  }
}

TEST(PngReaderTest, AnInterlacedPictureHoldsItsRowsAndDataEndingEarlyFailsTheRow) {
  const Bytes interlaced = Png(kPngKinds[10], 300, 200);
  const Result<Reader> held = OpenPng(interlaced.data(), interlaced.size());
  ASSERT_TRUE(held.ok()) << held.error();
  EXPECT_EQ((*held)->info().heldBytes, 300u * 200u * 3u);
  EXPECT_FALSE((*held)->Start(1, 300 * 200 * 3 - 1).ok());

  Bytes cut = Png(kPngKinds[7], 300, 200);
  cut.resize(cut.size() / 2);
  Result<Reader> opened = OpenPng(cut.data(), cut.size());
  ASSERT_TRUE(opened.ok()) << opened.error();
  ASSERT_TRUE((*opened)->Start(3, 0).ok());
  Bytes row(300 * 3);
  Status read;
  uint32_t rows = 0;
  while (rows < 200 && (read = (*opened)->ReadRow(row.data()))) ++rows;
  EXPECT_GT(rows, 0u);
  EXPECT_LT(rows, 200u);
  EXPECT_EQ(read.error(), "the data ends early");
}

}  // namespace
}  // namespace kav::pictures
