// What the tests of glimmerweave on X share: the programs under test, child
// processes with bounded waits, private X servers, windows to draw in and
// read back, the renderer's frames, and scratch folders for each case.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/x11/x11_xlib.h"
#include "presentation/pixel_format.h"

namespace glimmerweave::x11test {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The programs, as the build names them.
std::string programPath();
std::string rendererPath();

// The display the tests are given; an error naming how to get one when DISPLAY
// is not set (the tests draw on it and must not pass without it).
::testing::AssertionResult displayGiven();

// Polls `condition` every few milliseconds until it holds or `limit` passes;
// true when it held.
bool waitUntil(const std::function<bool()>& condition, milliseconds limit);

// A folder of this test case's own in the build tree (cases/Suite.Case),
// emptied when made; it stays after a failure, with what the case saved there.
std::string caseFolder();

// ---------------------------------------------------------------------------
// Processes

class Child {
 public:
  // Starts `argv` with the environment changed by `set` ("NAME=value") and
  // `unset` (names); stdout and stderr go to files in `folder` (or /dev/null).
  // With `ownGroup` the child leads a process group of its own.
  Child(const std::vector<std::string>& argv, const std::vector<std::string>& set = {},
        const std::vector<std::string>& unset = {}, const std::string& folder = "",
        bool ownGroup = false);
  // Kills a child that is still running (its group, with ownGroup) and reaps it.
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t pid() const { return pid_; }
  bool running();
  // Waits up to `limit` for the end; the exit status, or 128 + the signal that
  // ended it; none while it still runs.
  std::optional<int> waitFor(milliseconds limit);
  // The signal that ended it (its death, not an exit status of 128 + n); 0
  // when it exited or still runs.
  int endingSignal() const { return endingSignal_; }
  void signal(int number);
  // What it wrote (with a folder).
  std::string output() const;
  std::string errors() const;

 private:
  pid_t pid_ = -1;
  bool ownGroup_ = false;
  std::optional<int> status_;
  int endingSignal_ = 0;
  std::string outPath_;
  std::string errPath_;
};

// Sends `number` to the child and waits up to 10 s for it to die of that
// signal, as xscreensaver expects of its programs.
::testing::AssertionResult diesOf(Child& child, int number);

struct Outcome {
  int status = -1;  // -1: did not end within the limit
  std::string output;
  std::string errors;
};

// Runs a command to its end, for at most `limit`.
Outcome runCommand(const std::vector<std::string>& argv, const std::string& folder,
                   milliseconds limit = milliseconds(60000),
                   const std::vector<std::string>& set = {},
                   const std::vector<std::string>& unset = {});

// The SysV shared memory segments that process `pid` created and that still
// exist; with `unmarkedOnly`, those not marked for removal, which outlive every
// process that attached them.
int sharedMemorySegmentsOf(pid_t pid, bool unmarkedOnly = false);

// The processor time (user and system, in clock ticks) that thread `thread` of
// process `pid` has used so far; -1 when it cannot be read.
long long threadCpuTicks(pid_t pid, pid_t thread);

// The processor time (user and system, in clock ticks) that all threads of
// process `pid` have used so far; -1 when it cannot be read.
long long processCpuTicks(pid_t pid);

// The processes whose program is the file `path`.
std::vector<pid_t> processesRunning(const std::string& path);

// ---------------------------------------------------------------------------
// X servers and windows

// An Xvfb of the test's own on a free display, stopped with the object.
class PrivateServer {
 public:
  // `screen` as Xvfb's -screen takes it ("1024x768x16"); `extra` more arguments.
  PrivateServer(const std::string& screen, const std::vector<std::string>& extra,
                const std::string& folder);
  ~PrivateServer();
  PrivateServer(const PrivateServer&) = delete;
  PrivateServer& operator=(const PrivateServer&) = delete;

  bool started() const { return !display_.empty(); }
  const std::string& display() const { return display_; }
  // Holds the server (SIGSTOP), which then answers nothing, or lets it go on.
  void hold(bool held);
  // Stops the server now.
  void stop();

 private:
  pid_t pid_ = -1;
  std::string display_;
};

// A connection to a display, closed with the object.
class Connection {
 public:
  explicit Connection(const std::string& name);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ::Display* get() const { return display_; }
  explicit operator bool() const { return display_ != nullptr; }

 private:
  ::Display* display_ = nullptr;
};

// A window the test makes and owns, mapped and ready when made.
struct TestWindow {
  Window id = 0;
  int depth = 0;
  PixelFormat format;
};

// Makes a top-level window of the size at (0, 0): with depth 0 in the default
// visual, otherwise in a TrueColor visual of that depth (an error when the
// server has none). Waits until it is mapped.
TestWindow makeWindow(::Display* display, int width, int height, int depth);

// The window id as the program takes it.
std::string windowIdText(Window window);

// The program's own top-level window, found by the process id it carries
// (_NET_WM_PID); waits for it to appear. 0 when it does not.
Window waitForProgramWindow(::Display* display, pid_t pid);

// ---------------------------------------------------------------------------
// Images

// 8-bit red, green and blue per pixel, rows from the top.
struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;

  const std::uint8_t* at(int row, int column) const {
    return rgb.data() + (std::size_t(row) * std::size_t(width) + std::size_t(column)) * 3;
  }
};

// A window's pixels: their values as the server holds them, and as colours
// through the visual's masks.
struct WindowPixels {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> values;
  RgbImage colours;
};

// Reads the pixels of a window (or of the whole screen with the root window);
// empty when it cannot be read.
WindowPixels readWindow(::Display* display, Window window, const PixelFormat& format);

// The pixel format of a window's visual.
PixelFormat formatOfWindow(::Display* display, Window window);

// Binary PPM (P6, maxval 255) files.
RgbImage readPpm(const std::string& path);
bool writePpm(const std::string& path, const RgbImage& image);

// The frame of glimmerweave-render for these options (without --output),
// written to `path`; fails the test when the renderer does.
RgbImage renderFrame(const std::vector<std::string>& options, const std::string& path);

// The image nearest-pixel stretched to width x height, each pixel taken from
// under the target pixel's centre (worked out independently of the program).
RgbImage stretchedNearest(const RgbImage& image, int width, int height);

// How many pixels of a window differ from `frame` as RENDER stretches it over
// the window (nearest pixel, or bilinear with `smooth`), and a description of
// the first: each pixel must lie, colour by colour, between the frame pixels
// under (and, smooth, beside) its centre, widened where RENDER's 16.16
// fixed-point arithmetic can move the centre across an edge between them.
std::string compareServerStretched(const RgbImage& actual, const RgbImage& frame, bool smooth,
                                   int& differing);

// How many pixels differ, and a description of the first.
std::string compareImages(const RgbImage& actual, const RgbImage& expected, int& differing);

// The share of pixels (0..1) brighter than dark grey.
double litShare(const RgbImage& image);

}  // namespace glimmerweave::x11test
