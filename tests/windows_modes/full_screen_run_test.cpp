// The full-screen run's handlers with a fake form, cursor, system and display.
#include "windows_modes/full_screen_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <ostream>

#include "support/fake_drawing_area.h"
#include "support/registry_test_support.h"
#include "windows_modes/fake_timing_service.h"

namespace glimmerweave {

// Shows a rectangle in a failure's message as GoogleTest prints values.
void PrintTo(const ScreenRect& rect, std::ostream* out) {
  *out << "(" << rect.left << ", " << rect.top << ")-(" << rect.right << ", " << rect.bottom << ")";
}

namespace {

using testing::FakeDrawingArea;
using testing::FakeTimingService;

class FakeHost : public FullScreenHost {
 public:
  int bitCount = 32;
  int screenWidth = 1024, screenHeight = 768;
  CursorPoint cursor{500, 400};
  int cursorCounter = 0;  // ShowCursor's display counter, 0 = visible
  bool running = false;
  int runningCalls = 0;
  bool hidden = false;
  bool terminated = false;
  bool centred = false;
  int areaShown = 0;
  std::vector<bool> answers;  // the exit check's answers, in turn; true when run out
  int checks = 0;
  std::vector<std::string> errors;
  // The system's monitors; one, the primary at the screen's size, by default.
  std::vector<DisplayMonitor> systemMonitors{{{0, 0, 1024, 768}, true}};
  int monitorReads = 0;
  std::vector<std::vector<ScreenRect>> coverings;  // each coverOtherMonitors call's areas
  std::vector<ScreenRect> covered;                 // what the windows cover now
  int shownOnOthers = 0;
  std::vector<std::uint8_t> shownBytes;  // the image last shown on the other monitors
  bool hiddenWhenUncovered = false;      // the form was hidden when the windows went away
  bool cursorConfined = false;           // to the primary monitor, by the display's set-up
  std::vector<CursorPoint> releases;     // each releaseCursor call's position
  const FakeTimingService* timing = nullptr;
  std::vector<bool> heldInModalLoops;  // fine timing held while a dialog or box was open

  int desktopBitCount() override { return bitCount; }
  void sizeFormToScreen(int& width, int& height) override {
    width = screenWidth;
    height = screenHeight;
  }
  void centreForm() override { centred = true; }
  void showDrawingArea() override { ++areaShown; }
  void hideForm() override { hidden = true; }
  void terminate() override { terminated = true; }
  CursorPoint cursorPosition() override { return cursor; }
  void showCursor(bool show) override { cursorCounter += show ? 1 : -1; }
  void setScreenSaverRunning(bool value) override {
    running = value;
    ++runningCalls;
  }
  bool verifyExitPassword() override {
    if (timing) heldInModalLoops.push_back(timing->held());
    const bool answer = checks < int(answers.size()) ? answers[checks] : true;
    ++checks;
    return answer;
  }
  void reportError(const std::string& message) override {
    if (timing) heldInModalLoops.push_back(timing->held());
    errors.push_back(message);
  }
  std::vector<DisplayMonitor> monitors() override {
    ++monitorReads;
    return systemMonitors;
  }
  void coverOtherMonitors(const std::vector<ScreenRect>& areas) override {
    coverings.push_back(areas);
    covered = areas;
    if (areas.empty()) hiddenWhenUncovered = hidden;
  }
  void showOnOtherMonitors(const FrameImage& image) override {
    ++shownOnOthers;
    shownBytes.assign(image.data(), image.data() + image.sizeInBytes());
  }
  void releaseCursor(CursorPoint position) override {
    cursorConfined = false;
    cursor = position;
    releases.push_back(position);
  }
};

// A display whose set-up confines the cursor to the primary monitor, as an
// exclusive display does, moving it there from another monitor.
class ConfiningDrawingArea : public FakeDrawingArea {
 public:
  explicit ConfiningDrawingArea(FakeHost& host) : host_(host) {}
  void SetUp() override {
    FakeDrawingArea::SetUp();
    host_.cursorConfined = true;
    host_.cursor.x = std::min(host_.cursor.x, host_.screenWidth - 1);
    host_.cursor.y = std::min(host_.cursor.y, host_.screenHeight - 1);
  }

