#include "x11_test_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace glimmerweave::x11test {

namespace fs = std::filesystem;

std::string programPath() {
  return GLIMMERWEAVE_PROGRAM;
}

std::string rendererPath() {
  return GLIMMERWEAVE_RENDERER;
}

::testing::AssertionResult displayGiven() {
  const char* display = std::getenv("DISPLAY");
  if (display && *display) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "DISPLAY is not set: these tests draw on an X server. Run them through "
            "scripts/test, or give them one, for example: xvfb-run -a -s \"-screen 0 "
            "1280x1024x24\" ctest --preset native";
}

bool waitUntil(const std::function<bool()>& condition, milliseconds limit) {
  const Clock::time_point end = Clock::now() + limit;
  for (;;) {
    if (condition()) return true;
    if (Clock::now() >= end) return false;
    std::this_thread::sleep_for(milliseconds(5));
  }
}

std::string caseFolder() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const fs::path folder =
      fs::current_path() / "cases" / (std::string(info->test_suite_name()) + "." + info->name());
  fs::remove_all(folder);
  fs::create_directories(folder);
  fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
  return folder.string();
}

// ---------------------------------------------------------------------------
// Processes

namespace {

std::string readText(const std::string& path) {
  if (path.empty()) return "";
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

int statusOf(int raw) {
  if (WIFEXITED(raw)) return WEXITSTATUS(raw);
  if (WIFSIGNALED(raw)) return 128 + WTERMSIG(raw);
  return -1;
}

// Sends the output of a child to a file, or nowhere.
void redirect(int fd, const std::string& path) {
  const int target =
      open(path.empty() ? "/dev/null" : path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (target >= 0) {
    dup2(target, fd);
    close(target);
  }
}

}  // namespace

Child::Child(const std::vector<std::string>& argv, const std::vector<std::string>& set,
             const std::vector<std::string>& unset, const std::string& folder, bool ownGroup)
    : ownGroup_(ownGroup) {
  static int serial = 0;
  if (!folder.empty()) {
    const std::string base =
        folder + "/" + fs::path(argv[0]).filename().string() + "-" + std::to_string(++serial);
    outPath_ = base + ".out";
    errPath_ = base + ".err";
  }
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    if (ownGroup) setpgid(0, 0);
    for (const auto& name : unset) unsetenv(name.c_str());
    for (const auto& pair : set) {
      const auto equals = pair.find('=');
      setenv(pair.substr(0, equals).c_str(), pair.substr(equals + 1).c_str(), 1);
    }
    const int input = open("/dev/null", O_RDONLY);
    dup2(input, 0);
    redirect(1, outPath_);
    redirect(2, errPath_);
    execvp(args[0], args.data());
    std::fprintf(stderr, "cannot run %s: %s\n", args[0], std::strerror(errno));
    _exit(127);
  }
  if (ownGroup && pid_ > 0) setpgid(pid_, pid_);
}

Child::~Child() {
  if (pid_ > 0 && !status_) {
    kill(ownGroup_ ? -pid_ : pid_, SIGKILL);
    int raw = 0;
    waitpid(pid_, &raw, 0);
  } else if (pid_ > 0 && ownGroup_) {
    // What the group's leader left behind.
    kill(-pid_, SIGKILL);
  }
}

bool Child::running() {
  return !waitFor(milliseconds(0)).has_value();
}

std::optional<int> Child::waitFor(milliseconds limit) {
  if (status_) return status_;
  if (pid_ <= 0) return -1;
  const Clock::time_point end = Clock::now() + limit;
  for (;;) {
    int raw = 0;
    const pid_t done = waitpid(pid_, &raw, WNOHANG);
    if (done == pid_) {
      status_ = statusOf(raw);
      endingSignal_ = WIFSIGNALED(raw) ? WTERMSIG(raw) : 0;
      return status_;
    }
    if (done < 0) {
      status_ = -1;
      return status_;
    }
    if (Clock::now() >= end) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
}

void Child::signal(int number) {
  if (pid_ > 0 && !status_) kill(pid_, number);
}

std::string Child::output() const {
  return readText(outPath_);
}

std::string Child::errors() const {
  return readText(errPath_);
}

::testing::AssertionResult diesOf(Child& child, int number) {
  child.signal(number);
  const std::optional<int> status = child.waitFor(milliseconds(10000));
  if (child.endingSignal() == number) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "not ended by " << strsignal(number) << ": "
         << (status ? "status " + std::to_string(*status) : std::string("still running"))
         << (child.endingSignal() == 0 ? " (an exit)" : " (a signal)")
         << "; stderr: " << child.errors();
}

Outcome runCommand(const std::vector<std::string>& argv, const std::string& folder,
                   milliseconds limit, const std::vector<std::string>& set,
                   const std::vector<std::string>& unset) {
  Child child(argv, set, unset, folder);
  Outcome outcome;
  outcome.status = child.waitFor(limit).value_or(-1);
  outcome.output = child.output();
  outcome.errors = child.errors();
  return outcome;
}

int sharedMemorySegmentsOf(pid_t pid, bool unmarkedOnly) {
  // As ipcs -m -p lists them: key shmid perms size cpid lpid nattch ...
  std::ifstream table("/proc/sysvipc/shm");
  std::string line;
  std::getline(table, line);
  int count = 0;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    long long key = 0;
    long long id = 0;
    long long perms = 0;
    long long size = 0;
    long long creator = 0;
    constexpr long long kMarkedForRemoval = 01000;  // SHM_DEST, beside the permissions
    if (fields >> key >> id >> std::oct >> perms >> std::dec >> size >> creator && creator == pid &&
        !(unmarkedOnly && (perms & kMarkedForRemoval)))
      ++count;
  }
  return count;
}

namespace {

// utime + stime of a /proc stat file.
long long cpuTicksIn(const std::string& path) {
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  // The fields after the command's closing parenthesis start with the third,
  // the state; utime and stime are the 14th and 15th.
  const auto close = line.rfind(')');
  if (close == std::string::npos) return -1;
  std::istringstream fields(line.substr(close + 1));
  std::string field;
  long long utime = -1;
  long long stime = -1;
  for (int number = 3; number <= 15 && fields >> field; ++number) {
    if (number == 14) utime = std::stoll(field);
    if (number == 15) stime = std::stoll(field);
  }
  return utime < 0 || stime < 0 ? -1 : utime + stime;
}

}  // namespace

long long threadCpuTicks(pid_t pid, pid_t thread) {
  return cpuTicksIn("/proc/" + std::to_string(pid) + "/task/" + std::to_string(thread) + "/stat");
}

long long processCpuTicks(pid_t pid) {
  return cpuTicksIn("/proc/" + std::to_string(pid) + "/stat");
}

std::vector<pid_t> processesRunning(const std::string& path) {
  std::vector<pid_t> found;
  DIR* proc = opendir("/proc");
  if (!proc) return found;
  while (const dirent* entry = readdir(proc)) {
    char* end = nullptr;
    const long pid = std::strtol(entry->d_name, &end, 10);
    if (*end != '\0' || pid <= 0) continue;
    std::error_code error;
    const fs::path exe = fs::read_symlink(fs::path("/proc") / entry->d_name / "exe", error);
    if (!error && exe == fs::path(path)) found.push_back(static_cast<pid_t>(pid));
  }
  closedir(proc);
  return found;
}

// ---------------------------------------------------------------------------
// X servers and windows

PrivateServer::PrivateServer(const std::string& screen, const std::vector<std::string>& extra,
                             const std::string& folder) {
  int ready[2];
  if (pipe(ready) != 0) return;
  std::vector<std::string> argv = {
      "Xvfb", "-displayfd", std::to_string(ready[1]), "-screen", "0", screen, "-nolisten", "tcp"};
  argv.insert(argv.end(), extra.begin(), extra.end());
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    close(ready[0]);
    redirect(1, folder + "/xvfb.log");
    redirect(2, folder + "/xvfb.log");
    execvp(args[0], args.data());
    _exit(127);
  }
  close(ready[1]);
  // Xvfb writes its display number once it accepts connections.
  std::string number;
  const Clock::time_point end = Clock::now() + milliseconds(20000);
  pollfd fd{ready[0], POLLIN, 0};
  while (Clock::now() < end) {
    if (poll(&fd, 1, 100) <= 0) continue;
    char ch = 0;
    if (read(ready[0], &ch, 1) != 1) break;
    if (ch == '\n') break;
    number += ch;
  }
  close(ready[0]);
  if (!number.empty()) display_ = ":" + number;
}

