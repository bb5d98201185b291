// The exit check's answers and its balanced cursor calls.
#include "windows_modes/exit_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace glimmerweave {
namespace {

class FakePasswordSystem : public PasswordSystem {
 public:
  bool keyOpens = true;
  bool valueReadable = true;
  std::uint32_t usePassword = 1;
  bool componentLoads = true;
  bool functionFound = true;
  bool passwordRight = true;
  int cursorCounter = 0;
  std::vector<std::string> calls;

  bool openDesktopKey() override {
    calls.push_back("open");
    return keyOpens;
  }
  bool readUsePassword(std::uint32_t& value) override {
    calls.push_back("read");
    if (valueReadable) value = usePassword;
    return valueReadable;
  }
  void closeDesktopKey() override { calls.push_back("close"); }
  bool loadPasswordComponent() override {
    calls.push_back("load");
    return componentLoads;
  }
  bool findVerifyFunction() override { return functionFound; }
  bool verify(std::uintptr_t owner) override {
    calls.push_back("verify " + std::to_string(owner));
    return passwordRight;
  }
  void unloadPasswordComponent() override { calls.push_back("unload"); }
  void showCursor(bool show) override { cursorCounter += show ? 1 : -1; }
};

TEST(VerifyExitPassword, AsksTheComponentOnlyWhenTheOptionIsOn) {
  FakePasswordSystem system;
  EXPECT_TRUE(VerifyExitPassword(system, 42));
  EXPECT_EQ(system.calls,
            (std::vector<std::string>{"open", "read", "load", "verify 42", "unload", "close"}));
  EXPECT_EQ(system.cursorCounter, 0);

  system.passwordRight = false;
  EXPECT_FALSE(VerifyExitPassword(system, 42));
  EXPECT_EQ(system.cursorCounter, 0);

  // "0" stored as a string reads as the byte 48: the option counts as on.
  system.usePassword = 48;
  EXPECT_FALSE(VerifyExitPassword(system, 42));
}

TEST(VerifyExitPassword, EveryMissingPieceAnswersYes) {
  FakePasswordSystem off;
  off.usePassword = 0;
  off.passwordRight = false;
  EXPECT_TRUE(VerifyExitPassword(off, 1));
  EXPECT_EQ(off.calls, (std::vector<std::string>{"open", "read", "close"}));

  FakePasswordSystem noKey;
  noKey.keyOpens = false;
  noKey.passwordRight = false;
  EXPECT_TRUE(VerifyExitPassword(noKey, 1));
  EXPECT_EQ(noKey.calls, (std::vector<std::string>{"open"}));

  FakePasswordSystem noValue;
  noValue.valueReadable = false;
  noValue.passwordRight = false;
  EXPECT_TRUE(VerifyExitPassword(noValue, 1));

  FakePasswordSystem noComponent;
  noComponent.componentLoads = false;
  noComponent.passwordRight = false;
  EXPECT_TRUE(VerifyExitPassword(noComponent, 1));
  EXPECT_EQ(noComponent.cursorCounter, 0);
  EXPECT_EQ(noComponent.calls.back(), "close");

  FakePasswordSystem noFunction;
  noFunction.functionFound = false;
  noFunction.passwordRight = false;
  EXPECT_TRUE(VerifyExitPassword(noFunction, 1));
  EXPECT_EQ(noFunction.cursorCounter, 0);
  EXPECT_EQ(noFunction.calls,
            (std::vector<std::string>{"open", "read", "load", "unload", "close"}));
}

// ---------------------------------------------------------------------------
// A password component that hangs

constexpr std::uint64_t kHang = PasswordCheckWatch::kHangMilliseconds;

TEST(PasswordCheckWatch, AComponentThatShowsNothingAnsweringHangsAfterTheBound) {
  PasswordCheckWatch watch;
  EXPECT_FALSE(watch.look(500, false));
  EXPECT_FALSE(watch.look(500 + kHang - 1, false));
  EXPECT_FALSE(watch.hung());
  EXPECT_TRUE(watch.look(500 + kHang, false));
  EXPECT_TRUE(watch.hung());
  EXPECT_FALSE(watch.look(500 + kHang + 500, false)) << "it is answered once";
  EXPECT_TRUE(watch.hung());
}

TEST(PasswordCheckWatch, ADialogThatAnswersNeverHangsHoweverLongTheUserTakes) {
  PasswordCheckWatch watch;
  for (std::uint64_t elapsed = 0; elapsed <= 20 * kHang; elapsed += 500)
    EXPECT_FALSE(watch.look(elapsed, true)) << elapsed;
  EXPECT_FALSE(watch.hung());
}

TEST(PasswordCheckWatch, TheBoundCountsSilenceInARowOnly) {
  PasswordCheckWatch watch;
  EXPECT_FALSE(watch.look(0, false));
  EXPECT_FALSE(watch.look(kHang - 500, false));
  EXPECT_FALSE(watch.look(kHang, true)) << "the dialog came up";
  EXPECT_FALSE(watch.look(kHang + 500, false)) << "stuck from here on";
  EXPECT_FALSE(watch.look(2 * kHang, false));
  EXPECT_FALSE(watch.hung());
  EXPECT_TRUE(watch.look(2 * kHang + 500, false));
}

class FakeHungCheckSystem : public HungCheckSystem {
 public:
  bool locks = true;
  std::vector<std::string> calls;

  bool lockWorkstation() override {
    calls.push_back("lock");
    return locks;
  }
  void setScreenSaverRunning(bool running) override {
    calls.push_back(running ? "running" : "stopped");
  }
  void endProgram() override { calls.push_back("end"); }
  void showWayOutNotice() override { calls.push_back("notice"); }
};

TEST(AnswerHungCheck, TheSystemsLockTakesOverAndThenTheProgramEnds) {
  FakeHungCheckSystem system;
  answerHungCheck(system);
  EXPECT_EQ(system.calls, (std::vector<std::string>{"lock", "stopped", "end"}));
}

TEST(AnswerHungCheck, WithoutALockTheRunStaysAndTellsTheWayOut) {
  FakeHungCheckSystem system;
  system.locks = false;
  answerHungCheck(system);
  EXPECT_EQ(system.calls, (std::vector<std::string>{"lock", "notice"})) << "never ended unverified";
}

}  // namespace
}  // namespace glimmerweave
