// Jobs of one printer take turns on its device, and PAPPL is kept from
// starting jobs side by side.
//
// PAPPL 1.3.1 hands the next job to a new thread before it marks anything as
// printing. A job submitted, cancelled or ended in that moment starts another
// job beside it, or the same job a second time, and a job cancelled in that
// moment is started after all. Once two jobs print together, their two ends
// each start a job, and so on while jobs wait. Jobs side by side get the
// printer's one device, and the first to end closes it under the other, whose
// next write crashes the server. PAPPL opens the device before the driver is
// called, so the driver cannot keep a job off it; instead:
// - the jobs take turns writing, and a second start of a job already printing
//   writes nothing;
// - a job does not end (which makes PAPPL close the device) while another job
//   of the printer still writes or is about to;
// - jobs that printed side by side hold every waiting job of the printer
//   before they end, so their ends start nothing, and the waiting jobs are
//   released one at a time once the printer has been free for a second.
#pragma once

#include <pappl/pappl.h>

#include <chrono>
#include <functional>
#include <string>

#include "host/result.h"

namespace kav::app {

// How a job's run through the driver begins.
enum class TurnStart {
  kWrite,      // the run has the device to itself until EndDeviceTurn
  kDuplicate,  // the job already runs in another thread: this run writes nothing
  kCanceled,   // the job was cancelled while it waited: it writes nothing
};

struct DeviceTurn {
  int run = 0;  // names this run to EndDeviceTurn
  TurnStart start = TurnStart::kCanceled;
};

// Waits until no other run of the job's printer is writing to the device and
// makes this run the one that does. Every run, however it begins, is ended
// with EndDeviceTurn.
DeviceTurn TakeDeviceTurn(pappl_job_t* job);

// Ends the run's turn on the device (it writes nothing more), then waits until
// no other job of the printer still writes or is about to, so that PAPPL
// closes the device only when no job needs it any longer.
void EndDeviceTurn(pappl_job_t* job, int run);

// PAPPL may also hand a raster document it streams to the driver from its
// client's thread to a job thread of its own, as if it were spooled (when it
// looks for the next job in the moment before the stream starts). That run
// waits here until the stream's run through the driver has ended, or `grace`
// passed without one, and prints nothing.
void AwaitStreamedRun(pappl_job_t* job, std::chrono::milliseconds grace);

// Releases the jobs that EndDeviceTurn held, and those given to
// ReleaseWhenFree, once their printer is free, from a thread of its own.
// (PAPPL runs its timers under the system's lock, and a job's release needs
// its printer's lock, which PAPPL takes before the system's when it aborts a
// document it refused; a timer would then wait for the printer while the
// abort waits for the system.) Once the system is told to shut down, the
// thread calls `atShutdown` and stops.
void StartReleasingHeldJobs(pappl_system_t* system, std::function<void()> atShutdown);

// Releases a held job of the printer as the jobs EndDeviceTurn holds are.
void ReleaseWhenFree(int printerId, int jobId);

// The state PAPPL saves from now on holds every release made so far: the
// mark to give StateSaved once such a state is saved, after which the
// released jobs are no longer kept as held.
unsigned StateSaveBegins();
void StateSaved(unsigned mark);

// Keeps the jobs held here in `path`, and releases those a server before
// this one held (they come back held from the saved state). Called before
// the state is loaded.
Status KeepHeldJobsIn(const std::string& path);

// The printer is being deleted (by Delete-Printer, or with the system at its
// end): nothing of it is touched any more, and at the system's end the
// releasing thread stops. PAPPL may call this with the system's lock held.
void ForgetPrinter(pappl_printer_t* printer);

}  // namespace kav::app