PrivateServer::~PrivateServer() {
  stop();
}

void PrivateServer::hold(bool held) {
  if (pid_ > 0) kill(pid_, held ? SIGSTOP : SIGCONT);
}

void PrivateServer::stop() {
  if (pid_ <= 0) return;
  hold(false);
  kill(pid_, SIGTERM);
  const Clock::time_point end = Clock::now() + milliseconds(10000);
  int raw = 0;
  while (waitpid(pid_, &raw, WNOHANG) == 0) {
    if (Clock::now() >= end) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &raw, 0);
      break;
    }
    std::this_thread::sleep_for(milliseconds(5));
  }
  pid_ = -1;
}

namespace {

// The tests read back windows that may be gone, and kill clients: an X error
// is an answer for them (XGetImage gives null), not the end of the test program.
int ignoreErrors(::Display* /*display*/, XErrorEvent* /*error*/) {
  return 0;
}

}  // namespace

Connection::Connection(const std::string& name) {
  XSetErrorHandler(&ignoreErrors);
  display_ = XOpenDisplay(name.c_str());
}

Connection::~Connection() {
  if (display_) XCloseDisplay(display_);
}

TestWindow makeWindow(::Display* display, int width, int height, int depth) {
  TestWindow window;
  const int screen = DefaultScreen(display);
  Visual* visual = DefaultVisual(display, screen);
  window.depth = DefaultDepth(display, screen);
  XSetWindowAttributes attributes{};
  unsigned long mask = CWBackPixel | CWBorderPixel | CWEventMask;
  attributes.background_pixel = 0;
  attributes.border_pixel = 0;
  attributes.event_mask = StructureNotifyMask;
  if (depth != 0) {
    XVisualInfo info{};
    if (XMatchVisualInfo(display, screen, depth, TrueColor, &info) == 0) {
      ADD_FAILURE() << "the server has no TrueColor visual of depth " << depth;
      return window;
    }
    visual = info.visual;
    window.depth = depth;
    attributes.colormap = XCreateColormap(display, RootWindow(display, screen), visual, AllocNone);
    mask |= CWColormap;
  }
  window.id = XCreateWindow(display, RootWindow(display, screen), 0, 0,
                            static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                            window.depth, InputOutput, visual, mask, &attributes);
  XStoreName(display, window.id, "glimmerweave test window");
  XMapRaised(display, window.id);
  XSync(display, False);
  const bool mapped = waitUntil(
      [&] {
        XEvent event;
        while (XCheckTypedWindowEvent(display, window.id, MapNotify, &event) != 0) return true;
        return false;
      },
      milliseconds(10000));
  EXPECT_TRUE(mapped) << "the test window was not mapped";
  window.format = formatOfWindow(display, window.id);
  return window;
}