 private:
  FakeHost& host_;
};

class FullScreen : public ::testing::Test {
 protected:
  // Wired as the form wires them.
  FullScreen() {
    run.timer().OnTimer = [this] { run.DXTimerTimer(); };
    host.timing = &timing;
  }
  void create() { run.FormCreate(); }
  void moveCursor(int dx, int dy) {
    host.cursor = CursorPoint{500 + dx, 400 + dy};
    run.DXDrawMouseMove();
  }

  std::unique_ptr<Fractals> fractals = std::make_unique<Fractals>();
  MemoryRegistry registry;
  FakeDrawingArea area;
  FakeHost host;
  FakeTimingService timing;
  FullScreenRun run{*fractals, registry, area, timing, host};
};

TEST_F(FullScreen, CreationLoadsStartsAndTakesTheDisplay) {
  testing::storeSettings(registry, 4, 80, 22, 3, 0);
  create();
  EXPECT_EQ(fractals->settings.Algorithm, 22);
  EXPECT_EQ(fractals->EngineBrightness, 80);
  EXPECT_EQ(fractals->FrameWidth, 427);
  EXPECT_EQ(fractals->FrameHeight, 320);
  EXPECT_EQ(run.image().width(), 427);
  EXPECT_EQ(run.image().height(), 320);
  EXPECT_GE(fractals->state.StepA, 0.05L) << "the animation was started";
  EXPECT_EQ(run.ScreenWidth, 1024);
  EXPECT_EQ(run.DesktopBitCount, 32);
  EXPECT_TRUE(area.setUp);
  EXPECT_TRUE(host.centred);
  EXPECT_EQ(area.Options & (doFullScreen | doStretch), doFullScreen | doStretch);
  EXPECT_TRUE(host.running);
  EXPECT_EQ(host.cursorCounter, -1);
  EXPECT_TRUE(host.errors.empty());
}

TEST_F(FullScreen, FirstRunWritesTheDefaultsAndARegistryErrorStillStarts) {
  create();
  EXPECT_EQ(registry.dword("Algoritm"), 15u);
  EXPECT_EQ(fractals->FrameWidth, 533);

  auto other = std::make_unique<Fractals>();
  MemoryRegistry broken;
  broken.setDword("Brightness", 50);
  FakeDrawingArea otherArea;
  FakeHost otherHost;
  FullScreenRun otherRun(*other, broken, otherArea, timing, otherHost);
  otherRun.FormCreate();
  EXPECT_EQ(otherHost.errors, (std::vector<std::string>{"Failed to get data for 'Speed'"}));
  EXPECT_EQ(other->settings.Speed, 3);
  EXPECT_EQ(other->settings.Algorithm, 15);
  EXPECT_TRUE(otherArea.setUp) << "the run is set up completely";
  EXPECT_TRUE(otherHost.running);
}

TEST_F(FullScreen, TicksComputeAndPresent) {
  create();
  const long double phase = fractals->state.PhaseA;
  area.calls.clear();
  run.DXTimerTimer();
  EXPECT_NE(fractals->state.PhaseA, phase);
  EXPECT_EQ(area.calls,
            (std::vector<std::string>{"IsReady", "ClearSurface 0", "LoadImage", "ShowSurface"}));
  EXPECT_EQ(area.loadedWidth, 533);
}

TEST_F(FullScreen, MovementsOfUpTo5PixelsKeepRunning) {
  create();
  moveCursor(5, 5);
  moveCursor(-5, -5);
  moveCursor(5, -5);
  EXPECT_EQ(host.checks, 0);
  EXPECT_FALSE(host.terminated);
  moveCursor(0, 6);
  EXPECT_EQ(host.checks, 1);
  EXPECT_TRUE(host.terminated);
  EXPECT_TRUE(host.hidden);
  EXPECT_FALSE(host.running);
  EXPECT_EQ(host.cursorCounter, 0) << "the cursor is visible again";
}

TEST_F(FullScreen, SixPixelsInAnyDirectionAsks) {
  for (auto [dx, dy] : {std::pair{6, 0}, std::pair{-6, 0}, std::pair{0, -6}, std::pair{0, 6}}) {
    FakeHost freshHost;
    FakeDrawingArea freshArea;
    auto freshEngine = std::make_unique<Fractals>();
    FullScreenRun fresh(*freshEngine, registry, freshArea, timing, freshHost);
    fresh.FormCreate();
    freshHost.cursor = CursorPoint{500 + dx, 400 + dy};
    fresh.DXDrawMouseMove();
    EXPECT_TRUE(freshHost.terminated) << dx << "," << dy;
  }
}

TEST_F(FullScreen, WrongPasswordKeepsTheRunGoing) {
  create();
  host.answers = {false, true};
  run.FormKeyDown();
  EXPECT_EQ(host.checks, 1);
  EXPECT_FALSE(host.terminated);
  EXPECT_EQ(host.cursorCounter, -1) << "still hidden";
  moveCursor(3, 0);
  EXPECT_EQ(host.checks, 1) << "the start position is unchanged";
  moveCursor(9, 0);
  EXPECT_EQ(host.checks, 2);
  EXPECT_TRUE(host.terminated);
  EXPECT_EQ(host.cursorCounter, 0);
  EXPECT_EQ(host.runningCalls, 2);
}

TEST_F(FullScreen, KeyWhileNotReadySetsUpAgainWithoutAsking) {
  create();
  area.lost = true;
  area.restorable = false;
  run.FormKeyDown();
  EXPECT_EQ(host.checks, 0);
  EXPECT_TRUE(area.setUp);
  EXPECT_FALSE(area.lost);
  run.FormKeyDown();
  EXPECT_EQ(host.checks, 1);
  EXPECT_TRUE(host.terminated);
}

TEST_F(FullScreen, MouseWhileNotReadyMovesTheStartPosition) {
  create();
  area.lost = true;
  area.restorable = false;
  moveCursor(40, 40);
  EXPECT_EQ(host.checks, 0);
  EXPECT_EQ(run.StartCursorPos.x, 540);
  EXPECT_EQ(host.areaShown, 1);
  moveCursor(44, 44);
  EXPECT_EQ(host.checks, 0);
  moveCursor(47, 40);
  EXPECT_TRUE(host.terminated);
  EXPECT_EQ(host.cursorCounter, 0);
}

TEST_F(FullScreen, ADisplayThatCannotBeSetUpStillLetsTheUserLeave) {
  host.bitCount = 4;
  EXPECT_THROW(create(), DrawingAreaError);
  EXPECT_FALSE(host.running) << "the system was not told a screen saver runs";
  EXPECT_EQ(host.cursorCounter, 0);
  run.DXTimerTimer();  // computes, shows nothing
  area.calls.clear();
  run.DXDrawMouseMove();
  EXPECT_FALSE(host.terminated) << "the form came up under a cursor that did not move";
  EXPECT_EQ(host.checks, 0);
  EXPECT_EQ(std::count(area.calls.begin(), area.calls.end(), "SetUp"), 0)
      << "no set-up for a movement that was none";
  moveCursor(1, 0);
  EXPECT_TRUE(host.terminated);
  EXPECT_EQ(host.cursorCounter, 0) << "no ShowCursor(true) without a ShowCursor(false)";
  EXPECT_EQ(host.runningCalls, 0);
}

TEST_F(FullScreen, AFailedSetUpWithAWrongPasswordReportsTheFailure) {
  host.bitCount = 4;
  EXPECT_THROW(create(), DrawingAreaError);
  host.answers = {false};
  EXPECT_THROW(run.FormKeyDown(), DrawingAreaError);
  EXPECT_FALSE(host.terminated);
}

TEST_F(FullScreen, ASetUpThatWorksLaterCompletesTheStart) {
  area.setUpFailure = "Display mode cannot be changed (1024x768 32bit)";
  EXPECT_THROW(create(), DrawingAreaError);
  area.setUpFailure.clear();
  host.cursor = CursorPoint{100, 100};
  run.FormKeyDown();
  EXPECT_TRUE(host.running);
  EXPECT_EQ(host.cursorCounter, -1);
  EXPECT_EQ(run.StartCursorPos.x, 100);
  EXPECT_EQ(host.checks, 0);
  run.FormKeyDown();
  EXPECT_TRUE(host.terminated);
  EXPECT_EQ(host.cursorCounter, 0);
  EXPECT_FALSE(host.running);
}

// A display that sets up but cannot make the surface for a frame: as on
// DirectDraw, the failed load leaves the area without a drawing surface, so
// it is not ready until it is set up again.
class FrameFailingDrawingArea : public FakeDrawingArea {
 public:
  bool loadFails = false;
  bool surfaceGone = false;

