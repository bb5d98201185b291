// glimmerweave's entry on Linux: the one program for X and for Wayland. It
// blocks the ending signals first of all, before any thread starts, so that
// SIGTERM, SIGINT and SIGHUP reach the front-ends through one signalfd instead
// of interrupting anything, then hands the command line, the environment and
// both front-ends to nativeProgramMain, which chooses between them. A
// front-end ends its run when a signal is waiting, without taking it; after
// the cleaning up, the entry takes it and the process ends by that signal, as
// xscreensaver expects of its programs (a signal that came during the set-up,
// or even during -help, ends it the same way). A signal that no loop answers
// at once, because the program waits on a display that does not answer, ends
// the process all the same (endBySignalsUnanswered).
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "native_program/native_main.h"
#include "platform/wayland/wayland_run.h"
#include "platform/x11/x11_run.h"

namespace glimmerweave {
namespace {

// Blocks the ending signals in this thread and in every thread started after
// it, and returns a descriptor they can be read from; -1 on failure.
int blockEndingSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGHUP);
  if (pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) return -1;
  // A write to a closed connection must fail with EPIPE and reach the display
  // library's error path, not end the program with SIGPIPE.
  signal(SIGPIPE, SIG_IGN);
  return signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
}

// When an ending signal is waiting, ends the process by it: the default action
// back, the signal raised again and let through. Returns when none is waiting.
void endBySignalWaiting(int signals) {
  signalfd_siginfo info{};
  if (read(signals, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) return;
  const int number = static_cast<int>(info.ssi_signo);
  // Nothing is flushed at a death by a signal.
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(number, &action, nullptr);
  raise(number);  // held back by the mask until the next line
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, number);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  std::_Exit(128 + number);  // not reached
}

// How long a signal may wait for the front-end's loop to answer it.
constexpr auto kSignalGrace = std::chrono::milliseconds(50);

// The front-ends answer the ending signals in their loops, cleaning up before the
// process ends by the signal; but a display that does not answer (a connection
// that is never accepted, a round trip to a stopped server) holds the program
// elsewhere. A thread of its own then ends the process by the signal itself, once
// it has waited kSignalGrace: nothing the program holds outlives it (the server
// drops the connection's windows, the shared memory was marked for removal).
void endBySignalsUnanswered(int signals) {
  std::thread([signals] {
    pollfd waiting{signals, POLLIN, 0};
    for (;;) {
      if (poll(&waiting, 1, -1) <= 0) continue;
      std::this_thread::sleep_for(kSignalGrace);
      endBySignalWaiting(signals);
    }
  }).detach();
}

}  // namespace
}  // namespace glimmerweave

int main(int argc, char** argv) {
  using namespace glimmerweave;
  const int signals = blockEndingSignals();
  if (signals < 0) {
    std::fprintf(stderr, "glimmerweave: cannot receive signals through a signalfd\n");
    return kExitCannotDraw;
  }
  endBySignalsUnanswered(signals);
  DisplayEnvironment environment;
  environment.display = std::getenv("DISPLAY");
  environment.xscreensaverWindow = std::getenv("XSCREENSAVER_WINDOW");
  environment.waylandDisplay = std::getenv("WAYLAND_DISPLAY");
  environment.waylandSocket = std::getenv("WAYLAND_SOCKET");
  FrontEnds frontEnds;
  frontEnds.x11 = [&](const HackOptions& options) {
    return x11::runOnX11(options, environment.xscreensaverWindow, signals);
  };
  frontEnds.wayland = [&](const HackOptions& options) {
    return wayland::runOnWayland(options, signals);
  };
  const int status = nativeProgramMain(std::vector<std::string>(argv + 1, argv + argc), environment,
                                       frontEnds, std::cout, std::cerr);
  endBySignalWaiting(signals);
  close(signals);
  return status;
}
