// The installer and the uninstaller as an administrator, a package manager and a
// person run them: each case runs the real glimmerweave-<version>-setup.exe (silently
// with /S, or page by page with clicks on its buttons) and the uninstaller it leaves,
// and looks at what they did to the system folder, the list of installed programs (in
// the 64-bit registry view), the chosen screen saver and the user's settings.
//
//   installer_test --installer=PATH --screen-saver=PATH --icon=PATH --version=X.Y.Z
//                  [--gtest_filter=...]
//
// --screen-saver is the glimmerweave.scr the installer carries, --icon the program's
// icon. PATHs may be Unix paths (taken as paths on Wine's drive Z:).
//
// The cases change the machine: the system folder, the programs' list, the user's
// screen saver. Under Wine each runs in a prefix of its own; elsewhere run them only
// on a machine set aside for it.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "png_writer.h"
#include "screen_saver_harness.h"

namespace glimmerweave::packaging {
namespace {

using namespace glimmerweave::integration;

// Set by main from the command line.
std::string installerPath;
std::string screenSaverPath;
std::string iconPath;
std::string version;

constexpr const char* kUninstallKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Glimmerweave";
constexpr const char* kDesktopKey = "Control Panel\\Desktop";
constexpr const char* kSettingsKey = "Software\\Glimmerweave";
constexpr const char* kScreenSaverValue = "SCRNSAVE.EXE";
constexpr const char* kActiveValue = "ScreenSaveActive";
constexpr const char* kPublisher = "Glimmerweave developers";
// A screen saver that is not Glimmerweave (the file need not exist).
constexpr const char* kOtherScreenSaver = "C:\\windows\\system32\\scrnsave.scr";

// An installation or an uninstallation may take a while on a cold Wine.
constexpr DWORD kSetupPatience = 120'000;

// ---------------------------------------------------------------------------
// Files and folders

std::string systemFolder() {
  char folder[MAX_PATH + 1] = {};
  GetSystemDirectoryA(folder, sizeof folder);
  return folder;
}

std::string installedScreenSaver() {
  return systemFolder() + "\\glimmerweave.scr";
}

// Where the uninstaller goes by default: "Program Files\Glimmerweave".
std::string installFolder() {
  char folder[MAX_PATH + 1] = {};
  ExpandEnvironmentStringsA("%ProgramFiles%\\Glimmerweave", folder, sizeof folder);
  return folder;
}

bool fileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool folderExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<std::string> fileContents(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool writeFile(const std::string& path, const std::string& contents) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << contents;
  return static_cast<bool>(file);
}

std::string lowerCase(std::string text) {
  for (char& character : text)
    character = static_cast<char>(std::tolower(static_cast<unsigned char>(character)));
  return text;
}

std::string upperCase(std::string text) {
  for (char& character : text)
    character = static_cast<char>(std::toupper(static_cast<unsigned char>(character)));
  return text;
}

// The long form of an existing file's path, in lower case, for comparing paths.
std::string comparablePath(const std::string& path) {
  char longPath[MAX_PATH + 1] = {};
  const DWORD length = GetLongPathNameA(path.c_str(), longPath, sizeof longPath);
  if (length == 0 || length > MAX_PATH) return lowerCase(path);
  return lowerCase(longPath);
}

// Checks that the installed screen saver is the file the installer carries.
::testing::AssertionResult installedFileIsTheScreenSaver() {
  const auto installed = fileContents(installedScreenSaver());
  if (!installed) return ::testing::AssertionFailure() << installedScreenSaver() << " is missing";
  const auto expected = fileContents(windowsPath(screenSaverPath));
  if (!expected) return ::testing::AssertionFailure() << "cannot read " << screenSaverPath;
  if (*installed != *expected)
    return ::testing::AssertionFailure()
           << installedScreenSaver() << " (" << installed->size() << " bytes) is not "
           << screenSaverPath << " (" << expected->size() << " bytes)";
  return ::testing::AssertionSuccess();
}

// ---------------------------------------------------------------------------
// Registry, in a chosen view (0: the program's own, which for this 64-bit program is
// the 64-bit one)

// A REG_SZ value's text, or nothing when it is missing or of another type.
std::optional<std::string> readString(HKEY root, const std::string& path, const std::string& name,
                                      REGSAM view = 0) {
  const auto value = readValue(root, path, name, view);
  if (!value || value->type != REG_SZ) return std::nullopt;
  std::string text(value->data.begin(), value->data.end());
  while (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

bool writeString(HKEY root, const std::string& path, const std::string& name,
                 const std::string& text) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return false;
  const LONG status =
      RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>(text.size() + 1));
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

bool deleteValue(HKEY root, const std::string& path, const std::string& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return true;
  const LONG status = RegDeleteValueA(key, name.c_str());
  RegCloseKey(key);
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

std::optional<std::string> chosenScreenSaver() {
  return readString(HKEY_CURRENT_USER, kDesktopKey, kScreenSaverValue);
}

// Chooses `path` as the user's screen saver (as the control panel stores it), with the
// screen saver switched off, so that a change to either shows.
void chooseScreenSaver(const std::string& path) {
  ASSERT_TRUE(writeString(HKEY_CURRENT_USER, kDesktopKey, kScreenSaverValue, path));
  ASSERT_TRUE(writeString(HKEY_CURRENT_USER, kDesktopKey, kActiveValue, "0"));
}

// Settings a user made, none of them the first-run defaults.
void storeUsersSettings() {
  const std::map<std::string, DWORD> settings = {
      {"Speed", 7}, {"Brightness", 42}, {"Algoritm", 22}, {"Detail", 9}, {"Rands", 1}};
  ASSERT_TRUE(deleteKey(HKEY_CURRENT_USER, kSettingsKey));
  for (const auto& [name, number] : settings)
    ASSERT_TRUE(writeDword(HKEY_CURRENT_USER, kSettingsKey, name, number));
}

using StoredValues = std::vector<std::pair<std::string, RegistryValue>>;

std::string describe(const StoredValues& values) {
  std::string text = "{";
  for (const auto& [name, value] : values) {
    text += " " + name + ": type " + std::to_string(value.type) + ", " +
            std::to_string(value.data.size()) + " bytes";
    if (value.type == REG_DWORD && value.data.size() == sizeof(DWORD)) {
      DWORD number = 0;
      std::memcpy(&number, value.data.data(), sizeof number);
      text += " = " + std::to_string(number);
    }
    text += ";";
  }
  return text + " }";
}

::testing::AssertionResult sameValues(const StoredValues& before, const StoredValues& after) {
  const auto sameValue = [](const auto& a, const auto& b) {
    return a.first == b.first && a.second.type == b.second.type && a.second.data == b.second.data;
  };
  if (before.size() == after.size() &&
      std::equal(before.begin(), before.end(), after.begin(), sameValue))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "the settings were " << describe(before) << " and are " << describe(after);
}

// ---------------------------------------------------------------------------
// Running Setup

// A program run inside a job, so that the processes it starts are waited for and seen
// too: the uninstaller hands over to a copy of itself in the temporary folder (which can
// delete the original) and returns at once, as Windows runs it from Add/Remove Programs,
// and the installer may open the Screen Saver Settings when it ends.
class ProcessTree {
 public:
  ProcessTree() : job_(CreateJobObjectA(nullptr, nullptr)) {}
  ProcessTree(const ProcessTree&) = delete;
  ProcessTree& operator=(const ProcessTree&) = delete;
  ~ProcessTree() {
    if (!job_) return;
    TerminateJobObject(job_, 1);
    CloseHandle(job_);
  }

  bool start(const std::string& program, const std::string& arguments, std::string& error) {
    if (!job_) {
      error = "no job object: " + systemMessage(GetLastError());
      return false;
    }
    if (!first_.startSuspended(program, arguments, "", error)) return false;
    HANDLE process = OpenProcess(PROCESS_SET_QUOTA | PROCESS_TERMINATE, FALSE, first_.id());
    const bool assigned = process && AssignProcessToJobObject(job_, process);
    if (!assigned) error = "cannot put the process in a job: " + systemMessage(GetLastError());
    if (process) CloseHandle(process);
    first_.resume();
    return assigned;
  }

  // How many processes of the tree are running, or nothing when the system cannot say.
  std::optional<DWORD> activeProcesses() const {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
    if (!QueryInformationJobObject(job_, JobObjectBasicAccountingInformation, &accounting,
                                   sizeof accounting, nullptr))
      return std::nullopt;
    return accounting.ActiveProcesses;
  }

  // True once the first process and every process it started have ended. Notes the
  // programs of the processes running now.
  bool ended() {
    notePrograms();
    return !first_.running() && activeProcesses() == DWORD{0};
  }

  // Waits until every process of the tree has ended; true if they did in time.
  bool waitForAll(DWORD timeout) {
    return waitUntil([&] { return ended(); }, timeout);
  }

  bool firstRunning() const { return first_.running(); }
  // The first process's exit code, once it has ended.
  DWORD exitCode() const { return first_.exitCode(); }

  // The file names (in lower case) of the programs seen running in the tree, the first
  // process's first.
  const std::vector<std::string>& programs() const { return programs_; }
  bool ran(const std::string& fileName) const {
    return std::find(programs_.begin(), programs_.end(), fileName) != programs_.end();
  }

 private:
  void notePrograms() {
    // The list's counts and room for 64 process ids.
    std::vector<ULONG_PTR> buffer(sizeof(JOBOBJECT_BASIC_PROCESS_ID_LIST) / sizeof(ULONG_PTR) + 64);
    auto* list = reinterpret_cast<JOBOBJECT_BASIC_PROCESS_ID_LIST*>(buffer.data());
    if (!QueryInformationJobObject(job_, JobObjectBasicProcessIdList, list,
                                   static_cast<DWORD>(buffer.size() * sizeof(ULONG_PTR)), nullptr))
      return;
    for (DWORD index = 0; index < list->NumberOfProcessIdsInList; ++index) {
      const auto id = static_cast<DWORD>(list->ProcessIdList[index]);
      if (std::find(seen_.begin(), seen_.end(), id) != seen_.end()) continue;
      HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
      if (!process) continue;
      char path[MAX_PATH + 1] = {};
      DWORD size = sizeof path;
      if (QueryFullProcessImageNameA(process, 0, path, &size)) {
        seen_.push_back(id);
        programs_.push_back(lowerCase(fileNameOf(std::string(path, size))));
      }
      CloseHandle(process);
    }
  }

  HANDLE job_;
  ChildProcess first_;
  std::vector<DWORD> seen_;
  std::vector<std::string> programs_;
};

std::string describe(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return "[" + text + "]";
}

// Runs the installer with `arguments` and waits for it and whatever it started; returns
// the tree, or nothing (with a failure) when it could not start or did not end in time.
std::unique_ptr<ProcessTree> runInstallerTree(const std::string& arguments) {
  auto installer = std::make_unique<ProcessTree>();
  std::string error;
  if (!installer->start(windowsPath(installerPath), arguments, error)) {
    ADD_FAILURE() << "cannot start the installer: " << error;
    return nullptr;
  }
  if (!installer->waitForAll(kSetupPatience)) {
    ADD_FAILURE() << "the installer (" << arguments << ") did not end within "
                  << kSetupPatience / 1000 << " s; "
                  << (installer->firstRunning() ? "it is still running" : "it ended")
                  << ", and its tree ran " << describe(installer->programs());
    return nullptr;
  }
  return installer;
}

// Runs the installer with `arguments`; its exit code, or nothing (with a failure).
std::optional<DWORD> runInstaller(const std::string& arguments) {
  const auto installer = runInstallerTree(arguments);
  if (!installer) return std::nullopt;
  return installer->exitCode();
}

void installSilently(const std::string& arguments = "/S") {
  const auto status = runInstaller(arguments);
  ASSERT_TRUE(status.has_value());
  ASSERT_EQ(*status, 0u) << "the installer " << arguments << " failed";
}

// The uninstaller's command line as Add/Remove Programs has it, split into the program
// and its arguments.
struct CommandLine {
  std::string program, arguments;
};

std::optional<CommandLine> registeredCommand(const char* valueName) {
  const auto text = readString(HKEY_LOCAL_MACHINE, kUninstallKey, valueName);
  if (!text || text->size() < 2 || text->front() != '"') return std::nullopt;
  const auto closing = text->find('"', 1);
  if (closing == std::string::npos) return std::nullopt;
  CommandLine command{text->substr(1, closing - 1), text->substr(closing + 1)};
  command.arguments.erase(0, command.arguments.find_first_not_of(' '));
  return command;
}

// Runs the registered quiet uninstall command (with `extra` arguments) and waits for
// the whole uninstallation.
void uninstallSilently(const std::string& extra = "") {
  const auto command = registeredCommand("QuietUninstallString");
  ASSERT_TRUE(command.has_value()) << "no usable QuietUninstallString";
  ProcessTree uninstaller;
  std::string error;
  const std::string arguments = command->arguments + (extra.empty() ? "" : " " + extra);
  ASSERT_TRUE(uninstaller.start(command->program, arguments, error)) << error;
  ASSERT_TRUE(uninstaller.waitForAll(kSetupPatience))
      << "the uninstallation did not end within " << kSetupPatience / 1000 << " s";
  ASSERT_EQ(uninstaller.exitCode(), 0u);
}

// ---------------------------------------------------------------------------
// Version information and icons of a program file

struct VersionInfo {
  std::string fixedFileVersion;  // "1.2.3.4", from the fixed part
  std::map<std::string, std::string> strings;

  // A string of the version information, or "" when it has none of that name.
  std::string text(const std::string& name) const {
    const auto found = strings.find(name);
    return found == strings.end() ? std::string() : found->second;
  }
};

std::optional<VersionInfo> versionInfoOf(const std::string& path) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0) return std::nullopt;
  std::vector<char> data(size);
  if (!GetFileVersionInfoA(path.c_str(), 0, size, data.data())) return std::nullopt;
  VersionInfo info;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length) && fixed) {
    char text[64];
    std::snprintf(text, sizeof text, "%lu.%lu.%lu.%lu",
                  static_cast<unsigned long>(HIWORD(fixed->dwFileVersionMS)),
                  static_cast<unsigned long>(LOWORD(fixed->dwFileVersionMS)),
                  static_cast<unsigned long>(HIWORD(fixed->dwFileVersionLS)),
                  static_cast<unsigned long>(LOWORD(fixed->dwFileVersionLS)));
    info.fixedFileVersion = text;
  }
  struct Translation {
    WORD language, codePage;
  }* translations = nullptr;
  if (!VerQueryValueA(data.data(), "\\VarFileInfo\\Translation",
                      reinterpret_cast<void**>(&translations), &length) ||
      length < sizeof(Translation))
    return info;
  for (const char* name : {"ProductName", "ProductVersion", "FileVersion", "CompanyName",
                           "FileDescription", "LegalCopyright"}) {
    char query[128];
    std::snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\%s", translations[0].language,
                  translations[0].codePage, name);
    char* value = nullptr;
    UINT valueLength = 0;
    if (VerQueryValueA(data.data(), query, reinterpret_cast<void**>(&value), &valueLength) && value)
      info.strings[name] = value;
  }
  return info;
}

