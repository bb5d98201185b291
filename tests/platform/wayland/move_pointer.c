/* move_pointer STEP [STEP ...]: sends the seat input, one step at a time, a tenth of a
 * second apart. A step is DX,DY (move the pointer by that much), "click" (press and
 * release the left button) or "key" (press and release X). A headless seat has no
 * devices of its own, so the input comes through the compositor's protocol for
 * clients that act as devices: wlroots' virtual pointer on sway (no keys: wtype types
 * there), KWin's fake input on KWin (KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 lets it in).
 * The tests of -saver and the compositors' sessions use it; exits 0 when every step
 * was sent, 1 otherwise. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <wayland-client.h>

#include "fake-input-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

enum { kButtonLeft = 0x110, kKeyX = 45, kPressed = 1, kReleased = 0 };

struct Input {
  struct wl_seat* seat;
  struct zwlr_virtual_pointer_manager_v1* manager;
  struct zwlr_virtual_pointer_v1* pointer;
  struct org_kde_kwin_fake_input* fake;
  uint32_t fake_version;
  uint32_t time; /* the virtual pointer's clock, in milliseconds */
};

static void global(void* data, struct wl_registry* registry, uint32_t name, const char* interface,
                   uint32_t version) {
  struct Input* input = data;
  if (strcmp(interface, wl_seat_interface.name) == 0 && !input->seat) {
    input->seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
  } else if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
    input->manager =
        wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
  } else if (strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0) {
    input->fake_version = version < 4 ? version : 4;
    input->fake =
        wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, input->fake_version);
  }
}

static void global_remove(void* data, struct wl_registry* registry, uint32_t name) {
  (void)data;
  (void)registry;
  (void)name;
}

static const struct wl_registry_listener registry_listener = {
    .global = global,
    .global_remove = global_remove,
};

static void motion(struct Input* input, int dx, int dy) {
  if (input->pointer) {
    zwlr_virtual_pointer_v1_motion(input->pointer, input->time, wl_fixed_from_int(dx),
                                   wl_fixed_from_int(dy));
    zwlr_virtual_pointer_v1_frame(input->pointer);
  } else {
    org_kde_kwin_fake_input_pointer_motion(input->fake, wl_fixed_from_int(dx),
                                           wl_fixed_from_int(dy));
  }
}

static void click(struct Input* input) {
  if (input->pointer) {
    zwlr_virtual_pointer_v1_button(input->pointer, input->time, kButtonLeft, kPressed);
    zwlr_virtual_pointer_v1_frame(input->pointer);
    zwlr_virtual_pointer_v1_button(input->pointer, input->time + 1, kButtonLeft, kReleased);
    zwlr_virtual_pointer_v1_frame(input->pointer);
  } else {
    org_kde_kwin_fake_input_button(input->fake, kButtonLeft, kPressed);
    org_kde_kwin_fake_input_button(input->fake, kButtonLeft, kReleased);
  }
}

/* Only fake input has keys, from its version 4 on. */
static int key(struct Input* input) {
  if (input->pointer || input->fake_version < 4) {
    fprintf(stderr, "move_pointer: this compositor takes no keys from move_pointer\n");
    return 0;
  }
  org_kde_kwin_fake_input_keyboard_key(input->fake, kKeyX, kPressed);
  org_kde_kwin_fake_input_keyboard_key(input->fake, kKeyX, kReleased);
  return 1;
}

int main(int argc, char** argv) {
  struct Input input = {0};
  struct wl_display* display = wl_display_connect(NULL);
  if (!display) {
    fprintf(stderr, "move_pointer: no compositor\n");
    return 1;
  }
  struct wl_registry* registry = wl_display_get_registry(display);
  wl_registry_add_listener(registry, &registry_listener, &input);
  wl_display_roundtrip(display);
  if (input.seat && input.manager) {
    input.pointer =
        zwlr_virtual_pointer_manager_v1_create_virtual_pointer(input.manager, input.seat);
  } else if (input.fake) {
    org_kde_kwin_fake_input_authenticate(input.fake, "move_pointer", "the tests' input");
  } else {
    fprintf(stderr,
            "move_pointer: the compositor offers neither virtual pointers nor fake input\n");
    return 1;
  }
  wl_display_roundtrip(display);
  const struct timespec pause = {0, 100000000};
  for (int i = 1; i < argc; ++i) {
    nanosleep(&pause, NULL);
    input.time += 100;
    int dx = 0, dy = 0;
    if (strcmp(argv[i], "click") == 0) {
      click(&input);
    } else if (strcmp(argv[i], "key") == 0) {
      if (!key(&input)) return 1;
    } else if (sscanf(argv[i], "%d,%d", &dx, &dy) == 2) {
      motion(&input, dx, dy);
    } else {
      fprintf(stderr, "move_pointer: a step is DX,DY, click or key, not '%s'\n", argv[i]);
      return 1;
    }
    if (wl_display_roundtrip(display) < 0) return 1;
  }
  nanosleep(&pause, NULL);
  if (input.pointer) zwlr_virtual_pointer_v1_destroy(input.pointer);
  if (input.fake) org_kde_kwin_fake_input_destroy(input.fake);
  wl_display_roundtrip(display);
  wl_display_disconnect(display);
  return 0;
}
