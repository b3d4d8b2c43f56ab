#include "unknown_format.h"

#include "kav_driver.h"

namespace kav::app {
namespace {

bool RefuseDocument(pappl_job_t* job, pappl_device_t*) {
  papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, PAPPL_JREASON_NONE);
  return Fail(job,
              "The document is in none of the formats the printer takes (PDF, PostScript, JPEG, PNG, PWG raster, "
              "Apple raster).");
}

}  // namespace

void AddUnknownFormatFilter(pappl_system_t* system) {
  AddDriverFilter(system, kDriverFormat, kDriverFormat, RefuseDocument);
}

}  // namespace kav::app
