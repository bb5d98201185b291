// The animation on X, as a window of its own, in xscreensaver's window or on
// the root window: this file translates X for the animation (HackScreen).
//
// How a run goes: the program's entry has read the options and blocked
// SIGTERM, SIGINT and SIGHUP so that they arrive through a signalfd instead of
// interrupting anything. runOnX11 opens the display and picks the window:
// -window-id, else $XSCREENSAVER_WINDOW, else the root window with -root, else a
// new 800 x 600 window of its own. The animation (HackAnimation) then runs its
// loop over the screen, which hands it X's events, shows its frames through
// the drawing area (ImageArea) and tells whether anyone can see them: not
// while the window or one of its ancestors is unmapped, nor while other
// windows cover it whole (also when it starts so, and for -root the windows
// on the root), nor while the monitor is off (DPMS, asked once a second). A
// key press or WM_DELETE_WINDOW on its own window, a signal, or the window's
// destruction ends the run; the X connection closing ends the process at once.
// At the end the picture goes first (the own window is destroyed), then the
// animation, abandoning the frame it was computing; the entry then ends the
// process by the signal that ended the run.
#include "platform/x11/x11_run.h"

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hack_animation/hack_animation.h"
#include "native_program/hack_options.h"
#include "platform/x11/x11_errors.h"
#include "platform/x11/x11_image_area.h"
#include "platform/x11/x11_visibility.h"
#include "platform/x11/x11_xlib.h"

namespace glimmerweave::x11 {

namespace {

constexpr const char* kTitle = "Glimmerweave";

// Xlib calls this when the connection to the server is lost, from inside the
// call that found out. Nothing of the run is left to release that the system
// does not release with the process: the server has dropped the window, the
// image and the shared memory attachment with the connection, and the shared
// memory segment was marked for removal when it was attached.
int endOnLostConnection(::Display* /*display*/) {
  std::_Exit(kExitOk);
}

// ---------------------------------------------------------------------------
// The window

// Makes the program's own window: 800 x 600, resizable, titled, closed by the
// window manager through WM_DELETE_WINDOW.
Window makeOwnWindow(::Display* display, Atom deleteWindow) {
  const int screen = DefaultScreen(display);
  XSetWindowAttributes attributes{};
  attributes.background_pixel = BlackPixel(display, screen);
  attributes.event_mask = KeyPressMask | StructureNotifyMask | ExposureMask | VisibilityChangeMask;
  const Window window =
      XCreateWindow(display, RootWindow(display, screen), 0, 0, 800, 600, 0, CopyFromParent,
                    InputOutput, CopyFromParent, CWBackPixel | CWEventMask, &attributes);

  XStoreName(display, window, kTitle);
  XClassHint classHint{};
  std::string name = "glimmerweave";
  std::string className = kTitle;
  classHint.res_name = name.data();
  classHint.res_class = className.data();
  XSetClassHint(display, window, &classHint);
  Atom protocols[] = {deleteWindow};
  XSetWMProtocols(display, window, protocols, 1);
  const auto pid = static_cast<long>(getpid());
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);
  XMapWindow(display, window);
  return window;
}

// ---------------------------------------------------------------------------
// The screen

using Clock = HackScreen::Clock;

constexpr auto kMonitorCheckPeriod = std::chrono::seconds(1);

// The pixel format of a TrueColor visual, through its masks.
bool pixelFormatOf(const XWindowAttributes& attributes, PixelFormat& format) {
  const Visual* visual = attributes.visual;
  if (!visual || visual->c_class != TrueColor) return false;
  const auto made = PixelFormat::fromMasks(
      static_cast<std::uint32_t>(visual->red_mask), static_cast<std::uint32_t>(visual->green_mask),
      static_cast<std::uint32_t>(visual->blue_mask), attributes.depth);
  if (!made) return false;
  format = *made;
  return true;
}

// One window on one display, as the animation sees it: its events, whether
// anyone can see it, and its drawing area.
class Screen final : public HackScreen {
 public:
  Screen(::Display* display, Window window, bool ownWindow, Atom deleteWindow)
      : display_(display), window_(window), ownWindow_(ownWindow), deleteWindow_(deleteWindow) {}

  // Follows the window and sets its drawing area up for the animation's frames;
  // false with `error` set when the window is gone or cannot be drawn in.
  bool setUp(HackAnimation& animation, const HackOptions& options, ErrorTrap& trap,
             std::string& error);

