// kavjob's reading of a job over arbitrary bytes: the command and record
// reader, the listing, and the pages rebuilt from what it read.
#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "job/job_inspect.h"
#include "job/page_decoder.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Read as it is spooled, in pieces whose lengths the bytes themselves choose,
// the job gives the items and the fault that reading it whole gives.
void CheckReadingInPieces(const uint8_t* data, size_t size, const kav::tools::JobReading& whole) {
  size_t count = 0;
  kav::tools::JobStreamReader stream([&](const kav::tools::JobItem& item) {
    Check(count < whole.items.size());
    Check(item.offset == whole.items[count].offset && item.length == whole.items[count].length);
    Check(item.kind == whole.items[count].kind);
    ++count;
  });
  for (size_t at = 0; at < size;) {
    const size_t piece = std::min<size_t>(size - at, 1 + data[at] % 61);
    stream.Feed(data + at, piece);
    at += piece;
  }
  const kav::Status read = stream.Finish();
  Check(read.ok() == whole.status.ok());
  Check(read.ok() || read.error() == whole.status.error());
  Check(count == whole.items.size());
}

// Pages and records larger than this are not drawn here, to keep each run small.
constexpr uint64_t kMaxFuzzPagePixels = uint64_t{1} << 22;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const kav::tools::JobReading reading = kav::tools::ReadJob(data, size);
  // Items follow each other without gaps, from the first byte up to the error or the end.
  size_t next = 0;
  for (const kav::tools::JobItem& item : reading.items) {
    Check(item.offset == next && item.length > 0);
    next += item.length;
  }
  Check(reading.status.ok() ? next == size : reading.errorOffset >= next && reading.errorOffset < size);
  CheckReadingInPieces(data, size, reading);
  std::ostringstream listing;
  kav::tools::PrintInspection(reading, listing);
  Check(!listing.str().empty());

  for (const kav::tools::PagePlan& plan : kav::tools::PlanPages(reading.items)) {
    const kav::tools::PageGeometry geometry = kav::tools::PageSize(plan);
    bool large = uint64_t{geometry.width} * geometry.height > kMaxFuzzPagePixels;
    for (const kav::tools::JobItem& item : plan.records) {
      large = large || uint64_t{item.record.width} * item.record.height > kMaxFuzzPagePixels;
    }
    if (large) continue;
    std::vector<std::string> warnings;
    const kav::Result<kav::tools::Image> page = kav::tools::RenderPage(data, plan, warnings);
    if (page) {
      Check(page->pixels.size() == page->RowBytes() * page->height);
      unsigned sum = 0;
      for (uint8_t pixel : page->pixels) sum += pixel;
      Check(sum <= 255u * page->pixels.size());
    } else {
      Check(!page.error().empty());
    }
  }
  return 0;
}
