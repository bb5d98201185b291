// The settings dialog (glimmerweave.scr /c) as the user meets it: its controls
// where they belong with the stored settings on them, a live preview that follows
// the Detail slider, "Save settings" storing the five values, and "Close", Escape
// and the close box ending the program without storing anything.
#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "screen_saver_harness.h"
#include "screen_saver_run.h"

namespace glimmerweave::integration {
namespace {

constexpr const char* kDialogCaption = "Glimmerweave Settings";
constexpr int kClientWidth = 400;
constexpr int kClientHeight = 420;

constexpr RECT place(int left, int top, int width, int height) {
  return RECT{left, top, left + width, top + height};
}

// The live preview, in the dialog's client coordinates.
constexpr RECT kPreviewPlace = place(0, 0, 400, 300);

// A control with a caption, by its window class and place in client coordinates.
struct CaptionedControl {
  const char* className;
  const char* caption;
  RECT place;
};

constexpr std::array<CaptionedControl, 8> kCaptionedControls{{
    {"TDXDraw", "", place(0, 0, 400, 300)},
    {"Button", "Casual Algorithm", place(10, 304, 263, 17)},
    {"Static", "Speed", place(10, 323, 45, 20)},
    {"Static", "Brightness", place(10, 358, 70, 20)},
    {"Static", "Algorithm", place(207, 323, 66, 20)},
    {"Static", "Detailed", place(207, 358, 57, 20)},
    {"Button", "Save settings", place(11, 395, 94, 17)},
    {"Button", "Close", place(318, 395, 74, 17)},
}};
constexpr const char* kCheckBoxCaption = "Casual Algorithm";
constexpr const char* kSaveCaption = "Save settings";
constexpr const char* kCloseCaption = "Close";

// The sliders, each told by its place.
enum SliderIndex { kSpeed, kBrightness, kAlgorithm, kDetail };
struct SliderLayout {
  const char* name;
  RECT place;
  int minimum;
  int maximum;
};
constexpr const char* kTrackBarClass = "msctls_trackbar32";
constexpr std::array<SliderLayout, 4> kSliders{{
    {"Speed", place(3, 340, 170, 10), 0, 10},
    {"Brightness", place(3, 375, 170, 10), 1, 100},
    {"Algorithm", place(200, 340, 170, 10), 0, 31},
    {"Detail", place(200, 375, 170, 10), 0, 10},
}};

// How fine the preview's picture is, as the share of its columns and rows where the
// colour changes (edgeShares). The Detail slider sets the frame the preview
// stretches to 400 x 300: 133 x 100 at 0 (edges at most at every third column and
// row), 267 x 200 at 5 (two in three), 400 x 300 at 10 (pixel for pixel, edges
// almost everywhere). The lower limits ask for a picture with enough in it to show
// its grid.
struct EdgeRange {
  double minimum;
  double maximum;
};
constexpr EdgeRange kDetail0Edges{0.2, 0.4};
constexpr EdgeRange kDetail5Edges{0.45, 0.7};
constexpr EdgeRange kDetail10Edges{0.8, 1.0};

bool sameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string describeSettings(const std::map<std::string, DWORD>& settings) {
  std::string text;
  for (const auto& [name, value] : settings)
    text += (text.empty() ? "" : ", ") + name + " " + std::to_string(value);
  return text.empty() ? "none" : text;
}

// Settings that differ from the first-run ones in every value.
std::map<std::string, DWORD> storedBeforeTheDialog() {
  return {{"Speed", 7}, {"Brightness", 60}, {"Algoritm", 9}, {"Detail", 8}, {"Rands", 0}};
}

class SettingsDialog : public ScreenSaverRun {
 protected:
  // Saves the settings key; the case sets it up before opening the dialog.
  void SetUp() override {
    ScreenSaverRun::SetUp();
    savedSettings_ = std::make_unique<SavedKey>(HKEY_CURRENT_USER, kSettingsKey);
    ASSERT_TRUE(deleteKey(HKEY_CURRENT_USER, kSettingsKey));
  }
  void TearDown() override { savedSettings_.reset(); }