// The version as the four numbers of a file's version ("0.1.0" -> "0.1.0.0").
std::string versionQuad() {
  std::string quad = version;
  for (auto dots = std::count(quad.begin(), quad.end(), '.'); dots < 3; ++dots) quad += ".0";
  return quad;
}

// Checks that the program file carries the product's version information.
::testing::AssertionResult carriesTheVersion(const std::string& path) {
  const auto info = versionInfoOf(path);
  if (!info) return ::testing::AssertionFailure() << path << " has no version information";
  auto failure = ::testing::AssertionFailure() << path << ": ";
  bool failed = false;
  const auto expect = [&](const std::string& what, const std::string& actual,
                          const std::string& expected) {
    if (actual == expected) return;
    failure << what << " is \"" << actual << "\", not \"" << expected << "\"; ";
    failed = true;
  };
  expect("the file version", info->fixedFileVersion, versionQuad());
  expect("ProductName", info->text("ProductName"), "Glimmerweave");
  expect("ProductVersion", info->text("ProductVersion"), version);
  expect("FileVersion", info->text("FileVersion"), versionQuad());
  return failed ? failure : ::testing::AssertionSuccess();
}

// The images of an icon file (.ico), each as its bytes.
std::vector<std::string> iconFileImages(const std::string& path) {
  std::vector<std::string> images;
  const auto contents = fileContents(path);
  if (!contents || contents->size() < 6) return images;
  const auto word = [&](std::size_t at) {
    return static_cast<unsigned>(static_cast<unsigned char>((*contents)[at])) |
           static_cast<unsigned>(static_cast<unsigned char>((*contents)[at + 1])) << 8;
  };
  const auto dword = [&](std::size_t at) { return word(at) | word(at + 2) << 16; };
  const unsigned count = word(4);
  for (unsigned index = 0; index < count; ++index) {
    const std::size_t entry = 6 + 16 * std::size_t(index);
    if (entry + 16 > contents->size()) break;
    const std::size_t size = dword(entry + 8), offset = dword(entry + 12);
    if (offset + size > contents->size()) break;
    images.push_back(contents->substr(offset, size));
  }
  return images;
}