std::string windowIdText(Window window) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(window));
  return text;
}

namespace {

Window programWindow(::Display* display, pid_t pid) {
  const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  Window found = 0;
  if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0)
    return 0;
  for (unsigned i = 0; i < count && found == 0; ++i) {
    Atom type = 0;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, children[i], pidAtom, 0, 1, False, XA_CARDINAL, &type, &format,
                           &items, &after, &data) == Success &&
        data && items == 1 && format == 32 && *reinterpret_cast<long*>(data) == pid)
      found = children[i];
    if (data) XFree(data);
  }
  if (children) XFree(children);
  return found;
}

}  // namespace

Window waitForProgramWindow(::Display* display, pid_t pid) {
  Window window = 0;
  waitUntil([&] { return (window = programWindow(display, pid)) != 0; }, milliseconds(15000));
  return window;
}

PixelFormat formatOfWindow(::Display* display, Window window) {
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(display, window, &attributes) == 0) return PixelFormat{};
  const auto format = PixelFormat::fromMasks(
      static_cast<std::uint32_t>(attributes.visual->red_mask),
      static_cast<std::uint32_t>(attributes.visual->green_mask),
      static_cast<std::uint32_t>(attributes.visual->blue_mask), attributes.depth);
  EXPECT_TRUE(format.has_value()) << "the window's visual has no usable masks";
  return format.value_or(PixelFormat{});
}

