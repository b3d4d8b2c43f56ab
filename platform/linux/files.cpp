// Stand-ins for the temporary folder, temporary file names and plain file
// access. A temporary file is created exclusively (never through an existing
// name or link, readable by its owner only); a handle is an open descriptor.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <set>
#include <string>

#include "failure_plan.h"
#include "platform/wide_text.h"

namespace {

kav::standin::ArmedFailure tempPathFailure;
kav::standin::ArmedFailure tempNameFailure;
kav::standin::ArmedFailure openFailure;
kav::standin::ArmedFailure readFailure;
kav::standin::ArmedFailure deleteFailure;
std::atomic<long> tempFilesCreated{0};
std::atomic<long> liveHandles{0};
std::atomic<unsigned> nextUnique{0};

// Names made by GetTempFileNameW and not yet deleted through DeleteFileW.
std::mutex liveTempMutex;
std::set<std::string> liveTempFiles;

struct FileHandle {
  int fd;
};

DWORD ErrorFromErrno(int error) {
  switch (error) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EEXIST:
      return ERROR_FILE_EXISTS;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    default:
      return ERROR_ACCESS_DENIED;
  }
}

// Copies a UTF-8 text with its terminating zero into a caller's UTF-16
// buffer; false (nothing written) when it does not fit.
bool CopyOut(const std::string& utf8, LPWSTR out, DWORD size, DWORD& length) {
  const kav::WideString wide = kav::ToWide(utf8);
  length = static_cast<DWORD>(wide.size());
  if (out == nullptr || wide.size() >= size) return false;
  wide.copy(out, wide.size());
  out[wide.size()] = 0;
  return true;
}

// The first unique number to try: different in every process and every
// call, so names seldom meet an existing file.
unsigned NextUniqueNumber() {
  static const unsigned seed = static_cast<unsigned>(getpid()) * 7919u + static_cast<unsigned>(std::time(nullptr));
  return (seed + nextUnique++) & 0xFFFF;
}

FileHandle* HandleOf(HANDLE handle) {
  return handle == nullptr || handle == INVALID_HANDLE_VALUE ? nullptr : static_cast<FileHandle*>(handle);
}

}  // namespace

