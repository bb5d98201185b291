// Writing the tools' files on Windows: a temporary file beside the target, written,
// flushed (FlushFileBuffers) and closed, then moved over it with
// MoveFileExW(MOVEFILE_REPLACE_EXISTING); a target that is no file on a disk (a device
// such as NUL or COM1, a pipe) is written in place. See safe_file.h for the rules; the
// native build has its own backend (posix_safe_file.cpp).
#include <windows.h>

#include <algorithm>

#include "safe_file.h"
#include "win32_system_text.h"

namespace glimmerweave {

namespace {

// How many names a temporary file tries before giving up: another one of ours is in the
// way only when a process of the same number left one behind.
constexpr unsigned kTemporaryNameAttempts = 100;

// Reports the failure `code` (a GetLastError value) of writing `path`.
bool fail(const std::string& path, DWORD code, std::string& error) {
  error = cannotWrite(path, systemMessage(code));
  return false;
}

// Writes all of `bytes` to `file`; on failure returns false with GetLastError saying why.
bool writeAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1U << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr)) return false;
    if (written == 0) {
      SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    bytes.remove_prefix(written);
  }
  return true;
}

// Writes into the device or pipe `file`, opened on `path`, and closes it.
bool writeInPlace(const std::string& path, HANDLE file, std::string_view bytes,
                  std::string& error) {
  const bool written = writeAll(file, bytes);
  const DWORD code = GetLastError();
  CloseHandle(file);
  return written || fail(path, code, error);
}

// Makes the new content of the file `path` (`widePath` as Windows takes it) through a
// temporary file beside it.
bool replaceFile(const std::string& path, const std::wstring& widePath, std::string_view bytes,
                 std::string& error) {
  std::wstring temporary;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (unsigned attempt = 0; file == INVALID_HANDLE_VALUE && attempt < kTemporaryNameAttempts;
       ++attempt) {
    temporary = temporaryFileName(widePath, GetCurrentProcessId(), attempt);
    file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD code = GetLastError();
    if (file == INVALID_HANDLE_VALUE && code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS)
      return fail(path, code, error);
  }
  if (file == INVALID_HANDLE_VALUE) return fail(path, ERROR_FILE_EXISTS, error);

  bool done = writeAll(file, bytes) && FlushFileBuffers(file);
  DWORD code = GetLastError();
  if (!CloseHandle(file) && done) {
    done = false;
    code = GetLastError();
  }
  if (done && !MoveFileExW(temporary.c_str(), widePath.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    done = false;
    code = GetLastError();
  }
  if (!done) {
    DeleteFileW(temporary.c_str());
    return fail(path, code, error);
  }
  return true;
}

}  // namespace

bool writeFileSafely(const std::string& path, std::string_view bytes, std::string& error) {
  std::wstring widePath;
  std::string reason;
  if (!widenFileName(path, widePath, reason)) {
    error = cannotWrite(path, reason);
    return false;
  }
  if (widePath.empty()) return fail(path, ERROR_PATH_NOT_FOUND, error);

  // What the name names now, if anything: a file on a disk is replaced, anything else (a
  // device, a pipe) written as it is. Opening it for writing changes nothing by itself;
  // a name that cannot be opened so (none yet, a read-only file, a folder) takes the
  // path of a new file, where the system says what is wrong with it.
  const HANDLE existing =
      CreateFileW(widePath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (existing != INVALID_HANDLE_VALUE) {
    if (GetFileType(existing) != FILE_TYPE_DISK) return writeInPlace(path, existing, bytes, error);
    CloseHandle(existing);
  }
  return replaceFile(path, widePath, bytes, error);
}

}  // namespace glimmerweave
