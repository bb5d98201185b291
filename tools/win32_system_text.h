// Text between the tools and Windows: file names in the form Windows takes them, and the
// system's own words for an error. No <windows.h> here; the codes cross as plain numbers.
#pragma once

#include <string>

namespace glimmerweave {

// The file name `path` as Windows takes it: main's arguments arrive in the ANSI code
// page. On failure returns false and says why in `reason`.
bool widenFileName(const std::string& path, std::wstring& wide, std::string& reason);

// The system's text for the error `code` (a GetLastError value or an HRESULT), without
// the full stop and line break FormatMessage ends it with ("Access is denied"); when the
// system has no text for it, "error 0x80070070".
std::string systemMessage(unsigned long code);

}  // namespace glimmerweave
