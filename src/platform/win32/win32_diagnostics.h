// Diagnostics for long runs. Started with the word --diagnostics=FILE after
// its usual parameters (glimmerweave.scr /s --diagnostics=C:\soak\s.txt), the
// program writes one line a second into FILE from a thread of its own: the
// milliseconds since the diagnostics started, the process's GDI and USER
// object counts (GetGuiResources), its handle count (GetProcessHandleCount), its
// entries in the system's list of open handles (-1 when that cannot be read)
// and the number of frames drawn so far. scripts/soak reads these lines.
//
// Without the word nothing here runs: no thread, no file. The word is looked
// for only behind the mode switch, where the modes read nothing else (the
// preview's handle, the one parameter a mode does read there, comes first), so
// it changes no mode's behaviour. A file that cannot be made leaves the
// program without diagnostics and otherwise as it is.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace glimmerweave::win32 {

inline constexpr std::string_view kDiagnosticsWord = "--diagnostics=";

// The file the diagnostics word names among `parameters` (program name first,
// then the mode switch), or "" when there is none.
std::string diagnosticsFile(const std::vector<std::string>& parameters);

// Starts the thread that writes the lines into `path`; once per process.
void startDiagnostics(const std::string& path);

// A frame was drawn: a tick of the full-screen run or the settings dialog, or a
// paint of the preview. Called on the user-interface thread.
void countFrame();

}  // namespace glimmerweave::win32