  void SetUp() override {
    FakeDrawingArea::SetUp();
    surfaceGone = false;
  }
  bool IsReady() override { return FakeDrawingArea::IsReady() && !surfaceGone; }
  void LoadImage(const FrameImage& image) override {
    FakeDrawingArea::LoadImage(image);
    if (!loadFails) return;
    surfaceGone = true;
    throw DrawingAreaError(cannotBeMadeMessage("Surface"));
  }
};

class FrameFailures : public ::testing::Test {
 protected:
  FrameFailures() {
    run.FormCreate();
    area.loadFails = true;
    EXPECT_THROW(run.DXTimerTimer(), DrawingAreaError);
    area.calls.clear();
  }
  void moveCursor(int dx, int dy) {
    host.cursor = CursorPoint{500 + dx, 400 + dy};
    run.DXDrawMouseMove();
  }

  std::unique_ptr<Fractals> fractals = std::make_unique<Fractals>();
  MemoryRegistry registry;
  FrameFailingDrawingArea area;
  FakeHost host;
  FakeTimingService timing;
  FullScreenRun run{*fractals, registry, area, timing, host};
};

TEST_F(FrameFailures, AKeyAfterAFrameFailedAsksToLeaveInsteadOfSettingUpAgain) {
  run.DXTimerTimer();  // not ready: nothing shown, no new failure
  run.FormKeyDown();
  EXPECT_EQ(host.checks, 1);
  EXPECT_TRUE(host.terminated);
  EXPECT_EQ(std::count(area.calls.begin(), area.calls.end(), "SetUp"), 0);
  EXPECT_EQ(host.cursorCounter, 0);
  EXPECT_FALSE(host.running);
}

TEST_F(FrameFailures, AMouseMovementOfAnySizeDoesTheSame) {
  moveCursor(1, 0);
  EXPECT_EQ(host.checks, 1);
  EXPECT_TRUE(host.terminated);
}

TEST_F(FrameFailures, FramesThatFailAfterEverySetUpCannotHoldTheUser) {
  // Without the password the first input ends the run; with a wrong one every
  // input still asks, however often the set-up works and the next frame fails.
  host.answers = {false, false, false, true};
  for (int input = 1; input <= 3; ++input) {
    run.FormKeyDown();
    EXPECT_EQ(host.checks, input);
    EXPECT_FALSE(host.terminated);
    EXPECT_TRUE(area.setUp) << "a wrong password sets up again, as after any input";
    EXPECT_THROW(run.DXTimerTimer(), DrawingAreaError);
  }
  run.FormKeyDown();
  EXPECT_EQ(host.checks, 4);
  EXPECT_TRUE(host.terminated);
  EXPECT_EQ(host.cursorCounter, 0);
}

TEST_F(FrameFailures, AWrongPasswordAndASetUpThatFailsAskOnlyOnce) {
  host.answers = {false};
  area.setUpFailure = "Display mode cannot be changed (1024x768 32bit)";
  EXPECT_THROW(run.FormKeyDown(), DrawingAreaError);
  EXPECT_EQ(host.checks, 1);
  EXPECT_FALSE(host.terminated);
}

TEST_F(FrameFailures, FramesThatWorkAgainBringBackTheDesignsRetry) {
  host.answers = {false};
  run.FormKeyDown();  // a wrong password: set up again
  ASSERT_EQ(host.checks, 1);
  area.loadFails = false;
  run.DXTimerTimer();
  EXPECT_EQ(area.calls.back(), "ShowSurface");
  // Another program takes the display: the design's retry without asking.
  area.lost = true;
  area.restorable = false;
  run.FormKeyDown();
  EXPECT_EQ(host.checks, 1);
  EXPECT_FALSE(host.terminated);
  run.FormKeyDown();
  EXPECT_EQ(host.checks, 2);
  EXPECT_TRUE(host.terminated);
}

// The timer ticks, and fine timing is held, only while the application is
// active, the display is on and the run goes on; a modal loop of the form's
// thread (the password dialog, an error box) gives fine timing back while it
// is open.
TEST_F(FullScreen, FineTimingIsHeldExactlyWhileTheTimerTicks) {
  create();
  EXPECT_FALSE(timing.held()) << "not before the application is active";
  run.activeChanged(true);
  EXPECT_TRUE(timing.held());
  run.activeChanged(false);
  EXPECT_FALSE(timing.held());
  run.activeChanged(true);
  run.displayPowerChanged(false);
  EXPECT_FALSE(run.timer().running()) << "nothing is computed for a display that is off";
  EXPECT_FALSE(timing.held());
  run.displayPowerChanged(true);
  EXPECT_TRUE(run.timer().running());
  EXPECT_TRUE(timing.held());

  host.answers = {false};
  run.FormKeyDown();
  run.reportError("Surface cannot be made");
  EXPECT_EQ(host.heldInModalLoops, (std::vector<bool>{false, false}));
  EXPECT_TRUE(timing.held()) << "taken again when the loop is over";

  run.FormKeyDown();
  ASSERT_TRUE(host.terminated);
  EXPECT_FALSE(run.timer().running());
  EXPECT_EQ(timing.begins, 5);
  EXPECT_EQ(timing.ends, 5);
  run.displayPowerChanged(true);
  EXPECT_FALSE(timing.held()) << "the display coming back does not restart an ended run";
}

TEST_F(FullScreen, ARunThatGoesWithoutItsExitSequenceGivesFineTimingBack) {
  auto other = std::make_unique<FullScreenRun>(*fractals, registry, area, timing, host);
  other->timer().OnTimer = [] {};
  other->activeChanged(true);
  ASSERT_TRUE(timing.held());
  other.reset();
  EXPECT_EQ(timing.ends, timing.begins);
}

TEST_F(FullScreen, RandomAlgorithmPicksFrom0To14AndKeepsTheStore) {
  testing::storeSettings(registry, 3, 100, 31, 5, 1);
  create();
  EXPECT_GE(fractals->settings.Algorithm, 0);
  EXPECT_LE(fractals->settings.Algorithm, 14);
  EXPECT_EQ(registry.dword("Algoritm"), 31u);
}

// ---------------------------------------------------------------------------
// Several monitors

constexpr ScreenRect kPrimary{0, 0, 1024, 768};
constexpr ScreenRect kRight{1024, 0, 2304, 1024};
constexpr ScreenRect kLeft{-1280, -100, 0, 924};

TEST(OtherMonitorAreas, EveryMonitorButThePrimaryInTheSystemsOrder) {
  EXPECT_EQ(otherMonitorAreas({{kPrimary, true}}, kPrimary), std::vector<ScreenRect>{});
  EXPECT_EQ(otherMonitorAreas({{kPrimary, true}, {kRight, false}}, kPrimary),
            std::vector<ScreenRect>{kRight});
  EXPECT_EQ(otherMonitorAreas({{kRight, false}, {kPrimary, true}, {kLeft, false}}, kPrimary),
            (std::vector<ScreenRect>{kRight, kLeft}));
  EXPECT_EQ(otherMonitorAreas({}, kPrimary), std::vector<ScreenRect>{});
}

TEST(OtherMonitorAreas, MirrorsOfThePrimaryRepeatsAndEmptyMonitorsGetNoWindow) {
  const ScreenRect insidePrimary{0, 0, 800, 600};
  EXPECT_EQ(
      otherMonitorAreas({{kPrimary, true}, {kPrimary, false}, {insidePrimary, false}}, kPrimary),
      std::vector<ScreenRect>{})
      << "the form covers them already";
  EXPECT_EQ(otherMonitorAreas({{kPrimary, true}, {kRight, false}, {kRight, false}}, kPrimary),
            std::vector<ScreenRect>{kRight});
  EXPECT_EQ(otherMonitorAreas({{kPrimary, true}, {{2000, 0, 2000, 768}, false}}, kPrimary),
            std::vector<ScreenRect>{});
  const ScreenRect overlapping{512, 0, 1536, 768};
  EXPECT_EQ(otherMonitorAreas({{kPrimary, true}, {overlapping, false}}, kPrimary),
            std::vector<ScreenRect>{overlapping})
      << "a monitor only partly under the form still needs covering";
}

TEST(OtherMonitorAreas, WithoutAPrimaryTheFormsAreaStandsForIt) {
  EXPECT_EQ(otherMonitorAreas({{kPrimary, false}, {kRight, false}}, kPrimary),
            std::vector<ScreenRect>{kRight});
}

TEST_F(FullScreen, OnASingleMonitorNothingElseIsCoveredOrDrawn) {
  create();
  EXPECT_TRUE(host.releases.empty()) << "the display keeps its own hold on the cursor";
  area.calls.clear();
  run.DXTimerTimer();
  EXPECT_EQ(area.calls,
            (std::vector<std::string>{"IsReady", "ClearSurface 0", "LoadImage", "ShowSurface"}));
  moveCursor(5, 5);
  run.displayChanged();
  EXPECT_TRUE(host.coverings.empty());
  EXPECT_EQ(host.shownOnOthers, 0);
  EXPECT_TRUE(run.otherMonitors().empty());
  EXPECT_TRUE(host.releases.empty());
  run.FormKeyDown();
  EXPECT_TRUE(host.terminated);
  EXPECT_TRUE(host.coverings.empty()) << "no windows to close";
}

class SeveralMonitors : public ::testing::Test {
 protected:
  SeveralMonitors() { host.systemMonitors = {{kPrimary, true}, {kRight, false}}; }
  void create() { run.FormCreate(); }
  // The cursor on the right monitor, where some cases start the run.
  static constexpr CursorPoint kStart{1600, 500};
  void moveCursorOverTheRight(int dx, int dy) {
    host.cursor = CursorPoint{kStart.x + dx, kStart.y + dy};
    run.DXDrawMouseMove();
  }

