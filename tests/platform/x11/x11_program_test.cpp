// glimmerweave as a process: its bad options, its own window, how it ends (by
// the signals themselves, within 100 ms of SIGTERM, at any moment of its start;
// the X connection closing; no shared memory left behind), a 16-bit server, a
// server without RENDER, and a run under the real xscreensaver daemon.
// Nothing here reads the shared display's pixels, so these cases may run
// beside others; the ones that do are in x11_screen_test.cpp.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

#include "x11_test_support.h"

namespace glimmerweave::x11test {
namespace {

namespace fs = std::filesystem;

std::string display() {
  return std::getenv("DISPLAY");
}

// ---------------------------------------------------------------------------
// Options

TEST(BadOptions, EachEndsWithStatusTwoAndOneMessageNamingWhatIsValid) {
  const std::string folder = caseFolder();
  struct Case {
    std::vector<std::string> arguments;
    std::string message;
  };
  const Case cases[] = {
      {{"-speed", "11"}, "-speed takes a whole number from 0 to 10, not '11'"},
      {{"--brightness", "0"}, "--brightness takes a whole number from 1 to 100, not '0'"},
      {{"-algorithm=35"}, "-algorithm takes a whole number from 0 to 34, not '35'"},
      {{"-detail", "-1"}, "-detail takes a whole number from 0 to 10, not '-1'"},
      {{"-seed", "x"}, "-seed takes a whole number from 0 to 4294967295, not 'x'"},
      {{"-phase-a", "nan"}, "-phase-a takes a finite decimal number, not 'nan'"},
      {{"-window-id", "window"},
       "-window-id takes a window id (decimal, or hexadecimal after 0x), not 'window'"},
      {{"-speed"}, "-speed needs a value: a whole number from 0 to 10"},
      {{"-frobnicate"}, "unknown option '-frobnicate' (-help lists the options)"},
  };
  for (const Case& bad : cases) {
    std::vector<std::string> argv = {programPath()};
    argv.insert(argv.end(), bad.arguments.begin(), bad.arguments.end());
    // Without a display: the option is refused before the program looks for one.
    const Outcome outcome = runCommand(argv, folder, milliseconds(30000), {}, {"DISPLAY"});
    EXPECT_EQ(outcome.status, 2) << bad.message;
    EXPECT_EQ(outcome.errors, "glimmerweave: " + bad.message + "\n");
    EXPECT_EQ(outcome.output, "");
  }
  // The control: good options without a display fail differently.
  const Outcome good =
      runCommand({programPath(), "-speed", "10"}, folder, milliseconds(30000), {}, {"DISPLAY"});
  EXPECT_EQ(good.status, 1);
  EXPECT_NE(good.errors.find("DISPLAY is not set"), std::string::npos) << good.errors;
}

TEST(BadOptions, HelpAndVersionAnswerOnStandardOutputWithStatusZero) {
  const std::string folder = caseFolder();
  const Outcome help = runCommand({programPath(), "--help"}, folder, milliseconds(30000));
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.output.find("-brightness N"), std::string::npos);
  EXPECT_EQ(help.errors, "");
  const Outcome version = runCommand({programPath(), "-version"}, folder, milliseconds(30000));
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.output.rfind("glimmerweave ", 0), 0u) << version.output;
}

TEST(BadOptions, AnXscreensaverWindowThatIsNoWindowIsReported) {
  ASSERT_TRUE(displayGiven());
  const std::string folder = caseFolder();
  const Outcome text =
      runCommand({programPath()}, folder, milliseconds(30000), {"XSCREENSAVER_WINDOW=window"});
  EXPECT_EQ(text.status, 1);
  EXPECT_EQ(text.errors, "glimmerweave: XSCREENSAVER_WINDOW holds no window id: 'window'\n");
  // A number that names no window on the display.
  const Outcome missing =
      runCommand({programPath(), "-window-id", "0x7ffffff0"}, folder, milliseconds(30000));
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.errors.find("cannot draw in the window 0x7ffffff0"), std::string::npos)
      << missing.errors;
}

// ---------------------------------------------------------------------------
// Its own window

