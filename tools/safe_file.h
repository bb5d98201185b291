// The files the tools write, written so that a failed write never destroys what the
// name named before.
//
// A file is written to a temporary file beside it, flushed to the disk and closed, and
// only then renamed over the name (rename natively, MoveFileExW on Windows). A failure
// at any step removes that temporary file and nothing else, so an existing file keeps
// its bytes and no half-written file appears under the name. A name that already names
// something other than a regular file (a device, a FIFO, a pipe) is written straight
// into and is never removed or replaced. Natively, a link to a regular file is
// followed: the file it names is replaced and the link stays; a replaced file keeps its
// permissions.
//
// The native backend is posix_safe_file.cpp, the Windows one win32_safe_file.cpp.
#pragma once

#include <string>
#include <string_view>

namespace glimmerweave {

// Makes `bytes` the whole content of the file `path`. On failure returns false and sets
// `error` to the one message of a failed write, cannotWrite(path, reason) with the
// system's reason.
bool writeFileSafely(const std::string& path, std::string_view bytes, std::string& error);

// "cannot write 'NAME': REASON": how every failure to write a file is reported, REASON
// being the system's own text for the error (strerror natively, FormatMessage on
// Windows) or what else went wrong.
std::string cannotWrite(const std::string& path, const std::string& reason);

// The name of the temporary file that attempt number `attempt` of process `process`
// writes `path` through: in the same folder (after the last '/', '\\' or ':'), so that
// renaming it is a rename within one file system, and starting with a dot, so that it
// stays out of the way of the names `path` belongs with. A long name is shortened so
// that the temporary name still fits where `path` does.
std::string temporaryFileName(const std::string& path, unsigned long process, unsigned attempt);
std::wstring temporaryFileName(const std::wstring& path, unsigned long process, unsigned attempt);

}  // namespace glimmerweave
