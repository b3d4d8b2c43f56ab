// Band output over a 600 dpi A4 colour page, through the loaded render
// library as the host drives it, each against a bare lower bound: JPEG
// records against libjpeg-turbo encoding the same bands at quality 83, raw
// colour records against copying the same rows.
#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "host/render_session.h"
#include "render/render_plugin.h"

namespace {

constexpr LONG kPageWidth = 4960;
constexpr LONG kPageHeight = 7015;
constexpr LONG kBandRows = 128;

// The page as the host renders it: blue, green, red rows rounded up to 4 bytes.
struct Page {
  size_t stride = (3 * static_cast<size_t>(kPageWidth) + 3) / 4 * 4;
  std::vector<uint8_t> bits;
};

// Like a photograph: smooth gradients, some noise and a few hard edges.
Page MakePhotoPage() {
  Page page;
  page.bits.resize(page.stride * kPageHeight);
  std::vector<int> across(kPageWidth);
  std::vector<int> down(kPageHeight);
  for (LONG x = 0; x < kPageWidth; ++x) across[x] = static_cast<int>(90 * std::sin(x / 410.0));
  for (LONG y = 0; y < kPageHeight; ++y) down[y] = static_cast<int>(90 * std::cos(y / 530.0));
  uint32_t noise = 2463534242u;
  for (LONG y = 0; y < kPageHeight; ++y) {
    uint8_t* row = page.bits.data() + page.stride * y;
    for (LONG x = 0; x < kPageWidth; ++x) {
      noise ^= noise << 13;
      noise ^= noise >> 17;
      noise ^= noise << 5;
      const int grain = static_cast<int>(noise & 15) - 8;
      const bool inBlock = (x / 620 + y / 700) % 5 == 0;  // hard-edged blocks
      const int red = 128 + across[x] + grain + (inBlock ? 60 : 0);
      const int green = 128 + down[y] + grain;
      const int blue = 128 + (across[x] - down[y]) / 2 + grain - (inBlock ? 60 : 0);
      row[3 * x] = static_cast<uint8_t>(std::clamp(blue, 0, 255));
      row[3 * x + 1] = static_cast<uint8_t>(std::clamp(green, 0, 255));
      row[3 * x + 2] = static_cast<uint8_t>(std::clamp(red, 0, 255));
    }
  }
  return page;
}

const Page& PhotoPage() {
  static const Page page = MakePhotoPage();
  return page;
}

// The page's bands of up to 128 rows as the host hands them to
// ImageProcessing: the host renders each band into its one band buffer and
// passes it on at once, so a band arrives in the processor's cache. Each
// band is copied from the page into that buffer before it is handed over;
// only the time of what follows counts.
class HostBands {
 public:
  explicit HostBands(const Page& page) : page_(page), buffer_(page.stride * kBandRows) {
    for (LONG top = 0; top < kPageHeight; top += kBandRows) {
      Band band{};
      band.header.biSize = sizeof(BITMAPINFOHEADER);
      band.header.biWidth = kPageWidth;
      band.header.biHeight = std::min(kBandRows, kPageHeight - top);
      band.header.biPlanes = 1;
      band.header.biBitCount = 24;
      band.header.biSizeImage = static_cast<DWORD>(page.stride * band.header.biHeight);
      band.params.dwSize = sizeof(IPPARAMS);
      band.params.ptOffset = {0, top};
      bands_.push_back(band);
    }
  }

  struct Band {
    BITMAPINFOHEADER header{};
    IPPARAMS params{};
  };

  // Seconds `handle` takes over every band of the page, each just rendered.
  template <typename Handle>
  double TimePage(Handle&& handle) {
    std::chrono::steady_clock::duration spent{};
    for (Band& band : bands_) {
      std::memcpy(buffer_.data(), page_.bits.data() + page_.stride * band.params.ptOffset.y, band.header.biSizeImage);
      const auto start = std::chrono::steady_clock::now();
      handle(band, buffer_.data());
      spent += std::chrono::steady_clock::now() - start;
    }
    return std::chrono::duration<double>(spent).count();
  }

