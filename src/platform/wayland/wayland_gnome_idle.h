// GNOME's idle time, for the resident saver on a compositor that offers no
// Wayland idle protocol: Mutter's idle monitor on the session bus
// (org.gnome.Mutter.IdleMonitor), whose idle watch fires each time the session
// has been idle so long, and the session manager, asked whether something
// (a video player, a presentation) inhibits idleness before the cover comes.
// Over sd-bus (Debian's libsystemd-dev).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace glimmerweave::wayland {

class GnomeIdleMonitor {
 public:
  // Watches for `milliseconds` of idle time on the session bus; `idled` is
  // called from process() each time they have passed. Null, with `error`
  // saying why, when there is no session bus or no idle monitor on it.
  static std::unique_ptr<GnomeIdleMonitor> watch(std::uint32_t milliseconds,
                                                 std::function<void()> idled, std::string& error);
  ~GnomeIdleMonitor();
  GnomeIdleMonitor(const GnomeIdleMonitor&) = delete;
  GnomeIdleMonitor& operator=(const GnomeIdleMonitor&) = delete;

  // The bus connection, to be polled for reading.
  int descriptor() const;
  // Handles what the bus has sent.
  void process();
  // Whether the session manager says idleness is inhibited now; false where
  // there is no session manager to ask.
  bool idleInhibited();

 private:
  GnomeIdleMonitor() = default;
  struct Bus;
  std::unique_ptr<Bus> bus_;
};

}  // namespace glimmerweave::wayland
