#include "screen_saver_run.h"

#include <cstring>

namespace glimmerweave::integration {

std::string screenSaverPath;
std::string passwordComponentPath;

std::string describe(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + ("\"" + name + "\"");
  return text.empty() ? "none" : text;
}

std::string describe(POINT point) {
  // Appended piece by piece: GCC 12 at -O3 takes "(" + std::string for an overlapping
  // copy (-Wrestrict) that cannot happen.
  std::string text = "(";
  text += std::to_string(point.x);
  text += ", ";
  text += std::to_string(point.y);
  text += ")";
  return text;
}

std::map<std::string, DWORD> storedSettings() {
  std::map<std::string, DWORD> settings;
  for (const auto& [name, value] : readValues(HKEY_CURRENT_USER, kSettingsKey)) {
    DWORD number = 0xDEADBEEF;
    if (value.type == REG_DWORD && value.data.size() == sizeof number)
      std::memcpy(&number, value.data.data(), sizeof number);
    settings[name] = number;
  }
  return settings;
}

std::map<std::string, DWORD> firstRunSettings() {
  return {{"Speed", 3}, {"Brightness", 100}, {"Algoritm", 15}, {"Detail", 5}, {"Rands", 0}};
}

void ScreenSaverRun::SetUp() {
  ASSERT_FALSE(screenSaverPath.empty()) << "no --screen-saver=PATH given";
  screenWidth_ = GetSystemMetrics(SM_CXSCREEN);
  screenHeight_ = GetSystemMetrics(SM_CYSCREEN);
  // The run measures mouse movements from where the cursor stands when it starts.
  start_ = POINT{screenWidth_ / 2, screenHeight_ / 2};
  ASSERT_TRUE(moveCursorTo(start_.x, start_.y));
  ASSERT_TRUE(waitUntil([&] {
    const POINT now = cursorPosition();
    return now.x == start_.x && now.y == start_.y;
  })) << "the cursor did not go to "
      << describe(start_) << "; it is at " << describe(cursorPosition());
}

void ScreenSaverRun::startScreenSaver(const std::string& arguments, std::string program,
                                      const std::string& folder) {
  if (program.empty()) program = windowsPath(screenSaverPath);
  process_ = std::make_unique<ChildProcess>();
  std::string error;
  ASSERT_TRUE(process_->startSuspended(program, arguments,
                                       folder.empty() ? folderOf(program) : folder, error))
      << error;
  watcher_ = std::make_unique<WindowCreationWatcher>(process_->id());
  ASSERT_TRUE(watcher_->installed())
      << "cannot watch the windows the program creates: " << systemMessage(GetLastError());
  process_->resume();
}

void ScreenSaverRun::waitForWindow(const std::string& className, HWND& window) {
  window = nullptr;
  const bool shown = waitUntil(
      [&] {
        window = visibleWindowOf(process_->id(), className);
        return window != nullptr || !process_->running();
      },
      kStartPatience);
  ASSERT_TRUE(shown && window) << (process_->running()
                                       ? "no visible \"" + className + "\" window appeared"
                                       : "the program ended (exit code " +
                                             std::to_string(process_->exitCode()) +
                                             ") without showing a \"" + className + "\" window");
}

::testing::AssertionResult ScreenSaverRun::animates(const std::string& label) {
  return animates(label, RECT{0, 0, screenWidth_, screenHeight_});
}

::testing::AssertionResult ScreenSaverRun::animates(const std::string& label, const RECT& area) {
  Screenshot first;
  if (!waitUntil([&] {
        first = captureScreen(area);
        return litShare(first) >= kLitShare;
      })) {
    saveBitmap(first, label + "-dark.bmp");
    return ::testing::AssertionFailure()
           << "the picture at " << describe(area) << " stayed dark (" << litShare(first) * 100
           << "% lit; the screenshot is in " << label << "-dark.bmp)";
  }
  // Not the first frames only: the picture must still change a while later.
  Sleep(kLookAgainAfter);
  first = captureScreen(area);
  Screenshot later;
  double changed = 0;
  if (!waitUntil([&] {
        later = captureScreen(area);
        changed = differingShare(first, later);
        return changed >= kChangedShare && litShare(later) >= kLitShare;
      })) {
    saveBitmap(first, label + "-first.bmp");
    saveBitmap(later, label + "-later.bmp");
    return ::testing::AssertionFailure()
           << "the picture at " << describe(area) << " did not change: " << changed * 100
           << "% of the pixels differ, the later shot is " << litShare(later) * 100
           << "% lit (screenshots in " << label << "-first.bmp and " << label << "-later.bmp)";
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult ScreenSaverRun::inForeground(HWND window) {
  if (waitUntil([&] { return GetForegroundWindow() == window; }))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "the program's window never became the foreground window (it is a window of class \""
         << windowClass(GetForegroundWindow()) << "\"), so key presses cannot reach it";
}

::testing::AssertionResult ScreenSaverRun::stillRunning(HWND window) {
  if (!settle(window)) return ::testing::AssertionFailure() << "the program's window went away";
  if (process_->waitForExit(kGraceToEnd))
    return ::testing::AssertionFailure()
           << "the program ended (exit code " << process_->exitCode() << ")";
  if (!IsWindow(window) || !IsWindowVisible(window))
    return ::testing::AssertionFailure() << "the program's window is no longer shown";
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult ScreenSaverRun::endsCleanly() {
  if (!process_->waitForExit(kPatience))
    return ::testing::AssertionFailure() << "the program is still running";
  if (process_->exitCode() != 0)
    return ::testing::AssertionFailure()
           << "the program ended with exit code " << process_->exitCode();
  return ::testing::AssertionSuccess();
}

}  // namespace glimmerweave::integration