WindowPixels readWindow(::Display* display, Window window, const PixelFormat& format) {
  WindowPixels pixels;
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(display, window, &attributes) == 0) return pixels;
  XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                            static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
  if (!image) return pixels;
  pixels.width = pixels.colours.width = attributes.width;
  pixels.height = pixels.colours.height = attributes.height;
  pixels.values.reserve(std::size_t(pixels.width) * std::size_t(pixels.height));
  pixels.colours.rgb.reserve(pixels.values.capacity() * 3);
  const std::uint32_t depthMask =
      attributes.depth >= 32 ? 0xFFFFFFFFu : (1u << attributes.depth) - 1u;
  for (int r = 0; r < pixels.height; ++r)
    for (int c = 0; c < pixels.width; ++c) {
      const auto value = static_cast<std::uint32_t>(XGetPixel(image, c, r)) & depthMask;
      pixels.values.push_back(value);
      std::uint8_t red = 0;
      std::uint8_t green = 0;
      std::uint8_t blue = 0;
      format.unpack(value, red, green, blue);
      pixels.colours.rgb.insert(pixels.colours.rgb.end(), {red, green, blue});
    }
  XDestroyImage(image);
  return pixels;
}

// ---------------------------------------------------------------------------
// Images

RgbImage readPpm(const std::string& path) {
  RgbImage image;
  std::ifstream file(path, std::ios::binary);
  std::string magic;
  int maxval = 0;
  file >> magic >> image.width >> image.height >> maxval;
  file.get();
  if (magic != "P6" || maxval != 255 || image.width <= 0 || image.height <= 0) return RgbImage{};
  image.rgb.resize(std::size_t(image.width) * std::size_t(image.height) * 3);
  file.read(reinterpret_cast<char*>(image.rgb.data()),
            static_cast<std::streamsize>(image.rgb.size()));
  if (!file) return RgbImage{};
  return image;
}

bool writePpm(const std::string& path, const RgbImage& image) {
  std::ofstream file(path, std::ios::binary);
  file << "P6\n" << image.width << ' ' << image.height << "\n255\n";
  file.write(reinterpret_cast<const char*>(image.rgb.data()),
             static_cast<std::streamsize>(image.rgb.size()));
  return static_cast<bool>(file);
}

RgbImage renderFrame(const std::vector<std::string>& options, const std::string& path) {
  std::vector<std::string> argv = {rendererPath()};
  argv.insert(argv.end(), options.begin(), options.end());
  argv.insert(argv.end(), {"--output", path});
  const Outcome outcome = runCommand(argv, fs::path(path).parent_path().string());
  EXPECT_EQ(outcome.status, 0) << "glimmerweave-render failed: " << outcome.errors;
  RgbImage image = readPpm(path);
  EXPECT_GT(image.width, 0) << "no frame in " << path;
  return image;
}