TEST(OwnWindow, IsTitledResizableAt800By600AndAKeyPressClosesIt) {
  ASSERT_TRUE(displayGiven());
  const std::string folder = caseFolder();
  Connection x(display());
  ASSERT_TRUE(x);
  Child program({programPath(), "-detail", "0"}, {}, {"XSCREENSAVER_WINDOW"}, folder);
  const Window window = waitForProgramWindow(x.get(), program.pid());
  ASSERT_NE(window, 0u) << "no window of the program; stderr: " << program.errors();

  char* name = nullptr;
  ASSERT_NE(XFetchName(x.get(), window, &name), 0);
  EXPECT_STREQ(name, "Glimmerweave");
  XFree(name);
  XWindowAttributes attributes{};
  ASSERT_NE(XGetWindowAttributes(x.get(), window, &attributes), 0);
  EXPECT_EQ(attributes.width, 800);
  EXPECT_EQ(attributes.height, 600);
  // Resizable: no size hints that fix the size.
  XSizeHints hints{};
  long supplied = 0;
  if (XGetWMNormalHints(x.get(), window, &hints, &supplied) != 0) {
    EXPECT_FALSE((hints.flags & PMinSize) && (hints.flags & PMaxSize) &&
                 hints.min_width == hints.max_width);
  }

  XEvent key{};
  key.xkey.type = KeyPress;
  key.xkey.display = x.get();
  key.xkey.window = window;
  key.xkey.root = DefaultRootWindow(x.get());
  key.xkey.keycode = XKeysymToKeycode(x.get(), XStringToKeysym("Escape"));
  key.xkey.same_screen = True;
  XSendEvent(x.get(), window, False, KeyPressMask, &key);
  XFlush(x.get());
  EXPECT_EQ(program.waitFor(milliseconds(10000)), 0) << program.errors();
}

TEST(OwnWindow, ClosingItThroughTheWindowManagerEndsTheProgram) {
  ASSERT_TRUE(displayGiven());
  const std::string folder = caseFolder();
  Connection x(display());
  ASSERT_TRUE(x);
  Child program({programPath(), "-detail", "0"}, {}, {"XSCREENSAVER_WINDOW"}, folder);
  const Window window = waitForProgramWindow(x.get(), program.pid());
  ASSERT_NE(window, 0u) << program.errors();

  const Atom deleteWindow = XInternAtom(x.get(), "WM_DELETE_WINDOW", False);
  Atom* protocols = nullptr;
  int count = 0;
  ASSERT_NE(XGetWMProtocols(x.get(), window, &protocols, &count), 0);
  EXPECT_TRUE(std::find(protocols, protocols + count, deleteWindow) != protocols + count);
  XFree(protocols);
  EXPECT_TRUE(program.running());

  XEvent message{};
  message.xclient.type = ClientMessage;
  message.xclient.window = window;
  message.xclient.message_type = XInternAtom(x.get(), "WM_PROTOCOLS", False);
  message.xclient.format = 32;
  message.xclient.data.l[0] = static_cast<long>(deleteWindow);
  message.xclient.data.l[1] = CurrentTime;
  XSendEvent(x.get(), window, False, NoEventMask, &message);
  XFlush(x.get());
  EXPECT_EQ(program.waitFor(milliseconds(10000)), 0) << program.errors();
}

// ---------------------------------------------------------------------------
// Ending

// How long a process takes to be seen ended after `number` reaches it.
milliseconds timeToEnd(Child& child, int number, std::optional<int>& status) {
  const Clock::time_point sent = Clock::now();
  child.signal(number);
  status = child.waitFor(milliseconds(10000));
  return std::chrono::duration_cast<milliseconds>(Clock::now() - sent);
}

// A run that spends nearly all its time inside frames: at Detail 10 algorithm
// 12 takes several times the 40 ms tick, so each frame follows the last at
// once. It draws in a window of the test, through shared memory.
std::vector<std::string> busyRun(Window window) {
  return {programPath(), "-window-id", windowIdText(window), "-detail", "10", "-algorithm", "12"};
}

