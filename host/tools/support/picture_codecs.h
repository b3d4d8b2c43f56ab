// PNG and JPEG as the platform's own libraries make and read them: libpng
// and libjpeg on Linux (read through the pictures library's readers, which
// the printer app reads with too), the Windows Imaging Component on Windows.
// One source per library implements these; the build picks it (and, where a
// library is missing, a source that says the format is unavailable).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/result.h"
#include "pictures/png_header.h"
#include "support/image.h"

namespace kav::tools {

bool PngAvailable();
// Gray pictures stay gray, everything else becomes red-green-blue;
// transparent parts are shown on white paper.
Result<Image> DecodePng(const std::vector<uint8_t>& bytes);
// A compressed PNG of 8-bit gray or red-green-blue, handed to `sink` as it
// is made, so the whole file is never held.
Status StreamPng(const Image& image, const ByteSink& sink);

bool JpegDecodingAvailable();
// A JPEG file of `width` x `height` pixels to gray or red-green-blue pixels,
// as the file has them; a file of another size is refused before decoding.
Result<Image> DecodeJpeg(const uint8_t* data, size_t size, uint32_t width, uint32_t height);

// What a PNG's header says, read before any decoder is given the file.
using pictures::PngHeader;

// Refuses a PNG whose header is missing, or claims more pixels than allowed
// or than its data could expand to, before the pixels are allocated.
Result<PngHeader> ReadPngHeader(const std::vector<uint8_t>& bytes);

// Refuses JPEG data whose frame is not the size its image record gives.
Status CheckJpegFrameSize(uint32_t fileWidth, uint32_t fileHeight, uint32_t width, uint32_t height);

}  // namespace kav::tools
