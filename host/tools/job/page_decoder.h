// Rebuilds the pages of a job as pictures: each image record decoded and
// placed at its origin (device pixels from the printable area's top-left
// corner), one picture per page, a page ending at "EB".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/result.h"
#include "job/job_reader.h"
#include "support/image.h"

namespace kav::tools {

// What the job says of a page before its records are decoded.
struct PagePlan {
  std::vector<JobItem> records;
  std::optional<float> paperWidth;  // millimetres, from the last paper command so far
  std::optional<float> paperLength;
  std::optional<std::vector<float>> placement;  // the last "Aa" matrix so far
  bool ended = false;                           // closed by "EB"
};

std::vector<PagePlan> PlanPages(const std::vector<JobItem>& items);

struct PageGeometry {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t dpi = 0;        // 0 when the job does not say
  bool fromPaper = false;  // false: the bounding box of the bands
};

// The page in device pixels: the sheet size from the paper command at the
// resolution of the placement matrix, turned for landscape; else the
// bounding box of the bands.
PageGeometry PageSize(const PagePlan& plan);

// Draws the page; warnings tell what could not be shown, an error (with the
// byte offset) what is malformed.
Result<Image> RenderPage(const uint8_t* job, const PagePlan& plan, std::vector<std::string>& warnings);

// The decoded pixels of one record, as the printer will mark them: 1-bit
// data with 1 as ink (black). An error for malformed data; an empty image
// and a warning for a kind that cannot be shown.
Result<Image> DecodeRecord(const uint8_t* job, const JobItem& item, std::vector<std::string>& warnings);

}  // namespace kav::tools