TEST(Ending, SigtermInTheMiddleOfAFrameEndsItWithin100MsWithNoSharedMemoryLeft) {
  ASSERT_TRUE(displayGiven());
  const std::string folder = caseFolder();
  Connection x(display());
  ASSERT_TRUE(x);
  const TestWindow window = makeWindow(x.get(), 640, 480, 0);
  Child program(busyRun(window.id), {}, {}, folder);
  // The control of the segment check: the running program's segment is seen.
  ASSERT_TRUE(
      waitUntil([&] { return sharedMemorySegmentsOf(program.pid()) > 0; }, milliseconds(15000)))
      << "no shared memory segment of the program; stderr: " << program.errors();
  // Well into the frames.
  std::this_thread::sleep_for(milliseconds(400));
  ASSERT_TRUE(program.running()) << program.errors();

  // The control of the timing: how long this machine, as loaded as it is now,
  // takes to end and reap a process that SIGTERM kills outright.
  Child sleeper({"sleep", "60"});
  std::this_thread::sleep_for(milliseconds(50));
  std::optional<int> sleeperStatus;
  const milliseconds baseline = timeToEnd(sleeper, SIGTERM, sleeperStatus);
  EXPECT_EQ(sleeperStatus, 128 + SIGTERM);

  std::optional<int> status;
  const milliseconds took = timeToEnd(program, SIGTERM, status);
  RecordProperty("sigterm_ms", static_cast<int>(took.count()));
  RecordProperty("baseline_ms", static_cast<int>(baseline.count()));
  // Ended by the signal itself, as xscreensaver expects, not by an exit.
  EXPECT_EQ(status, 128 + SIGTERM) << program.errors();
  EXPECT_EQ(program.endingSignal(), SIGTERM);
  EXPECT_LE(took, milliseconds(100) + baseline)
      << "SIGTERM took " << took.count() << " ms to end the program (a process without "
      << "anything to do: " << baseline.count() << " ms)";
  EXPECT_EQ(program.errors(), "");
  // The server lets go of the segment when it notices the closed connection.
  EXPECT_TRUE(
      waitUntil([&] { return sharedMemorySegmentsOf(program.pid()) == 0; }, milliseconds(10000)))
      << sharedMemorySegmentsOf(program.pid()) << " segments left";
  // The window it drew in is the test's, and is still there as it was.
  XWindowAttributes attributes{};
  ASSERT_NE(XGetWindowAttributes(x.get(), window.id, &attributes), 0);
  EXPECT_EQ(attributes.width, 640);
  EXPECT_EQ(attributes.height, 480);
}

TEST(Ending, SigintAndSighupEndItByThemselvesAndEvenSigkillLeavesNoSharedMemory) {
  ASSERT_TRUE(displayGiven());
  const std::string folder = caseFolder();
  Connection x(display());
  ASSERT_TRUE(x);
  const TestWindow window = makeWindow(x.get(), 320, 240, 0);
  for (const int number : {SIGINT, SIGHUP, SIGKILL}) {
    Child program(busyRun(window.id), {}, {}, folder);
    ASSERT_TRUE(
        waitUntil([&] { return sharedMemorySegmentsOf(program.pid()) > 0; }, milliseconds(15000)))
        << program.errors();
    std::this_thread::sleep_for(milliseconds(200));
    std::optional<int> status;
    timeToEnd(program, number, status);
    EXPECT_EQ(program.endingSignal(), number) << strsignal(number) << ": status " << *status;
    EXPECT_TRUE(
        waitUntil([&] { return sharedMemorySegmentsOf(program.pid()) == 0; }, milliseconds(10000)))
        << "a segment left after " << strsignal(number);
  }
}

TEST(Ending, SigkillWhileTheServerAttachesTheSegmentLeavesNone) {
  ASSERT_TRUE(displayGiven());
  const std::string folder = caseFolder();
  PrivateServer server("1024x768x24", {}, folder);
  ASSERT_TRUE(server.started());
  Connection x(server.display());
  ASSERT_TRUE(x);
  const TestWindow window = makeWindow(x.get(), 320, 240, 0);
  std::vector<std::string> argv = busyRun(window.id);
  argv.insert(argv.end(), {"-display", server.display()});
  Child program(argv, {}, {}, folder);
  // Held from the moment the segment is seen, the server answers neither the
  // attach nor anything after it: a program that marked the segment only once
  // answered would leave it behind. (The server has often attached it before
  // the hold; marking it does not wait for the server either way.)
  const Clock::time_point end = Clock::now() + milliseconds(15000);
  while (sharedMemorySegmentsOf(program.pid()) == 0 && Clock::now() < end) continue;
  server.hold(true);
  ASSERT_EQ(sharedMemorySegmentsOf(program.pid()), 1) << program.errors();
  EXPECT_TRUE(waitUntil([&] { return sharedMemorySegmentsOf(program.pid(), true) == 0; },
                        milliseconds(2000)))
      << "the segment is not marked for removal while the server has not answered";
  EXPECT_TRUE(diesOf(program, SIGKILL));
  server.hold(false);
  EXPECT_TRUE(
      waitUntil([&] { return sharedMemorySegmentsOf(program.pid()) == 0; }, milliseconds(10000)))
      << "a segment left";
}

