// What the integration tests need to drive the real screen saver program from
// outside: starting it and waiting for it, finding its windows and their
// controls, watching the windows it creates, a window of the test's own for it
// to draw into, the registry keys it reads and writes (saved and put back),
// screenshots of the screen or a part of it, and input as the user would give it.
//
// Waits are bounded polls with generous limits: the tests never assert how
// fast the program is, only what it does eventually (or, for "keeps running",
// that it is still there after it has taken in the input).
#pragma once

#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace glimmerweave::integration {

// ---------------------------------------------------------------------------
// Waiting

// Generous limits for slow machines and a cold Wine.
inline constexpr DWORD kStartPatience = 90'000;  // until the program's window is up
inline constexpr DWORD kPatience = 30'000;       // for anything else to happen

// Handles the messages waiting for this thread (window-event callbacks arrive
// as messages).
void pumpMessages();

// Polls `condition` until it holds or `timeout` ms have passed; true if it held.
template <class Condition>
bool waitUntil(Condition condition, DWORD timeout = kPatience) {
  const ULONGLONG deadline = GetTickCount64() + timeout;
  for (;;) {
    pumpMessages();
    if (condition()) return true;
    if (GetTickCount64() >= deadline) return false;
    Sleep(20);
  }
}

// ---------------------------------------------------------------------------
// The screen saver's process

// One run of a program, ended (terminated) on destruction if it is still running.
class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();

  // Starts `program` with `arguments` in `folder`, suspended; resume() lets it run.
  // Returns false (with the system's error in `error`) when it cannot start.
  bool startSuspended(const std::string& program, const std::string& arguments,
                      const std::string& folder, std::string& error);
  void resume();
  DWORD id() const { return info_.dwProcessId; }
  // True while the process has not exited.
  bool running() const;
  // Waits up to `timeout` ms for the process to exit; true if it did.
  bool waitForExit(DWORD timeout);
  // The exit code; only meaningful after the process exited.
  DWORD exitCode() const;

 private:
  PROCESS_INFORMATION info_{};
};

// Top-level windows of `processId` with the given class ("" = any), in z-order.
std::vector<HWND> windowsOf(DWORD processId, const std::string& className);
// The first visible top-level window of `processId` with the given class, or null.
HWND visibleWindowOf(DWORD processId, const std::string& className);

std::string windowClass(HWND window);
// The window's text, asked of its own thread (which also works for controls of
// another process).
std::string windowText(HWND window);

// Makes sure that `window`'s thread has taken in the input and messages sent so far:
// two round trips through its message queue. False if the window went away.
bool settle(HWND window);

// Sends a message that carries no pointers (so it also works for windows of another
// process) and returns its result, or nothing when the window did not answer.
std::optional<LRESULT> sendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The direct child windows of `parent`, in z-order.
std::vector<HWND> childWindowsOf(HWND parent);
// The window's rectangle in `parent`'s client coordinates.
RECT placeIn(HWND window, HWND parent);
// The window that has the keyboard focus in `window`'s thread, or null.
HWND focusOf(HWND window);
std::string describe(const RECT& rect);

// Records which windows a process creates, from the moment it is made (install
// before the process runs). One watcher at a time.
class WindowCreationWatcher {
 public:
  explicit WindowCreationWatcher(DWORD processId);
  WindowCreationWatcher(const WindowCreationWatcher&) = delete;
  WindowCreationWatcher& operator=(const WindowCreationWatcher&) = delete;
  ~WindowCreationWatcher();

  bool installed() const { return hook_ != nullptr; }
  // Class names of the windows created so far ("?" when the window was gone
  // before its creation was seen). Only top-level windows are listed.
  const std::vector<std::string>& created() const { return created_; }
  bool sawClass(const std::string& className) const;

 private:
  static void CALLBACK onEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child,
                               DWORD, DWORD);
  HWINEVENTHOOK hook_ = nullptr;
  std::vector<std::string> created_;
  static WindowCreationWatcher* current_;
};

// ---------------------------------------------------------------------------
// A window of the test's own

// Registers a window class of the test program's own (the arrow cursor, no background
// brush); true when it is registered, also by an earlier call.
bool registerTestWindowClass(const char* name, WNDPROC procedure);

// A visible top-level window of this test program, which a program under test can
// put its windows into: no frame, above all others, painted by nobody (its area
// shows only what its children draw). Destroyed on destruction unless gone already.
class HostWindow {
 public:
  // The window's client area (and so its outer rectangle) on the screen.
  explicit HostWindow(const RECT& area);
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;
  ~HostWindow();

  HWND handle() const { return window_; }
  // Destroys the window, and with it the children other programs put into it.
  bool destroy();

 private:
  HWND window_ = nullptr;
};

// The class and colour (0x00RRGGBB) of runChildPainter's window.
inline constexpr const char* kPainterClass = "GlimmerweaveTestPainter";
inline constexpr std::uint32_t kPainterColour = 0x00FF00FF;
// The test program's own stand-in for another program's window inside a
// HostWindow: a child of `parent`, at its size, painted in kPainterColour, until
// it is destroyed with its parent. Returns the exit status for the program; run
// in a process of its own, it shows whether this system shows what another
// process draws into a child of the test's window.
int runChildPainter(HWND parent);

// ---------------------------------------------------------------------------
// Registry

// One registry value as stored: its type and raw bytes.
struct RegistryValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

