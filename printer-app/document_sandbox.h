// A program run for one document, shut in with it: a private folder of its
// own (its working, home and temporary folder, removed with it), an
// environment of only what it needs, resource limits, no inherited file, and
// its output read as it makes it.
//
// A document is hostile input. Ghostscript's SAFER mode keeps a document
// from the machine's files except Ghostscript's own resources and its
// temporary folder, which is whatever TMPDIR says; with the server's own
// environment that is the machine's /tmp. Here it is the document's folder.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/result.h"

namespace kav::app {

// A folder made for one document inside `parent`, private to the server's
// user, removed with everything in it when the object goes.
class DocumentFolder {
 public:
  static Result<std::unique_ptr<DocumentFolder>> Make(const std::string& parent);
  ~DocumentFolder();
  DocumentFolder(const DocumentFolder&) = delete;
  DocumentFolder& operator=(const DocumentFolder&) = delete;

  const std::string& path() const { return path_; }

 private:
  explicit DocumentFolder(std::string path) : path_(std::move(path)) {}
  std::string path_;
};

struct SandboxLimits {
  std::chrono::seconds time{300};     // wall time from start to exit
  uint64_t memoryBytes = 1ull << 30;  // address space
  uint64_t fileBytes = 1ull << 30;    // largest file it may write
};

// How a sandboxed program ended.
enum class SandboxEnd {
  kSucceeded,   // exit status 0
  kFailed,      // another exit status, or a signal not below
  kTimedOut,    // ran past SandboxLimits::time and was killed
  kOutOfCpu,    // killed for its processor time (SIGXCPU)
  kCanceled,    // stopped because the job was cancelled
  kNotStarted,  // the program could not be run
};

class SandboxedProcess {
 public:
  // Whether the job was cancelled; asked while the process runs.
  using CancelCheck = std::function<bool()>;

  // Runs `program` (an absolute path) with `args` (args[0] its name) in
  // `folder`. Its standard input is empty, its standard output is read with
  // Read, its standard error is kept (the first kMaxErrorBytes).
  static Result<std::unique_ptr<SandboxedProcess>> Start(const std::string& program,
                                                         const std::vector<std::string>& args,
                                                         const std::string& folder, const SandboxLimits& limits,
                                                         CancelCheck canceled);
  // Kills the process if it still runs and waits for it.
  ~SandboxedProcess();
  SandboxedProcess(const SandboxedProcess&) = delete;
  SandboxedProcess& operator=(const SandboxedProcess&) = delete;

  // Up to `size` bytes of its output as they come: 0 at its end, -1 when the
  // time is up or the job was cancelled (the process is then killed).
  ssize_t Read(unsigned char* buffer, size_t size);
  // Stops reading: kills the process, as for a job that must end early.
  void Stop();
  // Waits for the process to end (its output must have ended, or Stop been
  // called) and says how.
  SandboxEnd Wait();

  // What it wrote on its standard error, cut at kMaxErrorBytes.
  const std::string& errors() const { return errors_; }
  static constexpr size_t kMaxErrorBytes = 16384;

 private:
  SandboxedProcess(pid_t pid, int output, int errors, const SandboxLimits& limits, CancelCheck canceled);
  // Waits for output or the deadline, keeping what comes on standard error;
  // false when the time is up or the job was cancelled.
  bool AwaitOutput();
  // Reads what waits on its standard error into errors_.
  void KeepErrors();
  void Kill(SandboxEnd reason);

  pid_t pid_;
  int output_;
  int errorPipe_;
  std::chrono::steady_clock::time_point deadline_;
  CancelCheck canceled_;
  SandboxEnd stopped_ = SandboxEnd::kSucceeded;  // why it was killed, if it was
  bool killed_ = false;
  std::string errors_;
};

// The absolute path of `name` found in the folders of `searchPath` (as PATH
// lists them), or empty.
std::string FindProgram(const std::string& name, const char* searchPath);

}  // namespace kav::app