TEST(Ending, ASignalAtAnyMomentOfTheStartEndsItBySignalAfterCleaningUp) {
  ASSERT_TRUE(displayGiven());
  const std::string folder = caseFolder();
  Connection x(display());
  ASSERT_TRUE(x);
  const TestWindow window = makeWindow(x.get(), 320, 240, 0);
  // From before the program's first instruction to well into its frames.
  const std::pair<int, int> rows[] = {{SIGTERM, 0},  {SIGINT, 2},   {SIGHUP, 5},
                                      {SIGTERM, 15}, {SIGTERM, 40}, {SIGTERM, 150}};
  for (const auto& [number, delay] : rows) {
    Child program(busyRun(window.id), {}, {}, folder);
    std::this_thread::sleep_for(milliseconds(delay));
    EXPECT_TRUE(diesOf(program, number)) << delay << " ms after the start";
    EXPECT_TRUE(
        waitUntil([&] { return sharedMemorySegmentsOf(program.pid()) == 0; }, milliseconds(10000)))
        << "a segment left after " << strsignal(number) << " at " << delay << " ms";
  }
}

// A display that never answers holds the program where no loop reads the
// signals: an X server that accepts the connection and sends nothing, a
// compositor likewise, and a server stopped while the program runs on it.
enum class Silent { XServer, Compositor, StoppedXServer };
class SilentDisplay : public ::testing::TestWithParam<Silent> {};

TEST_P(SilentDisplay, SigtermEndsItAllTheSame) {
  ASSERT_TRUE(displayGiven());
  const std::string folder = caseFolder();
  const Silent silent = GetParam();
  std::vector<std::string> argv = {programPath(), "-window", "-detail", "0"};
  std::vector<std::string> set;
  // A listening socket that never accepts: the connection is made, and nothing
  // is ever read or written on it.
  const int listener = socket(silent == Silent::Compositor ? AF_UNIX : AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  std::optional<PrivateServer> server;
  std::string runtimeFolder;
  if (silent == Silent::XServer) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int number = 90;
    for (; number < 200; ++number) {
      address.sin_port = htons(static_cast<std::uint16_t>(6000 + number));
      if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) break;
    }
    argv.insert(argv.end(), {"-display", "127.0.0.1:" + std::to_string(number)});
  } else if (silent == Silent::Compositor) {
    // A short path: a socket's name has room for 107 bytes.
    char runtime[] = "/tmp/glimmerweave-silent-XXXXXX";
    ASSERT_NE(mkdtemp(runtime), nullptr);
    runtimeFolder = runtime;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s/silent", runtime);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    argv.push_back("-wayland");
    set = {std::string("XDG_RUNTIME_DIR=") + runtime, "WAYLAND_DISPLAY=silent"};
  } else {
    server.emplace("640x480x24", std::vector<std::string>{}, folder);
    ASSERT_TRUE(server->started());
    argv.insert(argv.end(), {"-display", server->display()});
  }
  ASSERT_EQ(listen(listener, 4), 0);
  Child program(argv, set, {}, folder);
  std::this_thread::sleep_for(milliseconds(500));
  ASSERT_TRUE(program.running()) << program.errors();
  if (server) server->hold(true);
  EXPECT_TRUE(diesOf(program, SIGTERM));
  if (server) server->hold(false);
  close(listener);
  if (!runtimeFolder.empty()) fs::remove_all(runtimeFolder);
}

std::string silentName(const ::testing::TestParamInfo<Silent>& silent) {
  constexpr const char* kNames[] = {"XServer", "Compositor", "StoppedXServer"};
  return kNames[static_cast<int>(silent.param)];
}

INSTANTIATE_TEST_SUITE_P(Ending, SilentDisplay,
                         ::testing::Values(Silent::XServer, Silent::Compositor,
                                           Silent::StoppedXServer),
                         silentName);

