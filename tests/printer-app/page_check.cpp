// Compares a page decoded from a job (kavjob decode) with the document as
// Ghostscript renders it at the same resolution: the decoded page must be
// the sheet's size in device pixels, hold the printable area of the
// reference at its top-left corner in the colour mode's form, and be paper
// white elsewhere. A reference named *.pwg is read as PWG raster. Exact by default; with --psnr, the printable area
// must come within that many decibels (JPEG records); with --blocks N as well, the PSNR is taken over the means of N x
// N blocks, as a dithered page from a lossy document is seen.
//
//   page_check DECODED REFERENCE --mode mono|gray|color --dpi N --paper SIZE [--psnr DB [--blocks N]]
// (page_check --help tells the same.)
#include <cups/raster.h>
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "host/band_builder.h"
#include "kavhost/print_settings.h"
#include "support/command_line.h"
#include "support/image.h"

namespace {

using kav::Error;
using kav::Result;
using kav::Status;
using kav::host::ColorMode;
using kav::tools::Image;

// The rows of each band the printer app and kavhost hand the plug-in.
constexpr uint32_t kBandRows = 128;

struct Expected {
  uint8_t rgb[3];
};

// The reference pixel as the printer is to mark it in `mode`.
Expected ExpectedAt(const Image& reference, ColorMode mode, uint32_t rx, uint32_t ry, uint32_t x, uint32_t y) {
  const uint8_t* p = reference.Row(ry) + static_cast<size_t>(rx) * 3;
  if (mode == ColorMode::kColor) return {{p[0], p[1], p[2]}};
  uint8_t level = kav::Luma(p[0], p[1], p[2]);
  if (mode == ColorMode::kMono) level = kav::host::InkAt(level, x, y) ? 0 : 255;
  return {{level, level, level}};
}

struct Comparison {
  uint64_t differing = 0;
  double squaredError = 0;
  uint64_t samples = 0;
  std::string first;
};

void Compare(const uint8_t* got, const Expected& want, uint32_t x, uint32_t y, Comparison& result) {
  bool same = true;
  for (int c = 0; c < 3; ++c) {
    const double d = double(got[c]) - double(want.rgb[c]);
    result.squaredError += d * d;
    same = same && d == 0;
  }
  result.samples += 3;
  if (same) return;
  if (result.differing++ == 0) {
    char text[160];
    std::snprintf(text, sizeof text, "first difference at %u,%u: got %u %u %u (expected %u %u %u)", x, y, got[0],
                  got[1], got[2], want.rgb[0], want.rgb[1], want.rgb[2]);
    result.first = text;
  }
}

// PSNR of the means of `block` x `block` squares of the two pictures.
double BlockPsnr(const std::vector<double>& got, const std::vector<double>& want, uint32_t width, uint32_t height,
                 uint32_t block) {
  double squared = 0;
  uint64_t count = 0;
  for (uint32_t by = 0; by + block <= height; by += block) {
    for (uint32_t bx = 0; bx + block <= width; bx += block) {
      double a = 0;
      double b = 0;
      for (uint32_t y = by; y < by + block; ++y) {
        for (uint32_t x = bx; x < bx + block; ++x) {
          a += got[size_t{y} * width + x];
          b += want[size_t{y} * width + x];
        }
      }
      const double d = (a - b) / (block * block);
      squared += d * d;
      ++count;
    }
  }
  return count == 0 || squared == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 / (squared / double(count)));
}

// The pixels of the raster's first page, when it is 8-bit gray or colour.
Result<Image> ReadFirstPage(cups_raster_t* raster) {
  cups_page_header2_t header;
  if (cupsRasterReadHeader2(raster, &header) == 0 || header.cupsBitsPerColor != 8 ||
      (header.cupsNumColors != 1 && header.cupsNumColors != 3)) {
    return Error{"no 8-bit gray or colour PWG raster page"};
  }
  if (const Status fits = kav::tools::CheckImageSize(header.cupsWidth, header.cupsHeight, header.cupsNumColors);
      !fits) {
    return fits.failure();
  }
  Image image(header.cupsWidth, header.cupsHeight, header.cupsNumColors);
  for (uint32_t y = 0; y < image.height; ++y) {
    if (cupsRasterReadPixels(raster, image.Row(y), static_cast<unsigned>(image.RowBytes())) != image.RowBytes()) {
      return Error{"PWG raster page cut short"};
    }
  }
  return image;
}

