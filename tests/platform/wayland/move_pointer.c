/* move_pointer DX,DY [DX,DY ...]: moves the seat's pointer by each step in turn,
 * a tenth of a second apart, through a virtual pointer (wlroots' virtual-pointer
 * protocol, which sway offers; a headless seat has no pointer of its own). With
 * "click" as a step it presses and releases the left button instead. The tests of
 * -saver use it; exits 0 when every step was sent, 1 otherwise. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <wayland-client.h>

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

static struct wl_seat* seat;
static struct zwlr_virtual_pointer_manager_v1* manager;

static void global(void* data, struct wl_registry* registry, uint32_t name, const char* interface,
                   uint32_t version) {
  (void)data;
  (void)version;
  if (strcmp(interface, wl_seat_interface.name) == 0 && !seat)
    seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
  else if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
    manager = wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
}

static void global_remove(void* data, struct wl_registry* registry, uint32_t name) {
  (void)data;
  (void)registry;
  (void)name;
}

static const struct wl_registry_listener registry_listener = {global, global_remove};

int main(int argc, char** argv) {
  struct wl_display* display = wl_display_connect(NULL);
  if (!display) {
    fprintf(stderr, "move_pointer: no compositor\n");
    return 1;
  }
  struct wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &registry_listener, NULL);
  wl_display_roundtrip(display);
  if (!seat || !manager) {
    fprintf(stderr, "move_pointer: the compositor offers no seat or no virtual pointers\n");
    return 1;
  }
  struct zwlr_virtual_pointer_v1* pointer =
      zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, seat);
  wl_display_roundtrip(display);
  uint32_t time = 0;
  const struct timespec pause = {0, 100000000};
  for (int i = 1; i < argc; ++i) {
    nanosleep(&pause, NULL);
    time += 100;
    if (strcmp(argv[i], "click") == 0) {
      zwlr_virtual_pointer_v1_button(pointer, time, 0x110 /* BTN_LEFT */, 1);
      zwlr_virtual_pointer_v1_frame(pointer);
      zwlr_virtual_pointer_v1_button(pointer, time + 1, 0x110, 0);
    } else {
      int dx = 0, dy = 0;
      if (sscanf(argv[i], "%d,%d", &dx, &dy) != 2) {
        fprintf(stderr, "move_pointer: a step is DX,DY or click, not '%s'\n", argv[i]);
        return 1;
      }
      zwlr_virtual_pointer_v1_motion(pointer, time, wl_fixed_from_int(dx), wl_fixed_from_int(dy));
    }
    zwlr_virtual_pointer_v1_frame(pointer);
    if (wl_display_roundtrip(display) < 0) return 1;
  }
  nanosleep(&pause, NULL);
  zwlr_virtual_pointer_v1_destroy(pointer);
  wl_display_roundtrip(display);
  wl_display_disconnect(display);
  return 0;
}
