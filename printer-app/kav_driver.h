// The one driver of the printer family: the render plug-in, reached through
// the host library as the tools reach it.
#pragma once

#include <pappl/pappl.h>

#include <string>

namespace kav::app {

inline constexpr char kDriverName[] = "kav_page";
inline constexpr char kDriverDescription[] = "KAV page printer";
// The format PAPPL takes for a document it cannot identify. PAPPL 1.3.1
// crashes on such a document when a driver names no format of its own; this
// one is refused by a filter (see AddUnknownFormatFilter).
inline constexpr char kDriverFormat[] = "application/octet-stream";

// Fills the driver data of a printer: resolutions, media, colour modes,
// margins and the raster callbacks.
bool KavDriverInit(pappl_system_t* system, const char* driverName, const char* deviceUri, const char* deviceId,
                   pappl_pr_driver_data_t* data, ipp_t** attributes, void* context);

// Logs the failure on the job, makes it the job's message and answers false.
// The first failure of a job's run is its message: later ones, which follow
// from it, are neither logged nor shown.
bool Fail(pappl_job_t* job, const std::string& message);

// A filter of documents of one format into the driver's pages.
using DocumentFilter = bool (*)(pappl_job_t* job, pappl_device_t* device);

// Registers `filter` for documents of `format` (PAPPL's MIME filter from
// `format` to `to`). It runs inside the job's turn on the device: the job
// does not end, whatever the filter answers, while another job of the
// printer still writes; a second run of a job that already prints skips it.
void AddDriverFilter(pappl_system_t* system, const char* format, const char* to, DocumentFilter filter);

// Raster documents are streamed to the driver by PAPPL from the client's
// thread; a run PAPPL also starts for one in a job thread prints nothing and
// ends after the stream's (see AwaitStreamedRun).
void AddStreamedRasterFilters(pappl_system_t* system);

// The driver's job and page steps, for the raster callbacks and for the
// document filters that read raster headers themselves. Every failure is
// logged on the job, made its message, and answered false; EndKavJob frees
// what StartKavJob made and is called on every path once StartKavJob succeeded.
// Between the two the job has the printer's device to itself: inside a filter
// of AddDriverFilter the filter holds the turn; for a raster document PAPPL
// streams to the driver, StartKavJob waits for its turn and EndKavJob ends it.
bool StartKavJob(pappl_job_t* job, pappl_device_t* device);
// `header` describes the lines that follow exactly (width, type, resolution).
bool StartKavPage(pappl_job_t* job, const cups_page_header2_t& header, pappl_color_mode_t colorMode);
bool WriteKavLine(pappl_job_t* job, unsigned y, const unsigned char* line);
bool EndKavPage(pappl_job_t* job);
bool EndKavJob(pappl_job_t* job);

}  // namespace kav::app
