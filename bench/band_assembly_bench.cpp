// The print server's part of a 600 dpi A4 page: its raster lines gathered
// into the host's bands in each colour mode, the bands handed to a sink that
// only keeps them. The plug-in's own time is band_bench's.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "band_assembly.h"

namespace {

using kav::app::BandAssembler;
using kav::app::LineFormat;
using kav::host::ColorMode;

constexpr uint32_t kDpi = 600;
constexpr uint32_t kBandRows = 128;

// Smooth gradients with a few hard-edged blocks, as a photograph has.
std::vector<uint8_t> PhotoLine(uint32_t y, uint32_t width, unsigned channels) {
  std::vector<uint8_t> line(size_t{width} * channels);
  for (uint32_t x = 0; x < width; ++x) {
    const bool inBlock = (x / 620 + y / 700) % 5 == 0;
    for (unsigned c = 0; c < channels; ++c) {
      line[size_t{x} * channels + c] = static_cast<uint8_t>((x * (c + 1) + y * (3 - c)) / 37 + (inBlock ? 90 : 0));
    }
  }
  return line;
}

void RunPage(benchmark::State& state, ColorMode mode, LineFormat format, unsigned channels) {
  const auto paper = kav::host::NamedPaper("A4");
  const auto layout = kav::host::ComputeLayout(*paper, kDpi, false);
  if (!paper || !layout) {
    state.SkipWithError("no layout for A4");
    return;
  }
  std::vector<std::vector<uint8_t>> lines;
  for (uint32_t y = 0; y < 64; ++y) lines.push_back(PhotoLine(y, layout->sheetWidth, channels));
  uint64_t inkBands = 0;
  const kav::app::BandSink keep = [&inkBands](kav::host::HostBand& band, uint32_t) {
    benchmark::DoNotOptimize(band.bits.data());
    inkBands += band.blank ? 0 : 1;
    return true;
  };
  for (auto _ : state) {
    BandAssembler page(*layout, mode, kDpi, format, layout->sheetWidth, kBandRows);
    for (uint32_t y = 0; y < layout->sheetLength; ++y) page.AddLine(y, lines[y % lines.size()].data(), keep);
    page.Finish(keep);
  }
  state.counters["ink_bands_per_page"] = static_cast<double>(inkBands) / static_cast<double>(state.iterations());
}

void BM_BandAssemblyColor(benchmark::State& state) { RunPage(state, ColorMode::kColor, LineFormat::kRgb24, 3); }
void BM_BandAssemblyGray(benchmark::State& state) { RunPage(state, ColorMode::kGray, LineFormat::kGray8, 1); }
void BM_BandAssemblyMono(benchmark::State& state) { RunPage(state, ColorMode::kMono, LineFormat::kGray8, 1); }
// Colour lines on gray and bi-level sheets: a raster client's colour page printed without colour.
void BM_BandAssemblyGrayOfColor(benchmark::State& state) { RunPage(state, ColorMode::kGray, LineFormat::kRgb24, 3); }
void BM_BandAssemblyMonoOfColor(benchmark::State& state) { RunPage(state, ColorMode::kMono, LineFormat::kRgb24, 3); }

BENCHMARK(BM_BandAssemblyColor)->Name("BM_BandAssembly/color_photo")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BandAssemblyGray)->Name("BM_BandAssembly/gray_photo")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BandAssemblyMono)->Name("BM_BandAssembly/mono_photo")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BandAssemblyGrayOfColor)
    ->Name("BM_BandAssembly/gray_of_color_photo")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_BandAssemblyMonoOfColor)
    ->Name("BM_BandAssembly/mono_of_color_photo")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