  int connection() const override { return ConnectionNumber(display_); }
  bool running() const override { return running_; }
  void handleEvents() override;
  bool wantsFrame() override;
  std::optional<Clock::duration> lookAgainWithin(Clock::time_point now) override;
  short beforeSleep() override { return POLLIN; }
  bool show(const FrameImage& image) override;

 private:
  void handleEvent(XEvent& event);
  // Asks for the events that tell whether the window and its ancestors are
  // mapped, and reads whether they are.
  void followAncestors();
  bool isRoot() const { return window_ == DefaultRootWindow(display_); }

  ::Display* display_;
  Window window_;
  bool ownWindow_;
  Atom deleteWindow_;
  std::unique_ptr<ImageArea> area_;
  bool running_ = true;

  // Whether anyone can see the frames: the window and its ancestors are
  // mapped, no other window covers it whole, and the monitor is on (where the
  // server has DPMS).
  std::vector<Window> ancestors_;
  bool viewable_ = true;
  bool covered_ = false;
  bool coverStale_ = false;  // -root: the windows on it changed; look again
  bool dpms_ = false;
  bool monitorOn_ = true;
  Clock::time_point nextMonitorCheck_{};
};

bool Screen::setUp(HackAnimation& animation, const HackOptions& options, ErrorTrap& trap,
                   std::string& error) {
  // None of the events asked for is input: xscreensaver and other programs
  // keep the keyboard and the mouse of windows this one did not make.
  if (isRoot())
    XSelectInput(display_, window_, StructureNotifyMask | SubstructureNotifyMask);
  else if (!ownWindow_)
    XSelectInput(display_, window_, VisibilityChangeMask | StructureNotifyMask);
  // After the selection: a window there now sends its DestroyNotify later.
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(display_, window_, &attributes) == 0) {
    error = "there is no such window";
    return false;
  }
  PixelFormat format;
  if (!pixelFormatOf(attributes, format)) {
    error = "the window's visual is not TrueColor with usable colour masks (depth " +
            std::to_string(attributes.depth) + ")";
    return false;
  }
  followAncestors();
  // A window that is covered already sends no VisibilityNotify until that changes;
  // the root never does.
  if (!ownWindow_) covered_ = viewable_ && isCoveredWhole(display_, window_);
  int event = 0;
  int errorBase = 0;
  int opcode = 0;
  dpms_ = XQueryExtension(display_, "DPMS", &opcode, &event, &errorBase) == True &&
          DPMSQueryExtension(display_, &event, &errorBase) == True && DPMSCapable(display_) == True;

  AreaWindow area;
  area.display = display_;
  area.window = window_;
  area.visual = attributes.visual;
  area.depth = attributes.depth;
  area.format = format;
  AreaChoices choices;
  choices.sharedMemory = options.sharedMemory;
  choices.filter = options.smooth ? StretchFilter::Smooth : StretchFilter::Nearest;
  choices.frameWidth = animation.image().width();
  choices.frameHeight = animation.image().height();
  choices.pool = &animation.pool();
  area_ = std::make_unique<ImageArea>(area, trap, choices);
  area_->resize(attributes.width, attributes.height);
  return true;
}

void Screen::followAncestors() {
  ancestors_ = isRoot() ? std::vector<Window>{} : ancestorsOf(display_, window_);
  for (const Window ancestor : ancestors_) XSelectInput(display_, ancestor, StructureNotifyMask);
  viewable_ = isViewable(display_, window_);
}

// Handles one X event: the program's own window's keys and closing; the
// size, mapping, visibility and end of the window and of its ancestors; on the
// root, the windows that come, go and move over it; the rest to the area.
void Screen::handleEvent(XEvent& event) {
  if (ownWindow_) {
    if (event.type == KeyPress) {
      running_ = false;
      return;
    }
    if (event.type == ClientMessage && event.xclient.window == window_ &&
        event.xclient.format == 32 && static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow_) {
      running_ = false;
      return;
    }
  }
  if (area_->takeEvent(event)) return;
  switch (event.type) {
    case ConfigureNotify:
      if (event.xconfigure.window == window_)
        area_->resize(event.xconfigure.width, event.xconfigure.height);
      else if (isRoot())
        coverStale_ = true;
      return;
    case MapNotify:
    case UnmapNotify:
      if (isRoot()) {
        coverStale_ = true;
      } else {
        viewable_ = isViewable(display_, window_);
        // A VisibilityNotify follows when the window is covered.
        if (event.type == MapNotify && event.xmap.window == window_) covered_ = false;
      }
      return;
    case ReparentNotify:
      if (event.xreparent.window == window_) followAncestors();
      if (isRoot()) coverStale_ = true;
      return;
    case VisibilityNotify:
      if (event.xvisibility.window == window_)
        covered_ = event.xvisibility.state == VisibilityFullyObscured;
      return;
    case DestroyNotify:
      if (event.xdestroywindow.window == window_) running_ = false;
      if (isRoot()) coverStale_ = true;
      return;
    case Expose:
      // The last frame fills the exposed window again until the next one is ready.
      if (event.xexpose.window == window_ && event.xexpose.count == 0) area_->showAgain();
      return;
    default:
      return;
  }
}

