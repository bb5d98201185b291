// What glimmerweave puts in a window, read back from the display: the frame of
// glimmerweave-render for the same options byte for byte (at depths 24 and 32,
// with and without shared memory), stretched over windows of other sizes and
// following their new sizes, the Detail setting's frame, no frame computed
// while the window is hidden, the -fps figures drawn into the frame, and a
// frame with an arithmetic error. These cases read the shared
// display's pixels, so they run one at a time.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "x11_test_support.h"

namespace glimmerweave::x11test {
namespace {

std::string display() {
  return std::getenv("DISPLAY");
}

// The still frame both programs show: seed 42, phases 1 and 2, speed 0.
const std::vector<std::string> kStillRenderer = {"--speed",   "0", "--seed",    "42",
                                                 "--phase-a", "1", "--phase-b", "2"};
const std::vector<std::string> kStillProgram = {"-speed",   "0", "-seed",    "42",
                                                "-phase-a", "1", "-phase-b", "2"};

// The renderer's frame of an algorithm at speed 0. The phases never move, so
// every tick's frame is the same and it does not matter at which tick the
// program's window is read: the renderer shows that for the frame at tick 1
// and at tick 3 (the control), and the first is the expected frame.
RgbImage stillFrame(const std::string& folder, int algorithm, int width = 800, int height = 600,
                    const std::vector<std::string>& still = kStillRenderer) {
  std::vector<std::string> options = {"--algorithm", std::to_string(algorithm),
                                      "--width",     std::to_string(width),
                                      "--height",    std::to_string(height)};
  options.insert(options.end(), still.begin(), still.end());
  const std::string name = folder + "/algorithm-" + std::to_string(algorithm);
  std::vector<std::string> first = options;
  first.insert(first.end(), {"--ticks", "1"});
  std::vector<std::string> third = options;
  third.insert(third.end(), {"--ticks", "3"});
  RgbImage frame = renderFrame(first, name + ".ppm");
  const RgbImage control = renderFrame(third, name + "-tick3.ppm");
  EXPECT_EQ(frame.rgb, control.rgb)
      << "algorithm " << algorithm << " changes between ticks at speed 0";
  return frame;
}

// Whether a window is to hold a frame as it is, or as the server stretches it.
enum class ByServer : std::uint8_t { No, Nearest, Smooth };

// Waits until the window holds `expected` (stretched over it by the server,
// unless ByServer::No); on failure saves what it holds.
::testing::AssertionResult windowShows(::Display* x, Window window, const PixelFormat& format,
                                       const RgbImage& expected, const std::string& saveAs,
                                       ByServer stretched = ByServer::No,
                                       milliseconds limit = milliseconds(20000)) {
  std::string comparison;
  RgbImage actual;
  const bool shown = waitUntil(
      [&] {
        actual = readWindow(x, window, format).colours;
        int differing = 0;
        comparison = stretched == ByServer::No
                         ? compareImages(actual, expected, differing)
                         : compareServerStretched(actual, expected, stretched == ByServer::Smooth,
                                                  differing);
        return differing == 0;
      },
      limit);
  if (shown) return ::testing::AssertionSuccess();
  writePpm(saveAs + "-window.ppm", actual);
  writePpm(saveAs + "-expected.ppm", expected);
  return ::testing::AssertionFailure() << "the window is not the expected picture: " << comparison
                                       << " (saved as " << saveAs << "-*.ppm)";
}

std::vector<std::string> programIn(Window window, int algorithm,
                                   const std::vector<std::string>& more = {}) {
  std::vector<std::string> argv = {programPath(), "-window-id", windowIdText(window), "-algorithm",
                                   std::to_string(algorithm)};
  argv.insert(argv.end(), kStillProgram.begin(), kStillProgram.end());
  argv.insert(argv.end(), more.begin(), more.end());
  return argv;
}

void endProgram(Child& program) {
  EXPECT_TRUE(diesOf(program, SIGTERM));
}

// ---------------------------------------------------------------------------
// Exact frames

class ExactFrames : public ::testing::Test {
 protected:
  // Shows each algorithm at Detail 10 in an 800 x 600 window of `depth` (0:
  // the default) and compares the window with the renderer's frame.
  void showEach(const std::vector<int>& algorithms, int depth,
                const std::vector<std::string>& more = {}) {
    ASSERT_TRUE(displayGiven());
    const std::string folder = caseFolder();
    Connection x(display());
    ASSERT_TRUE(x);
    const TestWindow window = makeWindow(x.get(), 800, 600, depth);
    ASSERT_NE(window.id, 0u);
    for (const int algorithm : algorithms) {
      const RgbImage frame = stillFrame(folder, algorithm);
      std::vector<std::string> options = {"-detail", "10"};
      options.insert(options.end(), more.begin(), more.end());
      Child program(programIn(window.id, algorithm, options), {}, {}, folder);
      EXPECT_TRUE(windowShows(x.get(), window.id, window.format, frame,
                              folder + "/algorithm-" + std::to_string(algorithm)))
          << "algorithm " << algorithm << "; stderr: " << program.errors();
      endProgram(program);
    }
  }
};

TEST_F(ExactFrames, EachAlgorithmShowsTheRenderersFrameAtDepth24) {
  showEach({0, 15, 22, 33}, 0);
}

TEST_F(ExactFrames, EachAlgorithmShowsTheRenderersFrameAtDepth32) {
  showEach({17, 29}, 32);
}

TEST_F(ExactFrames, WithoutSharedMemoryTheFrameIsTheSame) {
  showEach({7}, 0, {"-no-shm"});
}

TEST_F(ExactFrames, SmoothingAFrameOfTheWindowsOwnSizeChangesNothing) {
  showEach({3}, 32, {"-smooth"});
}

// ---------------------------------------------------------------------------
// Stretching and the window's size

TEST(Stretching, TheFrameCoversTheWindowAndFollowsItsNewSize) {
  ASSERT_TRUE(displayGiven());
  const std::string folder = caseFolder();
  Connection x(display());
  ASSERT_TRUE(x);
  const TestWindow window = makeWindow(x.get(), 1024, 768, 0);
  const RgbImage frame = stillFrame(folder, 15);
  Child program(programIn(window.id, 15, {"-detail", "10"}), {}, {}, folder);
  EXPECT_TRUE(windowShows(x.get(), window.id, window.format, frame, folder + "/1024x768",
                          ByServer::Nearest))
      << program.errors();

  // The program finds the new size of a window it does not own at its next tick.
  for (const auto& [width, height] : std::vector<std::pair<int, int>>{{640, 480}, {1200, 900}}) {
    XResizeWindow(x.get(), window.id, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XSync(x.get(), False);
    EXPECT_TRUE(windowShows(x.get(), window.id, window.format, frame,
                            folder + "/" + std::to_string(width) + "x" + std::to_string(height),
                            ByServer::Nearest))
        << program.errors();
  }

  // A window it did not make: never moved or resized, and no input taken from
  // it (it follows only the window's visibility and structure).
  XWindowAttributes attributes{};
  ASSERT_NE(XGetWindowAttributes(x.get(), window.id, &attributes), 0);
  EXPECT_EQ(attributes.width, 1200);
  EXPECT_EQ(attributes.height, 900);
  EXPECT_EQ(attributes.x, 0);
  EXPECT_EQ(attributes.y, 0);
  EXPECT_EQ(attributes.all_event_masks & ~attributes.your_event_mask &
                ~(VisibilityChangeMask | StructureNotifyMask),
            0)
      << "another client selected input on the window";
  endProgram(program);
  EXPECT_NE(XGetWindowAttributes(x.get(), window.id, &attributes), 0) << "the window is gone";
}

TEST(Stretching, ItsOwnWindowFollowsResizing) {
  ASSERT_TRUE(displayGiven());
  const std::string folder = caseFolder();
  Connection x(display());
  ASSERT_TRUE(x);
  const RgbImage frame = stillFrame(folder, 22);
  std::vector<std::string> argv = {programPath(), "-detail", "10", "-algorithm", "22"};
  argv.insert(argv.end(), kStillProgram.begin(), kStillProgram.end());
  Child program(argv, {}, {"XSCREENSAVER_WINDOW"}, folder);
  const Window window = waitForProgramWindow(x.get(), program.pid());
  ASSERT_NE(window, 0u) << program.errors();
  const PixelFormat format = formatOfWindow(x.get(), window);
  EXPECT_TRUE(windowShows(x.get(), window, format, frame, folder + "/800x600"));
  XResizeWindow(x.get(), window, 1000, 700);
  XSync(x.get(), False);
  EXPECT_TRUE(windowShows(x.get(), window, format, frame, folder + "/1000x700", ByServer::Nearest))
      << program.errors();
  endProgram(program);
}

TEST(Stretching, TheDetailSettingsFrameIsStretchedOverTheWindow) {
  ASSERT_TRUE(displayGiven());
  const std::string folder = caseFolder();
  Connection x(display());
  ASSERT_TRUE(x);
  const TestWindow window = makeWindow(x.get(), 800, 600, 0);
  // Detail 5 is 533 x 400.
  const RgbImage frame = stillFrame(folder, 29, 533, 400);
  Child program(programIn(window.id, 29, {"-detail", "5"}), {}, {}, folder);
  EXPECT_TRUE(
      windowShows(x.get(), window.id, window.format, frame, folder + "/detail5", ByServer::Nearest))
      << program.errors();
  endProgram(program);
}

TEST(Stretching, SmoothStretchingCoversTheWindowWithBlendsOfNeighbouringPixels) {
  ASSERT_TRUE(displayGiven());
  const std::string folder = caseFolder();
  Connection x(display());
  ASSERT_TRUE(x);
  const TestWindow window = makeWindow(x.get(), 1000, 750, 0);
  // Detail 0 is 267 x 200: every frame pixel spans several window pixels.
  const RgbImage frame = stillFrame(folder, 15, 267, 200);
  Child program(programIn(window.id, 15, {"-detail", "0", "-smooth"}), {}, {}, folder);
  // Each window pixel lies, colour by colour, between the frame pixels around
  // its centre; and the picture is not the nearest-pixel one.
  EXPECT_TRUE(
      windowShows(x.get(), window.id, window.format, frame, folder + "/smooth", ByServer::Smooth))
      << program.errors();
  const RgbImage actual = readWindow(x.get(), window.id, window.format).colours;
  writePpm(folder + "/smooth-window.ppm", actual);
  int differing = 0;
  compareServerStretched(actual, frame, false, differing);
  EXPECT_GT(differing, 100000) << "the smooth picture is the nearest-pixel one";
  endProgram(program);
}

// ---------------------------------------------------------------------------
// Ticking

TEST(Ticking, TheAnimationAdvancesOneTickEvery40Ms) {
  ASSERT_TRUE(displayGiven());
  const std::string folder = caseFolder();
  Connection x(display());
  ASSERT_TRUE(x);
  // A quick algorithm at Detail 0 (267 x 200) in a window of the frame's size.
  const TestWindow window = makeWindow(x.get(), 267, 200, 0);
  const std::vector<std::string> start = {"-algorithm", "29",       "-speed",  "5",        "-seed",
                                          "42",         "-phase-a", "1",       "-phase-b", "2",
                                          "-step-a",    "0.05",     "-step-b", "0.05"};
  // The frames of ticks 1 to 200, as the renderer computes them one after another.
  constexpr int kFrames = 200;
  std::vector<std::string> options = {"--width", "267",      "--height",
                                      "200",     "--frames", std::to_string(kFrames)};
  // The renderer spells the same options with two dashes.
  for (const std::string& word : start) options.push_back(word[0] == '-' ? "-" + word : word);
  const Outcome rendered = runCommand(
      [&] {
        std::vector<std::string> argv = {rendererPath()};
        argv.insert(argv.end(), options.begin(), options.end());
        argv.insert(argv.end(), {"--output", folder + "/tick.ppm"});
        return argv;
      }(),
      folder);
  ASSERT_EQ(rendered.status, 0) << rendered.errors;
  std::vector<RgbImage> ticks;
  for (int frame = 0; frame < kFrames; ++frame) {
    char name[32];
    std::snprintf(name, sizeof name, "/tick%04d.ppm", frame);
    ticks.push_back(readPpm(folder + name));
    ASSERT_EQ(ticks.back().width, 267) << name;
  }

  std::vector<std::string> argv = {programPath(), "-window-id", windowIdText(window.id), "-detail",
                                   "0"};
  argv.insert(argv.end(), start.begin(), start.end());
  Child program(argv, {}, {}, folder);
  // The tick whose frame the window shows now, and when it was read.
  const auto shownTick = [&](Clock::time_point& when) {
    int tick = -1;
    waitUntil(
        [&] {
          when = Clock::now();
          const RgbImage shown = readWindow(x.get(), window.id, window.format).colours;
          for (int k = 0; k < kFrames && tick < 0; ++k)
            if (shown.rgb == ticks[std::size_t(k)].rgb) tick = k + 1;
          return tick > 0;
        },
        milliseconds(3000));
    return tick;
  };
  Clock::time_point first{};
  const int firstTick = shownTick(first);
  ASSERT_GT(firstTick, 0) << "the window shows none of the first " << kFrames << " frames; "
                          << program.errors();
  std::this_thread::sleep_for(milliseconds(2000));
  Clock::time_point second{};
  const int secondTick = shownTick(second);
  ASSERT_GT(secondTick, 0) << "the window shows none of the first " << kFrames << " frames";
  const double seconds = std::chrono::duration<double>(second - first).count();
  const int ticks40 = static_cast<int>(seconds / 0.040);
  RecordProperty("ticks", secondTick - firstTick);
  RecordProperty("expected_ticks", ticks40);
  // Never faster than one tick per 40 ms (a frame may be read just after its
  // tick and the other just before); slower only on a machine too busy to
  // keep up, which must still give at least half the ticks.
  EXPECT_LE(secondTick - firstTick, ticks40 + 2) << "in " << seconds << " s";
  EXPECT_GE(secondTick - firstTick, ticks40 / 2) << "in " << seconds << " s";
  endProgram(program);
}

// Hidden by unmapping its window or one of its ancestors, by covering it (also
// from before the start), by a window over the whole root that it draws on, or
// by turning the monitor off, the program computes no frame, so the animation
// stands still; seen again, it computes and shows frames again.
enum class HiddenBy {
  Unmapping,
  UnmappingAnAncestor,
  Covering,
  CoveredAtTheStart,
  CoveringTheRoot,
  MonitorOff
};
class Hidden : public ::testing::TestWithParam<HiddenBy> {};

TEST_P(Hidden, NoFrameIsComputedUntilTheWindowIsSeenAgain) {
  ASSERT_TRUE(displayGiven());
  const std::string folder = caseFolder();
  Connection x(display());
  ASSERT_TRUE(x);
  const HiddenBy by = GetParam();
  int event = 0, error = 0;
  if (by == HiddenBy::MonitorOff &&
      !(DPMSQueryExtension(x.get(), &event, &error) && DPMSCapable(x.get())))
    GTEST_SKIP() << "the X server has no DPMS (Xvfb has none), so the monitor cannot be turned "
                    "off here";
  const TestWindow outer = makeWindow(x.get(), 267, 200, 0);
  TestWindow window = outer;
  if (by == HiddenBy::UnmappingAnAncestor) {
    window.id = XCreateSimpleWindow(x.get(), outer.id, 0, 0, 267, 200, 0, 0, 0);
    XMapWindow(x.get(), window.id);
    XSync(x.get(), False);
  }
  const Window root = DefaultRootWindow(x.get());
  const bool onRoot = by == HiddenBy::CoveringTheRoot;
  Window cover = 0;
  const auto hide = [&] {
    if (by == HiddenBy::Unmapping) XUnmapWindow(x.get(), window.id);
    if (by == HiddenBy::UnmappingAnAncestor) XUnmapWindow(x.get(), outer.id);
    if (by == HiddenBy::Covering || by == HiddenBy::CoveredAtTheStart)
      cover = makeWindow(x.get(), 400, 300, 0).id;
    if (onRoot)
      cover = makeWindow(x.get(), DisplayWidth(x.get(), 0), DisplayHeight(x.get(), 0), 0).id;
    if (by == HiddenBy::MonitorOff) {
      DPMSEnable(x.get());
      DPMSForceLevel(x.get(), DPMSModeOff);
    }
    XSync(x.get(), False);
  };
  if (by == HiddenBy::CoveredAtTheStart) hide();

  const RgbImage frame = stillFrame(folder, 29, 267, 200);
  std::vector<std::string> argv = programIn(window.id, 29, {"-detail", "0"});
  if (onRoot) argv[1] = "-root", argv.erase(argv.begin() + 2);
  Child program(argv, {}, {}, folder);
  const auto computes = [&] {
    const long long from = processCpuTicks(program.pid());
    return waitUntil([&] { return processCpuTicks(program.pid()) >= from + 10; },
                     milliseconds(10000));
  };
  // The control: seen, it computes.
  if (by != HiddenBy::CoveredAtTheStart) {
    EXPECT_TRUE(computes()) << "nothing computed while seen; " << program.errors();
    hide();
  }
  // A frame begun before may still end (and the monitor is asked once a
  // second); then nothing for 2 s.
  std::this_thread::sleep_for(milliseconds(by == HiddenBy::MonitorOff ? 1500 : 500));
  const long long hiddenFrom = processCpuTicks(program.pid());
  std::this_thread::sleep_for(milliseconds(2000));
  EXPECT_LE(processCpuTicks(program.pid()) - hiddenFrom, 1) << "processor time used while hidden";
  if (cover) XDestroyWindow(x.get(), cover);
  if (by == HiddenBy::Unmapping) XMapWindow(x.get(), window.id);
  if (by == HiddenBy::UnmappingAnAncestor) XMapWindow(x.get(), outer.id);
  if (by == HiddenBy::MonitorOff) DPMSForceLevel(x.get(), DPMSModeOn);
  XSync(x.get(), False);
  EXPECT_TRUE(computes()) << "nothing computed once seen again; " << program.errors();
  if (!onRoot) {
    EXPECT_TRUE(windowShows(x.get(), window.id, window.format, frame, folder + "/again"));
  }
  endProgram(program);
  if (onRoot) XClearWindow(x.get(), root);
}

std::string hiddenName(const ::testing::TestParamInfo<HiddenBy>& by) {
  constexpr const char* kNames[] = {"Unmapped",          "AncestorUnmapped", "Covered",
                                    "CoveredAtTheStart", "RootCovered",      "MonitorOff"};
  return kNames[static_cast<int>(by.param)];
}

INSTANTIATE_TEST_SUITE_P(ItsWindow, Hidden,
                         ::testing::Values(HiddenBy::Unmapping, HiddenBy::UnmappingAnAncestor,
                                           HiddenBy::Covering, HiddenBy::CoveredAtTheStart,
                                           HiddenBy::CoveringTheRoot, HiddenBy::MonitorOff),
                         hiddenName);

// ---------------------------------------------------------------------------
// Over the frame

TEST(FrameRate, TheFiguresAreDrawnOverTheFrameInTheLowerLeftCorner) {
  ASSERT_TRUE(displayGiven());
  const std::string folder = caseFolder();
  Connection x(display());
  ASSERT_TRUE(x);
  const TestWindow window = makeWindow(x.get(), 800, 600, 0);
  const RgbImage frame = stillFrame(folder, 33);
  Child program(programIn(window.id, 33, {"-detail", "10", "-fps"}), {}, {}, folder);
  // Above the corner the frame is exact; in the corner there is white text.
  RgbImage actual;
  const auto check = [&] {
    actual = readWindow(x.get(), window.id, window.format).colours;
    if (actual.width != 800 || actual.height != 600) return false;
    for (int r = 0; r < 560; ++r)
      if (!std::equal(actual.at(r, 0), actual.at(r, 0) + std::size_t{800} * 3, frame.at(r, 0)))
        return false;
    int white = 0;
    for (int r = 560; r < 600; ++r)
      for (int c = 0; c < 300; ++c) {
        const std::uint8_t* pixel = actual.at(r, c);
        if (pixel[0] == 255 && pixel[1] == 255 && pixel[2] == 255) ++white;
      }
    return white > 20;
  };
  EXPECT_TRUE(waitUntil(check, milliseconds(20000))) << program.errors();
  writePpm(folder + "/fps-window.ppm", actual);
  // Frames for over a second, then the run's figures when it ends.
  std::this_thread::sleep_for(milliseconds(1200));
  endProgram(program);
  EXPECT_NE(program.errors().find(" frames shown in "), std::string::npos) << program.errors();
}

TEST(ArithmeticErrors, AFrameWithAnErrorIsShownAsFarAsItWasComputedAndTheRunGoesOn) {
  ASSERT_TRUE(displayGiven());
  const std::string folder = caseFolder();
  Connection x(display());
  ASSERT_TRUE(x);
  const TestWindow window = makeWindow(x.get(), 800, 600, 0);
  // Algorithm 9 at phases 0 and 0 divides by zero at the centre pixel of an
  // 800 x 600 frame, at every tick: the renderer reports it (status 3) and
  // writes the partial frame, black from that pixel on.
  const Outcome rendered =
      runCommand({rendererPath(), "--algorithm", "9", "--speed", "0", "--seed", "42", "--phase-a",
                  "0", "--phase-b", "0", "--output", folder + "/partial.ppm"},
                 folder);
  ASSERT_EQ(rendered.status, 3) << rendered.errors;
  EXPECT_NE(rendered.errors.find("column 400, row 300"), std::string::npos) << rendered.errors;
  const RgbImage partial = readPpm(folder + "/partial.ppm");
  ASSERT_EQ(partial.width, 800);

  Child program({programPath(), "-window-id", windowIdText(window.id), "-algorithm", "9", "-speed",
                 "0", "-seed", "42", "-phase-a", "0", "-phase-b", "0", "-detail", "10"},
                {}, {}, folder);
  EXPECT_TRUE(windowShows(x.get(), window.id, window.format, partial, folder + "/partial"));
  // Several more ticks, each with the same error, and the program goes on.
  std::this_thread::sleep_for(milliseconds(1000));
  EXPECT_TRUE(program.running()) << program.errors();
  endProgram(program);
}

}  // namespace
}  // namespace glimmerweave::x11test