RgbImage stretchedNearest(const RgbImage& image, int width, int height) {
  RgbImage out;
  out.width = width;
  out.height = height;
  out.rgb.reserve(std::size_t(width) * std::size_t(height) * 3);
  for (int r = 0; r < height; ++r) {
    const int sr = static_cast<int>(std::floor((r + 0.5) * image.height / height));
    for (int c = 0; c < width; ++c) {
      const int sc = static_cast<int>(std::floor((c + 0.5) * image.width / width));
      const std::uint8_t* pixel = image.at(sr, sc);
      out.rgb.insert(out.rgb.end(), pixel, pixel + 3);
    }
  }
  return out;
}

namespace {

// The frame pixels, in one direction, that RENDER may take window pixel
// `index` from: the one under its centre (and the next, smooth), widened by
// the fixed-point error, a 65536th of a frame pixel per window pixel.
std::pair<int, int> serverSources(int index, int frameSize, int windowSize, bool smooth) {
  const double centre = (index + 0.5) * frameSize / windowSize - (smooth ? 0.5 : 0.0);
  const double slack = (index + 1) / 65536.0;
  const int first = static_cast<int>(std::floor(centre - slack));
  const int last = static_cast<int>(std::floor(centre + slack)) + (smooth ? 1 : 0);
  return {std::clamp(first, 0, frameSize - 1), std::clamp(last, 0, frameSize - 1)};
}

}  // namespace

std::string compareServerStretched(const RgbImage& actual, const RgbImage& frame, bool smooth,
                                   int& differing) {
  differing = 0;
  std::string first;
  for (int r = 0; r < actual.height; ++r) {
    const auto [top, bottom] = serverSources(r, frame.height, actual.height, smooth);
    for (int c = 0; c < actual.width; ++c) {
      const auto [left, right] = serverSources(c, frame.width, actual.width, smooth);
      // Nearest, the sources are mostly one pixel, whose colour it must be.
      bool within = true;
      for (int channel = 0; channel < 3; ++channel) {
        int low = 255;
        int high = 0;
        for (int sr = top; sr <= bottom; ++sr)
          for (int sc = left; sc <= right; ++sc) {
            low = std::min<int>(low, frame.at(sr, sc)[channel]);
            high = std::max<int>(high, frame.at(sr, sc)[channel]);
          }
        const int value = actual.at(r, c)[channel];
        within = within && value >= low && value <= high;
      }
      if (!within && differing++ == 0)
        first = "first at column " + std::to_string(c) + ", row " + std::to_string(r);
    }
  }
  return differing == 0 ? "equal" : std::to_string(differing) + " pixels differ; " + first;
}

std::string compareImages(const RgbImage& actual, const RgbImage& expected, int& differing) {
  differing = 0;
  if (actual.width != expected.width || actual.height != expected.height) {
    differing = -1;
    return "size " + std::to_string(actual.width) + "x" + std::to_string(actual.height) +
           ", expected " + std::to_string(expected.width) + "x" + std::to_string(expected.height);
  }
  std::string first;
  for (int r = 0; r < actual.height; ++r)
    for (int c = 0; c < actual.width; ++c) {
      const std::uint8_t* a = actual.at(r, c);
      const std::uint8_t* e = expected.at(r, c);
      if (a[0] == e[0] && a[1] == e[1] && a[2] == e[2]) continue;
      if (differing++ == 0) {
        char text[128];
        std::snprintf(text, sizeof text, "first at column %d, row %d: %d,%d,%d, expected %d,%d,%d",
                      c, r, a[0], a[1], a[2], e[0], e[1], e[2]);
        first = text;
      }
    }
  return differing == 0 ? "equal" : std::to_string(differing) + " pixels differ; " + first;
}

double litShare(const RgbImage& image) {
  if (image.rgb.empty()) return 0;
  std::size_t lit = 0;
  std::size_t pixels = 0;
  for (std::size_t i = 0; i + 2 < image.rgb.size(); i += 3, ++pixels)
    if (std::max({image.rgb[i], image.rgb[i + 1], image.rgb[i + 2]}) > 48) ++lit;
  return static_cast<double>(lit) / static_cast<double>(pixels);
}

}  // namespace glimmerweave::x11test