BOOL CALLBACK collectIconImage(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR parameter) {
  auto* images = reinterpret_cast<std::vector<std::string>*>(parameter);
  HRSRC resource = FindResourceA(module, name, type);
  HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (bytes)
    images->emplace_back(static_cast<const char*>(bytes), SizeofResource(module, resource));
  return TRUE;
}

// Checks that the program file's icon resources hold every image of the program's icon.
::testing::AssertionResult carriesTheIcon(const std::string& path) {
  const auto wanted = iconFileImages(windowsPath(iconPath));
  if (wanted.empty()) return ::testing::AssertionFailure() << "no images in " << iconPath;
  HMODULE module = LoadLibraryExA(path.c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!module) return ::testing::AssertionFailure() << "cannot open " << path;
  std::vector<std::string> images;
  EnumResourceNamesA(module, MAKEINTRESOURCEA(3) /* RT_ICON */, collectIconImage,
                     reinterpret_cast<LONG_PTR>(&images));
  FreeLibrary(module);
  for (std::size_t index = 0; index < wanted.size(); ++index)
    if (std::find(images.begin(), images.end(), wanted[index]) == images.end())
      return ::testing::AssertionFailure() << path << " lacks image " << index << " of " << iconPath
                                           << " (it has " << images.size() << " icon images)";
  return ::testing::AssertionSuccess();
}

