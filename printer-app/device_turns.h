// Jobs of one printer take turns on its device.
//
// PAPPL 1.3.1 starts a streamed raster document at once when no job of the
// printer is printing yet, even when a spooled job has been accepted a moment
// before and is just being started; the two jobs then print at the same time
// and get the printer's one device, and the first to end closes it under the
// other, whose next write crashes the server. PAPPL opens the device before
// the driver is called, so the driver cannot keep the second job off it;
// instead the two take turns writing, and the first to be done does not end
// (which makes PAPPL close the device) while another job of the printer still
// prints.
#pragma once

#include <pappl/pappl.h>

namespace kav::app {

// Waits until no other job of the job's printer is writing to the device and
// makes the job the one that does. False when the job was cancelled meanwhile.
bool TakeDeviceTurn(pappl_job_t* job);

// Ends the job's turn on the device (the job writes nothing more), then waits
// until every other job the printer is printing has ended its own turn, so
// that PAPPL closes the device only when no job needs it any longer.
void EndDeviceTurn(pappl_job_t* job);

}  // namespace kav::app
