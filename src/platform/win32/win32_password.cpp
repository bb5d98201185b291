#include "platform/win32/win32_password.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace glimmerweave::win32 {

namespace {

using VerifyScreenSavePwd = BOOL(WINAPI*)(HWND);

// ---------------------------------------------------------------------------
// The watch over the component's call

constexpr DWORD kLookInterval = 500;     // ms between looks at the component
constexpr UINT kAnswerPatience = 1'000;  // ms a window of the component has to answer
constexpr int kNoticeWidth = 560;
constexpr int kNoticeHeight = 140;
constexpr const char* kNoticeText =
    "The password check does not answer.\n\nPress Ctrl+Alt+Delete: the system lets you lock "
    "the computer, sign out or restart it.";

// The process's visible top-level windows.
BOOL CALLBACK collectVisibleWindow(HWND window, LPARAM parameter) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId() && IsWindowVisible(window))
    reinterpret_cast<std::vector<HWND>*>(parameter)->push_back(window);
  return TRUE;
}

std::vector<HWND> visibleWindows() {
  std::vector<HWND> windows;
  EnumWindows(collectVisibleWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

LRESULT CALLBACK noticeProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_PAINT) return DefWindowProcA(window, message, wParam, lParam);
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT area{};
  GetClientRect(window, &area);
  FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  InflateRect(&area, -16, -16);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  DrawTextA(dc, kNoticeText, -1, &area, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
  EndPaint(window, &paint);
  return 0;
}

// Everything the watch keeps; it lives on the stack of the check that waits.
struct Watch {
  HANDLE done = nullptr;  // set when the component returned
  ULONGLONG began = 0;
  std::vector<HWND> before;  // the windows that were up before the call
  HWND notice = nullptr;
};

class Win32HungCheckSystem : public HungCheckSystem {
 public:
  explicit Win32HungCheckSystem(Watch& watch) : watch_(watch) {}

  bool lockWorkstation() override {
    using LockFunction = BOOL(WINAPI*)();
    const HMODULE user32 = GetModuleHandleA("user32.dll");
    const auto lock = user32 ? reinterpret_cast<LockFunction>(reinterpret_cast<void*>(
                                   GetProcAddress(user32, "LockWorkStation")))
                             : nullptr;
    return lock != nullptr && lock() != FALSE;
  }
  void setScreenSaverRunning(bool running) override {
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, running ? 1 : 0, nullptr, 0);
  }
  void endProgram() override { TerminateProcess(GetCurrentProcess(), 0); }
  void showWayOutNotice() override {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = noticeProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    windowClass.lpszClassName = kWayOutNoticeClass;
    RegisterClassA(&windowClass);
    const int left = (GetSystemMetrics(SM_CXSCREEN) - kNoticeWidth) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - kNoticeHeight) / 2;
    // Its own thread's window, so it is drawn while the run's thread is stuck;
    // top-most and made last, so it is above the run's windows.
    watch_.notice = CreateWindowExA(
        WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kWayOutNoticeClass, "Glimmerweave", WS_POPUP | WS_BORDER,
        left, top, kNoticeWidth, kNoticeHeight, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (watch_.notice != nullptr) {
      ShowWindow(watch_.notice, SW_SHOWNOACTIVATE);
      UpdateWindow(watch_.notice);
    }
  }

 private:
  Watch& watch_;
};

// One look: raises the component's windows above the run's and tells whether
// one of them answers.
bool componentAnswers(const Watch& watch) {
  bool answers = false;
  for (HWND window : visibleWindows()) {
    if (window == watch.notice ||
        std::find(watch.before.begin(), watch.before.end(), window) != watch.before.end())
      continue;
    // A dialog that the component does not give the run as owner would
    // otherwise come up behind the top-most run.
    if ((GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) == 0)
      SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
    DWORD_PTR result = 0;
    if (SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, kAnswerPatience,
                            &result) != 0)
      answers = true;
  }
  return answers;
}

// The watch's thread: looks at the component until it returns, and answers a
// hang once; keeps the notice, if it shows one, until the component returns.
DWORD WINAPI watchComponent(void* parameter) {
  Watch& watch = *static_cast<Watch*>(parameter);
  Win32HungCheckSystem system(watch);
  PasswordCheckWatch decision;
  for (;;) {
    const DWORD woken =
        MsgWaitForMultipleObjects(1, &watch.done, FALSE, kLookInterval, QS_ALLINPUT);
    if (woken == WAIT_OBJECT_0) break;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    if (decision.hung()) continue;
    const bool answering = componentAnswers(watch);
    if (decision.look(GetTickCount64() - watch.began, answering)) answerHungCheck(system);
  }
  if (watch.notice != nullptr) DestroyWindow(watch.notice);
  return 0;
}

}  // namespace

Win32PasswordSystem::~Win32PasswordSystem() {
  unloadPasswordComponent();
  closeDesktopKey();
}

bool Win32PasswordSystem::openDesktopKey() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_READ, &key) !=
      ERROR_SUCCESS)
    return false;
  key_ = key;
  return true;
}

bool Win32PasswordSystem::readUsePassword(std::uint32_t& value) {
  // Raw bytes into a four-byte number, whatever the value's type.
  DWORD number = 0, size = sizeof number;
  if (RegQueryValueExA(static_cast<HKEY>(key_), "ScreenSaveUsePassword", nullptr, nullptr,
                       reinterpret_cast<BYTE*>(&number), &size) != ERROR_SUCCESS)
    return false;
  value = number;
  return true;
}

void Win32PasswordSystem::closeDesktopKey() {
  if (key_) RegCloseKey(static_cast<HKEY>(key_));
  key_ = nullptr;
}

bool Win32PasswordSystem::loadPasswordComponent() {
  HMODULE library = LoadLibraryA("PASSWORD.CPL");
  // Handles of 32 or less are failures, as with the system's older loaders.
  if (reinterpret_cast<std::uintptr_t>(library) <= 32) return false;
  library_ = library;
  return true;
}

bool Win32PasswordSystem::findVerifyFunction() {
  verifyFunction_ = reinterpret_cast<void*>(
      GetProcAddress(static_cast<HMODULE>(library_), "VerifyScreenSavePwd"));
  return verifyFunction_ != nullptr;
}

bool Win32PasswordSystem::verify(std::uintptr_t owner) {
  const auto function = reinterpret_cast<VerifyScreenSavePwd>(verifyFunction_);
  Watch watch;
  HANDLE thread = nullptr;
  if (watched_) {
    watch.done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    watch.began = GetTickCount64();
    watch.before = visibleWindows();
    if (watch.done != nullptr)
      thread = CreateThread(nullptr, 0, watchComponent, &watch, 0, nullptr);
  }
  const bool right = function(reinterpret_cast<HWND>(owner)) != FALSE;
  if (thread != nullptr) {
    SetEvent(watch.done);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
  if (watch.done != nullptr) CloseHandle(watch.done);
  return right;
}

void Win32PasswordSystem::unloadPasswordComponent() {
  if (library_) FreeLibrary(static_cast<HMODULE>(library_));
  library_ = nullptr;
  verifyFunction_ = nullptr;
}

void Win32PasswordSystem::showCursor(bool show) {
  ShowCursor(show ? TRUE : FALSE);
}

bool verifyExitPasswordWithSystem(std::uintptr_t owner) {
  Win32PasswordSystem system;
  return VerifyExitPassword(system, owner);
}

bool verifyExitPasswordWatched(std::uintptr_t owner) {
  Win32PasswordSystem system(true);
  return VerifyExitPassword(system, owner);
}

}  // namespace glimmerweave::win32