// ---------------------------------------------------------------------------
// Setup's pages

struct ControlSearch {
  std::string text;
  HWND found = nullptr;
};

BOOL CALLBACK matchControl(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<ControlSearch*>(parameter);
  if (!IsWindowVisible(window) || windowText(window) != search->text) return TRUE;
  search->found = window;
  return FALSE;
}

// The visible control (at any depth) of `window` with exactly this text, or null.
HWND controlWithText(HWND window, const std::string& text) {
  ControlSearch search{text};
  EnumChildWindows(window, matchControl, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

struct ClassSearch {
  std::string className;
  HWND found = nullptr;
};

BOOL CALLBACK matchClass(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<ClassSearch*>(parameter);
  if (!IsWindowVisible(window) || windowClass(window) != search->className) return TRUE;
  search->found = window;
  return FALSE;
}

// The first visible control (at any depth) of `window` of this class, or null.
HWND controlOfClass(HWND window, const std::string& className) {
  ClassSearch search{className};
  EnumChildWindows(window, matchClass, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Waits for a visible control with this text in `window` (a page coming up).
HWND waitForControl(HWND window, const std::string& text) {
  HWND control = nullptr;
  waitUntil([&] { return (control = controlWithText(window, text)) != nullptr; });
  return control;
}

bool isTicked(HWND checkBox) {
  return sendMessage(checkBox, BM_GETCHECK, 0, 0).value_or(-1) == BST_CHECKED;
}

// Clicks a button of another program, as the mouse would, and waits until it has taken
// the click in. For a check box.
bool click(HWND button) {
  return button && sendMessage(button, BM_CLICK, 0, 0).has_value();
}

// Clicks one of Setup's own buttons (Next, Install, ...) without waiting: the page that
// comes up runs its own message loop (nsDialogs), inside the handling of the click.
bool press(HWND button) {
  return button && PostMessageA(button, BM_CLICK, 0, 0);
}

// Setup's "Next" button, whatever it says on a page ("Install", "Finish", ...).
HWND nextButton(HWND setup) {
  return GetDlgItem(setup, IDOK);
}

// Saves Setup's window, as it shows on the screen, as a PNG file in the case's folder.
void saveWindowPicture(HWND window, const std::string& name) {
  ASSERT_TRUE(settle(window));
  // What the page painted last reaches the screen after its own thread handled it.
  Sleep(500);
  RECT area{};
  ASSERT_TRUE(GetWindowRect(window, &area));
  const Screenshot shot = captureScreen(area);
  ASSERT_GT(shot.width, 0);
  RgbImage image;
  image.width = shot.width;
  image.height = shot.height;
  for (const std::uint32_t pixel : shot.pixels)
    for (const int shift : {16, 8, 0}) image.pixels.push_back(std::uint8_t(pixel >> shift));
  std::string error;
  ASSERT_TRUE(writePng(name, image, error)) << name << ": " << error;
  std::printf("saved %s (%d x %d)\n", name.c_str(), image.width, image.height);
  EXPECT_GT(litShare(shot), 0.5) << "the picture of the window is mostly dark";
}

// The top-level window with this caption, once it shows.
HWND waitForTopWindow(const std::string& caption) {
  HWND window = nullptr;
  waitUntil(
      [&] {
        window = FindWindowA("#32770", caption.c_str());
        return window != nullptr && IsWindowVisible(window);
      },
      kStartPatience);
  return window;
}

class Setup : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(installerPath.empty()) << "give --installer=PATH";
    ASSERT_FALSE(screenSaverPath.empty()) << "give --screen-saver=PATH";
    ASSERT_FALSE(iconPath.empty()) << "give --icon=PATH";
    ASSERT_FALSE(version.empty()) << "give --version=X.Y.Z";
    // A machine without Glimmerweave, with another screen saver chosen.
    ASSERT_FALSE(fileExists(installedScreenSaver())) << installedScreenSaver() << " is there";
    ASSERT_FALSE(keyExists(HKEY_LOCAL_MACHINE, kUninstallKey, 0));
    ASSERT_NO_FATAL_FAILURE(chooseScreenSaver(kOtherScreenSaver));
  }
};

// ---------------------------------------------------------------------------
// The packages themselves

TEST_F(Setup, InstallerAndScreenSaverCarryTheVersionAndTheIcon) {
  const std::string installer = windowsPath(installerPath);
  EXPECT_TRUE(carriesTheVersion(installer));
  EXPECT_TRUE(carriesTheIcon(installer));
  const auto info = versionInfoOf(installer);
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->text("CompanyName"), kPublisher);

  const std::string screenSaver = windowsPath(screenSaverPath);
  EXPECT_TRUE(carriesTheVersion(screenSaver));
  EXPECT_TRUE(carriesTheIcon(screenSaver));
}

// ---------------------------------------------------------------------------
// Silent installation

TEST_F(Setup, SilentInstallPutsTheScreenSaverInTheSystemFolderListsItAndChoosesIt) {
  const auto installer = runInstallerTree("/S");
  ASSERT_NE(installer, nullptr);
  ASSERT_EQ(installer->exitCode(), 0u);
  // Silent: no Screen Saver Settings (rundll32 desk.cpl) coming up.
  EXPECT_FALSE(installer->ran("rundll32.exe")) << describe(installer->programs());

  EXPECT_TRUE(installedFileIsTheScreenSaver());

  // Add/Remove Programs, in the 64-bit view, and nothing in the 32-bit one.
  EXPECT_EQ(readString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"), "Glimmerweave");
  EXPECT_EQ(readString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion"), version);
  EXPECT_EQ(readString(HKEY_LOCAL_MACHINE, kUninstallKey, "Publisher"), std::string(kPublisher));
  const auto icon = readString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayIcon");
  ASSERT_TRUE(icon.has_value());
  EXPECT_EQ(comparablePath(*icon), comparablePath(installedScreenSaver()));
  const std::string uninstaller = installFolder() + "\\uninstall.exe";
  EXPECT_EQ(readString(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"),
            "\"" + uninstaller + "\"");
  EXPECT_EQ(readString(HKEY_LOCAL_MACHINE, kUninstallKey, "QuietUninstallString"),
            "\"" + uninstaller + "\" /S");
  EXPECT_TRUE(fileExists(uninstaller)) << uninstaller;
  EXPECT_TRUE(fileExists(installFolder() + "\\LICENSE.txt"));
  EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, kUninstallKey, "NoModify"), 1u);
  EXPECT_EQ(readDword(HKEY_LOCAL_MACHINE, kUninstallKey, "NoRepair"), 1u);
  // EstimatedSize is in KiB: about the screen saver and the uninstaller together.
  const auto screenSaverBytes = fileContents(installedScreenSaver()).value_or("").size();
  const auto uninstallerBytes = fileContents(uninstaller).value_or("").size();
  const auto estimated = readDword(HKEY_LOCAL_MACHINE, kUninstallKey, "EstimatedSize");
  ASSERT_TRUE(estimated.has_value()) << "no EstimatedSize DWORD";
  EXPECT_GE(*estimated, (screenSaverBytes + uninstallerBytes) / 1024 - 2);
  EXPECT_LE(*estimated, (screenSaverBytes + uninstallerBytes) / 1024 + 8);
  EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_WOW64_32KEY))
      << "the entry is in the 32-bit registry view too";

  // The user's screen saver, as the control panel stores it.
  const auto chosen = chosenScreenSaver();
  ASSERT_TRUE(chosen.has_value()) << "no REG_SZ SCRNSAVE.EXE";
  EXPECT_EQ(comparablePath(*chosen), comparablePath(installedScreenSaver())) << *chosen;
  EXPECT_EQ(readString(HKEY_CURRENT_USER, kDesktopKey, kActiveValue), "1");

  // The uninstaller looks like the installer.
  EXPECT_TRUE(carriesTheVersion(uninstaller));
  EXPECT_TRUE(carriesTheIcon(uninstaller));
}