// What WAYLAND_SOCKET names must be a connected socket. Anything else is
// reported, with status 1, where Wayland alone will do (-background); else X
// serves instead, as when no compositor can be reached.
TEST(WaylandSocket, ABrokenOneIsReportedOrXServesInstead) {
  ASSERT_TRUE(displayGiven());
  const std::string folder = caseFolder();
  // Each row: WAYLAND_SOCKET, and what the shell gives the program as that descriptor.
  const std::pair<const char*, const char*> rows[] = {{"abc", ""}, {"9", ""}, {"3", "3</dev/null"}};
  for (const auto& [socketNumber, redirection] : rows) {
    const std::string command = std::string("exec \"$0\" -background ") + redirection;
    const Outcome outcome =
        runCommand({"sh", "-c", command, programPath()}, folder, milliseconds(10000),
                   {std::string("WAYLAND_SOCKET=") + socketNumber});
    EXPECT_EQ(outcome.status, 1) << socketNumber << ": " << outcome.errors;
    EXPECT_NE(outcome.errors.find(std::string("(WAYLAND_SOCKET=") + socketNumber + "): "),
              std::string::npos)
        << outcome.errors;
  }
  // A pipe in its place, and a window, which X can show.
  const Outcome piped = runCommand({"sh", "-c", "true | exec \"$0\" -background", programPath()},
                                   folder, milliseconds(10000), {"WAYLAND_SOCKET=0"});
  EXPECT_EQ(piped.status, 1);
  EXPECT_NE(piped.errors.find("is a pipe, not a socket"), std::string::npos) << piped.errors;
  Child window({programPath(), "-window", "-detail", "0"}, {"WAYLAND_SOCKET=abc"}, {}, folder);
  std::this_thread::sleep_for(milliseconds(500));
  EXPECT_TRUE(window.running()) << window.errors();
  EXPECT_TRUE(diesOf(window, SIGTERM));
}

TEST(Ending, TheXConnectionClosingEndsIt) {
  ASSERT_TRUE(displayGiven());
  const std::string folder = caseFolder();
  // The server goes away.
  {
    PrivateServer server("640x480x24", {}, folder);
    ASSERT_TRUE(server.started());
    Child program({programPath(), "-detail", "0", "-display", server.display()}, {},
                  {"XSCREENSAVER_WINDOW"}, folder);
    {
      // The test's own connection closes before the server goes.
      Connection x(server.display());
      ASSERT_TRUE(x);
      ASSERT_NE(waitForProgramWindow(x.get(), program.pid()), 0u) << program.errors();
    }
    EXPECT_TRUE(program.running());
    server.stop();
    EXPECT_EQ(program.waitFor(milliseconds(10000)), 0) << program.errors();
  }
  // The server closes the connection (xkill does this).
  {
    Connection x(display());
    ASSERT_TRUE(x);
    Child program({programPath(), "-detail", "0"}, {}, {"XSCREENSAVER_WINDOW"}, folder);
    const Window window = waitForProgramWindow(x.get(), program.pid());
    ASSERT_NE(window, 0u) << program.errors();
    EXPECT_TRUE(program.running());
    XKillClient(x.get(), window);
    XSync(x.get(), False);
    EXPECT_EQ(program.waitFor(milliseconds(10000)), 0) << program.errors();
  }
}

TEST(Ending, AWindowThatDisappearsEndsTheRun) {
  ASSERT_TRUE(displayGiven());
  const std::string folder = caseFolder();
  Connection x(display());
  ASSERT_TRUE(x);
  const TestWindow window = makeWindow(x.get(), 320, 240, 0);
  Child program({programPath(), "-window-id", windowIdText(window.id), "-detail", "0"}, {}, {},
                folder);
  ASSERT_TRUE(
      waitUntil([&] { return sharedMemorySegmentsOf(program.pid()) > 0; }, milliseconds(15000)))
      << program.errors();
  EXPECT_TRUE(program.running());
  XDestroyWindow(x.get(), window.id);
  XSync(x.get(), False);
  EXPECT_EQ(program.waitFor(milliseconds(10000)), 0) << program.errors();
}

// ---------------------------------------------------------------------------
// Ticking

