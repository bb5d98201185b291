#include "screen_saver_harness.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <utility>

namespace glimmerweave::integration {

// ---------------------------------------------------------------------------
// Waiting

void pumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

// ---------------------------------------------------------------------------
// The screen saver's process

ChildProcess::~ChildProcess() {
  if (!info_.hProcess) return;
  if (running()) {
    TerminateProcess(info_.hProcess, 1);
    WaitForSingleObject(info_.hProcess, kPatience);
  }
  CloseHandle(info_.hThread);
  CloseHandle(info_.hProcess);
}

bool ChildProcess::startSuspended(const std::string& program, const std::string& arguments,
                                  const std::string& folder, std::string& error) {
  std::string commandLine = "\"" + program + "\"";
  if (!arguments.empty()) commandLine += " " + arguments;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                      CREATE_SUSPENDED, nullptr, folder.empty() ? nullptr : folder.c_str(),
                      &startup, &info_)) {
    error = "cannot start " + commandLine + ": " + systemMessage(GetLastError());
    info_ = {};
    return false;
  }
  return true;
}

void ChildProcess::resume() {
  ResumeThread(info_.hThread);
}

bool ChildProcess::running() const {
  return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

bool ChildProcess::waitForExit(DWORD timeout) {
  return waitUntil([this] { return !running(); }, timeout);
}

DWORD ChildProcess::exitCode() const {
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(info_.hProcess, &code);
  return code;
}

namespace {

struct WindowSearch {
  DWORD processId;
  std::string className;
  std::vector<HWND> found;
};

BOOL CALLBACK collectWindow(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<WindowSearch*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId &&
      (search->className.empty() || windowClass(window) == search->className))
    search->found.push_back(window);
  return TRUE;
}

}  // namespace

std::vector<HWND> windowsOf(DWORD processId, const std::string& className) {
  WindowSearch search{processId, className, {}};
  EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND visibleWindowOf(DWORD processId, const std::string& className) {
  for (HWND window : windowsOf(processId, className))
    if (IsWindowVisible(window)) return window;
  return nullptr;
}

std::string windowClass(HWND window) {
  char name[256] = {};
  if (GetClassNameA(window, name, sizeof name) == 0) return {};
  return name;
}

std::string windowText(HWND window) {
  char text[1024] = {};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                           SMTO_ABORTIFHUNG, kPatience, &copied))
    return {};
  return std::string(text, static_cast<std::size_t>(copied));
}

bool settle(HWND window) {
  DWORD_PTR result = 0;
  for (int trip = 0; trip < 2; ++trip)
    if (!SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, kPatience, &result)) return false;
  return true;
}

std::optional<LRESULT> sendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kPatience, &result))
    return std::nullopt;
  return static_cast<LRESULT>(result);
}

std::vector<HWND> childWindowsOf(HWND parent) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    children.push_back(child);
  return children;
}

RECT placeIn(HWND window, HWND parent) {
  RECT rect{};
  GetWindowRect(window, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

HWND focusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

std::string describe(const RECT& rect) {
  // Appended piece by piece: GCC 12 at -O3 takes "(" + std::string for an overlapping
  // copy (-Wrestrict) that cannot happen.
  std::string text = "(";
  text += std::to_string(rect.left);
  text += ", ";
  text += std::to_string(rect.top);
  text += ") ";
  text += std::to_string(rect.right - rect.left);
  text += "x";
  text += std::to_string(rect.bottom - rect.top);
  return text;
}

WindowCreationWatcher* WindowCreationWatcher::current_ = nullptr;

WindowCreationWatcher::WindowCreationWatcher(DWORD processId) {
  current_ = this;
  hook_ = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, nullptr, onEvent, processId, 0,
                          WINEVENT_OUTOFCONTEXT);
}

WindowCreationWatcher::~WindowCreationWatcher() {
  if (hook_) UnhookWinEvent(hook_);
  // A case that starts the program again makes the next watcher before this one goes.
  if (current_ == this) current_ = nullptr;
}

bool WindowCreationWatcher::sawClass(const std::string& className) const {
  for (const std::string& name : created_)
    if (name == className) return true;
  return false;
}

void CALLBACK WindowCreationWatcher::onEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object,
                                             LONG child, DWORD, DWORD) {
  if (!current_ || event != EVENT_OBJECT_CREATE || object != OBJID_WINDOW ||
      child != CHILDID_SELF || !window)
    return;
  // A window already gone cannot tell whether it was a child; count it.
  if (IsWindow(window) && (GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD)) return;
  const std::string name = windowClass(window);
  current_->created_.push_back(name.empty() ? "?" : name);
}

