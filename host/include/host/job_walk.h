// A job as Unidrv drives the render plug-in through it, for a caller that
// renders its pages' bands itself (`kavhost print`, the print server): the
// device set up and enabled from the options the page's settings select, the
// printer description's commands in Unidrv's sections and order around the
// pages, and each band handed over as the selected colour mode says. Both
// callers print through this one walk, so the two cannot send different jobs.
#pragma once

#include <cstdint>
#include <optional>

#include "host/band_builder.h"
#include "host/printer_description.h"
#include "host/render_session.h"

namespace kav::host {

// What a page is rendered in: the printable area of its sheet, and the bands
// of its colour mode (their kind, bits and callback id).
struct PageFormat {
  PageLayout layout;
  ColorMode mode = ColorMode::kColor;
  ModeFormat bands{};
};

class JobWalk {
 public:
  // The description and the opened session outlive the walk.
  JobWalk(const PrinterDescription& description, RenderSession& session);

  // Before the page's first band. The device is set up for `settings` and
  // enabled (again for a page whose settings differ from the page before);
  // the job's first page is preceded by JOB_SETUP and DOC_SETUP; then the
  // page's PAGE_SETUP. Settings that select no option of a feature are
  // refused before anything is sent.
  Result<PageFormat> StartPage(const DeviceSettings& settings);
  // ImageProcessing for one band of the page, at surface row `top`.
  BandResult Band(HostBand& band, uint32_t top);
  // After the page's last band: PAGE_FINISH.
  Status EndPage();
  // After the job's last page: DOC_FINISH and JOB_FINISH (when a page was
  // started), then the device is disabled.
  Status EndJob();

 private:
  void SetUpDevice(const DeviceSettings& settings, const PageLayout& layout,
                   const std::vector<std::pair<std::string, std::string>>& options);
  // A section's commands for the device as enabled.
  Status Send(Section section);

  const PrinterDescription& description_;
  RenderSession& session_;
  std::optional<DeviceSettings> device_;  // what the device is enabled for
  uint32_t callbackId_ = 0;               // of the page's colour mode
  bool documentStarted_ = false;          // JOB_SETUP and DOC_SETUP are sent
};

}  // namespace kav::host