TEST_F(Setup, SilentlyInstalledScreenSaverRunsFromTheSystemFolder) {
  ASSERT_NO_FATAL_FAILURE(installSilently("/S"));
  std::string error;

  // /a (the password-change request): ends at once, without a window.
  {
    ChildProcess run;
    ASSERT_TRUE(run.startSuspended(installedScreenSaver(), "/a", systemFolder(), error)) << error;
    WindowCreationWatcher watcher(run.id());
    ASSERT_TRUE(watcher.installed());
    run.resume();
    ASSERT_TRUE(waitUntil([&] { return !run.running(); })) << "/a is still running";
    pumpMessages();
    EXPECT_EQ(run.exitCode(), 0u);
    EXPECT_TRUE(watcher.created().empty())
        << "/a created " << watcher.created().size() << " top-level windows, the first of class "
        << (watcher.created().empty() ? "" : watcher.created().front());
  }

  // /p without a handle: the preview in a small window of its own.
  {
    ChildProcess run;
    ASSERT_TRUE(run.startSuspended(installedScreenSaver(), "/p", systemFolder(), error)) << error;
    run.resume();
    HWND preview = nullptr;
    EXPECT_TRUE(
        waitUntil([&] { return (preview = visibleWindowOf(run.id(), "PointsClass")) != nullptr; },
                  kStartPatience))
        << "/p showed no preview window";
    if (preview) {
      RECT frame{};
      ASSERT_TRUE(GetWindowRect(preview, &frame));
      EXPECT_LT(frame.right - frame.left, GetSystemMetrics(SM_CXSCREEN) / 2)
          << "the preview window is " << integration::describe(frame);
    }
    EXPECT_TRUE(run.running());
  }
}

