#include "device_turns.h"

#include <chrono>
#include <condition_variable>
#include <ctime>
#include <map>
#include <mutex>
#include <set>
#include <vector>

namespace kav::app {
namespace {

// PAPPL tells nobody when a job starts or ends, so waits look again this often.
constexpr auto kPollInterval = std::chrono::milliseconds(20);

// Jobs restored from the state file as "processing" never run again; the
// wait for other jobs leaves out every job that started before this server.
const time_t kServerStart = std::time(nullptr);

struct PrinterTurns {
  int writer = 0;          // the job writing to the device, 0 for none
  std::set<int> finished;  // jobs done writing, not yet ended
};

std::mutex mutex;
std::condition_variable turnEnded;
std::map<int, PrinterTurns> printers;  // by printer id; only while a job of it prints

void ForgetIfIdle(int printerId) {
  const auto found = printers.find(printerId);
  if (found != printers.end() && found->second.writer == 0 && found->second.finished.empty()) printers.erase(found);
}

struct ProcessingJobs {
  int self;
  std::vector<int> ids;
};

void CollectProcessing(pappl_job_t* job, void* data) {
  auto* jobs = static_cast<ProcessingJobs*>(data);
  if (papplJobGetID(job) != jobs->self && papplJobGetState(job) == IPP_JSTATE_PROCESSING &&
      papplJobGetTimeProcessed(job) >= kServerStart) {
    jobs->ids.push_back(papplJobGetID(job));
  }
}

// The other jobs of the printer that PAPPL is printing, including those that
// have not reached the driver yet (a picture is decoded first).
std::vector<int> OtherProcessingJobs(pappl_printer_t* printer, int self) {
  ProcessingJobs jobs{self, {}};
  papplPrinterIterateActiveJobs(printer, CollectProcessing, &jobs, 1, 0);
  return jobs.ids;
}

}  // namespace

bool TakeDeviceTurn(pappl_job_t* job) {
  const int printerId = papplPrinterGetID(papplJobGetPrinter(job));
  std::unique_lock lock(mutex);
  // The printer's entry may go and come back while the lock is let go.
  while (printers[printerId].writer != 0) {
    if (papplJobIsCanceled(job)) {
      ForgetIfIdle(printerId);
      return false;
    }
    turnEnded.wait_for(lock, kPollInterval);
  }
  printers[printerId].writer = papplJobGetID(job);
  return true;
}

void EndDeviceTurn(pappl_job_t* job) {
  pappl_printer_t* printer = papplJobGetPrinter(job);
  const int printerId = papplPrinterGetID(printer);
  const int self = papplJobGetID(job);
  {
    std::lock_guard lock(mutex);
    PrinterTurns& turns = printers[printerId];
    if (turns.writer == self) turns.writer = 0;
    turns.finished.insert(self);
  }
  turnEnded.notify_all();
  for (;;) {
    // PAPPL is asked outside the lock: it takes its own printer lock.
    const std::vector<int> others = OtherProcessingJobs(printer, self);
    std::unique_lock lock(mutex);
    PrinterTurns& turns = printers[printerId];
    bool othersPrinting = false;
    for (int id : others) othersPrinting = othersPrinting || turns.finished.count(id) == 0;
    if (!othersPrinting) {
      turns.finished.erase(self);
      ForgetIfIdle(printerId);
      return;
    }
    turnEnded.wait_for(lock, kPollInterval);
  }
}

}  // namespace kav::app