TEST(Ticking, BetweenTicksTheProgramSleepsInsteadOfSpinning) {
  ASSERT_TRUE(displayGiven());
  const std::string folder = caseFolder();
  Connection x(display());
  ASSERT_TRUE(x);
  const TestWindow window = makeWindow(x.get(), 320, 240, 0);
  // Small frames of a quick algorithm, done long before the next tick is due:
  // the loop thread (the process's main thread) has little to do but wait.
  Child program(
      {programPath(), "-window-id", windowIdText(window.id), "-detail", "0", "-algorithm", "29"},
      {}, {}, folder);
  ASSERT_TRUE(
      waitUntil([&] { return sharedMemorySegmentsOf(program.pid()) > 0; }, milliseconds(15000)))
      << program.errors();
  // The control: a thread that does spin, measured over the same time on this
  // machine as loaded as it is now, until it has had 1 s of processor time
  // (so that a busy machine only makes the measurement longer).
  Child spinner({"sh", "-c", "while :; do :; done"});
  std::this_thread::sleep_for(milliseconds(200));
  const long long loopBefore = threadCpuTicks(program.pid(), program.pid());
  const long long spinBefore = threadCpuTicks(spinner.pid(), spinner.pid());
  ASSERT_GE(loopBefore, 0);
  ASSERT_GE(spinBefore, 0);
  long long spin = 0;
  waitUntil(
      [&] {
        spin = threadCpuTicks(spinner.pid(), spinner.pid()) - spinBefore;
        return spin >= 100;
      },
      milliseconds(20000));
  const long long loop = threadCpuTicks(program.pid(), program.pid()) - loopBefore;
  ASSERT_GE(spin, 50) << "the spinning control got almost no processor time";
  EXPECT_LT(loop * 4, spin) << "the loop thread used " << loop << " ticks, a spinning one " << spin;
  EXPECT_TRUE(program.running()) << program.errors();
  EXPECT_TRUE(diesOf(program, SIGTERM));
}

// ---------------------------------------------------------------------------
// A 16-bit server

TEST(Depth16, TheFrameIsConvertedThroughTheVisualsMasks) {
  ASSERT_TRUE(displayGiven());
  const std::string folder = caseFolder();
  PrivateServer server("1024x768x16", {}, folder);
  ASSERT_TRUE(server.started());
  Connection x(server.display());
  ASSERT_TRUE(x);
  const TestWindow window = makeWindow(x.get(), 800, 600, 0);
  ASSERT_EQ(window.depth, 16);
  const RgbImage frame =
      renderFrame({"--algorithm", "15", "--speed", "0", "--seed", "42", "--phase-a", "1",
                   "--phase-b", "2", "--width", "800", "--height", "600"},
                  folder + "/expected.ppm");
  ASSERT_EQ(frame.width, 800);
  // What the window must hold: each colour's high bits under its mask.
  std::vector<std::uint32_t> expected;
  for (int r = 0; r < 600; ++r)
    for (int c = 0; c < 800; ++c) {
      const std::uint8_t* rgb = frame.at(r, c);
      const unsigned red = rgb[0] >> 3;
      const unsigned green = rgb[1] >> 2;
      const unsigned blue = rgb[2] >> 3;
      expected.push_back((red << 11) | (green << 5) | blue);
    }

  Child program({programPath(), "-display", server.display(), "-window-id", windowIdText(window.id),
                 "-detail", "10", "-speed", "0", "-seed", "42", "-phase-a", "1", "-phase-b", "2",
                 "-algorithm", "15"},
                {}, {}, folder);
  WindowPixels pixels;
  const bool shown = waitUntil(
      [&] {
        pixels = readWindow(x.get(), window.id, window.format);
        return pixels.values == expected;
      },
      milliseconds(20000));
  if (!shown) writePpm(folder + "/window.ppm", pixels.colours);
  EXPECT_TRUE(shown) << "the 16-bit window does not hold the converted frame (see " << folder
                     << "); stderr: " << program.errors();
  EXPECT_TRUE(diesOf(program, SIGTERM));
}

// ---------------------------------------------------------------------------
// Shared memory where the server offers it

// Shows the still frame of algorithm 15 at Detail 10 in a window of the test
// on `server` (800 x 600 unless given), the program connecting as
// `programDisplay`; checks the window against the renderer's frame, stretched
// pixel by pixel, and returns how many shared memory segments of the program
// exist once the frame is shown.
int showStillFrame(const PrivateServer& server, const std::string& programDisplay,
                   const std::string& folder, int width = 800, int height = 600) {
  Connection x(server.display());
  EXPECT_TRUE(x);
  if (!x) return -1;
  const TestWindow window = makeWindow(x.get(), width, height, 0);
  const RgbImage frame = stretchedNearest(
      renderFrame({"--algorithm", "15", "--speed", "0", "--seed", "42", "--phase-a", "1",
                   "--phase-b", "2", "--width", "800", "--height", "600"},
                  folder + "/expected.ppm"),
      width, height);
  Child program(
      {programPath(), "-display", programDisplay, "-window-id", windowIdText(window.id), "-detail",
       "10", "-speed", "0", "-seed", "42", "-phase-a", "1", "-phase-b", "2", "-algorithm", "15"},
      {}, {}, folder);
  RgbImage shown;
  const bool equal = waitUntil(
      [&] {
        shown = readWindow(x.get(), window.id, window.format).colours;
        return shown.rgb == frame.rgb;
      },
      milliseconds(20000));
  if (!equal) writePpm(folder + "/window.ppm", shown);
  EXPECT_TRUE(equal) << "the window does not hold the frame (see " << folder
                     << "); stderr: " << program.errors();
  const int segments = sharedMemorySegmentsOf(program.pid());
  EXPECT_TRUE(diesOf(program, SIGTERM));
  EXPECT_EQ(program.errors(), "");
  return segments;
}