TEST_F(Setup, SilentInstallWithNoActivateLeavesTheChosenScreenSaverAsItWas) {
  ASSERT_NO_FATAL_FAILURE(installSilently("/S /NOACTIVATE"));
  EXPECT_TRUE(installedFileIsTheScreenSaver());
  EXPECT_EQ(readString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion"), version);
  EXPECT_EQ(chosenScreenSaver(), std::string(kOtherScreenSaver));
  EXPECT_EQ(readString(HKEY_CURRENT_USER, kDesktopKey, kActiveValue), "0");

  // No screen saver chosen at all: it stays so.
  ASSERT_TRUE(deleteValue(HKEY_CURRENT_USER, kDesktopKey, kScreenSaverValue));
  ASSERT_NO_FATAL_FAILURE(installSilently("/S /NOACTIVATE"));
  EXPECT_EQ(chosenScreenSaver(), std::nullopt);
  EXPECT_EQ(readString(HKEY_CURRENT_USER, kDesktopKey, kActiveValue), "0");
}

TEST_F(Setup, InstallingOverAnOlderOrTheSameVersionReplacesTheFileAndKeepsTheSettings) {
  // An older installation: another file and another version in the list.
  ASSERT_TRUE(writeFile(installedScreenSaver(), "an older glimmerweave.scr"));
  ASSERT_TRUE(writeString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion", "0.0.1"));
  ASSERT_NO_FATAL_FAILURE(storeUsersSettings());
  const StoredValues settings = readValues(HKEY_CURRENT_USER, kSettingsKey);

  for (const char* round : {"over the older version", "over the same version"}) {
    SCOPED_TRACE(round);
    ASSERT_NO_FATAL_FAILURE(installSilently("/S"));
    EXPECT_TRUE(installedFileIsTheScreenSaver());
    EXPECT_EQ(readString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayVersion"), version);
    EXPECT_TRUE(sameValues(settings, readValues(HKEY_CURRENT_USER, kSettingsKey)));
  }
}

TEST_F(Setup, InstallerStopsWithoutChangingAnythingWhileTheScreenSaverIsInUse) {
  const std::string stranger = "a glimmerweave.scr that some program holds open";
  ASSERT_TRUE(writeFile(installedScreenSaver(), stranger));
  {
    // Held open without sharing write access, as a running program holds its file.
    HANDLE held = CreateFileA(installedScreenSaver().c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE) << systemMessage(GetLastError());
    const auto status = runInstaller("/S");
    CloseHandle(held);
    ASSERT_TRUE(status.has_value());
    EXPECT_NE(*status, 0u) << "the installer reported success";
  }
  EXPECT_EQ(fileContents(installedScreenSaver()), stranger);
  EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, kUninstallKey, 0)) << "the entry was written";
  EXPECT_FALSE(folderExists(installFolder())) << installFolder() << " was made";
  EXPECT_EQ(chosenScreenSaver(), std::string(kOtherScreenSaver));
  EXPECT_EQ(readString(HKEY_CURRENT_USER, kDesktopKey, kActiveValue), "0");

  // The installed screen saver running (its preview window): an update waits for it.
  ASSERT_TRUE(DeleteFileA(installedScreenSaver().c_str()));
  ASSERT_NO_FATAL_FAILURE(installSilently("/S"));
  {
    ChildProcess run;
    std::string error;
    ASSERT_TRUE(run.startSuspended(installedScreenSaver(), "/p", systemFolder(), error)) << error;
    run.resume();
    ASSERT_TRUE(waitUntil([&] { return visibleWindowOf(run.id(), "PointsClass") != nullptr; },
                          kStartPatience));
    const auto status = runInstaller("/S");
    ASSERT_TRUE(status.has_value());
    EXPECT_NE(*status, 0u) << "the installer replaced the running screen saver";
    EXPECT_TRUE(run.running());
  }
  // Once it has ended, the update goes through.
  ASSERT_NO_FATAL_FAILURE(installSilently("/S"));
  EXPECT_TRUE(installedFileIsTheScreenSaver());
}

// ---------------------------------------------------------------------------
// Silent uninstallation

TEST_F(Setup, SilentUninstallRemovesTheScreenSaverAndItsEntryAndKeepsTheSettingsUnlessAsked) {
  ASSERT_NO_FATAL_FAILURE(installSilently("/S"));
  ASSERT_NO_FATAL_FAILURE(storeUsersSettings());
  const StoredValues settings = readValues(HKEY_CURRENT_USER, kSettingsKey);

  ASSERT_NO_FATAL_FAILURE(uninstallSilently());
  EXPECT_FALSE(fileExists(installedScreenSaver()));
  EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, kUninstallKey, 0));
  EXPECT_FALSE(folderExists(installFolder())) << installFolder() << " is still there";
  EXPECT_EQ(chosenScreenSaver(), std::nullopt) << "Glimmerweave is still the screen saver";
  EXPECT_TRUE(sameValues(settings, readValues(HKEY_CURRENT_USER, kSettingsKey)));

  // Asked to, it removes the settings too.
  ASSERT_NO_FATAL_FAILURE(installSilently("/S"));
  ASSERT_NO_FATAL_FAILURE(uninstallSilently("/REMOVESETTINGS"));
  EXPECT_FALSE(fileExists(installedScreenSaver()));
  EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, kSettingsKey, 0)) << "the settings are still there";
}