// `view` picks the 32-bit or the 64-bit registry (KEY_WOW64_32KEY, KEY_WOW64_64KEY);
// 0 is the program's own.
bool keyExists(HKEY root, const std::string& path, REGSAM view = 0);
// The value `name` of the key, or nothing when the key or the value is missing.
std::optional<RegistryValue> readValue(HKEY root, const std::string& path, const std::string& name,
                                       REGSAM view = 0);
// All values of the key, by name (empty when the key is missing).
std::vector<std::pair<std::string, RegistryValue>> readValues(HKEY root, const std::string& path);
// Creates the key when needed and sets a REG_DWORD value; false on failure.
bool writeDword(HKEY root, const std::string& path, const std::string& name, DWORD value);
// Deletes the key with everything under it; true when it is gone.
bool deleteKey(HKEY root, const std::string& path);
// A REG_DWORD's number, or nothing when missing or of another type or size.
std::optional<DWORD> readDword(HKEY root, const std::string& path, const std::string& name);

// Saves a key's values (a key without subkeys) and puts them back on destruction:
// the key is deleted and, if it existed, made anew with the saved values.
class SavedKey {
 public:
  SavedKey(HKEY root, std::string path);
  SavedKey(const SavedKey&) = delete;
  SavedKey& operator=(const SavedKey&) = delete;
  ~SavedKey();

 private:
  HKEY root_;
  std::string path_;
  bool existed_;
  std::vector<std::pair<std::string, RegistryValue>> values_;
};

// Saves one value and puts it back (or deletes it, if it was missing) on destruction.
class SavedValue {
 public:
  SavedValue(HKEY root, std::string path, std::string name);
  SavedValue(const SavedValue&) = delete;
  SavedValue& operator=(const SavedValue&) = delete;
  ~SavedValue();

 private:
  HKEY root_;
  std::string path_, name_;
  std::optional<RegistryValue> value_;
};

// ---------------------------------------------------------------------------
// Screen and input

// The whole screen, 32 bits per pixel (0x00RRGGBB), rows from the top.
struct Screenshot {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
};

Screenshot captureScreen();
// The part `area` (screen coordinates) of the screen.
Screenshot captureScreen(const RECT& area);
// The part of a shot from (left, top), `width` x `height` pixels.
Screenshot cropped(const Screenshot& shot, int left, int top, int width, int height);
// The share of pixels (0..1) with a colour channel above a dark grey.
double litShare(const Screenshot& shot);
// The share of pixels (0..1) that differ between two shots of the same size.
double differingShare(const Screenshot& a, const Screenshot& b);
// True when the shot's outermost rows and columns are all of `colour` (0x00RRGGBB).
bool borderIs(const Screenshot& shot, std::uint32_t colour);
// Where a picture's colour changes: the share of the columns (rows) at which the colour
// differs from the column (row) before it in at least one row (column). A picture
// stretched n times from a smaller one changes colour only at every n-th column and
// row; one shown pixel for pixel, almost everywhere.
struct EdgeShares {
  double columns = 0;
  double rows = 0;
};
EdgeShares edgeShares(const Screenshot& shot);
// Writes the shot as a .bmp file (for looking at a failure); false on failure.
bool saveBitmap(const Screenshot& shot, const std::string& path);

// Presses and releases a key, as the keyboard would (to the foreground window).
bool pressKey(WORD virtualKey);
// Puts the cursor at (x, y) in screen pixels, as a mouse movement would.
bool moveCursorTo(int x, int y);
enum class MouseButton { kLeft, kRight, kMiddle };
// Presses and releases a mouse button where the cursor is.
bool clickButton(MouseButton button = MouseButton::kLeft);
// Moves the cursor to (x, y) and clicks there.
bool clickAt(int x, int y, MouseButton button = MouseButton::kLeft);
// The centre of a rectangle.
POINT centreOf(const RECT& rect);
POINT cursorPosition();

// ---------------------------------------------------------------------------
// Files

// A path as this program's file functions take it: a Unix path (as CMake passes
// it under Wine) becomes one on Wine's drive Z:.
std::string windowsPath(const std::string& path);
std::string folderOf(const std::string& path);
std::string fileNameOf(const std::string& path);

// A new empty folder in the temporary folder, deleted with its files on destruction.
class ScratchFolder {
 public:
  ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder();

  const std::string& path() const { return path_; }
  // Copies `source` into the folder under `name`; false (and `error`) on failure.
  bool copyIn(const std::string& source, const std::string& name, std::string& error);

 private:
  std::string path_;
  std::vector<std::string> files_;
};

// The system's text for an error code.
std::string systemMessage(DWORD error);

// ---------------------------------------------------------------------------
// The test programs' start

// Declares the process aware of every monitor's DPI (per-monitor v2 where the system
// has it), so that it measures windows in the screen's real pixels.
void beAwareOfEveryMonitorsDpi();

// An option of a test program: "PREFIXVALUE" (prefix "--NAME=") sets *value.
struct ProgramOption {
  const char* prefix;
  std::string* value;
};

// What a test program's main does after its own set-up: takes GoogleTest's options,
// then `options`, and runs the selected cases. Returns the exit status: the cases',
// 64 for an unknown argument, 1 when the filter selects no case (a run that tests
// nothing must not pass).
int runTestCases(int argc, char** argv, std::initializer_list<ProgramOption> options);

}  // namespace glimmerweave::integration