  // Stores `settings` as the program's settings.
  void store(const std::map<std::string, DWORD>& settings) {
    for (const auto& [name, value] : settings)
      ASSERT_TRUE(writeDword(HKEY_CURRENT_USER, kSettingsKey, name, value));
    ASSERT_EQ(storedSettings(), settings);
  }

  // Starts the program with /c and waits for the dialog and its sliders.
  void openDialog() {
    ASSERT_NO_FATAL_FAILURE(startScreenSaver("/c"));
    const bool shown = waitUntil(
        [&] {
          for (HWND window : windowsOf(process_->id(), ""))
            if (IsWindowVisible(window) && windowText(window) == kDialogCaption) dialog_ = window;
          return dialog_ != nullptr || !process_->running();
        },
        kStartPatience);
    ASSERT_TRUE(shown && dialog_) << (process_->running()
                                          ? "no visible window captioned \"" +
                                                std::string(kDialogCaption) +
                                                "\" appeared; the program's windows: " +
                                                describeWindows(windowsOf(process_->id(), ""))
                                          : "the program ended (exit code " +
                                                std::to_string(process_->exitCode()) +
                                                ") without showing the dialog");
    for (std::size_t index = 0; index < kSliders.size(); ++index)
      sliders_[index] = childAt(kTrackBarClass, kSliders[index].place);
  }

  // The dialog's visible direct child of the class with the caption, or null.
  HWND control(const char* className, const char* caption) const {
    for (HWND child : childWindowsOf(dialog_))
      if (IsWindowVisible(child) && _stricmp(windowClass(child).c_str(), className) == 0 &&
          windowText(child) == caption)
        return child;
    return nullptr;
  }

  // The dialog's visible direct child of the class at `place`, or null.
  HWND childAt(const char* className, const RECT& where) const {
    for (HWND child : childWindowsOf(dialog_))
      if (IsWindowVisible(child) && _stricmp(windowClass(child).c_str(), className) == 0 &&
          sameRect(placeIn(child, dialog_), where))
        return child;
    return nullptr;
  }

  // A slider, found by its place; fails the case when it is not there.
  HWND slider(SliderIndex index) {
    HWND found = sliders_[index];
    EXPECT_NE(found, nullptr) << "no " << kTrackBarClass << " at "
                              << describe(kSliders[index].place) << " for the "
                              << kSliders[index].name << " slider; the dialog has "
                              << describeWindows(childWindowsOf(dialog_));
    return found;
  }

  std::optional<LRESULT> sliderPosition(SliderIndex index) {
    return sendMessage(slider(index), TBM_GETPOS, 0, 0);
  }

  // Moves a slider as dragging its thumb would: the new position, then the
  // notifications the slider sends its dialog.
  ::testing::AssertionResult moveSlider(SliderIndex index, int position) {
    HWND control = slider(index);
    if (!control) return ::testing::AssertionFailure() << "no slider to move";
    const auto handle = reinterpret_cast<LPARAM>(control);
    if (!sendMessage(control, TBM_SETPOS, TRUE, position) ||
        !sendMessage(dialog_, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position), handle) ||
        !sendMessage(dialog_, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), handle))
      return ::testing::AssertionFailure() << "the dialog did not answer";
    const std::optional<LRESULT> now = sliderPosition(index);
    if (now != position)
      return ::testing::AssertionFailure() << "the " << kSliders[index].name << " slider stands at "
                                           << now.value_or(-1) << " instead of " << position;
    return ::testing::AssertionSuccess();
  }

  // Clicks the dialog's control with the caption, with the mouse.
  ::testing::AssertionResult clickOn(const char* className, const char* caption) {
    HWND target = control(className, caption);
    if (!target)
      return ::testing::AssertionFailure()
             << "no " << className << " \"" << caption << "\"; the dialog has "
             << describeWindows(childWindowsOf(dialog_));
    RECT rect{};
    GetWindowRect(target, &rect);
    const POINT centre = centreOf(rect);
    if (!clickAt(centre.x, centre.y))
      return ::testing::AssertionFailure() << "cannot click: " << systemMessage(GetLastError());
    return ::testing::AssertionSuccess();
  }

