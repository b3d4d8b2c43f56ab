#include "document_sandbox.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace kav::app {
namespace {

// How often a wait looks again whether the job was cancelled.
constexpr auto kCancelPoll = std::chrono::milliseconds(100);
constexpr int kPipeBytes = 1 << 20;  // Linux's default pipe-max-size

std::string Reason(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// Everything below runs in the child between fork and exec, where only
// async-signal-safe calls are allowed: no allocation, no locks.
[[noreturn]] void RunChild(const char* program, char* const* argv, char* const* envp, const char* folder,
                           const SandboxLimits& limits, int output, int errors) {
  const auto limit = [](int resource, rlim_t value) {
    const rlimit bound{value, value};
    setrlimit(resource, &bound);
  };
  limit(RLIMIT_AS, limits.memoryBytes);
  limit(RLIMIT_FSIZE, limits.fileBytes);
  // Processor time is bounded by the wall time already; this is the backstop
  // should the parent be held up.
  limit(RLIMIT_CPU, static_cast<rlim_t>(limits.time.count()) + 1);
  limit(RLIMIT_CORE, 0);
  limit(RLIMIT_NOFILE, 256);
  umask(077);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  struct sigaction standard {};
  standard.sa_handler = SIG_DFL;
  for (int signal : {SIGPIPE, SIGTERM, SIGINT, SIGHUP, SIGCHLD, SIGXCPU, SIGXFSZ})
    sigaction(signal, &standard, nullptr);
  // It ends with the thread that started it, should the server die.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
  const int empty = open("/dev/null", O_RDONLY);
  if (chdir(folder) != 0 || empty < 0 || dup2(empty, 0) < 0 || dup2(output, 1) < 0 || dup2(errors, 2) < 0) _exit(126);
  close_range(3, ~0u, 0);
  execve(program, argv, envp);
  _exit(127);
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& each : strings) pointers.push_back(each.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

Result<std::unique_ptr<DocumentFolder>> DocumentFolder::Make(const std::string& parent) {
  std::string pattern = parent + "/document-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) return Error{Reason(("cannot make a folder in " + parent).c_str())};
  return std::unique_ptr<DocumentFolder>(new DocumentFolder(pattern));
}

DocumentFolder::~DocumentFolder() {
  // Links are removed, never followed.
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

Result<std::unique_ptr<SandboxedProcess>> SandboxedProcess::Start(const std::string& program,
                                                                  const std::vector<std::string>& args,
                                                                  const std::string& folder,
                                                                  const SandboxLimits& limits, CancelCheck canceled) {
  std::vector<std::string> argStrings = args;
  std::vector<std::string> envStrings = {"PATH=/usr/bin:/bin", "HOME=" + folder, "TMPDIR=" + folder,
                                         "TMP=" + folder,      "TEMP=" + folder, "LC_ALL=C"};
  const std::vector<char*> argv = Pointers(argStrings);
  const std::vector<char*> envp = Pointers(envStrings);
  // Close-on-exec, so that a program another job starts meanwhile never
  // holds our pipes open.
  int output[2];
  int errors[2];
  if (pipe2(output, O_CLOEXEC) != 0) return Error{Reason("cannot make a pipe")};
  // A raster page is tens of megabytes: a pipe of the largest size the
  // system allows each user lets the program and the driver take turns a
  // sixteenth as often as the default 64 KB did. Where it is refused, the
  // default serves.
  fcntl(output[0], F_SETPIPE_SZ, kPipeBytes);
  if (pipe2(errors, O_CLOEXEC) != 0) {
    const Error error{Reason("cannot make a pipe")};
    close(output[0]);
    close(output[1]);
    return error;
  }
  const pid_t pid = fork();
  if (pid == 0) RunChild(program.c_str(), argv.data(), envp.data(), folder.c_str(), limits, output[1], errors[1]);
  const int forkError = errno;
  close(output[1]);
  close(errors[1]);
  if (pid < 0) {
    close(output[0]);
    close(errors[0]);
    errno = forkError;
    return Error{Reason("cannot start a process")};
  }
  return std::unique_ptr<SandboxedProcess>(
      new SandboxedProcess(pid, output[0], errors[0], limits, std::move(canceled)));
}

SandboxedProcess::SandboxedProcess(pid_t pid, int output, int errors, const SandboxLimits& limits, CancelCheck canceled)
    : pid_(pid),
      output_(output),
      errorPipe_(errors),
      deadline_(std::chrono::steady_clock::now() + limits.time),
      canceled_(std::move(canceled)) {}

SandboxedProcess::~SandboxedProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  close(output_);
  close(errorPipe_);
}

void SandboxedProcess::Kill(SandboxEnd reason) {
  if (!killed_) {
    killed_ = true;
    stopped_ = reason;
    kill(pid_, SIGKILL);
  }
}

void SandboxedProcess::Stop() { Kill(SandboxEnd::kFailed); }

bool SandboxedProcess::AwaitOutput() {
  for (;;) {
    if (killed_) return false;
    if (canceled_ && canceled_()) {
      Kill(SandboxEnd::kCanceled);
      return false;
    }
    const auto left = deadline_ - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero()) {
      Kill(SandboxEnd::kTimedOut);
      return false;
    }
    const auto wait =
        std::min(std::chrono::duration_cast<std::chrono::milliseconds>(left) + std::chrono::milliseconds(1),
                 std::chrono::duration_cast<std::chrono::milliseconds>(kCancelPoll));
    pollfd fds[2] = {{output_, POLLIN, 0}, {errorPipe_, POLLIN, 0}};
    if (poll(fds, 2, static_cast<int>(wait.count())) < 0 && errno != EINTR) return false;
    if (fds[1].revents != 0) KeepErrors();
    if (fds[0].revents != 0) return true;
  }
}

void SandboxedProcess::KeepErrors() {
  char chunk[4096];
  const ssize_t got = read(errorPipe_, chunk, sizeof chunk);
  if (got > 0) {
    errors_.append(chunk, std::min(static_cast<size_t>(got), kMaxErrorBytes - errors_.size()));
  } else if (got == 0) {
    // Its standard error is closed; its output may go on.
    close(errorPipe_);
    errorPipe_ = -1;
  }
}

ssize_t SandboxedProcess::Read(unsigned char* buffer, size_t size) {
  for (;;) {
    if (!AwaitOutput()) return -1;
    const ssize_t got = read(output_, buffer, size);
    if (got >= 0) return got;
    if (errno != EINTR && errno != EAGAIN) return -1;
  }
}

SandboxEnd SandboxedProcess::Wait() {
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) break;
    if (done < 0 && errno != EINTR) return SandboxEnd::kFailed;
    if (!killed_ && canceled_ && canceled_()) Kill(SandboxEnd::kCanceled);
    if (!killed_ && std::chrono::steady_clock::now() > deadline_) Kill(SandboxEnd::kTimedOut);
    // What it still says on its way out is kept, so it never waits on a full pipe.
    pollfd errors{errorPipe_, POLLIN, 0};
    if (poll(&errors, 1, 5) > 0) KeepErrors();
  }
  pid_ = 0;
  if (killed_) return stopped_;
  if (WIFEXITED(status)) {
    if (WEXITSTATUS(status) == 0) return SandboxEnd::kSucceeded;
    if (WEXITSTATUS(status) == 126 || WEXITSTATUS(status) == 127) return SandboxEnd::kNotStarted;
    return SandboxEnd::kFailed;
  }
  if (WIFSIGNALED(status) && WTERMSIG(status) == SIGXCPU) return SandboxEnd::kOutOfCpu;
  return SandboxEnd::kFailed;
}

std::string FindProgram(const std::string& name, const char* searchPath) {
  std::string folders = searchPath != nullptr && *searchPath != '\0' ? searchPath : "/usr/bin:/bin";
  for (size_t start = 0; start <= folders.size();) {
    size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    const std::string folder = folders.substr(start, end - start);
    if (!folder.empty() && folder[0] == '/') {
      const std::string candidate = folder + "/" + name;
      if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    start = end + 1;
  }
  return {};
}

}  // namespace kav::app
