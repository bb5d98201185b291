// Runs one mode of the real glimmerweave.scr for a long time, as the system
// would, for scripts/soak: the full-screen run (/s), the settings dialog (/c),
// or the preview (/p HANDLE) inside a window of this program's own, the size of
// the control panel's monitor picture. The program is started with the
// diagnostics word, so that it reports its resources into FILE; after SECONDS
// it is ended the usual way (a key press, the dialog's close box, the preview's
// parent window destroyed), and must then end by itself with status 0.
//
//   glimmerweave-soak-driver --screen-saver=PATH --mode=s|c|p --seconds=N --diagnostics=FILE
//
// PATH and FILE may be Unix paths (taken as ones on Wine's drive Z:). Prints
// what happened; exit status 0 when the program ran the whole time and then
// ended cleanly, 1 when it ended early, did not show its window, or did not
// end, 64 for a bad command line. The program is in a job that ends it when
// this driver ends, so an interrupted soak leaves nothing running.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr DWORD kWindowPatience = 90'000;  // until the program's window is up
constexpr DWORD kEndPatience = 30'000;     // until it has ended after being told to
// The control panel's picture of the monitor, which the preview fills.
constexpr int kPreviewWidth = 152;
constexpr int kPreviewHeight = 112;

std::string windowsPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  std::string converted = "Z:" + path;
  for (char& c : converted)
    if (c == '/') c = '\\';
  return converted;
}

void pumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

// Waits `milliseconds` while handling this program's messages; true when the
// process ended meanwhile.
bool waitHandlingMessages(HANDLE process, DWORD milliseconds) {
  const ULONGLONG deadline = GetTickCount64() + milliseconds;
  for (;;) {
    pumpMessages();
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    const DWORD result = MsgWaitForMultipleObjects(1, &process, FALSE,
                                                   static_cast<DWORD>(deadline - now), QS_ALLINPUT);
    if (result == WAIT_OBJECT_0) return true;
  }
}

struct WindowSearch {
  DWORD processId;
  const char* className;
  HWND found;
};

BOOL CALLBACK findWindow(HWND window, LPARAM parameter) {
  auto& search = *reinterpret_cast<WindowSearch*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  if (owner == search.processId && IsWindowVisible(window) &&
      lstrcmpiA(name, search.className) == 0) {
    search.found = window;
    return FALSE;
  }
  return TRUE;
}

// The program's visible top-level window of the class, or null.
HWND visibleWindowOf(DWORD processId, const char* className) {
  WindowSearch search{processId, className, nullptr};
  EnumWindows(findWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND makePreviewParent() {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
  windowClass.lpszClassName = "GlimmerweaveSoakMonitor";
  RegisterClassA(&windowClass);
  RECT frame{0, 0, kPreviewWidth, kPreviewHeight};
  AdjustWindowRect(&frame, WS_OVERLAPPED | WS_CAPTION, FALSE);
  return CreateWindowExA(0, windowClass.lpszClassName, "Soak: the preview's parent",
                         WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE | WS_CLIPCHILDREN, 40, 40,
                         frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                         windowClass.hInstance, nullptr);
}

int usage() {
  std::fprintf(stderr,
               "usage: glimmerweave-soak-driver --screen-saver=PATH --mode=s|c|p --seconds=N "
               "--diagnostics=FILE\n");
  return 64;
}

}  // namespace

int main(int argc, char** argv) {
  std::string screenSaver, mode, diagnostics;
  long seconds = 0;
  for (int index = 1; index < argc; ++index) {
    const std::string argument = argv[index];
    const auto value = [&](const char* option) -> const char* {
      const std::size_t length = std::strlen(option);
      return argument.compare(0, length, option) == 0 ? argv[index] + length : nullptr;
    };
    if (const char* path = value("--screen-saver=")) {
      screenSaver = windowsPath(path);
    } else if (const char* letter = value("--mode=")) {
      mode = letter;
    } else if (const char* number = value("--seconds=")) {
      seconds = std::strtol(number, nullptr, 10);
    } else if (const char* file = value("--diagnostics=")) {
      diagnostics = windowsPath(file);
    } else {
      return usage();
    }
  }
  if (screenSaver.empty() || diagnostics.empty() || seconds <= 0 ||
      (mode != "s" && mode != "c" && mode != "p"))
    return usage();

  HWND parent = nullptr;
  std::string switches = "/" + mode;
  const char* windowClass = mode == "s" ? "TForm1" : "TForm2";
  if (mode == "p") {
    parent = makePreviewParent();
    if (parent == nullptr) {
      std::printf("cannot make the preview's parent window\n");
      return 1;
    }
    // Appended piece by piece: `" " + std::to_string(...)` makes a temporary that GCC 12
    // at -O3 wrongly warns may overlap itself (-Wrestrict).
    switches += ' ';
    switches += std::to_string(reinterpret_cast<std::uintptr_t>(parent));
  }
  std::string commandLine =
      "\"" + screenSaver + "\" " + switches + " \"--diagnostics=" + diagnostics + "\"";

  // The job ends the program with this driver, however the driver ends.
  HANDLE job = CreateJobObjectA(nullptr, nullptr);
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (job) SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                      nullptr, nullptr, &startup, &process)) {
    std::printf("cannot start %s (error %lu)\n", commandLine.c_str(), GetLastError());
    return 1;
  }
  if (job) AssignProcessToJobObject(job, process.hProcess);
  ResumeThread(process.hThread);
  std::printf("started %s\n", commandLine.c_str());
  std::fflush(stdout);

  // The window that the program shows (the preview's is a child of ours).
  HWND window = nullptr;
  const ULONGLONG started = GetTickCount64();
  if (mode != "p") {
    while (!(window = visibleWindowOf(process.dwProcessId, windowClass))) {
      if (waitHandlingMessages(process.hProcess, 100) ||
          GetTickCount64() - started > kWindowPatience) {
        std::printf("the program showed no %s window\n", windowClass);
        TerminateProcess(process.hProcess, 1);
        return 1;
      }
    }
  }

  if (waitHandlingMessages(process.hProcess, static_cast<DWORD>(seconds) * 1000)) {
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    std::printf("the program ended after %llu s, before it was told to, with status %lu\n",
                (GetTickCount64() - started) / 1000, code);
    return 1;
  }

  // The usual way out of each mode.
  if (mode == "s") {
    PostMessageA(window, WM_KEYDOWN, VK_SPACE, 1);
    PostMessageA(window, WM_KEYUP, VK_SPACE, 0xC0000001);
  } else if (mode == "c") {
    PostMessageA(window, WM_CLOSE, 0, 0);
  } else {
    DestroyWindow(parent);
  }
  if (!waitHandlingMessages(process.hProcess, kEndPatience)) {
    std::printf("the program did not end within %lu s of being told to\n", kEndPatience / 1000);
    TerminateProcess(process.hProcess, 1);
    return 1;
  }
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  std::printf("the program ran %ld s and ended with status %lu\n", seconds, code);
  return code == 0 ? 0 : 1;
}
