// The animation's loop over a fake screen: it computes only the frames that
// are wanted, shows exactly the engine's frames, and ends at once, whatever
// frame is being computed.
#include "hack_animation/hack_animation.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "engine/engine.h"

namespace glimmerweave {
namespace {

using namespace std::chrono_literals;

// A pipe that the test may make readable: the display's connection and the
// signals' descriptor.
struct Pipe {
  int fds[2] = {-1, -1};
  Pipe() { EXPECT_EQ(pipe(fds), 0); }
  ~Pipe() {
    close(fds[0]);
    close(fds[1]);
  }
  void speak() { EXPECT_EQ(write(fds[1], "x", 1), 1); }
};

// A screen whose every pass of the loop runs `pass`, which decides whether
// the run goes on and frames are wanted; it keeps a copy of each frame shown.
struct FakeScreen final : HackScreen {
  Pipe display;
  std::function<void(FakeScreen&)> pass;
  int passes = 0;
  bool goesOn = true;
  bool wanted = true;
  std::vector<FrameImage> shown;

  int connection() const override { return display.fds[0]; }
  void handleEvents() override {
    ++passes;
    pass(*this);
  }
  bool running() const override { return goesOn; }
  bool wantsFrame() override { return wanted; }
  std::optional<Clock::duration> lookAgainWithin(Clock::time_point) override { return 1ms; }
  short beforeSleep() override { return POLLIN; }
  bool show(const FrameImage& image) override {
    shown.push_back(image);
    return true;
  }
};

HackOptions options(const std::vector<std::string>& arguments) {
  const HackCommand command = parseHackCommand(arguments);
  EXPECT_EQ(command.kind, HackCommand::Kind::Run) << command.error;
  return command.options;
}

TEST(HackAnimation, StandsStillUnwantedThenShowsTheEnginesFramesInTurn) {
  const HackOptions start = options({"-seed", "7", "-algorithm", "22", "-detail", "0"});
  constexpr int kUnwantedPasses = 20;
  constexpr std::size_t kFrames = 3;
  HackAnimation animation(start);
  FakeScreen screen;
  screen.pass = [&](FakeScreen& s) {
    s.wanted = s.passes > kUnwantedPasses;
    if (!s.wanted) {
      EXPECT_FALSE(animation.frameBusy()) << "a frame no one wanted, pass " << s.passes;
    }
    s.goesOn = s.shown.size() < kFrames;
  };
  Pipe signals;
  EXPECT_FALSE(animation.run(screen, signals.fds[0]));

  // The engine's own frames from the same start: none was skipped while unwanted.
  auto engine = std::make_unique<Fractals>();
  startHackAnimation(*engine, start);
  ASSERT_EQ(screen.shown.size(), kFrames);
  for (const FrameImage& frame : screen.shown) {
    ComputeFrame(*engine);
    FrameImage expected;
    expected.setSize(engine->FrameWidth, engine->FrameHeight);
    CopyPlanesToImage(engine->planes, expected, 0);
    ASSERT_EQ(frame.width(), expected.width());
    EXPECT_TRUE(std::equal(frame.data(), frame.data() + frame.sizeInBytes(), expected.data()));
  }
}

// Input that ends the run, or a signal, while a large frame is being computed.
class EndingMidFrame : public ::testing::TestWithParam<bool> {};

TEST_P(EndingMidFrame, ReturnsWithoutAwaitingTheFrameWhichIsAbandoned) {
  const bool bySignal = GetParam();
  auto animation = std::make_unique<HackAnimation>(options({"-algorithm", "21", "-detail", "10"}));
  FakeScreen screen;
  Pipe signals;
  screen.pass = [&](FakeScreen&) {
    if (!animation->frameBusy()) return;
    if (bySignal)
      signals.speak();
    else
      screen.goesOn = false;
  };
  EXPECT_EQ(animation->run(screen, signals.fds[0]), bySignal);
  EXPECT_TRUE(animation->frameBusy()) << "the run waited for its frame";
  EXPECT_TRUE(screen.shown.empty());
  animation.reset();  // gives the frame up rather than finishing it
}

INSTANTIATE_TEST_SUITE_P(ByInputOrSignal, EndingMidFrame, ::testing::Bool());

}  // namespace
}  // namespace glimmerweave
