// The full-screen run's handlers with a fake form, cursor, system and display.
#include "shell/full_screen_run.h"

#include <gtest/gtest.h>

#include <memory>

#include "fake_drawing_area.h"
#include "registry_test_support.h"

namespace glimmerweave {
namespace {

using testing::FakeDrawingArea;

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
    const bool answer = checks < int(answers.size()) ? answers[checks] : true;
    ++checks;
    return answer;
  }
  void reportError(const std::string& message) override { errors.push_back(message); }
};

class FullScreen : public ::testing::Test {
 protected:
  void create() { run.FormCreate(); }
  void moveCursor(int dx, int dy) {
    host.cursor = CursorPoint{500 + dx, 400 + dy};
    run.DXDrawMouseMove();
  }

  std::unique_ptr<Fractals> fractals = std::make_unique<Fractals>();
  MemoryRegistry registry;
  FakeDrawingArea area;
  FakeHost host;
  FullScreenRun run{*fractals, registry, area, host};
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
  FullScreenRun otherRun(*other, broken, otherArea, otherHost);
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
    FullScreenRun fresh(*freshEngine, registry, freshArea, freshHost);
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
  run.DXDrawMouseMove();
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

TEST_F(FullScreen, RandomAlgorithmPicksFrom0To14AndKeepsTheStore) {
  testing::storeSettings(registry, 3, 100, 31, 5, 1);
  create();
  EXPECT_GE(fractals->settings.Algorithm, 0);
  EXPECT_LE(fractals->settings.Algorithm, 14);
  EXPECT_EQ(registry.dword("Algoritm"), 31u);
}

}  // namespace
}  // namespace glimmerweave