TEST_F(Setup, SilentUninstallClearsTheChosenScreenSaverOnlyWhenItIsGlimmerweave) {
  char shortPath[MAX_PATH + 1] = {};
  struct Choice {
    const char* what;
    std::function<std::string()> path;
    bool cleared;
  };
  const Choice choices[] = {
      {"another screen saver", [] { return std::string(kOtherScreenSaver); }, false},
      {"another file named like it", [] { return systemFolder() + "\\glimmerweave-classic.scr"; },
       false},
      {"Glimmerweave in capitals", [] { return upperCase(installedScreenSaver()); }, true},
      {"Glimmerweave in its 8.3 form",
       [&] {
         GetShortPathNameA(installedScreenSaver().c_str(), shortPath, sizeof shortPath);
         return std::string(shortPath);
       },
       true},
  };
  for (const Choice& choice : choices) {
    SCOPED_TRACE(choice.what);
    ASSERT_NO_FATAL_FAILURE(installSilently("/S /NOACTIVATE"));
    const std::string path = choice.path();
    ASSERT_FALSE(path.empty());
    ASSERT_NO_FATAL_FAILURE(chooseScreenSaver(path));
    ASSERT_NO_FATAL_FAILURE(uninstallSilently());
    EXPECT_FALSE(fileExists(installedScreenSaver()));
    if (choice.cleared)
      EXPECT_EQ(chosenScreenSaver(), std::nullopt) << "it was " << path;
    else
      EXPECT_EQ(chosenScreenSaver(), path);
  }
}

// ---------------------------------------------------------------------------
// Page by page