// The first page of a PWG raster file (8-bit gray or colour), the document
// itself as the reference of raster jobs.
Result<Image> ReadPwgPage(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return Error{"cannot open " + path};
  cups_raster_t* raster = cupsRasterOpen(fd, CUPS_RASTER_READ);
  Result<Image> image = raster != nullptr ? ReadFirstPage(raster) : Error{"no PWG raster"};
  if (raster != nullptr) cupsRasterClose(raster);
  close(fd);
  return kav::WithContext(std::move(image), path);
}

Result<Image> ReadReference(const std::string& path) {
  const bool pwg = path.size() > 4 && path.compare(path.size() - 4, 4, ".pwg") == 0;
  return pwg ? ReadPwgPage(path) : kav::tools::ReadImageFile(path);
}

struct CheckOptions {
  std::string decoded;
  std::string reference;
  ColorMode mode = ColorMode::kColor;
  uint32_t dpi = 0;
  kav::host::Paper paper;
  std::optional<double> psnr;
  uint32_t block = 0;  // 0: the PSNR of the pixels
};

Result<std::optional<double>> ReadDecibels(const std::string& text) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(value)) return Error{"--psnr must be a number of decibels"};
  return std::optional<double>(value);
}

Result<uint32_t> ReadBlock(const std::string& text) {
  if (const auto number = kav::tools::ParseWholeNumber(text, 1, 64)) return static_cast<uint32_t>(*number);
  return Error{"--blocks must be 1 to 64"};
}

void DescribeOptions(CLI::App& tool, CheckOptions& options) {
  using kav::tools::AddOption;
  AddOption(tool, "DECODED", "", "the page kavjob decoded", options.decoded)->required();
  AddOption(tool, "REFERENCE", "", "the document as Ghostscript renders it (*.pwg: PWG raster)", options.reference)
      ->required();
  AddOption(tool, "--mode", "mono|gray|color", "the job's colour mode", options.mode, kav::tools::ParseMode)
      ->required();
  AddOption(tool, "--dpi", "N", "the job's resolution", options.dpi, kav::tools::ParseDpi)->required();
  AddOption(tool, "--paper", "SIZE", "the job's sheet", options.paper, kav::tools::ParsePaper)->required();
  AddOption(tool, "--psnr", "DB", "the least PSNR of the printable area (else exact)", options.psnr, ReadDecibels);
  AddOption(tool, "--blocks", "N", "takes the PSNR over the means of N x N blocks", options.block, ReadBlock);
}

int Fail(const std::string& message) {
  std::cerr << "page_check: " << message << "\n";
  return 1;
}