extern "C" {

BOOL SetEnvironmentVariableW(LPCWSTR name, LPCWSTR value) {
  if (name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string key = kav::ToUtf8(name);
  const int result = value == nullptr ? unsetenv(key.c_str()) : setenv(key.c_str(), kav::ToUtf8(value).c_str(), 1);
  if (result != 0) SetLastError(ERROR_INVALID_PARAMETER);
  return result == 0;
}

// The folder from TMPDIR, else /tmp, always with a trailing slash. As on
// Windows, a buffer too small gets nothing and the answer is the size needed.
DWORD GetTempPathW(DWORD size, LPWSTR buffer) {
  if (tempPathFailure.NextCallFails()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return 0;
  }
  const char* folder = std::getenv("TMPDIR");
  std::string path = folder != nullptr && *folder != 0 ? folder : "/tmp";
  if (path.back() != '/') path.push_back('/');
  DWORD length = 0;
  if (!CopyOut(path, buffer, size, length)) return length + 1;
  return length;
}

// Only the form in which the system picks the number and creates the file.
UINT GetTempFileNameW(LPCWSTR path, LPCWSTR prefix, UINT unique, LPWSTR name) {
  if (path == nullptr || prefix == nullptr || name == nullptr || unique != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (tempNameFailure.NextCallFails()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
  }
  std::string folder = kav::ToUtf8(path);
  if (!folder.empty() && folder.back() != '/') folder.push_back('/');
  const std::string lead = kav::ToUtf8(std::basic_string_view<WCHAR>(prefix).substr(0, 3));
  for (unsigned attempt = 0; attempt < 0x10000; ++attempt) {
    const unsigned number = NextUniqueNumber();
    if (number == 0) continue;
    char tail[16];
    std::snprintf(tail, sizeof tail, "%X.TMP", number);
    const std::string candidate = folder + lead + tail;
    if (kav::ToWide(candidate).size() >= MAX_PATH) {
      SetLastError(ERROR_FILENAME_EXCED_RANGE);
      return 0;
    }
    const int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) {
      SetLastError(ErrorFromErrno(errno));
      return 0;
    }
    close(fd);
    DWORD length = 0;
    CopyOut(candidate, name, MAX_PATH, length);
    ++tempFilesCreated;
    const std::lock_guard<std::mutex> lock(liveTempMutex);
    liveTempFiles.insert(candidate);
    return number;
  }
  SetLastError(ERROR_FILE_EXISTS);
  return 0;
}

// Reading and writing, opening an existing file or making a new one; a
// link in the last place of the name is never followed.
HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition, DWORD, HANDLE) {
  int flags = O_CLOEXEC | O_NOFOLLOW;
  const bool reads = (access & GENERIC_READ) != 0;
  const bool writes = (access & GENERIC_WRITE) != 0;
  flags |= reads && writes ? O_RDWR : writes ? O_WRONLY : O_RDONLY;
  switch (disposition) {
    case OPEN_EXISTING:
      break;
    case CREATE_NEW:
      flags |= O_CREAT | O_EXCL;
      break;
    case CREATE_ALWAYS:
      flags |= O_CREAT | O_TRUNC;
      break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return INVALID_HANDLE_VALUE;
  }
  if (name == nullptr || (!reads && !writes)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  if (openFailure.NextCallFails()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  const int fd = open(kav::ToUtf8(name).c_str(), flags, 0600);
  if (fd < 0) {
    SetLastError(ErrorFromErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  ++liveHandles;
  return new FileHandle{fd};
}

DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh) {
  const FileHandle* handle = HandleOf(file);
  struct stat status {};
  if (handle == nullptr || fstat(handle->fd, &status) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_FILE_SIZE;
  }
  const auto size = static_cast<uint64_t>(status.st_size);
  if (sizeHigh != nullptr) *sizeHigh = static_cast<DWORD>(size >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(size);
}

// Reads until the count is met or the file ends; the count read goes out.
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped) {
  if (read != nullptr) *read = 0;
  const FileHandle* handle = HandleOf(file);
  if (handle == nullptr || overlapped != nullptr || (buffer == nullptr && toRead != 0)) {
    SetLastError(handle == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (readFailure.NextCallFails()) {
    SetLastError(ERROR_READ_FAULT);
    return FALSE;
  }
  DWORD total = 0;
  while (total < toRead) {
    const ssize_t got = ::read(handle->fd, static_cast<BYTE*>(buffer) + total, toRead - total);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      SetLastError(ERROR_READ_FAULT);
      return FALSE;
    }
    if (got == 0) break;
    total += static_cast<DWORD>(got);
  }
  if (read != nullptr) *read = total;
  return TRUE;
}

BOOL CloseHandle(HANDLE file) {
  FileHandle* handle = HandleOf(file);
  if (handle == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  close(handle->fd);
  delete handle;
  --liveHandles;
  return TRUE;
}

BOOL DeleteFileW(LPCWSTR name) {
  if (name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (deleteFailure.NextCallFails()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  const std::string path = kav::ToUtf8(name);
  if (unlink(path.c_str()) != 0) {
    SetLastError(ErrorFromErrno(errno));
    return FALSE;
  }
  const std::lock_guard<std::mutex> lock(liveTempMutex);
  liveTempFiles.erase(path);
  return TRUE;
}

}  // extern "C"

namespace kav::standin {

void AddFileControls(Controls& controls) {
  controls.FailTempPath = [](FailurePlan plan) { tempPathFailure.Arm(plan); };
  controls.FailTempFileName = [](FailurePlan plan) { tempNameFailure.Arm(plan); };
  controls.FailFileOpen = [](FailurePlan plan) { openFailure.Arm(plan); };
  controls.FailFileRead = [](FailurePlan plan) { readFailure.Arm(plan); };
  controls.FailFileDelete = [](FailurePlan plan) { deleteFailure.Arm(plan); };
  controls.TempFilesCreated = []() -> long { return tempFilesCreated; };
  controls.LiveTempFiles = []() -> long {
    const std::lock_guard<std::mutex> lock(liveTempMutex);
    return static_cast<long>(liveTempFiles.size());
  };
  controls.LiveFileHandles = []() -> long { return liveHandles; };
}

void ResetFileStandins() {
  for (ArmedFailure* failure : {&tempPathFailure, &tempNameFailure, &openFailure, &readFailure, &deleteFailure})
    failure->Arm({});
  tempFilesCreated = 0;
  const std::lock_guard<std::mutex> lock(liveTempMutex);
  liveTempFiles.clear();
}

}  // namespace kav::standin
