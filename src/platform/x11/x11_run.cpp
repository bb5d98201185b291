// The animation on X, as a window of its own, in xscreensaver's window or on
// the root window.
//
// How a run goes: the program's entry has read the options and blocked
// SIGTERM, SIGINT and SIGHUP so that they arrive through a signalfd instead of
// interrupting anything. runOnX11 opens the display and picks the window:
// -window-id, else $XSCREENSAVER_WINDOW, else the root window with -root, else a
// new 800 x 600 window of its own. hackInit sets the animation up
// there. The loop then sleeps in one ppoll on three descriptors, the X
// connection, the signals and the frame thread's, with the time until the next
// 40 ms tick as its timeout: a due tick starts a frame on the frame thread
// (hackDraw), a finished frame is shown (hackFrameDone), and X events are
// handled as they come. Frames are computed only while they can be seen: not
// while the window is unmapped or fully covered, nor while the monitor is off
// (DPMS, asked once a second); then the loop sleeps without a timeout (a
// second's, for the monitor) and the animation stands still until it can be
// seen again, when the next tick is due at once. A key press or
// WM_DELETE_WINDOW on its own window, a signal, or the window's destruction
// ends the loop; the X connection closing ends the process at once. At the end
// the X resources go first, then the rest (see hackFree); the entry then ends
// the process by the signal that ended the run.
#include "platform/x11/x11_run.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "native_program/hack_options.h"
#include "platform/x11/x11_errors.h"
#include "platform/x11/x11_hack.h"
#include "platform/x11/x11_xlib.h"
#include "presentation/tick_schedule.h"

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
// The loop

using Clock = TickSchedule::Clock;

constexpr auto kMonitorCheckPeriod = std::chrono::seconds(1);

struct Loop {
  ::Display* display = nullptr;
  Window window = 0;
  bool ownWindow = false;
  Atom deleteWindow = 0;
  int signals = -1;
  HackState* hack = nullptr;
  TickSchedule schedule;
  bool running = true;

  // Whether anyone can see the frames: the window is mapped, not fully
  // covered, and the monitor is on (where the server has DPMS).
  bool mapped = true;
  bool covered = false;
  bool dpms = false;
  bool monitorOn = true;
  Clock::time_point nextMonitorCheck{};
  bool animating = false;  // the tick schedule runs

  bool showable() const { return mapped && !covered; }
  bool seen() const { return showable() && monitorOn; }
};

// Handles one X event: the program's own window's keys and closing, and the
// window's size, mapping, visibility and destruction go to the loop;
// everything else to the hack.
void handleEvent(Loop& loop, XEvent& event) {
  if (loop.ownWindow) {
    switch (event.type) {
      case KeyPress:
        loop.running = false;
        return;
      case ClientMessage:
        if (event.xclient.window == loop.window && event.xclient.format == 32 &&
            static_cast<Atom>(event.xclient.data.l[0]) == loop.deleteWindow)
          loop.running = false;
        return;
      default:
        break;
    }
  }
  if (event.xany.window == loop.window) {
    switch (event.type) {
      case ConfigureNotify:
        hackReshape(*loop.hack, event.xconfigure.width, event.xconfigure.height);
        return;
      case MapNotify:
        // A VisibilityNotify follows when the window is covered.
        loop.mapped = true;
        loop.covered = false;
        return;
      case UnmapNotify:
        loop.mapped = false;
        return;
      case VisibilityNotify:
        loop.covered = event.xvisibility.state == VisibilityFullyObscured;
        return;
      case DestroyNotify:
        loop.running = false;
        return;
      default:
        break;
    }
  }
  hackEvent(*loop.hack, event);
}

// Whether the monitor shows anything: not when DPMS has put it into standby,
// suspend or off.
bool monitorIsOn(::Display* display) {
  CARD16 level = DPMSModeOn;
  BOOL enabled = False;
  if (DPMSInfo(display, &level, &enabled) == 0) return true;
  return enabled == False || level == DPMSModeOn;
}

timespec toTimespec(std::chrono::nanoseconds wait) {
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(wait.count() / 1000000000);
  ts.tv_nsec = static_cast<long>(wait.count() % 1000000000);
  return ts;
}

