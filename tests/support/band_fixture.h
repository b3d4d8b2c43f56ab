// Bands as the host hands them to ImageProcessing, a render session whose
// temporary folder is a private one, and what every band call must leave
// behind: no temporary file, GDI+ shut down as often as started, the
// identity switched back, no file open and no heap block held.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <vector>

#include "render_fixture.h"

namespace kav::test {

struct Band {
  BITMAPINFOHEADER header{};
  std::vector<uint8_t> bits;  // exactly biSizeImage bytes, so a reader past them is caught
  IPPARAMS params{};

  size_t stride() const { return header.biSizeImage / static_cast<size_t>(header.biHeight); }
  // The host's 24-bit pixel: blue, green, red in memory.
  void SetRgb(int x, int y, uint8_t red, uint8_t green, uint8_t blue);
};

// A band of `bitCount` bits per pixel whose rows are rounded up to whole
// 4-byte units, filled with zero, at `offsetY` on the page.
Band MakeBand(int bitCount, LONG width, LONG height, LONG offsetY = 0);

// A band like a photograph: smooth gradients (what JPEG keeps well); for
// 24 bits each channel runs its own way.
Band GradientBand(int bitCount, LONG width, LONG height);

// The record's header as seven writes, from the values given.
std::vector<Bytes> ShortHeader(float originY, uint16_t width, uint16_t height, const Bytes& descriptor,
                               uint32_t dataLength);

inline const Bytes kGrayRaw = Hex("01 02 03 01 08 01");
inline const Bytes kColorRaw = Hex("01 02 04 01 08 01");
inline const Bytes kJpeg = Hex("01 02 05 01 08 04");

// The writes of a raw colour record of `band`: its rows turned from the
// host's blue-green-red to red-green-blue, one write per row.
std::vector<Bytes> RawColorRecord(const Band& band);
std::vector<Bytes> RawGrayRecord(const Band& band);

class BandTest : public RenderTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  host::BandResult Send(DWORD callbackId, Band& band) {
    return session.Band(callbackId, band.header, band.bits.data(), band.params);
  }
  // Sends the band and checks what every call must answer and leave behind.
  void SendAndCheck(DWORD callbackId, Band& band);
  void ExpectNothingLeft();

  // Points the temporary folder of the process (TMPDIR, TMP, TEMP) at `path`.
  static void UseTempFolder(const std::filesystem::path& path);
  size_t TempFilesInFolder() const;

  std::filesystem::path folder;
  long heapBlocksBefore = 0;
};

}  // namespace kav::test