 private:
  const Page& page_;
  std::vector<uint8_t> buffer_;
  std::vector<Band> bands_;
};

// Sends every band of the page through callback 2 per iteration, with JPEG
// allowed or not, into a sink that only counts bytes.
void RunColorPage(benchmark::State& state, bool tryJpeg) {
  kav::host::RenderSession session;
  std::string error;
  if (!session.Open(kav::host::PluginBesideProgram("kavrender"), error) || FAILED(session.EnableDevice())) {
    state.SkipWithError(error.c_str());
    return;
  }
  kav::host::CountingSink counter;
  session.helper().SetSink(&counter);
  auto& pdev = *static_cast<kav::RenderPdev*>(session.devobj().pdevOEM);
  pdev.tryJpeg = tryJpeg ? 1 : 0;
  HostBands bands(PhotoPage());
  for (auto _ : state) {
    state.SetIterationTime(bands.TimePage(
        [&session](HostBands::Band& band, PBYTE bits) { session.Band(2, band.header, bits, band.params); }));
  }
  if (tryJpeg && pdev.tryJpeg == 0) state.SkipWithError("a JPEG attempt failed; the bands went raw");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * PhotoPage().bits.size()));
  state.counters["out_bytes_per_page"] = static_cast<double>(counter.bytes()) / static_cast<double>(state.iterations());
}

void BM_JpegBand(benchmark::State& state) { RunColorPage(state, true); }

void BM_ColorBand(benchmark::State& state) { RunColorPage(state, false); }

// The same bands encoded by libjpeg-turbo alone into one reused buffer.
void BM_LibjpegEncode(benchmark::State& state) {
  HostBands bands(PhotoPage());
  tjhandle encoder = tjInitCompress();
  unsigned long capacity = tjBufSize(kPageWidth, kBandRows, TJSAMP_420);
  unsigned char* jpeg = tjAlloc(static_cast<int>(capacity));
  uint64_t bytesOut = 0;
  bool failed = false;
  for (auto _ : state) {
    state.SetIterationTime(bands.TimePage([&](HostBands::Band& band, PBYTE bits) {
      unsigned long size = capacity;
      failed =
          failed || tjCompress2(encoder, bits, kPageWidth, static_cast<int>(PhotoPage().stride), band.header.biHeight,
                                TJPF_BGR, &jpeg, &size, TJSAMP_420, 83, TJFLAG_NOREALLOC) != 0;
      bytesOut += size;
    }));
  }
  if (failed) state.SkipWithError(tjGetErrorStr2(encoder));
  tjFree(jpeg);
  tjDestroy(encoder);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * PhotoPage().bits.size()));
  state.counters["out_bytes_per_page"] = static_cast<double>(bytesOut) / static_cast<double>(state.iterations());
}

// Each row's pixels copied once into a row buffer: the least a raw record costs.
void BM_Memcpy(benchmark::State& state) {
  HostBands bands(PhotoPage());
  std::vector<uint8_t> row(3 * static_cast<size_t>(kPageWidth));
  for (auto _ : state) {
    state.SetIterationTime(bands.TimePage([&row](HostBands::Band& band, PBYTE bits) {
      for (LONG y = 0; y < band.header.biHeight; ++y) {
        std::memcpy(row.data(), bits + PhotoPage().stride * y, row.size());
        benchmark::DoNotOptimize(row.data());
        benchmark::ClobberMemory();
      }
    }));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * PhotoPage().bits.size()));
}

BENCHMARK(BM_JpegBand)->Name("BM_JpegBand/photo")->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_LibjpegEncode)->Name("BM_LibjpegEncode/photo")->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_ColorBand)->Name("BM_ColorBand/photo")->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_Memcpy)->Name("BM_Memcpy/photo")->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
