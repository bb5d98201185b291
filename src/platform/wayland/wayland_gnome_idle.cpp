#include "platform/wayland/wayland_gnome_idle.h"

#include <systemd/sd-bus.h>

#include <cstring>
#include <utility>

namespace glimmerweave::wayland {

namespace {

constexpr const char* kMonitorService = "org.gnome.Mutter.IdleMonitor";
constexpr const char* kMonitorPath = "/org/gnome/Mutter/IdleMonitor/Core";
constexpr const char* kMonitorInterface = "org.gnome.Mutter.IdleMonitor";
constexpr const char* kSessionService = "org.gnome.SessionManager";
constexpr const char* kSessionPath = "/org/gnome/SessionManager";
// GSM_INHIBITOR_FLAG_IDLE: "inhibit the session being marked as idle".
constexpr std::uint32_t kInhibitIdle = 8;

std::string busError(const char* what, const sd_bus_error& error, int code) {
  return std::string(what) + ": " +
         (error.message ? error.message : std::strerror(code < 0 ? -code : code));
}

}  // namespace

struct GnomeIdleMonitor::Bus {
  sd_bus* bus = nullptr;
  sd_bus_slot* signal = nullptr;
  std::uint32_t watch = 0;
  std::function<void()> idled;

  ~Bus() {
    if (bus && watch != 0)
      sd_bus_call_method(bus, kMonitorService, kMonitorPath, kMonitorInterface, "RemoveWatch",
                         nullptr, nullptr, "u", watch);
    sd_bus_slot_unref(signal);
    sd_bus_flush_close_unref(bus);
  }

  // WatchFired(u id): the session has been idle the watched time.
  static int watchFired(sd_bus_message* message, void* data, sd_bus_error* /*error*/) {
    auto& self = *static_cast<Bus*>(data);
    std::uint32_t id = 0;
    if (sd_bus_message_read(message, "u", &id) >= 0 && id == self.watch) self.idled();
    return 0;
  }
};

std::unique_ptr<GnomeIdleMonitor> GnomeIdleMonitor::watch(std::uint32_t milliseconds,
                                                          std::function<void()> idled,
                                                          std::string& error) {
  std::unique_ptr<GnomeIdleMonitor> monitor(new GnomeIdleMonitor());
  monitor->bus_ = std::make_unique<Bus>();
  Bus& b = *monitor->bus_;
  b.idled = std::move(idled);
  int code = sd_bus_open_user(&b.bus);
  if (code < 0) {
    error = std::string("no session bus: ") + std::strerror(-code);
    return nullptr;
  }
  // The signal first, so that no firing can come before it is listened to.
  code = sd_bus_match_signal(b.bus, &b.signal, kMonitorService, kMonitorPath, kMonitorInterface,
                             "WatchFired", &Bus::watchFired, &b);
  sd_bus_error callError = SD_BUS_ERROR_NULL;
  sd_bus_message* reply = nullptr;
  if (code >= 0)
    code =
        sd_bus_call_method(b.bus, kMonitorService, kMonitorPath, kMonitorInterface, "AddIdleWatch",
                           &callError, &reply, "t", static_cast<std::uint64_t>(milliseconds));
  if (code >= 0) code = sd_bus_message_read(reply, "u", &b.watch);
  if (code < 0) error = busError("no idle monitor on the session bus", callError, code);
  sd_bus_message_unref(reply);
  sd_bus_error_free(&callError);
  if (code < 0) return nullptr;
  return monitor;
}

GnomeIdleMonitor::~GnomeIdleMonitor() = default;

int GnomeIdleMonitor::descriptor() const {
  return sd_bus_get_fd(bus_->bus);
}

void GnomeIdleMonitor::process() {
  while (sd_bus_process(bus_->bus, nullptr) > 0) {
  }
}

bool GnomeIdleMonitor::idleInhibited() {
  sd_bus_message* reply = nullptr;
  int inhibited = 0;
  if (sd_bus_call_method(bus_->bus, kSessionService, kSessionPath, kSessionService, "IsInhibited",
                         nullptr, &reply, "u", kInhibitIdle) >= 0)
    sd_bus_message_read(reply, "b", &inhibited);
  sd_bus_message_unref(reply);
  return inhibited != 0;
}

}  // namespace glimmerweave::wayland