TEST(SharedMemory, IsUsedWhereTheServerOffersItAndPlainImagesServeElsewhere) {
  ASSERT_TRUE(displayGiven());
  const std::string folder = caseFolder();
  // The control: a server that offers MIT-SHM to a local client.
  {
    PrivateServer server("1024x768x24", {}, folder);
    ASSERT_TRUE(server.started());
    EXPECT_EQ(showStillFrame(server, server.display(), folder), 1);
  }
  // A server without the extension.
  {
    PrivateServer server("1024x768x24", {"-extension", "MIT-SHM"}, folder);
    ASSERT_TRUE(server.started());
    EXPECT_EQ(showStillFrame(server, server.display(), folder), 0);
  }
  // A server that offers it but cannot attach the segment: over TCP it cannot
  // tell who the client is, so it refuses a segment that only its creator may
  // use. The refusal is an X error the program takes in its stride.
  {
    PrivateServer server("1024x768x24", {"-listen", "tcp"}, folder);
    ASSERT_TRUE(server.started());
    EXPECT_EQ(showStillFrame(server, "localhost" + server.display(), folder), 0);
  }
}

TEST(WithoutRender, TheProgramStretchesTheFrameItself) {
  ASSERT_TRUE(displayGiven());
  const std::string folder = caseFolder();
  PrivateServer server("1024x768x24", {"-extension", "RENDER"}, folder);
  ASSERT_TRUE(server.started());
  EXPECT_EQ(showStillFrame(server, server.display(), folder, 1000, 750), 1);
}

// ---------------------------------------------------------------------------
// Under xscreensaver

// The daemon's own settings for the test: no fading, no locking, no splash,
// and one program, this one, chosen whenever the screen blanks. The daemon runs
// its programs at a low priority, so on a busy machine a small frame (Detail 0)
// keeps the test quick.
void writeXscreensaverSettings(const std::string& home, const std::string& program) {
  std::ofstream file(home + "/.xscreensaver");
  file << "timeout:\t1:00:00\n"
          "lock:\tFalse\n"
          "fade:\tFalse\n"
          "unfade:\tFalse\n"
          "splash:\tFalse\n"
          "dpmsEnabled:\tFalse\n"
          "grabDesktopImages:\tFalse\n"
          "grabVideoFrames:\tFalse\n"
          "mode:\tone\n"
          "selected:\t0\n"
          "programs:\t\"Glimmerweave\" "
       << program << " -root -detail 0\t\\n\\\n\n";
}

// A home for the daemon in the system's temporary folder, which any user can
// reach whatever the permissions on the way to the checkout; removed with the object.
struct TemporaryHome {
  std::string path;

  TemporaryHome() {
    std::string pattern = (fs::temp_directory_path() / "glimmerweave-xscreensaver-XXXXXX").string();
    if (mkdtemp(pattern.data())) path = pattern;
    if (!path.empty())
      fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
  }
  ~TemporaryHome() {
    std::error_code ignored;
    if (!path.empty()) fs::remove_all(path, ignored);
  }
  TemporaryHome(const TemporaryHome&) = delete;
  TemporaryHome& operator=(const TemporaryHome&) = delete;
};