  std::unique_ptr<Fractals> fractals = std::make_unique<Fractals>();
  MemoryRegistry registry;
  FakeHost host;
  ConfiningDrawingArea area{host};
  FakeTimingService timing;
  FullScreenRun run{*fractals, registry, area, timing, host};
};

TEST_F(SeveralMonitors, CreationReadsTheMonitorsOnceAndCoversTheOthers) {
  host.cursor = kStart;
  create();
  EXPECT_EQ(host.monitorReads, 1);
  EXPECT_EQ(host.coverings, (std::vector<std::vector<ScreenRect>>{{kRight}}));
  EXPECT_EQ(run.otherMonitors(), std::vector<ScreenRect>{kRight});
  run.DXTimerTimer();
  run.FormKeyDown();  // a wrong password, then no further read
  EXPECT_EQ(host.monitorReads, 1) << "the monitors are read at creation only";
}

TEST_F(SeveralMonitors, EachTickShowsTheFrameOnTheOtherMonitorsToo) {
  create();
  EXPECT_EQ(host.shownOnOthers, 0) << "black until the first frame";
  run.DXTimerTimer();
  EXPECT_EQ(host.shownOnOthers, 1);
  EXPECT_EQ(host.shownBytes, area.loadedBytes) << "the frame the primary shows";
  // A display that another program took keeps the frame from the primary only.
  area.lost = true;
  area.restorable = false;
  run.DXTimerTimer();
  EXPECT_EQ(host.shownOnOthers, 2);
  EXPECT_NE(host.shownBytes, area.loadedBytes) << "the newer frame";
  EXPECT_EQ(host.shownBytes.size(), area.loadedBytes.size());
}

TEST_F(SeveralMonitors, TheCursorStaysFreeAndWhereItStoodAcrossEachSetUp) {
  host.cursor = kStart;
  create();
  EXPECT_FALSE(host.cursorConfined);
  EXPECT_EQ(host.cursor.x, kStart.x) << "back on the right monitor";
  EXPECT_EQ(run.StartCursorPos.x, kStart.x);
  EXPECT_EQ(run.StartCursorPos.y, kStart.y);

  // A display that another program took is set up again on the next input.
  area.lost = true;
  area.restorable = false;
  moveCursorOverTheRight(40, 0);
  EXPECT_EQ(host.checks, 0);
  EXPECT_FALSE(host.cursorConfined);
  EXPECT_EQ(run.StartCursorPos.x, kStart.x + 40) << "the new start, on the right monitor";
  EXPECT_EQ(host.releases.size(), 2u);

  // A monitor coming back during the run finds the cursor free as well.
  host.cursorConfined = true;
  run.displayChanged();
  EXPECT_FALSE(host.cursorConfined);
  EXPECT_EQ(host.checks, 0);
}

TEST_F(SeveralMonitors, ASetUpThatFailsStillReleasesTheCursor) {
  host.cursor = kStart;
  area.setUpFailure = "Display mode cannot be changed (1024x768 32bit)";
  EXPECT_THROW(create(), DrawingAreaError);
  EXPECT_FALSE(host.cursorConfined);
  EXPECT_EQ(host.cursor.x, kStart.x);
}

TEST_F(SeveralMonitors, MovementsOverAnotherMonitorOfUpTo5PixelsKeepRunningAnd6EndIt) {
  host.cursor = kStart;
  create();
  EXPECT_EQ(run.StartCursorPos.x, kStart.x);
  for (auto [dx, dy] : {std::pair{5, 5}, std::pair{-5, -5}, std::pair{5, -5}, std::pair{-5, 5}})
    moveCursorOverTheRight(dx, dy);
  EXPECT_EQ(host.checks, 0);
  EXPECT_EQ(host.covered, std::vector<ScreenRect>{kRight});
  moveCursorOverTheRight(-6, 0);
  EXPECT_EQ(host.checks, 1);
  EXPECT_TRUE(host.terminated);
  EXPECT_TRUE(host.covered.empty()) << "the windows go away with the run";
  EXPECT_TRUE(host.hiddenWhenUncovered) << "together with the form";
  EXPECT_EQ(host.cursorCounter, 0);
  EXPECT_FALSE(host.running);
}

TEST_F(SeveralMonitors, AKeyPressEndsTheRunAndAWrongPasswordKeepsTheWindows) {
  create();
  host.answers = {false, true};
  run.FormKeyDown();
  EXPECT_EQ(host.checks, 1);
  EXPECT_FALSE(host.terminated);
  EXPECT_EQ(host.covered, std::vector<ScreenRect>{kRight});
  EXPECT_EQ(host.coverings.size(), 1u);
  run.FormKeyDown();
  EXPECT_TRUE(host.terminated);
  EXPECT_TRUE(host.covered.empty());
  EXPECT_TRUE(host.hiddenWhenUncovered);
}

TEST_F(SeveralMonitors, ASetUpThatFailsStillCoversTheOtherMonitors) {
  host.bitCount = 4;
  EXPECT_THROW(create(), DrawingAreaError);
  EXPECT_EQ(host.covered, std::vector<ScreenRect>{kRight});
  run.FormKeyDown();
  EXPECT_TRUE(host.terminated);
  EXPECT_TRUE(host.covered.empty());
}

TEST_F(SeveralMonitors, ADisplayChangePlacesTheWindowsAgain) {
  create();
  host.systemMonitors.push_back({kLeft, false});
  run.displayChanged();
  EXPECT_EQ(host.monitorReads, 2);
  EXPECT_EQ(host.covered, (std::vector<ScreenRect>{kRight, kLeft}));
  EXPECT_EQ(run.otherMonitors(), host.covered);

  run.displayChanged();  // the same monitors: placed again all the same
  EXPECT_EQ(host.coverings.size(), 3u);
  EXPECT_EQ(host.covered, (std::vector<ScreenRect>{kRight, kLeft}));

  host.systemMonitors = {{kPrimary, true}};
  run.displayChanged();
  EXPECT_TRUE(host.covered.empty()) << "a monitor that went away loses its window";
  run.DXTimerTimer();
  EXPECT_EQ(host.shownOnOthers, 0) << "nothing left to show on";
  const std::size_t coverings = host.coverings.size();
  run.displayChanged();
  EXPECT_EQ(host.coverings.size(), coverings) << "down to one monitor, nothing to place";

  host.systemMonitors = {{kPrimary, true}, {kRight, false}};
  run.displayChanged();
  EXPECT_EQ(host.covered, std::vector<ScreenRect>{kRight});
  run.DXTimerTimer();
  EXPECT_EQ(host.shownOnOthers, 1);
  EXPECT_EQ(host.checks, 0) << "a display change is no input";
}

TEST_F(FullScreen, AMonitorAddedDuringTheRunIsCoveredAndTheCursorFreedToReachIt) {
  create();
  host.systemMonitors.push_back({kRight, false});
  run.displayChanged();
  EXPECT_EQ(host.covered, std::vector<ScreenRect>{kRight});
  EXPECT_EQ(host.releases.size(), 1u);
}

TEST_F(SeveralMonitors, ADisplayChangeAfterTheEndPlacesNothing) {
  create();
  run.FormKeyDown();
  ASSERT_TRUE(host.terminated);
  const std::size_t coverings = host.coverings.size();
  run.displayChanged();
  EXPECT_EQ(host.monitorReads, 1);
  EXPECT_EQ(host.coverings.size(), coverings);
  EXPECT_TRUE(host.covered.empty());
}

}  // namespace
}  // namespace glimmerweave