int Check(const Image& decoded, const Image& reference, const kav::host::PageLayout& layout,
          const CheckOptions& options) {
  if (decoded.width != layout.sheetWidth || decoded.height != layout.sheetLength) {
    return Fail("decoded page is " + std::to_string(decoded.width) + "x" + std::to_string(decoded.height) +
                ", the sheet " + std::to_string(layout.sheetWidth) + "x" + std::to_string(layout.sheetLength));
  }
  if (reference.width < layout.offsetX + layout.surfaceWidth ||
      reference.height < layout.offsetY + layout.surfaceHeight) {
    return Fail("reference " + std::to_string(reference.width) + "x" + std::to_string(reference.height) +
                " does not cover the printable area");
  }
  const uint32_t block = options.block;
  // Gray levels of the printable area, for block means.
  std::vector<double> gotLevels;
  std::vector<double> wantLevels;
  if (block != 0) {
    gotLevels.resize(size_t{layout.surfaceWidth} * layout.surfaceHeight);
    wantLevels.resize(gotLevels.size());
  }
  Comparison area;
  Comparison margins;
  const Expected white{{255, 255, 255}};
  const Expected black{{0, 0, 0}};
  // 1-bit records are whole 32-pixel units wide and the plug-in sends the
  // added pixels as ink: a stripe just right of the printable area, in every
  // band but a blank one, which is sent as no record.
  const uint32_t inkedTo =
      options.mode == ColorMode::kMono ? (layout.surfaceWidth + 31) / 32 * 32 : layout.surfaceWidth;
  std::vector<bool> bandInked((layout.surfaceHeight + kBandRows - 1) / kBandRows, false);
  for (uint32_t y = 0; options.mode == ColorMode::kMono && y < layout.surfaceHeight; ++y) {
    for (uint32_t x = 0; x < layout.surfaceWidth && !bandInked[y / kBandRows]; ++x) {
      bandInked[y / kBandRows] =
          ExpectedAt(reference, options.mode, x + layout.offsetX, y + layout.offsetY, x, y).rgb[0] == 0;
    }
  }
  for (uint32_t y = 0; y < decoded.height; ++y) {
    for (uint32_t x = 0; x < decoded.width; ++x) {
      const uint8_t* got = decoded.Row(y) + static_cast<size_t>(x) * 3;
      if (x < layout.surfaceWidth && y < layout.surfaceHeight) {
        const Expected want = ExpectedAt(reference, options.mode, x + layout.offsetX, y + layout.offsetY, x, y);
        Compare(got, want, x, y, area);
        if (block != 0) {
          gotLevels[size_t{y} * layout.surfaceWidth + x] = kav::Luma(got[0], got[1], got[2]);
          wantLevels[size_t{y} * layout.surfaceWidth + x] = kav::Luma(want.rgb[0], want.rgb[1], want.rgb[2]);
        }
      } else {
        const bool stripe = x < inkedTo && y < layout.surfaceHeight &&
                            (options.mode != ColorMode::kMono || bandInked[y / kBandRows]);
        Compare(got, stripe ? black : white, x, y, margins);
      }
    }
  }
  if (margins.differing != 0) return Fail("ink outside the printable area; " + margins.first);
  const double mse = area.squaredError / double(area.samples);
  const double psnr = block != 0 ? BlockPsnr(gotLevels, wantLevels, layout.surfaceWidth, layout.surfaceHeight, block)
                      : mse == 0 ? INFINITY
                                 : 10 * std::log10(255.0 * 255.0 / mse);
  std::cout << "printable area " << layout.surfaceWidth << "x" << layout.surfaceHeight << ": " << area.differing
            << " pixels differ, PSNR " << psnr << " dB" << (block != 0 ? " over blocks" : "") << "\n";
  if (options.psnr) {
    if (psnr < *options.psnr)
      return Fail("PSNR " + std::to_string(psnr) + " dB below " + std::to_string(*options.psnr));
    return 0;
  }
  if (area.differing != 0) return Fail(std::to_string(area.differing) + " pixels differ; " + area.first);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App tool("Compares a page decoded from a job with the document as Ghostscript renders it", "page_check");
  CheckOptions options;
  DescribeOptions(tool, options);
  const Result<kav::tools::CommandLine> line =
      kav::tools::ParseCommandLine(tool, std::vector<std::string>(argv + 1, argv + argc));
  if (!line) return Fail(line.error());
  if (line->help) {
    std::cout << *line->help;
    return 0;
  }
  const Result<kav::host::PageLayout> layout = kav::host::ComputeLayout(options.paper, options.dpi, false);
  if (!layout) return Fail(layout.error());
  Result<Image> decoded = kav::tools::ReadImageFile(options.decoded);
  if (!decoded) return Fail(decoded.error());
  Result<Image> reference = ReadReference(options.reference);
  if (!reference) return Fail(reference.error());
  return Check(kav::tools::ConvertChannels(*decoded, 3), kav::tools::ConvertChannels(*reference, 3), *layout, options);
}