TEST(Xscreensaver, ActivatingShowsTheAnimationAndDeactivatingEndsTheProgram) {
  ASSERT_TRUE(displayGiven());
  if (std::system("command -v xscreensaver >/dev/null && command -v xscreensaver-command "
                  ">/dev/null") != 0)
    GTEST_FAIL() << "xscreensaver is not installed (Debian's xscreensaver package)";
  const std::string folder = caseFolder();

  // The daemon refuses to launch hacks as root, so as root it runs as nobody,
  // in a home and with a copy of the program that nobody may read. Its log and
  // the screenshots stay in the case's folder.
  const bool root = getuid() == 0;
  TemporaryHome temporary;
  ASSERT_FALSE(temporary.path.empty());
  const std::string home = temporary.path;
  const std::string program = home + "/glimmerweave";
  fs::copy_file(programPath(), program);
  fs::permissions(program, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                               fs::perms::others_read | fs::perms::others_exec);
  writeXscreensaverSettings(home, program);
  if (root) {
    ASSERT_EQ(std::system(("chown -R nobody " + home).c_str()), 0);
  }

  // Its own server, which lets any local user in (-ac), so that nobody may connect.
  PrivateServer server("1024x768x24", {"-ac"}, folder);
  ASSERT_TRUE(server.started());
  const std::vector<std::string> environment = {"HOME=" + home, "DISPLAY=" + server.display()};
  std::vector<std::string> as = {};
  if (root)
    as = {"runuser", "-u", "nobody", "--", "env", "HOME=" + home, "DISPLAY=" + server.display()};
  std::vector<std::string> daemon = as;
  daemon.insert(daemon.end(), {"xscreensaver", "-no-splash", "-verbose"});
  Child xscreensaver(daemon, environment, {"XSCREENSAVER_WINDOW"}, folder, true);

  const auto command = [&](const std::string& what) {
    std::vector<std::string> argv = as;
    argv.insert(argv.end(), {"xscreensaver-command", what});
    return runCommand(argv, folder, milliseconds(30000), environment);
  };
  // What went on, for a failure's message: the daemon's log, the end of it.
  const auto daemonLog = [&] {
    const std::string log = xscreensaver.errors();
    return "\nthe daemon's log (in " + folder + "), its end:\n" +
           log.substr(log.size() > 3000 ? log.size() - 3000 : 0);
  };
  Outcome answer;
  ASSERT_TRUE(waitUntil(
      [&] {
        if ((answer = command("-time")).status == 0) return true;
        std::this_thread::sleep_for(milliseconds(100));
        return false;
      },
      milliseconds(30000)))
      << "the daemon did not start: " << answer.errors << daemonLog();

  Connection x(server.display());
  ASSERT_TRUE(x);
  const PixelFormat format = formatOfWindow(x.get(), DefaultRootWindow(x.get()));
  const RgbImage before = readWindow(x.get(), DefaultRootWindow(x.get()), format).colours;
  EXPECT_LT(litShare(before), 0.05) << "the screen is lit before the activation";

  // A daemon that has only just started may still be starting its helper
  // that runs the programs; an activation it missed is asked for again.
  std::vector<pid_t> running;
  for (int attempt = 0; attempt < 4 && running.empty(); ++attempt) {
    answer = command("-activate");
    ASSERT_EQ(answer.status, 0) << answer.output << answer.errors << daemonLog();
    waitUntil([&] { return !(running = processesRunning(program)).empty(); }, milliseconds(5000));
  }
  ASSERT_FALSE(running.empty()) << "xscreensaver started no glimmerweave" << daemonLog();
  RgbImage first;
  ASSERT_TRUE(waitUntil(
      [&] {
        first = readWindow(x.get(), DefaultRootWindow(x.get()), format).colours;
        return litShare(first) > 0.5;
      },
      milliseconds(30000)))
      << "the screen is not lit: " << litShare(first) << daemonLog();
  writePpm(folder + "/first.ppm", first);
  RgbImage later;
  EXPECT_TRUE(waitUntil(
      [&] {
        later = readWindow(x.get(), DefaultRootWindow(x.get()), format).colours;
        int differing = 0;
        compareImages(later, first, differing);
        return differing > 1000;
      },
      milliseconds(30000)))
      << "the animation does not change" << daemonLog();
  writePpm(folder + "/later.ppm", later);
  EXPECT_GT(litShare(later), 0.5);

  answer = command("-deactivate");
  ASSERT_EQ(answer.status, 0) << answer.output << answer.errors << daemonLog();
  EXPECT_TRUE(waitUntil([&] { return processesRunning(program).empty(); }, milliseconds(15000)))
      << "glimmerweave still runs after the deactivation" << daemonLog();
  for (const pid_t pid : running)
    EXPECT_TRUE(waitUntil([&] { return sharedMemorySegmentsOf(pid) == 0; }, milliseconds(10000)));

  command("-exit");
  xscreensaver.waitFor(milliseconds(10000));
}

}  // namespace
}  // namespace glimmerweave::x11test
