#include "band_fixture.h"

#include <bit>
#include <chrono>
#include <string>

#include "platform/wide_text.h"

namespace kav::test {
namespace {

Bytes U16BE(uint32_t value) { return {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)}; }
Bytes U32BE(uint32_t value) {
  return {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 8),
          static_cast<uint8_t>(value)};
}

// The process's temporary folder as it was before any test moved it.
const std::filesystem::path& OriginalTempFolder() {
  static const std::filesystem::path original = std::filesystem::temp_directory_path();
  return original;
}

}  // namespace

void Band::SetRgb(int x, int y, uint8_t red, uint8_t green, uint8_t blue) {
  uint8_t* pixel = bits.data() + static_cast<size_t>(y) * stride() + 3 * static_cast<size_t>(x);
  pixel[0] = blue;
  pixel[1] = green;
  pixel[2] = red;
}

Band MakeBand(int bitCount, LONG width, LONG height, LONG offsetY) {
  Band band;
  const size_t stride = (static_cast<size_t>(width) * bitCount + 31) / 32 * 4;
  band.header.biSize = sizeof(BITMAPINFOHEADER);
  band.header.biWidth = width;
  band.header.biHeight = height;
  band.header.biPlanes = 1;
  band.header.biBitCount = static_cast<WORD>(bitCount);
  band.header.biSizeImage = static_cast<DWORD>(stride * static_cast<size_t>(height));
  band.bits.assign(band.header.biSizeImage, 0);
  band.params.dwSize = sizeof(IPPARAMS);
  band.params.ptOffset = {0, offsetY};
  return band;
}

Band GradientBand(int bitCount, LONG width, LONG height) {
  Band band = MakeBand(bitCount, width, height);
  for (LONG y = 0; y < height; ++y) {
    for (LONG x = 0; x < width; ++x) {
      const auto across = static_cast<uint8_t>(width > 1 ? x * 255 / (width - 1) : 0);
      const auto down = static_cast<uint8_t>(height > 1 ? y * 255 / (height - 1) : 0);
      if (bitCount == 8) {
        band.bits[static_cast<size_t>(y) * band.stride() + static_cast<size_t>(x)] = across;
      } else {
        band.SetRgb(x, y, across, down, static_cast<uint8_t>(255 - across));
      }
    }
  }
  return band;
}

std::vector<Bytes> ShortHeader(float originY, uint16_t width, uint16_t height, const Bytes& descriptor,
                               uint32_t dataLength) {
  return {Hex("43 71 00 00 00 00"),
          U32BE(std::bit_cast<uint32_t>(originY)),
          Hex("3F800000 00000000 00000000 3F800000 00000000 00000000"),
          U16BE(width),
          U16BE(height),
          descriptor,
          U32BE(dataLength)};
}

std::vector<Bytes> RawColorRecord(const Band& band) {
  const auto width = static_cast<size_t>(band.header.biWidth);
  const auto height = static_cast<size_t>(band.header.biHeight);
  std::vector<Bytes> record =
      ShortHeader(static_cast<float>(band.params.ptOffset.y), static_cast<uint16_t>(width),
                  static_cast<uint16_t>(height), kColorRaw, static_cast<uint32_t>(3 * width * height));
  for (size_t y = 0; y < height; ++y) {
    Bytes row;
    const uint8_t* source = band.bits.data() + y * band.stride();
    for (size_t x = 0; x < width; ++x) row.insert(row.end(), {source[3 * x + 2], source[3 * x + 1], source[3 * x]});
    record.push_back(row);
  }
  return record;
}

std::vector<Bytes> RawGrayRecord(const Band& band) {
  const auto width = static_cast<uint32_t>(band.header.biWidth + 3) / 4 * 4;
  std::vector<Bytes> record =
      ShortHeader(static_cast<float>(band.params.ptOffset.y), static_cast<uint16_t>(width),
                  static_cast<uint16_t>(band.header.biHeight), kGrayRaw, band.header.biSizeImage);
  record.push_back(band.bits);
  return record;
}

void BandTest::SetUp() {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  folder = OriginalTempFolder() / ("kav-band-" + std::string(test->name()) + "-" +
                                   std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  std::filesystem::create_directories(folder);
  UseTempFolder(folder);
  RenderTest::SetUp();
  if (standins != nullptr) heapBlocksBefore = standins->LiveHeapBlocks();
}

void BandTest::TearDown() {
  RenderTest::TearDown();
  UseTempFolder(OriginalTempFolder());
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

void BandTest::UseTempFolder(const std::filesystem::path& path) {
  const WideString wide = ToWide(path.string());
  for (const WCHAR* name : {KAV_WIDE("TMPDIR"), KAV_WIDE("TMP"), KAV_WIDE("TEMP")})
    SetEnvironmentVariableW(name, wide.c_str());
}

size_t BandTest::TempFilesInFolder() const {
  size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().filename().string().rfind("uni", 0) == 0) ++count;
  }
  return count;
}

void BandTest::ExpectNothingLeft() {
  EXPECT_EQ(TempFilesInFolder(), 0u) << "a temporary file was left behind";
  if (standins == nullptr) return;
  EXPECT_EQ(standins->LiveTempFiles(), 0);
  EXPECT_EQ(standins->GdiplusStartups(), standins->GdiplusShutdowns());
  EXPECT_EQ(standins->LiveImages(), 0);
  EXPECT_EQ(standins->IdentityReverts(), standins->IdentityImpersonations());
  EXPECT_EQ(standins->LiveFileHandles(), 0);
  EXPECT_EQ(standins->LiveHeapBlocks(), heapBlocksBefore);
}

void BandTest::SendAndCheck(DWORD callbackId, Band& band) {
  const host::BandResult result = Send(callbackId, band);
  EXPECT_EQ(result.hr, S_OK);
  EXPECT_EQ(result.result, reinterpret_cast<PBYTE>(static_cast<ULONG_PTR>(1)));
  ExpectNothingLeft();
}

}  // namespace kav::test