  // The preview on the screen.
  RECT previewOnScreen() const {
    RECT rect = kPreviewPlace;
    MapWindowPoints(dialog_, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
  }

  // Waits until the preview shows a picture as fine as `range` says, in both
  // directions. `label` names the .bmp file saved on failure.
  ::testing::AssertionResult previewEdgesWithin(const EdgeRange& range, const std::string& label) {
    const RECT area = previewOnScreen();
    Screenshot shot;
    EdgeShares shares;
    const auto within = [&](double share) {
      return share >= range.minimum && share <= range.maximum;
    };
    if (waitUntil([&] {
          shot = captureScreen(area);
          shares = edgeShares(shot);
          return within(shares.columns) && within(shares.rows);
        }))
      return ::testing::AssertionSuccess();
    saveBitmap(shot, label + ".bmp");
    return ::testing::AssertionFailure()
           << "the preview at " << describe(area) << " changes colour at " << shares.columns * 100
           << "% of its columns and " << shares.rows * 100 << "% of its rows, not between "
           << range.minimum * 100 << "% and " << range.maximum * 100
           << "% (the last screenshot is in " << label << ".bmp)";
  }

  // Checks that the dialog is still open after it took in the input so far.
  ::testing::AssertionResult stillOpen() { return stillRunning(dialog_); }

  static std::string describeWindows(const std::vector<HWND>& windows) {
    std::string text;
    for (HWND window : windows) {
      text += (text.empty() ? "" : "; ") + windowClass(window) + " \"" + windowText(window) +
              "\" at " + describe(placeIn(window, GetParent(window)));
      if (!IsWindowVisible(window)) text += " (hidden)";
    }
    return text.empty() ? "no windows" : text;
  }

  HWND dialog_ = nullptr;
  std::array<HWND, 4> sliders_{};
  std::unique_ptr<SavedKey> savedSettings_;
};

// ---------------------------------------------------------------------------
// Layout and first start

TEST_F(SettingsDialog, FirstStartShowsEveryControlInPlaceWithTheDefaultsAndStoresThem) {
  ASSERT_NO_FATAL_FAILURE(openDialog());

  RECT client{};
  ASSERT_TRUE(GetClientRect(dialog_, &client));
  EXPECT_EQ(client.right - client.left, kClientWidth);
  EXPECT_EQ(client.bottom - client.top, kClientHeight);

  // Every visible child is one of the listed controls, the preview's drawing
  // area among them.
  std::vector<HWND> listed;
  for (const CaptionedControl& expected : kCaptionedControls) {
    SCOPED_TRACE(std::string(expected.className) + " \"" + expected.caption + "\"");
    HWND found = control(expected.className, expected.caption);
    ASSERT_NE(found, nullptr) << "the dialog has " << describeWindows(childWindowsOf(dialog_));
    EXPECT_EQ(describe(placeIn(found, dialog_)), describe(expected.place));
    listed.push_back(found);
  }
  const auto buttonType = [](HWND button) {
    return GetWindowLongPtrA(button, GWL_STYLE) & BS_TYPEMASK;
  };
  const LONG_PTR checkBoxType = buttonType(control("Button", kCheckBoxCaption));
  EXPECT_TRUE(checkBoxType == BS_AUTOCHECKBOX || checkBoxType == BS_CHECKBOX)
      << "\"" << kCheckBoxCaption << "\" is not a check box (button type " << checkBoxType << ")";
  for (const char* caption : {kSaveCaption, kCloseCaption}) {
    const LONG_PTR type = buttonType(control("Button", caption));
    EXPECT_TRUE(type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON)
        << "\"" << caption << "\" is not a push button (button type " << type << ")";
  }
  EXPECT_EQ(sendMessage(control("Button", kCheckBoxCaption), BM_GETCHECK, 0, 0),
            std::optional<LRESULT>(BST_UNCHECKED));

  const std::array<int, 4> firstPositions{3, 100, 15, 5};
  for (std::size_t index = 0; index < kSliders.size(); ++index) {
    const SliderLayout& expected = kSliders[index];
    SCOPED_TRACE(std::string("the ") + expected.name + " slider");
    HWND found = slider(static_cast<SliderIndex>(index));
    if (!found) continue;
    listed.push_back(found);
    EXPECT_FALSE(GetWindowLongPtrA(found, GWL_STYLE) & TBS_VERT) << "it stands upright";
    EXPECT_EQ(sendMessage(found, TBM_GETRANGEMIN, 0, 0), std::optional<LRESULT>(expected.minimum));
    EXPECT_EQ(sendMessage(found, TBM_GETRANGEMAX, 0, 0), std::optional<LRESULT>(expected.maximum));
    EXPECT_EQ(sendMessage(found, TBM_GETPOS, 0, 0), std::optional<LRESULT>(firstPositions[index]));
  }
  std::vector<HWND> others;
  for (HWND child : childWindowsOf(dialog_))
    if (IsWindowVisible(child) && std::find(listed.begin(), listed.end(), child) == listed.end())
      others.push_back(child);
  EXPECT_TRUE(others.empty()) << "the dialog has other windows: " << describeWindows(others);

  EXPECT_TRUE(waitUntil([] { return storedSettings() == firstRunSettings(); }))
      << "stored: " << describeSettings(storedSettings());

  // The preview shows the 267 x 200 frame of Detail 5, stretched to 400 x 300.
  ASSERT_TRUE(inForeground(dialog_));
  EXPECT_TRUE(animates("first-start-preview", previewOnScreen()));
  EXPECT_TRUE(previewEdgesWithin(kDetail5Edges, "first-start-preview-edges"));
}

// ---------------------------------------------------------------------------
// Live preview and saving

TEST_F(SettingsDialog, DetailSliderSetsHowFineThePreviewIsAndSaveSettingsStoresTheFiveValues) {
  ASSERT_NO_FATAL_FAILURE(openDialog());
  ASSERT_TRUE(waitUntil([] { return storedSettings() == firstRunSettings(); }))
      << "stored: " << describeSettings(storedSettings());
  // The preview runs only while the dialog is the active window.
  ASSERT_TRUE(inForeground(dialog_));

  ASSERT_TRUE(moveSlider(kDetail, 0));
  EXPECT_TRUE(previewEdgesWithin(kDetail0Edges, "detail-0"));
  ASSERT_TRUE(moveSlider(kDetail, 10));
  EXPECT_TRUE(previewEdgesWithin(kDetail10Edges, "detail-10"));
  ASSERT_TRUE(moveSlider(kDetail, 0));
  EXPECT_TRUE(previewEdgesWithin(kDetail0Edges, "detail-0-again"));
  ASSERT_TRUE(moveSlider(kDetail, 10));

  ASSERT_TRUE(moveSlider(kSpeed, 7));
  ASSERT_TRUE(moveSlider(kBrightness, 60));
  ASSERT_TRUE(moveSlider(kAlgorithm, 9));
  ASSERT_TRUE(clickOn("Button", kCheckBoxCaption));
  // The click reaches the program through the X server, after any message sent now.
  EXPECT_TRUE(waitUntil([&] {
    return sendMessage(control("Button", kCheckBoxCaption), BM_GETCHECK, 0, 0) ==
           std::optional<LRESULT>(BST_CHECKED);
  })) << "the check box is not ticked after a click on it";
  EXPECT_EQ(storedSettings(), firstRunSettings()) << "the dialog stored changes before saving";

  ASSERT_TRUE(clickOn("Button", kSaveCaption));
  const std::map<std::string, DWORD> saved{
      {"Speed", 7}, {"Brightness", 60}, {"Algoritm", 9}, {"Detail", 10}, {"Rands", 1}};
  EXPECT_TRUE(waitUntil([&] { return storedSettings() == saved; }))
      << "stored after \"Save settings\": " << describeSettings(storedSettings());
  ASSERT_TRUE(stillOpen()) << "after \"Save settings\"";
  EXPECT_TRUE(animates("after-saving", previewOnScreen()));
}

// ---------------------------------------------------------------------------
// Ways out without saving

TEST_F(SettingsDialog, CloseEndsTheProgramWithoutStoringTheChanges) {
  ASSERT_NO_FATAL_FAILURE(store(storedBeforeTheDialog()));
  ASSERT_NO_FATAL_FAILURE(openDialog());
  // The dialog shows what is stored.
  EXPECT_EQ(sliderPosition(kSpeed), std::optional<LRESULT>(7));
  EXPECT_EQ(sliderPosition(kBrightness), std::optional<LRESULT>(60));
  EXPECT_EQ(sliderPosition(kAlgorithm), std::optional<LRESULT>(9));
  EXPECT_EQ(sliderPosition(kDetail), std::optional<LRESULT>(8));

  ASSERT_TRUE(moveSlider(kSpeed, 1));
  ASSERT_TRUE(moveSlider(kDetail, 2));
  ASSERT_TRUE(clickOn("Button", kCheckBoxCaption));
  ASSERT_TRUE(stillOpen());

  ASSERT_TRUE(clickOn("Button", kCloseCaption));
  EXPECT_TRUE(endsCleanly()) << "after \"Close\"";
  EXPECT_EQ(storedSettings(), storedBeforeTheDialog());
}

TEST_F(SettingsDialog, EscapeOnAFocusedSliderEndsTheProgramWithoutStoringTheChanges) {
  ASSERT_NO_FATAL_FAILURE(store(storedBeforeTheDialog()));
  ASSERT_NO_FATAL_FAILURE(openDialog());
  ASSERT_TRUE(inForeground(dialog_));
  HWND speed = slider(kSpeed);
  ASSERT_NE(speed, nullptr);
  ASSERT_TRUE(waitUntil([&] { return focusOf(dialog_) == speed; }))
      << "the Speed slider does not have the focus; " << windowClass(focusOf(dialog_)) << " \""
      << windowText(focusOf(dialog_)) << "\" has it";

  // The key moves the focused slider, so the dialog has a change to lose.
  ASSERT_TRUE(pressKey(VK_RIGHT));
  EXPECT_TRUE(waitUntil([&] { return sliderPosition(kSpeed) == std::optional<LRESULT>(8); }))
      << "the Speed slider stands at " << sliderPosition(kSpeed).value_or(-1)
      << " after the right arrow key";
  ASSERT_TRUE(stillOpen());
  ASSERT_EQ(focusOf(dialog_), speed);

  ASSERT_TRUE(pressKey(VK_ESCAPE));
  EXPECT_TRUE(endsCleanly()) << "after Escape";
  EXPECT_EQ(storedSettings(), storedBeforeTheDialog());
}

TEST_F(SettingsDialog, CloseBoxEndsTheProgramWithoutStoringTheChanges) {
  ASSERT_NO_FATAL_FAILURE(store(storedBeforeTheDialog()));
  ASSERT_NO_FATAL_FAILURE(openDialog());
  ASSERT_TRUE(moveSlider(kBrightness, 5));
  ASSERT_TRUE(moveSlider(kAlgorithm, 30));
  ASSERT_TRUE(stillOpen());

  // What the close box sends.
  ASSERT_TRUE(PostMessageA(dialog_, WM_SYSCOMMAND, SC_CLOSE, 0));
  EXPECT_TRUE(endsCleanly()) << "after the close box";
  EXPECT_EQ(storedSettings(), storedBeforeTheDialog());
}

}  // namespace
}  // namespace glimmerweave::integration
