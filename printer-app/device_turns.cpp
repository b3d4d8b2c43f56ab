#include "device_turns.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "state_file.h"

namespace kav::app {
namespace {

// PAPPL tells nobody when a job starts or ends, so waits look again this often.
constexpr auto kPollInterval = std::chrono::milliseconds(20);

// Jobs restored from the state file as "processing" never run again; the
// wait for other jobs leaves out every job that started before this server.
const time_t kServerStart = std::time(nullptr);

// One thread's pass of a job through the driver.
struct Run {
  int id;
  int jobId;
  bool done;  // writes nothing more
};

struct PrinterTurns {
  std::vector<Run> runs;  // the printer's jobs inside the driver
  int writer = 0;         // the run writing to the device, 0 for none
};

// The jobs EndDeviceTurn held on one printer, until they are released.
struct HeldJobs {
  std::set<int> jobIds;
  // Released, but maybe still held in the last saved state: jobId -> the
  // release's number, 0 while it is under way.
  std::map<int, unsigned> released;
  bool wasFree = false;      // no job of the printer ran at the last look
  bool releasedOne = false;  // the first is on its way; the others may queue behind it
};

std::mutex mutex;
std::condition_variable turnEnded;
int lastRun = 0;
std::map<int, PrinterTurns> printers;  // by printer id; only while a job of it is in the driver
std::map<int, HeldJobs> held;          // by printer id
std::map<int, bool> awaited;           // job ids of AwaitStreamedRun: whether a run of it began
std::deque<int> lastEnded;             // the ids of the jobs whose runs ended last, newest at the back
constexpr size_t kLastEnded = 256;
std::string heldJobsFile;  // where `held` is kept for the next server
unsigned lastRelease = 0;  // numbers the releases

bool IsEmpty(const HeldJobs& jobs) { return jobs.jobIds.empty() && jobs.released.empty(); }

// Keeps the held jobs in heldJobsFile, a "printer-id job-id" line each, so
// that a server stopped while it held jobs has the next one release them.
// PAPPL saves its state a while after a change, so a job is listed before
// it is held and until a state saved after its release: whichever moment
// the server stops at, the next one finds every job held here listed (it
// releases only those still held). Called with `mutex` held; it happens
// only when jobs are held or released and when the state is saved.
void SaveHeldJobs() {
  if (heldJobsFile.empty()) return;
  std::string text;
  const auto line = [&text](int printerId, int jobId) {
    text += std::to_string(printerId) + " " + std::to_string(jobId) + "\n";
  };
  for (const auto& [printerId, jobs] : held) {
    for (int jobId : jobs.jobIds) line(printerId, jobId);
    for (const auto& entry : jobs.released) line(printerId, entry.first);
  }
  if (const Status saved = ReplaceSavedFile(heldJobsFile, text); !saved) {
    std::fprintf(stderr, "kav-printer-app: the held jobs were not saved: %s\n", saved.error().c_str());
  }
}

void ForgetIfIdle(int printerId) {
  const auto found = printers.find(printerId);
  if (found != printers.end() && found->second.runs.empty()) printers.erase(found);
}

Run* FindRun(PrinterTurns& turns, int run) {
  for (Run& each : turns.runs) {
    if (each.id == run) return &each;
  }
  return nullptr;
}

bool HasRunOf(const PrinterTurns& turns, int jobId) {
  return std::any_of(turns.runs.begin(), turns.runs.end(), [jobId](const Run& run) { return run.jobId == jobId; });
}

void RemoveRun(int printerId, int run) {
  auto& runs = printers[printerId].runs;
  runs.erase(std::remove_if(runs.begin(), runs.end(), [run](const Run& each) { return each.id == run; }), runs.end());
  ForgetIfIdle(printerId);
}

struct JobFilter {
  int self;
  bool (*wanted)(pappl_job_t*);
  std::vector<int> ids;
};

void CollectJob(pappl_job_t* job, void* data) {
  auto* filter = static_cast<JobFilter*>(data);
  if (papplJobGetID(job) != filter->self && filter->wanted(job)) filter->ids.push_back(papplJobGetID(job));
}

// The ids of the printer's active jobs, other than `self`, that `wanted` picks.
std::vector<int> ActiveJobs(pappl_printer_t* printer, int self, bool (*wanted)(pappl_job_t*)) {
  JobFilter filter{self, wanted, {}};
  papplPrinterIterateActiveJobs(printer, CollectJob, &filter, 1, 0);
  return filter.ids;
}

// Printing now, including a job that has not reached the driver yet (a
// picture is decoded first) or has left it and is being ended.
bool PrintingSinceStart(pappl_job_t* job) {
  return papplJobGetState(job) == IPP_JSTATE_PROCESSING && papplJobGetTimeProcessed(job) >= kServerStart;
}

bool Pending(pappl_job_t* job) { return papplJobGetState(job) == IPP_JSTATE_PENDING; }

bool Running(pappl_job_t* job) { return Pending(job) || PrintingSinceStart(job); }

// Holds every job of the printer that waits to print, so that the ends of
// jobs that printed side by side start none of them.
// A job that started meanwhile stays on the list; it is not held, so its
// release later leaves it as it is.
void HoldPendingJobs(pappl_printer_t* printer) {
  const std::vector<int> pending = ActiveJobs(printer, 0, Pending);
  if (pending.empty()) return;
  {
    std::lock_guard lock(mutex);
    HeldJobs& jobs = held[papplPrinterGetID(printer)];
    jobs.jobIds.insert(pending.begin(), pending.end());
    jobs.wasFree = false;
    SaveHeldJobs();
  }
  int heldNow = 0;
  for (int id : pending) {
    pappl_job_t* job = papplPrinterFindJob(printer, id);
    if (job != nullptr && papplJobHold(job, nullptr, "indefinite", 0)) ++heldNow;
  }
  papplLogPrinter(printer, PAPPL_LOGLEVEL_INFO,
                  "Jobs printed side by side; %d waiting jobs are held until the printer is free.", heldNow);
}

// The held jobs of a printer to release now: the first once the printer has
// been free at two looks in a row (the job that ended last may still be
// closing the device), the others once the first has started.
std::vector<int> JobsToRelease(HeldJobs& jobs, bool busy) {
  std::vector<int> release;
  if (busy) {
    if (jobs.releasedOne) release.assign(jobs.jobIds.begin(), jobs.jobIds.end());
  } else if (jobs.wasFree && !jobs.jobIds.empty()) {
    release.push_back(*jobs.jobIds.begin());
    jobs.releasedOne = true;
  }
  jobs.wasFree = !busy;
  for (int id : release) {
    jobs.jobIds.erase(id);
    jobs.released[id] = 0;
  }
  if (jobs.jobIds.empty()) jobs.releasedOne = false;
  return release;
}

void ReleaseHeldJobsOf(pappl_printer_t* printer) {
  const int printerId = papplPrinterGetID(printer);
  const bool busy = !ActiveJobs(printer, 0, Running).empty();
  std::vector<int> release;
  {
    std::lock_guard lock(mutex);
    release = JobsToRelease(held[printerId], busy);
  }
  for (int id : release) {
    pappl_job_t* job = papplPrinterFindJob(printer, id);
    // A job released, cancelled or started by someone else meanwhile is left as it is.
    if (job != nullptr && papplJobGetState(job) == IPP_JSTATE_HELD) papplJobRelease(job, nullptr);
  }
  if (release.empty()) return;
  std::lock_guard lock(mutex);
  const auto jobs = held.find(printerId);
  if (jobs == held.end()) return;  // forgotten meanwhile
  for (int id : release) jobs->second.released[id] = ++lastRelease;
}

// The thread that releases held jobs, and what it must not touch. It is
// never destroyed: a thread may still wait on it when the process ends.
struct Releaser {
  std::mutex mutex;  // held while the thread works on one printer
  std::condition_variable wake;
  bool stopping = false;
  std::set<int> deletedPrinters;
  std::set<int> offlinePrinters;  // marked offline here because their device cannot be opened
  std::thread thread;
};
Releaser& releaser = *new Releaser;

void ReleaseHeldJobs(pappl_system_t* system) {
  std::vector<int> printerIds;
  {
    std::lock_guard lock(mutex);
    for (const auto& entry : held) printerIds.push_back(entry.first);
  }
  for (int printerId : printerIds) {
    // Found before the releaser's lock is taken: a printer being deleted
    // holds the system's lock and waits for the releaser's.
    pappl_printer_t* printer = papplSystemFindPrinter(system, nullptr, printerId, nullptr);
    std::lock_guard working(releaser.mutex);
    if (releaser.stopping || releaser.deletedPrinters.count(printerId) != 0) continue;
    if (printer != nullptr) {
      ReleaseHeldJobsOf(printer);
    } else {
      std::lock_guard lock(mutex);
      held.erase(printerId);
    }
  }
}

void CollectPrinter(pappl_printer_t* printer, void* data) {
  static_cast<std::vector<pappl_printer_t*>*>(data)->push_back(printer);
}

// PAPPL 1.3.1 starts a printer's next job only when a job is submitted,
// released or ends, never after it loads the saved state: jobs that waited
// when the server stopped would wait until the next job came. Once the
// server runs, each printer with waiting jobs is started as Resume-Printer
// does (the state saves no paused printer; a printer PAPPL stopped because
// its device failed is left stopped).
void StartRestoredJobs(pappl_system_t* system) {
  while (!papplSystemIsRunning(system)) {
    if (papplSystemIsShutdown(system) && releaser.stopping) return;
    std::this_thread::sleep_for(kPollInterval);
  }
  std::vector<pappl_printer_t*> all;
  papplSystemIteratePrinters(system, CollectPrinter, &all);
  for (pappl_printer_t* printer : all) {
    std::lock_guard working(releaser.mutex);
    if (releaser.stopping || releaser.deletedPrinters.count(papplPrinterGetID(printer)) != 0) continue;
    if (papplPrinterGetState(printer) != IPP_PSTATE_STOPPED && !ActiveJobs(printer, 0, Pending).empty()) {
      papplPrinterResume(printer);
    }
  }
}

// A printing job of the printer that has not reached the driver: PAPPL is
// still opening the device for it.
bool OpeningDevice(pappl_job_t* job) {
  if (!PrintingSinceStart(job)) return false;
  std::lock_guard lock(mutex);
  const auto turns = printers.find(papplPrinterGetID(papplJobGetPrinter(job)));
  return turns == printers.end() || !HasRunOf(turns->second, papplJobGetID(job));
}

void SayCannotBeReached(pappl_job_t* job, void* uri) {
  if (OpeningDevice(job)) {
    papplJobSetMessage(job, "The printer at %s cannot be reached; the server tries again every few seconds.",
                       static_cast<const char*>(uri));
  }
}

// PAPPL shows a printer whose device it cannot open as stopped, as if
// someone had paused it, and its job as printing, and tries again every five
// seconds. The printer is also marked offline, and the job's message says
// why, until the device opens.
void ReportUnreachablePrinters(pappl_system_t* system) {
  std::vector<pappl_printer_t*> all;
  papplSystemIteratePrinters(system, CollectPrinter, &all);
  for (pappl_printer_t* printer : all) {
    std::lock_guard working(releaser.mutex);
    const int printerId = papplPrinterGetID(printer);
    if (releaser.stopping || releaser.deletedPrinters.count(printerId) != 0) continue;
    const bool unreachable =
        papplPrinterGetState(printer) == IPP_PSTATE_STOPPED && !ActiveJobs(printer, 0, OpeningDevice).empty();
    const bool marked = releaser.offlinePrinters.count(printerId) != 0;
    if (unreachable) {
      const std::string uri = papplPrinterGetDeviceURI(printer);
      papplPrinterIterateActiveJobs(printer, SayCannotBeReached, const_cast<char*>(uri.c_str()), 1, 0);
      if (!marked) {
        papplLogPrinter(printer, PAPPL_LOGLEVEL_WARN, "The printer at %s cannot be reached.", uri.c_str());
        papplPrinterSetReasons(printer, PAPPL_PREASON_OFFLINE, PAPPL_PREASON_NONE);
        releaser.offlinePrinters.insert(printerId);
      }
    } else if (marked) {
      papplPrinterSetReasons(printer, PAPPL_PREASON_NONE, PAPPL_PREASON_OFFLINE);
      releaser.offlinePrinters.erase(printerId);
    }
  }
}

void ReleaseLoop(pappl_system_t* system, std::function<void()> atShutdown) {
  StartRestoredJobs(system);
  std::unique_lock lock(releaser.mutex);
  while (!releaser.stopping) {
    releaser.wake.wait_for(lock, std::chrono::seconds(1));
    if (releaser.stopping) break;
    // A server shutting down releases nothing more: the system is soon gone.
    if (papplSystemIsShutdown(system)) {
      releaser.stopping = true;
      lock.unlock();
      atShutdown();
      return;
    }
    lock.unlock();
    ReleaseHeldJobs(system);
    ReportUnreachablePrinters(system);
    lock.lock();
  }
}

}  // namespace

DeviceTurn TakeDeviceTurn(pappl_job_t* job) {
  const int printerId = papplPrinterGetID(papplJobGetPrinter(job));
  const int jobId = papplJobGetID(job);
  std::unique_lock lock(mutex);
  const int run = ++lastRun;
  if (const auto found = awaited.find(jobId); found != awaited.end()) found->second = true;
  const bool duplicate = HasRunOf(printers[printerId], jobId);
  printers[printerId].runs.push_back({run, jobId, duplicate});
  if (duplicate) return {run, TurnStart::kDuplicate};
  // The printer's entry stays while this run is in it, but the vector may move.
  while (printers[printerId].writer != 0) {
    if (papplJobIsCanceled(job)) {
      if (Run* mine = FindRun(printers[printerId], run)) mine->done = true;
      return {run, TurnStart::kCanceled};
    }
    turnEnded.wait_for(lock, kPollInterval);
  }
  printers[printerId].writer = run;
  return {run, TurnStart::kWrite};
}

void EndDeviceTurn(pappl_job_t* job, int run) {
  pappl_printer_t* printer = papplJobGetPrinter(job);
  const int printerId = papplPrinterGetID(printer);
  const int self = papplJobGetID(job);
  {
    std::lock_guard lock(mutex);
    PrinterTurns& turns = printers[printerId];
    if (Run* mine = FindRun(turns, run)) mine->done = true;
    if (turns.writer == run) turns.writer = 0;
  }
  turnEnded.notify_all();
  bool sideBySide = false;
  for (;;) {
    // PAPPL is asked outside the lock: it takes its own printer lock.
    const std::vector<int> others = ActiveJobs(printer, self, PrintingSinceStart);
    std::unique_lock lock(mutex);
    const PrinterTurns& turns = printers[printerId];
    const bool runsDone = std::all_of(turns.runs.begin(), turns.runs.end(), [](const Run& each) { return each.done; });
    // A printing job without a run has not reached the driver yet, or has
    // left it and may still close the device.
    const bool othersOutside =
        std::any_of(others.begin(), others.end(), [&turns](int id) { return !HasRunOf(turns, id); });
    sideBySide = sideBySide || turns.runs.size() > 1 || !others.empty();
    if (runsDone && !othersOutside) break;
    turnEnded.wait_for(lock, kPollInterval);
  }
  if (sideBySide) HoldPendingJobs(printer);
  std::lock_guard lock(mutex);
  RemoveRun(printerId, run);
  lastEnded.push_back(self);
  if (lastEnded.size() > kLastEnded) lastEnded.pop_front();
}

void AwaitStreamedRun(pappl_job_t* job, std::chrono::milliseconds grace) {
  const int printerId = papplPrinterGetID(papplJobGetPrinter(job));
  const int jobId = papplJobGetID(job);
  const auto giveUp = std::chrono::steady_clock::now() + grace;
  std::unique_lock lock(mutex);
  // A short stream may have ended before PAPPL's job thread got here.
  awaited[jobId] = std::find(lastEnded.begin(), lastEnded.end(), jobId) != lastEnded.end();
  for (;;) {
    const bool begun = awaited[jobId];
    if (begun ? !HasRunOf(printers[printerId], jobId) : std::chrono::steady_clock::now() > giveUp) break;
    turnEnded.wait_for(lock, kPollInterval);
  }
  awaited.erase(jobId);
  ForgetIfIdle(printerId);
}

unsigned StateSaveBegins() {
  std::lock_guard lock(mutex);
  return lastRelease;
}

void StateSaved(unsigned mark) {
  std::lock_guard lock(mutex);
  bool forgotten = false;
  for (auto jobs = held.begin(); jobs != held.end();) {
    auto& released = jobs->second.released;
    const auto before = released.size();
    std::erase_if(released, [mark](const auto& entry) { return entry.second != 0 && entry.second <= mark; });
    forgotten = forgotten || released.size() != before;
    jobs = IsEmpty(jobs->second) ? held.erase(jobs) : std::next(jobs);
  }
  if (forgotten) SaveHeldJobs();
}

void ReleaseWhenFree(int printerId, int jobId) {
  std::lock_guard lock(mutex);
  held[printerId].jobIds.insert(jobId);
  SaveHeldJobs();
}

Status KeepHeldJobsIn(const std::string& path) {
  auto saved = ReadSavedFile(path);
  std::lock_guard lock(mutex);
  heldJobsFile = path;
  if (!saved) return saved.failure();
  std::istringstream lines(*saved);
  int printerId = 0;
  int jobId = 0;
  while (lines >> printerId >> jobId) held[printerId].jobIds.insert(jobId);
  return {};
}

void StartReleasingHeldJobs(pappl_system_t* system, std::function<void()> atShutdown) {
  releaser.thread = std::thread(ReleaseLoop, system, std::move(atShutdown));
}

void ForgetPrinter(pappl_printer_t* printer) {
  const int printerId = papplPrinterGetID(printer);
  const bool stop = papplSystemIsShutdown(papplPrinterGetSystem(printer));
  {
    std::lock_guard working(releaser.mutex);
    releaser.deletedPrinters.insert(printerId);
    releaser.stopping = releaser.stopping || stop;
  }
  {
    std::lock_guard lock(mutex);
    held.erase(printerId);
  }
  if (stop && releaser.thread.joinable()) {
    releaser.wake.notify_all();
    releaser.thread.join();
  }
}

}  // namespace kav::app