void runLoop(Loop& loop) {
  pollfd fds[3] = {};
  fds[0].fd = ConnectionNumber(loop.display);
  fds[1].fd = loop.signals;
  fds[2].fd = hackFrameFd(*loop.hack);
  for (auto& fd : fds) fd.events = POLLIN;

  while (loop.running) {
    // The monitor, while the window could be seen: before the events, since
    // the reply's round trip may read some.
    if (loop.dpms && loop.showable() && Clock::now() >= loop.nextMonitorCheck) {
      loop.monitorOn = monitorIsOn(loop.display);
      loop.nextMonitorCheck = Clock::now() + kMonitorCheckPeriod;
    }
    // Events Xlib has read already (during a reply) never wake the poll.
    while (loop.running && XPending(loop.display) > 0) {
      XEvent event;
      XNextEvent(loop.display, &event);
      handleEvent(loop, event);
    }
    if (!loop.running) break;

    const Clock::time_point now = Clock::now();
    const bool seen = loop.seen();
    // Seen again: the animation goes on from where it stood, at once.
    if (seen && !loop.animating) loop.schedule.start(now);
    loop.animating = seen;
    const bool busy = hackFrameBusy(*loop.hack);
    if (seen && !busy && loop.schedule.isDue(now)) {
      const Clock::time_point due = loop.schedule.nextDue();
      loop.schedule.tickStarted(now);
      hackDraw(*loop.hack, due);
      continue;
    }

    // Sleeps until an event, a signal or the frame, and the next tick while
    // the frames are seen and none is being computed; with the monitor off,
    // until it is asked again; unseen otherwise, a second at most: an event that
    // Xlib read into its queue during a reply never wakes the poll, and a hidden
    // window must not wait on it for ever.
    timespec wait{};
    const timespec* timeout = nullptr;
    if (!busy) {
      const Clock::duration until =
          seen ? loop.schedule.untilDue(now)
          : loop.showable() && loop.dpms
              ? std::max(Clock::duration::zero(), loop.nextMonitorCheck - now)
              : Clock::duration(kMonitorCheckPeriod);
      wait = toTimespec(std::chrono::duration_cast<std::chrono::nanoseconds>(until));
      timeout = &wait;
    }
    for (auto& fd : fds) fd.revents = 0;
    if (ppoll(fds, 3, timeout, nullptr) < 0) continue;  // EINTR: look again
    // A signal ends the run; the entry reads which, after the cleaning up.
    if (fds[1].revents != 0) break;
    if (fds[2].revents != 0) hackFrameDone(*loop.hack);
    // An X connection closed by the server shows as POLLHUP or as a readable
    // end of file; XPending at the top of the loop finds it.
  }
}

// Asks for the events of a window it did not make that tell whether it is
// seen, how large it is and whether it is still there. None of them is input:
// xscreensaver and other programs keep the keyboard and the mouse. Then reads
// whether the window is mapped; false when it is gone.
bool followWindow(Loop& loop) {
  if (!loop.ownWindow)
    XSelectInput(loop.display, loop.window, VisibilityChangeMask | StructureNotifyMask);
  // After the selection: a window there now sends its DestroyNotify later.
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(loop.display, loop.window, &attributes) == 0) return false;
  loop.mapped = attributes.map_state != IsUnmapped;
  // Mapped under an unmapped ancestor: no frame can be seen until a
  // VisibilityNotify says otherwise.
  loop.covered = attributes.map_state == IsUnviewable;
  int event = 0;
  int error = 0;
  int opcode = 0;
  loop.dpms = XQueryExtension(loop.display, "DPMS", &opcode, &event, &error) == True &&
              DPMSQueryExtension(loop.display, &event, &error) == True &&
              DPMSCapable(loop.display) == True;
  return true;
}

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
  bool freed = true;
  {
    ErrorTrap trap(display);
    Loop loop;
    loop.display = display;
    loop.signals = signals;
    loop.deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    switch (choice.kind) {
      case HackWindow::Kind::Own:
        loop.window = makeOwnWindow(display, loop.deleteWindow);
        loop.ownWindow = true;
        break;
      case HackWindow::Kind::Root:
        loop.window = DefaultRootWindow(display);
        break;
      case HackWindow::Kind::Given:
        loop.window = static_cast<Window>(choice.id);
        break;
    }

    std::string error;
    if (followWindow(loop))
      loop.hack = hackInit(display, loop.window, options, trap, error);
    else
      error = "there is no such window";
    if (!loop.hack) {
      char id[32];
      std::snprintf(id, sizeof id, "0x%lx", static_cast<unsigned long>(loop.window));
      outcome = {true, kExitCannotDraw,
                 std::string("cannot draw in the window ") + id + ": " + error};
    } else {
      runLoop(loop);
      outcome.figures = hackFigures(*loop.hack);
      freed = hackFree(loop.hack);
    }
    if (loop.ownWindow) XDestroyWindow(display, loop.window);
    XSync(display, False);
  }
  XCloseDisplay(display);
  // A frame was still being computed: its thread and the engine stay as they
  // are, and the entry ends the process at once rather than wait for the frame.
  outcome.frameLeftRunning = !freed;
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
