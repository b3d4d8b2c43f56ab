// Throughput of the row codec on four generated 600 dpi A4 pages (4992 x 7015
// pixels, 624 bytes a row), in input bytes per second: the exported codec
// alone, the plain reference coder, the whole band path through the loaded
// library's ImageProcessing in bands of 128 rows, and memcpy of the page.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "host/render_session.h"
#include "kavcmp.h"
#include "reference_encoder.h"

namespace kav::bench {
namespace {

constexpr uint32_t kWidth = 4992;
constexpr uint32_t kRowBytes = kWidth / 8;
constexpr uint32_t kRows = 7015;
constexpr size_t kPageBytes = size_t{kRowBytes} * kRows;
constexpr uint32_t kBandRows = 128;
constexpr DWORD kMonochromeCallback = 3;

using Page = std::vector<uint8_t>;

void SetPixels(Page& page, uint32_t row, uint32_t x, uint32_t count) {
  for (uint32_t i = x; i < x + count && i < kWidth; ++i) page[size_t{row} * kRowBytes + i / 8] |= 0x80 >> (i % 8);
}

// Lines of letter-like glyphs 42 rows tall with 18-row gaps between them and
// half-inch margins: strokes and bars two pixels thick, so that about
// 70% of the rows have ink and about 8% of their bits are set.
Page TextPage() {
  Page page(kPageBytes, 0);
  std::mt19937 random(1);
  auto between = [&random](uint32_t low, uint32_t high) {
    return std::uniform_int_distribution<uint32_t>(low, high)(random);
  };
  constexpr uint32_t kMargin = 300;
  constexpr uint32_t kGlyphRows = 42;
  constexpr uint32_t kLinePitch = 60;
  for (uint32_t top = 0; top + kGlyphRows <= kRows; top += kLinePitch) {
    for (uint32_t x = kMargin + between(0, 40); x + 40 < kWidth - kMargin;) {
      const uint32_t glyphWidth = between(18, 30);
      for (uint32_t strokes = between(1, 2); strokes > 0; --strokes) {  // vertical strokes
        const uint32_t at = x + between(0, glyphWidth - 2);
        const uint32_t from = top + between(0, 14);
        const uint32_t to = top + kGlyphRows - between(0, 14);
        for (uint32_t row = from; row < to; ++row) SetPixels(page, row, at, 2);
      }
      const uint32_t bar = top + between(6, kGlyphRows - 6);  // a horizontal bar
      SetPixels(page, bar, x, glyphWidth);
      SetPixels(page, bar + 1, x, glyphWidth);
      for (uint32_t dots = between(0, 3); dots > 0; --dots) {  // serifs and curves
        const uint32_t row = top + between(0, kGlyphRows - 2);
        const uint32_t at = x + between(0, glyphWidth - 4);
        SetPixels(page, row, at, 4);
        SetPixels(page, row + 1, at, 4);
      }
      x += glyphWidth + between(4, 8) + (between(0, 5) == 0 ? 30 : 0);  // letter and word spacing
    }
  }
  return page;
}

Page RandomPage() {
  Page page(kPageBytes);
  std::mt19937 random(2);
  for (uint8_t& byte : page) byte = static_cast<uint8_t>(random());
  return page;
}

Page BlankPage() { return Page(kPageBytes, 0); }

Page AlikePage() {
  Page page(kPageBytes);
  std::mt19937 random(3);
  std::vector<uint8_t> row(kRowBytes);
  for (uint8_t& byte : row) byte = static_cast<uint8_t>(random());
  for (uint32_t y = 0; y < kRows; ++y) std::copy(row.begin(), row.end(), page.begin() + size_t{y} * kRowBytes);
  return page;
}

struct PageKind {
  const char* name;
  Page (*make)();
};
const PageKind kPages[] = {{"text", TextPage}, {"random", RandomPage}, {"blank", BlankPage}, {"alike", AlikePage}};

// Each page is made on first use and kept for the other runs.
const Page& PageOf(const PageKind& kind) {
  static std::map<std::string, Page> made;
  auto found = made.find(kind.name);
  if (found == made.end()) found = made.emplace(kind.name, kind.make()).first;
  return found->second;
}

void ReportPage(benchmark::State& state, const Page& page) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}

// The codec through the functions the render library exports: one image of
// the whole page, coded in one call and collected.
void CodecAlone(benchmark::State& state, const Page& page) {
  host::PluginLibrary library;
  std::string error;
  if (!library.Load(host::PluginBesideProgram("kavrender"), error)) return state.SkipWithError(error.c_str());
  const auto load = library.FindAs<decltype(&kavcmp_LoadCompress)>("kavcmp_LoadCompress");
  const auto init = library.FindAs<decltype(&kavcmp_InitBitmap)>("kavcmp_InitBitmap");
  const auto compress = library.FindAs<decltype(&kavcmp_CompressBitmap)>("kavcmp_CompressBitmap");
  const auto get = library.FindAs<decltype(&kavcmp_GetBitmap)>("kavcmp_GetBitmap");
  const auto finish = library.FindAs<decltype(&kavcmp_FinishBitmap)>("kavcmp_FinishBitmap");
  const auto release = library.FindAs<decltype(&kavcmp_FreeCompress)>("kavcmp_FreeCompress");
  CompressHandle* handle = load();
  std::vector<uint8_t> stream(size_t{kRows} * (2 * kRowBytes + 1));
  uint32_t size = 0;
  for (auto _ : state) {
    init(handle, 1, kWidth, kRows, kRowBytes);
    compress(handle, page.data(), kRows, &size);
    get(handle, stream.data());
    finish(handle);
    benchmark::DoNotOptimize(stream.data());
  }
  release(handle);
  state.counters["stream_bytes"] = size;
  ReportPage(state, page);
}

void Reference(benchmark::State& state, const Page& page) {
  std::vector<uint8_t> stream;
  stream.reserve(size_t{kRows} * (2 * kRowBytes + 1));
  for (auto _ : state) {
    stream.clear();
    test::ReferenceEncoder encoder(kWidth, kRows);
    for (uint32_t y = 0; y < kRows; ++y) encoder.EncodeRow(page.data() + size_t{y} * kRowBytes, stream);
    benchmark::DoNotOptimize(stream.data());
  }
  state.counters["stream_bytes"] = static_cast<double>(stream.size());
  ReportPage(state, page);
}

// The page as the host hands it over, inverted, in bands of 128 rows through
// ImageProcessing with callback 3, into a job that only counts its bytes.
void BandPath(benchmark::State& state, const Page& page) {
  host::RenderSession session;
  std::string error;
  if (!session.Open(host::PluginBesideProgram("kavrender"), error)) return state.SkipWithError(error.c_str());
  if (FAILED(session.EnableDevice())) return state.SkipWithError("the device was not enabled");
  host::CountingSink job;
  session.helper().SetSink(&job);
  Page hostPage(page.size());
  std::transform(page.begin(), page.end(), hostPage.begin(), [](uint8_t byte) { return uint8_t(~byte); });
  for (auto _ : state) {
    for (uint32_t top = 0; top < kRows; top += kBandRows) {
      const uint32_t rows = std::min(kBandRows, kRows - top);
      BITMAPINFOHEADER header{};
      header.biSize = sizeof header;
      header.biWidth = kWidth;
      header.biHeight = static_cast<LONG>(rows);
      header.biPlanes = 1;
      header.biBitCount = 1;
      header.biSizeImage = rows * kRowBytes;
      IPPARAMS params{};
      params.dwSize = sizeof params;
      params.ptOffset = {0, static_cast<LONG>(top)};
      session.Band(kMonochromeCallback, header, hostPage.data() + size_t{top} * kRowBytes, params);
    }
  }
  state.counters["job_bytes"] = static_cast<double>(job.bytes()) / static_cast<double>(state.iterations());
  ReportPage(state, page);
}

// What the page holds: the share of rows with ink, and of the bits of those rows that are set.
void DescribePage(benchmark::State& state, const Page& page) {
  uint32_t inkRows = 0;
  uint64_t setBits = 0;
  for (uint32_t y = 0; y < kRows; ++y) {
    const uint8_t* row = page.data() + size_t{y} * kRowBytes;
    uint32_t rowBits = 0;
    for (uint32_t k = 0; k < kRowBytes; ++k) rowBits += static_cast<uint32_t>(std::popcount(row[k]));
    inkRows += rowBits != 0;
    setBits += rowBits;
  }
  state.counters["ink_rows"] = static_cast<double>(inkRows) / kRows;
  state.counters["ink_bits"] = inkRows == 0 ? 0.0 : static_cast<double>(setBits) / (double{kWidth} * inkRows);
}

void Memcpy(benchmark::State& state, const Page& page) {
  DescribePage(state, page);
  Page copy(page.size());
  for (auto _ : state) {
    std::memcpy(copy.data(), page.data(), page.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  ReportPage(state, page);
}

void RegisterAll() {
  const std::pair<const char*, void (*)(benchmark::State&, const Page&)> runs[] = {
      {"BM_Codec", CodecAlone}, {"BM_Reference", Reference}, {"BM_BandPath", BandPath}, {"BM_Memcpy", Memcpy}};
  for (const PageKind& kind : kPages) {
    for (const auto& [name, run] : runs) {
      const std::string title = std::string(name) + "/" + kind.name;
      benchmark::RegisterBenchmark(title.c_str(), [run = run, &kind](benchmark::State& state) {
        run(state, PageOf(kind));
      })->Unit(benchmark::kMicrosecond);
    }
  }
}

}  // namespace
}  // namespace kav::bench

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  kav::bench::RegisterAll();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