// ---------------------------------------------------------------------------
// A window of the test's own

namespace {

constexpr const char* kHostWindowClass = "GlimmerweaveTestHost";

}  // namespace

bool registerTestWindowClass(const char* name, WNDPROC procedure) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.lpszClassName = name;
  return RegisterClassA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HostWindow::HostWindow(const RECT& area) {
  // No background brush: nothing paints over what the children draw.
  if (!registerTestWindowClass(kHostWindowClass, DefWindowProcA)) return;
  window_ =
      CreateWindowExA(WS_EX_TOPMOST, kHostWindowClass, "Glimmerweave test host",
                      WS_POPUP | WS_VISIBLE, area.left, area.top, area.right - area.left,
                      area.bottom - area.top, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  pumpMessages();
}

HostWindow::~HostWindow() {
  destroy();
}

bool HostWindow::destroy() {
  if (!window_) return true;
  const bool destroyed = DestroyWindow(window_) != FALSE;
  window_ = nullptr;
  pumpMessages();
  return destroyed;
}

namespace {

LRESULT CALLBACK painterProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC context = BeginPaint(window, &paint);
      const COLORREF colour =
          RGB((kPainterColour >> 16) & 0xFF, (kPainterColour >> 8) & 0xFF, kPainterColour & 0xFF);
      HBRUSH brush = CreateSolidBrush(colour);
      RECT client{};
      GetClientRect(window, &client);
      FillRect(context, &client, brush);
      DeleteObject(brush);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

int runChildPainter(HWND parent) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = painterProcedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kPainterClass;
  RECT area{};
  if (!RegisterClassA(&windowClass) || !GetWindowRect(parent, &area)) return 1;
  if (!CreateWindowExA(0, kPainterClass, "", WS_CHILD | WS_VISIBLE, 0, 0, area.right - area.left,
                       area.bottom - area.top, parent, nullptr, windowClass.hInstance, nullptr))
    return 1;
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Registry

bool keyExists(HKEY root, const std::string& path, REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::optional<RegistryValue> readValue(HKEY root, const std::string& path, const std::string& name,
                                       REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
    return std::nullopt;
  RegistryValue value;
  DWORD size = 0;
  LONG status = RegQueryValueExA(key, name.c_str(), nullptr, &value.type, nullptr, &size);
  if (status == ERROR_SUCCESS) {
    value.data.resize(size);
    status = RegQueryValueExA(key, name.c_str(), nullptr, &value.type, value.data.data(), &size);
    value.data.resize(size);
  }
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return std::nullopt;
  return value;
}

std::vector<std::pair<std::string, RegistryValue>> readValues(HKEY root, const std::string& path) {
  std::vector<std::pair<std::string, RegistryValue>> values;
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
  for (DWORD index = 0;; ++index) {
    char name[16384];
    DWORD nameLength = sizeof name, size = 0, type = REG_NONE;
    if (RegEnumValueA(key, index, name, &nameLength, nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS)
      break;
    RegistryValue value;
    value.type = type;
    value.data.resize(size);
    nameLength = sizeof name;
    if (RegEnumValueA(key, index, name, &nameLength, nullptr, &value.type, value.data.data(),
                      &size) != ERROR_SUCCESS)
      break;
    value.data.resize(size);
    values.emplace_back(std::string(name, nameLength), std::move(value));
  }
  RegCloseKey(key);
  return values;
}

namespace {

bool writeValue(HKEY root, const std::string& path, const std::string& name,
                const RegistryValue& value) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return false;
  const LONG status = RegSetValueExA(key, name.c_str(), 0, value.type, value.data.data(),
                                     static_cast<DWORD>(value.data.size()));
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

}  // namespace

bool writeDword(HKEY root, const std::string& path, const std::string& name, DWORD number) {
  RegistryValue value;
  value.type = REG_DWORD;
  value.data.resize(sizeof number);
  std::memcpy(value.data.data(), &number, sizeof number);
  return writeValue(root, path, name, value);
}

bool deleteKey(HKEY root, const std::string& path) {
  RegDeleteTreeA(root, path.c_str());
  RegDeleteKeyA(root, path.c_str());
  return !keyExists(root, path);
}

std::optional<DWORD> readDword(HKEY root, const std::string& path, const std::string& name) {
  const std::optional<RegistryValue> value = readValue(root, path, name);
  if (!value || value->type != REG_DWORD || value->data.size() != sizeof(DWORD))
    return std::nullopt;
  DWORD number = 0;
  std::memcpy(&number, value->data.data(), sizeof number);
  return number;
}

SavedKey::SavedKey(HKEY root, std::string path)
    : root_(root),
      path_(std::move(path)),
      existed_(keyExists(root_, path_)),
      values_(readValues(root_, path_)) {}

SavedKey::~SavedKey() {
  deleteKey(root_, path_);
  if (!existed_) return;
  HKEY key = nullptr;
  if (RegCreateKeyExA(root_, path_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                      &key, nullptr) == ERROR_SUCCESS)
    RegCloseKey(key);
  for (const auto& [name, value] : values_) writeValue(root_, path_, name, value);
}

SavedValue::SavedValue(HKEY root, std::string path, std::string name)
    : root_(root),
      path_(std::move(path)),
      name_(std::move(name)),
      value_(readValue(root_, path_, name_)) {}

SavedValue::~SavedValue() {
  if (value_) {
    writeValue(root_, path_, name_, *value_);
    return;
  }
  HKEY key = nullptr;
  if (RegOpenKeyExA(root_, path_.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueA(key, name_.c_str());
  RegCloseKey(key);
}

// ---------------------------------------------------------------------------
// Screen and input

Screenshot captureScreen() {
  return captureScreen(RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
}

Screenshot captureScreen(const RECT& area) {
  Screenshot shot;
  shot.width = area.right - area.left;
  shot.height = area.bottom - area.top;
  if (shot.width <= 0 || shot.height <= 0) return Screenshot{};
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = shot.width;
  info.bmiHeader.biHeight = -shot.height;  // rows from the top
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap && bits) {
    HGDIOBJ previous = SelectObject(memory, bitmap);
    if (BitBlt(memory, 0, 0, shot.width, shot.height, screen, area.left, area.top,
               SRCCOPY | CAPTUREBLT)) {
      GdiFlush();
      const auto* first = static_cast<const std::uint32_t*>(bits);
      shot.pixels.assign(first, first + static_cast<std::size_t>(shot.width) * shot.height);
      for (std::uint32_t& pixel : shot.pixels) pixel &= 0x00FFFFFF;
    }
    SelectObject(memory, previous);
  }
  if (bitmap) DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return shot;
}

Screenshot cropped(const Screenshot& shot, int left, int top, int width, int height) {
  Screenshot part;
  if (left < 0 || top < 0 || width <= 0 || height <= 0 || left + width > shot.width ||
      top + height > shot.height || shot.pixels.empty())
    return part;
  part.width = width;
  part.height = height;
  part.pixels.reserve(static_cast<std::size_t>(width) * height);
  for (int y = top; y < top + height; ++y) {
    const auto row = shot.pixels.begin() + static_cast<std::ptrdiff_t>(y) * shot.width;
    part.pixels.insert(part.pixels.end(), row + left, row + left + width);
  }
  return part;
}

double litShare(const Screenshot& shot) {
  if (shot.pixels.empty()) return 0;
  std::size_t lit = 0;
  for (std::uint32_t pixel : shot.pixels) {
    const std::uint32_t red = (pixel >> 16) & 0xFF, green = (pixel >> 8) & 0xFF,
                        blue = pixel & 0xFF;
    if (red > 32 || green > 32 || blue > 32) ++lit;
  }
  return static_cast<double>(lit) / static_cast<double>(shot.pixels.size());
}

double differingShare(const Screenshot& a, const Screenshot& b) {
  if (a.pixels.empty() || a.pixels.size() != b.pixels.size()) return 0;
  std::size_t differing = 0;
  for (std::size_t index = 0; index < a.pixels.size(); ++index)
    if (a.pixels[index] != b.pixels[index]) ++differing;
  return static_cast<double>(differing) / static_cast<double>(a.pixels.size());
}

bool borderIs(const Screenshot& shot, std::uint32_t colour) {
  if (shot.pixels.empty()) return false;
  const auto at = [&](int x, int y) {
    return shot.pixels[static_cast<std::size_t>(y) * shot.width + x];
  };
  for (int x = 0; x < shot.width; ++x)
    if (at(x, 0) != colour || at(x, shot.height - 1) != colour) return false;
  for (int y = 0; y < shot.height; ++y)
    if (at(0, y) != colour || at(shot.width - 1, y) != colour) return false;
  return true;
}

EdgeShares edgeShares(const Screenshot& shot) {
  EdgeShares shares;
  if (shot.width < 2 || shot.height < 2 || shot.pixels.empty()) return shares;
  const auto at = [&](int x, int y) {
    return shot.pixels[static_cast<std::size_t>(y) * shot.width + x];
  };
  std::vector<bool> columnEdge(static_cast<std::size_t>(shot.width), false);
  std::vector<bool> rowEdge(static_cast<std::size_t>(shot.height), false);
  for (int y = 0; y < shot.height; ++y) {
    for (int x = 0; x < shot.width; ++x) {
      if (x > 0 && at(x, y) != at(x - 1, y)) columnEdge[static_cast<std::size_t>(x)] = true;
      if (y > 0 && at(x, y) != at(x, y - 1)) rowEdge[static_cast<std::size_t>(y)] = true;
    }
  }
  const auto share = [](const std::vector<bool>& edges) {
    std::size_t count = 0;
    for (const bool edge : edges) count += edge ? 1 : 0;
    // The first column (row) has none before it.
    return static_cast<double>(count) / static_cast<double>(edges.size() - 1);
  };
  shares.columns = share(columnEdge);
  shares.rows = share(rowEdge);
  return shares;
}

bool saveBitmap(const Screenshot& shot, const std::string& path) {
  if (shot.pixels.empty()) return false;
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = shot.width;
  header.biHeight = -shot.height;
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  const DWORD pixelBytes = static_cast<DWORD>(shot.pixels.size() * sizeof(std::uint32_t));
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + pixelBytes;
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  bool written = std::fwrite(&file, sizeof file, 1, out) == 1 &&
                 std::fwrite(&header, sizeof header, 1, out) == 1 &&
                 std::fwrite(shot.pixels.data(), pixelBytes, 1, out) == 1;
  written = std::fclose(out) == 0 && written;
  return written;
}

bool pressKey(WORD virtualKey) {
  INPUT inputs[2] = {};
  for (INPUT& input : inputs) {
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC));
  }
  inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
  return SendInput(2, inputs, sizeof(INPUT)) == 2;
}

bool moveCursorTo(int x, int y) {
  return SetCursorPos(x, y) != FALSE;
}

bool clickButton(MouseButton button) {
  DWORD down = MOUSEEVENTF_LEFTDOWN, up = MOUSEEVENTF_LEFTUP;
  if (button == MouseButton::kRight) {
    down = MOUSEEVENTF_RIGHTDOWN;
    up = MOUSEEVENTF_RIGHTUP;
  } else if (button == MouseButton::kMiddle) {
    down = MOUSEEVENTF_MIDDLEDOWN;
    up = MOUSEEVENTF_MIDDLEUP;
  }
  INPUT inputs[2] = {};
  for (INPUT& input : inputs) input.type = INPUT_MOUSE;
  inputs[0].mi.dwFlags = down;
  inputs[1].mi.dwFlags = up;
  return SendInput(2, inputs, sizeof(INPUT)) == 2;
}

bool clickAt(int x, int y, MouseButton button) {
  return moveCursorTo(x, y) && clickButton(button);
}

POINT centreOf(const RECT& rect) {
  return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

POINT cursorPosition() {
  POINT point{-1, -1};
  GetCursorPos(&point);
  return point;
}

// ---------------------------------------------------------------------------
// Files

std::string windowsPath(const std::string& path) {
  if (path.empty() || path.front() != '/') return path;
  std::string converted = "Z:" + path;
  for (char& character : converted)
    if (character == '/') character = '\\';
  return converted;
}

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string fileNameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

ScratchFolder::ScratchFolder() {
  char temporary[MAX_PATH + 1] = {};
  GetTempPathA(sizeof temporary, temporary);
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::string candidate = std::string(temporary) + "glimmerweave-test-" +
                                  std::to_string(GetCurrentProcessId()) + "-" +
                                  std::to_string(attempt);
    if (CreateDirectoryA(candidate.c_str(), nullptr)) {
      path_ = candidate;
      return;
    }
  }
}

ScratchFolder::~ScratchFolder() {
  if (path_.empty()) return;
  for (const std::string& file : files_) DeleteFileA(file.c_str());
  RemoveDirectoryA(path_.c_str());
}

bool ScratchFolder::copyIn(const std::string& source, const std::string& name, std::string& error) {
  if (path_.empty()) {
    error = "no scratch folder could be made";
    return false;
  }
  const std::string target = path_ + "\\" + name;
  if (!CopyFileA(source.c_str(), target.c_str(), FALSE)) {
    error = "cannot copy " + source + " to " + target + ": " + systemMessage(GetLastError());
    return false;
  }
  files_.push_back(target);
  return true;
}

std::string systemMessage(DWORD error) {
  char text[512] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, error, 0, text, sizeof text, nullptr);
  std::string message(text, length);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  return message + " (error " + std::to_string(error) + ")";
}

// ---------------------------------------------------------------------------
// The test programs' start

void beAwareOfEveryMonitorsDpi() {
  using SetContextFunction = BOOL(WINAPI*)(HANDLE);
  const HMODULE user32 = GetModuleHandleA("user32.dll");
  const auto setContext = reinterpret_cast<SetContextFunction>(
      reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
  if (setContext && setContext(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)))) return;
  SetProcessDPIAware();
}

int runTestCases(int argc, char** argv, std::initializer_list<ProgramOption> options) {
  ::testing::InitGoogleTest(&argc, argv);
  for (int index = 1; index < argc; ++index) {
    const std::string argument = argv[index];
    bool known = false;
    for (const ProgramOption& option : options) {
      if (argument.rfind(option.prefix, 0) == 0) {
        *option.value = argument.substr(std::strlen(option.prefix));
        known = true;
      }
    }
    if (!known) {
      std::fprintf(stderr, "unknown argument: %s\n", argument.c_str());
      return 64;
    }
  }
  const int status = RUN_ALL_TESTS();
  if (::testing::UnitTest::GetInstance()->test_to_run_count() == 0) {
    std::fprintf(stderr, "no test case was selected\n");
    return 1;
  }
  return status;
}

}  // namespace glimmerweave::integration