TEST_F(Setup, InstallerPagesShowTheLicenceAndBothOptionsTickedAndDoAsChosen) {
  ProcessTree installer;
  std::string error;
  ASSERT_TRUE(installer.start(windowsPath(installerPath), "", error)) << error;
  HWND setup = waitForTopWindow("Glimmerweave " + version + " Setup");
  ASSERT_NE(setup, nullptr) << "no Setup window came up";

  // Welcome, then the licence.
  ASSERT_NE(waitForControl(setup, "&Next >"), nullptr) << "no welcome page";
  ASSERT_NO_FATAL_FAILURE(saveWindowPicture(setup, "installer-welcome-page.png"));
  ASSERT_TRUE(press(nextButton(setup)));
  ASSERT_NE(waitForControl(setup, "I &Agree"), nullptr) << "no licence page";
  HWND licence = controlOfClass(setup, "RichEdit20W");
  ASSERT_NE(licence, nullptr) << "no licence text";
  const std::string licenceText = windowText(licence);
  EXPECT_NE(licenceText.find("MIT License"), std::string::npos) << licenceText;
  EXPECT_NE(licenceText.find("Glimmerweave developers"), std::string::npos) << licenceText;
  ASSERT_NO_FATAL_FAILURE(saveWindowPicture(setup, "installer-licence-page.png"));
  ASSERT_TRUE(press(nextButton(setup)));

  // The options, both ticked; the button says what comes next.
  HWND activate = waitForControl(setup, "&Make Glimmerweave my screen saver");
  HWND openSettings = controlWithText(setup, "&Open the screen-saver settings when done");
  ASSERT_NE(activate, nullptr) << "no options page";
  ASSERT_NE(openSettings, nullptr);
  EXPECT_TRUE(isTicked(activate));
  EXPECT_TRUE(isTicked(openSettings));
  EXPECT_EQ(windowText(nextButton(setup)), "&Install");
  ASSERT_NO_FATAL_FAILURE(saveWindowPicture(setup, "installer-options-page.png"));

  // Leave the chosen screen saver, but look at Glimmerweave in the settings.
  ASSERT_TRUE(click(activate));
  EXPECT_FALSE(isTicked(activate));
  ASSERT_TRUE(press(nextButton(setup)));
  ASSERT_NE(waitForControl(setup, "&Finish"), nullptr) << "no finish page";
  ASSERT_NO_FATAL_FAILURE(saveWindowPicture(setup, "installer-finish-page.png"));
  ASSERT_TRUE(press(nextButton(setup)));
  // The settings open as Setup closes (Wine's rundll32 finds no desk.cpl and ends; on
  // Windows the settings stay open until the end of the case ends the job).
  ASSERT_TRUE(waitUntil(
      [&] {
        return installer.ended() || (installer.ran("rundll32.exe") && !installer.firstRunning());
      },
      kSetupPatience))
      << "Setup did not end after Finish";
  EXPECT_TRUE(installer.ran("rundll32.exe"))
      << "the screen-saver settings were not opened; programs run: "
      << describe(installer.programs());
  EXPECT_EQ(installer.exitCode(), 0u);

  EXPECT_TRUE(installedFileIsTheScreenSaver());
  EXPECT_EQ(chosenScreenSaver(), std::string(kOtherScreenSaver));
  EXPECT_EQ(readString(HKEY_CURRENT_USER, kDesktopKey, kActiveValue), "0");
}

TEST_F(Setup, UninstallerPageOffersToRemoveTheSettingsUntickedAndRemovesThemWhenTicked) {
  ASSERT_NO_FATAL_FAILURE(installSilently("/S"));
  ASSERT_NO_FATAL_FAILURE(storeUsersSettings());
  const auto command = registeredCommand("UninstallString");
  ASSERT_TRUE(command.has_value());

  ProcessTree uninstaller;
  std::string error;
  ASSERT_TRUE(uninstaller.start(command->program, command->arguments, error)) << error;
  HWND setup = waitForTopWindow("Glimmerweave " + version + " Uninstall");
  ASSERT_NE(setup, nullptr) << "no uninstaller window came up";
  HWND removeSettings = waitForControl(setup, "Also remove my Glimmerweave &settings");
  ASSERT_NE(removeSettings, nullptr) << "no options page";
  EXPECT_FALSE(isTicked(removeSettings));
  EXPECT_EQ(windowText(nextButton(setup)), "&Uninstall");
  ASSERT_NO_FATAL_FAILURE(saveWindowPicture(setup, "uninstaller-options-page.png"));

  ASSERT_TRUE(click(removeSettings));
  EXPECT_TRUE(isTicked(removeSettings));
  ASSERT_TRUE(press(nextButton(setup)));
  ASSERT_NE(waitForControl(setup, "&Finish"), nullptr) << "no finish page";
  ASSERT_TRUE(press(nextButton(setup)));
  ASSERT_TRUE(uninstaller.waitForAll(kSetupPatience)) << "the uninstaller did not end";

  EXPECT_FALSE(fileExists(installedScreenSaver()));
  EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, kUninstallKey, 0));
  EXPECT_EQ(chosenScreenSaver(), std::nullopt);
  EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, kSettingsKey, 0)) << "the settings are still there";
}

}  // namespace
}  // namespace glimmerweave::packaging

int main(int argc, char** argv) {
  // Wine starts the desktop's process for the first program that asks for the desktop
  // window. Asked here, it is this program's, and never a process of an installer's
  // tree that the cases wait for.
  GetDesktopWindow();
  using namespace glimmerweave::packaging;
  return glimmerweave::integration::runTestCases(argc, argv,
                                                 {{"--installer=", &installerPath},
                                                  {"--screen-saver=", &screenSaverPath},
                                                  {"--icon=", &iconPath},
                                                  {"--version=", &version}});
}