// Whether the monitor shows anything: not when DPMS has put it into standby,
// suspend or off.
bool monitorIsOn(::Display* display) {
  CARD16 level = DPMSModeOn;
  BOOL enabled = False;
  if (DPMSInfo(display, &level, &enabled) == 0) return true;
  return enabled == False || level == DPMSModeOn;
}

void Screen::handleEvents() {
  // The monitor, while the window could be seen: before the events, since the
  // reply's round trip may read some.
  if (dpms_ && viewable_ && !covered_ && Clock::now() >= nextMonitorCheck_) {
    monitorOn_ = monitorIsOn(display_);
    nextMonitorCheck_ = Clock::now() + kMonitorCheckPeriod;
  }
  while (running_ && XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    handleEvent(event);
  }
}

bool Screen::wantsFrame() {
  if (coverStale_) {
    coverStale_ = false;
    covered_ = isCoveredWhole(display_, window_);
  }
  return viewable_ && !covered_ && monitorOn_;
}

// With the monitor off, until it is asked again; hidden otherwise, a second at
// most: an event that Xlib read into its queue during a reply never wakes the
// poll, and a hidden window must not wait on it for ever.
std::optional<Clock::duration> Screen::lookAgainWithin(Clock::time_point now) {
  if (dpms_ && viewable_ && !covered_) return nextMonitorCheck_ - now;
  return Clock::duration(kMonitorCheckPeriod);
}

bool Screen::show(const FrameImage& image) {
  ImageArea& area = *area_;
  if (!area.IsReady()) return false;
  area.ClearSurface(0);
  area.LoadImage(image);
  const unsigned long shownBefore = area.shows();
  area.ShowSurface();
  return area.shows() != shownBefore;
}

// ---------------------------------------------------------------------------
// The run

// Opens the display, finds or makes the window, runs, and cleans up.
FrontEndOutcome run(const HackOptions& options, const HackWindow& choice, int signals) {
  const char* name = options.display.empty() ? nullptr : options.display.c_str();
  if (!name && !std::getenv("DISPLAY"))
    return {false, kExitCannotDraw, "DISPLAY is not set (give -display NAME)"};
  ::Display* display = XOpenDisplay(name);
  if (!display)
    return {false, kExitCannotDraw,
            std::string("cannot open the display '") + XDisplayName(name) + "'"};
  XSetIOErrorHandler(&endOnLostConnection);

  FrontEndOutcome outcome;
  {
    ErrorTrap trap(display);
    const Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    Window window = 0;
    const bool ownWindow = choice.kind == HackWindow::Kind::Own;
    switch (choice.kind) {
      case HackWindow::Kind::Own:
        window = makeOwnWindow(display, deleteWindow);
        break;
      case HackWindow::Kind::Root:
        window = DefaultRootWindow(display);
        break;
      case HackWindow::Kind::Given:
        window = static_cast<Window>(choice.id);
        break;
    }

    // The animation outlives the screen, whose area stretches on its threads,
    // and goes last: a frame it is computing then is abandoned.
    HackAnimation animation(options);
    {
      Screen screen(display, window, ownWindow, deleteWindow);
      std::string error;
      if (screen.setUp(animation, options, trap, error)) {
        animation.run(screen, signals);
        outcome.figures = animation.figures();
      } else {
        char id[32];
        std::snprintf(id, sizeof id, "0x%lx", static_cast<unsigned long>(window));
        outcome = {true, kExitCannotDraw,
                   std::string("cannot draw in the window ") + id + ": " + error};
      }
    }
    // The picture goes first, at once.
    if (ownWindow) XDestroyWindow(display, window);
    XSync(display, False);
  }
  XCloseDisplay(display);
  return outcome;
}

}  // namespace

FrontEndOutcome runOnX11(const HackOptions& options, const char* xscreensaverWindow, int signals) {
  HackWindow window;
  std::string error;
  if (!chooseHackWindow(options, xscreensaverWindow, window, error))
    return {true, kExitCannotDraw, error};
  return run(options, window, signals);
}

}  // namespace glimmerweave::x11
