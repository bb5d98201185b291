#include "platform/win32/win32_diagnostics.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

namespace glimmerweave::win32 {

namespace {

// Everything the diagnostics keep: the file, the clock's start and the frame count.
struct Diagnostics {
  HANDLE file = INVALID_HANDLE_VALUE;
  ULONGLONG started = 0;
  std::atomic<unsigned long long> frames{0};
};

Diagnostics diagnostics;

// The system's list of open handles (NtQuerySystemInformation's class 16), as
// far as this program needs it.
struct SystemHandleEntry {
  ULONG ownerProcessId;
  BYTE objectType;
  BYTE flags;
  USHORT handle;
  void* object;
  ACCESS_MASK access;
};
struct SystemHandleList {
  ULONG count;
  SystemHandleEntry entries[1];
};
using QuerySystemInformation = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
constexpr ULONG kSystemHandleInformation = 16;

// The process's entries in the system's list of open handles: a second count
// of its handles, for systems whose GetProcessHandleCount answers nothing
// (Wine's answers 0). -1 when the list cannot be read.
long long listedHandles() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  const auto query = ntdll ? reinterpret_cast<QuerySystemInformation>(reinterpret_cast<void*>(
                                 GetProcAddress(ntdll, "NtQuerySystemInformation")))
                           : nullptr;
  if (query == nullptr) return -1;
  static std::vector<unsigned char> buffer(1 << 16);
  for (int attempt = 0; attempt < 8; ++attempt) {
    ULONG needed = 0;
    const LONG status =
        query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    if (status == 0) {
      const auto* list = reinterpret_cast<const SystemHandleList*>(buffer.data());
      const DWORD self = GetCurrentProcessId();
      long long count = 0;
      for (ULONG index = 0; index < list->count; ++index)
        if (list->entries[index].ownerProcessId == self) ++count;
      return count;
    }
    // STATUS_INFO_LENGTH_MISMATCH: a larger buffer, and again.
    if (static_cast<ULONG>(status) != 0xC0000004UL) return -1;
    buffer.resize(std::max<std::size_t>(buffer.size() * 2, needed + 4096));
  }
  return -1;
}

// Writes one line: milliseconds, GDI objects, USER objects, handles, listed
// handles, frames.
void writeLine() {
  const HANDLE process = GetCurrentProcess();
  DWORD handles = 0;
  if (!GetProcessHandleCount(process, &handles)) handles = 0;
  char line[160];
  const int length =
      std::snprintf(line, sizeof line, "%llu %lu %lu %lu %lld %llu\r\n",
                    static_cast<unsigned long long>(GetTickCount64() - diagnostics.started),
                    static_cast<unsigned long>(GetGuiResources(process, GR_GDIOBJECTS)),
                    static_cast<unsigned long>(GetGuiResources(process, GR_USEROBJECTS)),
                    static_cast<unsigned long>(handles), listedHandles(),
                    diagnostics.frames.load(std::memory_order_relaxed));
  if (length <= 0) return;
  DWORD written = 0;
  WriteFile(diagnostics.file, line, static_cast<DWORD>(length), &written, nullptr);
}

// A line at once, then one at every full second after the start, until the
// process ends.
DWORD WINAPI writeLines(void*) {
  const char header[] = "# ms gdi user handles listed_handles frames\r\n";
  DWORD written = 0;
  WriteFile(diagnostics.file, header, sizeof header - 1, &written, nullptr);
  for (unsigned long long second = 1;; ++second) {
    writeLine();
    const ULONGLONG due = diagnostics.started + second * 1000;
    const ULONGLONG now = GetTickCount64();
    if (due > now) Sleep(static_cast<DWORD>(due - now));
  }
}

}  // namespace

std::string diagnosticsFile(const std::vector<std::string>& parameters) {
  for (std::size_t index = 2; index < parameters.size(); ++index) {
    const std::string& parameter = parameters[index];
    if (parameter.size() > kDiagnosticsWord.size() &&
        std::string_view(parameter).substr(0, kDiagnosticsWord.size()) == kDiagnosticsWord)
      return parameter.substr(kDiagnosticsWord.size());
  }
  return {};
}

void startDiagnostics(const std::string& path) {
  if (path.empty() || diagnostics.file != INVALID_HANDLE_VALUE) return;
  // Others may read the file while it is written.
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  diagnostics.file = file;
  diagnostics.started = GetTickCount64();
  const HANDLE thread = CreateThread(nullptr, 0, writeLines, nullptr, 0, nullptr);
  if (thread == nullptr) {
    CloseHandle(file);
    diagnostics.file = INVALID_HANDLE_VALUE;
    return;
  }
  CloseHandle(thread);
}

void countFrame() {
  diagnostics.frames.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace glimmerweave::win32
