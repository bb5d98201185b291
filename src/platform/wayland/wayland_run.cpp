// The animation on Wayland.
//
// How a run goes: runOnWayland connects (libwayland takes $WAYLAND_SOCKET, the
// descriptor swaylock-plugin passes, before $WAYLAND_DISPLAY), binds the globals
// and learns the outputs in two round trips, and makes its surfaces: for -saver
// and -background one layer surface per output (or the one -output or
// $SWAYLOCK_PLUGIN_OUTPUT_NAME names; a name no output has ends the run),
// made again for an output that appears later and dropped with one that goes,
// and for -saver where the compositor has no layer shell (GNOME, Weston) a
// full-screen xdg-shell toplevel per output instead; for -window one toplevel. The
// animation (HackAnimation) then runs its loop over the connection, which this
// file translates for it (HackScreen). A surface is waiting once it is
// configured and the compositor has answered its last frame callback; while
// one waits, the animation computes frames on threads of its own, so that the
// loop goes on reading input and answering the compositor, and each frame is
// drawn into every surface waiting when it is done, each asking for its next
// frame callback. A compositor that stops asking (an output asleep, a hidden
// window) gets no frames, and nothing is computed: the animation goes on where
// it stood when one asks again. A key, -saver's button or pointer movement, the
// window's closing, a signal or the compositor's end ends the run at once: the
// surfaces and the connection go first, then the animation, abandoning the
// frame it was computing (after a signal, the program's entry ends the process
// by it once everything is released).
//
// All the run's state is one struct, Run, with one Output per wl_output and one
// Surface per surface drawn on.
#include "platform/wayland/wayland_run.h"

#include <ext-idle-notify-v1-client-protocol.h>
#include <fractional-scale-v1-client-protocol.h>
#include <idle-client-protocol.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <viewporter-client-protocol.h>
#include <wayland-client.h>
#include <wlr-layer-shell-unstable-v1-client-protocol.h>
#include <xdg-output-unstable-v1-client-protocol.h>
#include <xdg-shell-client-protocol.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hack_animation/hack_animation.h"
#include "hack_animation/saver_lock.h"
#include "platform/wayland/wayland_buffers.h"
#include "platform/wayland/wayland_gnome_idle.h"
#include "presentation/frame_image.h"
#include "presentation/stretch.h"

namespace glimmerweave::wayland {

namespace {

constexpr const char* kTitle = "Glimmerweave";
constexpr const char* kAppId = "glimmerweave";
constexpr int kWindowWidth = 800;
constexpr int kWindowHeight = 600;
// -saver ends on a pointer movement of more than this many pixels from where the
// pointer first was over it, as the Windows run does.
constexpr double kPointerSlack = 5;
// XRGB8888: a little-endian 32-bit pixel with red in bits 16..23, and the unused
// byte set, since some compositors (Weston) blend with it as alpha all the same.
const PixelFormat kXrgb8888 = *PixelFormat::fromMasks(0xFF0000, 0xFF00, 0xFF, 32);
// fractional-scale-v1 gives scales in 120ths.
constexpr int kScaleDenominator = 120;

struct Run;
struct Output;

// One surface the frames are drawn on: a layer surface on one output, or the
// toplevel window.
struct Surface {
  Run* run = nullptr;
  Output* output = nullptr;  // the layer surface's output; null for the window
  wl_surface* surface = nullptr;
  zwlr_layer_surface_v1* layer = nullptr;
  xdg_surface* xdgSurface = nullptr;
  xdg_toplevel* toplevel = nullptr;
  wp_viewport* viewport = nullptr;
  wp_fractional_scale_v1* fractional = nullptr;
  wl_callback* frameCallback = nullptr;
  std::unique_ptr<ShmBuffers> buffers;

  bool configured = false;
  int width = 0;  // the surface's size in the compositor's logical pixels
  int height = 0;
  int scale120 = 0;                        // the preferred fractional scale; 0: none given
  std::vector<wl_output*> enteredOutputs;  // for the window's integer scale

  ~Surface();
  // Configured, with a size, and not waiting for the compositor's frame callback.
  bool waiting() const { return configured && width > 0 && height > 0 && !frameCallback; }
};

struct Output {
  Run* run = nullptr;
  std::uint32_t globalName = 0;
  wl_output* output = nullptr;
  zxdg_output_v1* xdgOutput = nullptr;
  std::string name;
  int scale = 1;
  int x = 0;  // logical position, for the pointer's movement across outputs
  int y = 0;
  bool described = false;  // the first wl_output.done has come
  std::unique_ptr<Surface> surface;

  ~Output() {
    surface.reset();
    if (xdgOutput) zxdg_output_v1_destroy(xdgOutput);
    if (output) wl_output_destroy(output);
  }
};

struct Run {
  HackOptions options;
  std::string outputName;           // the one output to draw on; empty: every output
  bool exactConfigureSize = false;  // buffers of exactly the configured size (swaylock-plugin)

  wl_display* display = nullptr;
  wl_registry* registry = nullptr;
  wl_compositor* compositor = nullptr;
  wl_shm* shm = nullptr;
  xdg_wm_base* wmBase = nullptr;
  zwlr_layer_shell_v1* layerShell = nullptr;
  wp_viewporter* viewporter = nullptr;
  wp_fractional_scale_manager_v1* fractionalScales = nullptr;
  zxdg_output_manager_v1* outputManager = nullptr;
  wl_seat* seat = nullptr;
  wl_keyboard* keyboard = nullptr;
  wl_pointer* pointer = nullptr;
  ext_idle_notifier_v1* idleNotifier = nullptr;
  org_kde_kwin_idle* kdeIdle = nullptr;

  // -saver -idle: the resident saver, its idle notice and whether its cover is up;
  // the locks that keep one saver per session (a plain -saver holds the showing
  // lock for its life, the host while its cover is up).
  bool resident = false;
  bool covered = false;
  ext_idle_notification_v1* idleNotification = nullptr;
  org_kde_kwin_idle_timeout* kdeIdleTimeout = nullptr;
  std::unique_ptr<GnomeIdleMonitor> gnomeIdle;
  std::string lockFolder;
  std::optional<SaverLock> hostLock;
  std::optional<SaverLock> showingLock;

  std::vector<std::unique_ptr<Output>> outputs;
  std::unique_ptr<Surface> window;
  bool surfacesMade = false;  // the first set of surfaces exists; later outputs get theirs at once

  // -saver's pointer: where it first was, in the outputs' common logical space.
  Output* pointerOutput = nullptr;
  bool pointerStarted = false;
  double pointerStartX = 0;
  double pointerStartY = 0;

  // The frames' threads, which the stretch uses between frames.
  FramePool* pool = nullptr;

  bool running = true;
  FrontEndOutcome outcome;

  void end(int status, std::string error = "") {
    if (!running) return;
    running = false;
    outcome = {true, status, std::move(error)};
  }

  ~Run();
};

// ---------------------------------------------------------------------------
// Sizes

// The buffer that covers the surface's real pixels: with a fractional scale and a
// viewport, the logical size times the scale; else the integer scale of its
// output (or, for the window, of the outputs it is on).
void bufferSizeFor(const Surface& s, int& width, int& height, int& bufferScale) {
  bufferScale = 1;
  if (s.run->exactConfigureSize) {
    width = s.width;
    height = s.height;
    return;
  }
  if (s.scale120 > 0 && s.viewport) {
    width = static_cast<int>(
        std::lround(static_cast<double>(s.width) * s.scale120 / kScaleDenominator));
    height = static_cast<int>(
        std::lround(static_cast<double>(s.height) * s.scale120 / kScaleDenominator));
    return;
  }
  if (s.output) {
    bufferScale = s.output->scale;
  } else {
    for (const wl_output* entered : s.enteredOutputs)
      for (const auto& output : s.run->outputs)
        if (output->output == entered) bufferScale = std::max(bufferScale, output->scale);
  }
  bufferScale = std::max(bufferScale, 1);
  width = s.width * bufferScale;
  height = s.height * bufferScale;
}

// ---------------------------------------------------------------------------
// Drawing

void frameDone(void* data, wl_callback* callback, std::uint32_t /*time*/) {
  auto* s = static_cast<Surface*>(data);
  wl_callback_destroy(callback);
  s->frameCallback = nullptr;
}

const wl_callback_listener kFrameListener = {.done = frameDone};

// Draws the frame image into the surface's next free buffer and commits it with a
// frame callback. False when no buffer is free yet (the compositor holds them
// all); the surface then waits for one to be released.
bool drawSurface(Run& run, Surface& s, const FrameImage& image) {
  const bool compositorScales = run.options.smooth && run.viewporter && !run.exactConfigureSize;
  int width = 0;
  int height = 0;
  int bufferScale = 1;
  if (compositorScales) {
    width = image.width();
    height = image.height();
  } else {
    bufferSizeFor(s, width, height, bufferScale);
  }
  if (width <= 0 || height <= 0) return false;
  std::string error;
  ShmBuffer* buffer = s.buffers->free(width, height, error);
  if (!buffer) {
    if (!error.empty()) run.end(kExitCannotDraw, error);
    return false;
  }
  PixelTarget target;
  target.data = buffer->data;
  target.width = width;
  target.height = height;
  target.stride = buffer->stride;
  target.layout = PixelLayout{4, false};
  target.format = kXrgb8888;
  // Between frames, on the frame's own threads.
  stretchImage(
      image, target,
      run.options.smooth && !compositorScales ? StretchFilter::Smooth : StretchFilter::Nearest,
      *run.pool);

  if (s.viewport) {
    if (compositorScales || (s.scale120 > 0 && !run.exactConfigureSize))
      wp_viewport_set_destination(s.viewport, s.width, s.height);
    else
      wp_viewport_set_destination(s.viewport, -1, -1);
  }
  wl_surface_set_buffer_scale(s.surface, bufferScale);
  wl_surface_attach(s.surface, buffer->buffer, 0, 0);
  wl_surface_damage_buffer(s.surface, 0, 0, width, height);
  s.frameCallback = wl_surface_frame(s.surface);
  wl_callback_add_listener(s.frameCallback, &kFrameListener, &s);
  wl_surface_commit(s.surface);
  buffer->busy = true;
  return true;
}

std::vector<Surface*> surfaces(Run& run) {
  std::vector<Surface*> all;
  if (run.window) all.push_back(run.window.get());
  for (auto& output : run.outputs)
    if (output->surface) all.push_back(output->surface.get());
  return all;
}

bool anyWaiting(Run& run) {
  for (Surface* s : surfaces(run))
    if (s->waiting()) return true;
  return false;
}

// ---------------------------------------------------------------------------
// Surfaces

void surfaceEnter(void* data, wl_surface* /*surface*/, wl_output* output) {
  static_cast<Surface*>(data)->enteredOutputs.push_back(output);
}

void surfaceLeave(void* data, wl_surface* /*surface*/, wl_output* output) {
  auto& entered = static_cast<Surface*>(data)->enteredOutputs;
  entered.erase(std::remove(entered.begin(), entered.end(), output), entered.end());
}

const wl_surface_listener kSurfaceListener = {.enter = surfaceEnter, .leave = surfaceLeave};

void preferredScale(void* data, wp_fractional_scale_v1* /*fractional*/, std::uint32_t scale) {
  static_cast<Surface*>(data)->scale120 = static_cast<int>(scale);
}

const wp_fractional_scale_v1_listener kFractionalScaleListener = {.preferred_scale =
                                                                      preferredScale};

void layerConfigure(void* data, zwlr_layer_surface_v1* layer, std::uint32_t serial,
                    std::uint32_t width, std::uint32_t height) {
  auto* s = static_cast<Surface*>(data);
  zwlr_layer_surface_v1_ack_configure(layer, serial);
  s->width = static_cast<int>(std::min<std::uint32_t>(width, INT_MAX));
  s->height = static_cast<int>(std::min<std::uint32_t>(height, INT_MAX));
  s->configured = true;
}

void layerClosed(void* data, zwlr_layer_surface_v1* /*layer*/) {
  // The compositor will not show this surface again (its output is going, or it
  // was told to): it goes, and the output gets no other.
  auto* s = static_cast<Surface*>(data);
  if (s->output) s->output->surface.reset();
}

const zwlr_layer_surface_v1_listener kLayerListener = {.configure = layerConfigure,
                                                       .closed = layerClosed};

void xdgSurfaceConfigure(void* data, xdg_surface* xdgSurface, std::uint32_t serial) {
  xdg_surface_ack_configure(xdgSurface, serial);
  static_cast<Surface*>(data)->configured = true;
}

const xdg_surface_listener kXdgSurfaceListener = {.configure = xdgSurfaceConfigure};

void toplevelConfigure(void* data, xdg_toplevel* /*toplevel*/, std::int32_t width,
                       std::int32_t height, wl_array* /*states*/) {
  auto* s = static_cast<Surface*>(data);
  // 0 leaves the size to the window.
  s->width = width > 0 ? width : (s->width > 0 ? s->width : kWindowWidth);
  s->height = height > 0 ? height : (s->height > 0 ? s->height : kWindowHeight);
}

void endSaver(Run& run);

void toplevelClose(void* data, xdg_toplevel* /*toplevel*/) {
  auto* s = static_cast<Surface*>(data);
  if (s->output)
    endSaver(*s->run);
  else
    s->run->end(kExitOk);
}

// configure_bounds and wm_capabilities come with versions 4 and 5, above the one bound.
const xdg_toplevel_listener kToplevelListener = {.configure = toplevelConfigure,
                                                 .close = toplevelClose,
                                                 .configure_bounds = nullptr,
                                                 .wm_capabilities = nullptr};

Surface::~Surface() {
  if (frameCallback) wl_callback_destroy(frameCallback);
  if (fractional) wp_fractional_scale_v1_destroy(fractional);
  if (viewport) wp_viewport_destroy(viewport);
  if (layer) zwlr_layer_surface_v1_destroy(layer);
  if (toplevel) xdg_toplevel_destroy(toplevel);
  if (xdgSurface) xdg_surface_destroy(xdgSurface);
  if (surface) wl_surface_destroy(surface);
  buffers.reset();
  if (run && run->pointerOutput == output) run->pointerOutput = nullptr;
}

// A wl_surface with what every surface has: its buffers, a viewport and a
// fractional scale where the compositor offers them.
std::unique_ptr<Surface> makeSurface(Run& run, Output* output) {
  auto s = std::make_unique<Surface>();
  s->run = &run;
  s->output = output;
  s->surface = wl_compositor_create_surface(run.compositor);
  wl_surface_add_listener(s->surface, &kSurfaceListener, s.get());
  s->buffers = std::make_unique<ShmBuffers>(run.shm);
  if (run.viewporter) s->viewport = wp_viewporter_get_viewport(run.viewporter, s->surface);
  if (run.fractionalScales) {
    s->fractional =
        wp_fractional_scale_manager_v1_get_fractional_scale(run.fractionalScales, s->surface);
    wp_fractional_scale_v1_add_listener(s->fractional, &kFractionalScaleListener, s.get());
  }
  return s;
}

// The layer surface of -saver or -background on one output.
void makeLayerSurface(Run& run, Output& output) {
  const bool saver = run.options.role == WaylandRole::Saver;
  auto s = makeSurface(run, &output);
  s->layer = zwlr_layer_shell_v1_get_layer_surface(
      run.layerShell, s->surface, output.output,
      saver ? ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY : ZWLR_LAYER_SHELL_V1_LAYER_BACKGROUND,
      saver ? "glimmerweave-saver" : "glimmerweave-background");
  zwlr_layer_surface_v1_add_listener(s->layer, &kLayerListener, s.get());
  zwlr_layer_surface_v1_set_anchor(
      s->layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                    ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
  zwlr_layer_surface_v1_set_size(s->layer, 0, 0);
  // Over panels and windows alike, moved by no other surface's exclusive zone.
  zwlr_layer_surface_v1_set_exclusive_zone(s->layer, -1);
  zwlr_layer_surface_v1_set_keyboard_interactivity(
      s->layer, saver ? ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE
                      : ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
  if (!saver) {
    // A wallpaper takes no input: an empty input region lets it all through.
    wl_region* none = wl_compositor_create_region(run.compositor);
    wl_surface_set_input_region(s->surface, none);
    wl_region_destroy(none);
  }
  wl_surface_commit(s->surface);
  output.surface = std::move(s);
}

bool wanted(const Run& run, const Output& output) {
  return run.outputName.empty() || output.name == run.outputName;
}

// An xdg-shell toplevel: -window's, or, where the compositor has no layer
// shell, -saver's on one output, full-screen there.
std::unique_ptr<Surface> makeToplevel(Run& run, Output* output) {
  auto s = makeSurface(run, output);
  s->xdgSurface = xdg_wm_base_get_xdg_surface(run.wmBase, s->surface);
  xdg_surface_add_listener(s->xdgSurface, &kXdgSurfaceListener, s.get());
  s->toplevel = xdg_surface_get_toplevel(s->xdgSurface);
  xdg_toplevel_add_listener(s->toplevel, &kToplevelListener, s.get());
  xdg_toplevel_set_title(s->toplevel, kTitle);
  xdg_toplevel_set_app_id(s->toplevel, kAppId);
  if (output) {
    xdg_toplevel_set_fullscreen(s->toplevel, output->output);
  } else if (run.options.fullscreen) {
    wl_output* on = nullptr;
    for (auto& each : run.outputs)
      if (!run.outputName.empty() && each->name == run.outputName) on = each->output;
    xdg_toplevel_set_fullscreen(s->toplevel, on);
  }
  s->width = kWindowWidth;
  s->height = kWindowHeight;
  wl_surface_commit(s->surface);
  return s;
}

// -saver's or -background's surface on one output: a layer surface, or -saver's
// full-screen toplevel where there is no layer shell.
void makeOutputSurface(Run& run, Output& output) {
  if (run.layerShell)
    makeLayerSurface(run, output);
  else
    output.surface = makeToplevel(run, &output);
}

// ---------------------------------------------------------------------------
// Outputs

void outputGeometry(void*, wl_output*, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                    std::int32_t, const char*, const char*, std::int32_t) {}
void outputMode(void*, wl_output*, std::uint32_t, std::int32_t, std::int32_t, std::int32_t) {}

void outputDone(void* data, wl_output* /*output*/) {
  auto* output = static_cast<Output*>(data);
  output->described = true;
  Run& run = *output->run;
  if (run.surfacesMade && run.options.role != WaylandRole::Window && !output->surface &&
      (!run.resident || run.covered) && wanted(run, *output))
    makeOutputSurface(run, *output);
}

void outputScale(void* data, wl_output* /*output*/, std::int32_t factor) {
  static_cast<Output*>(data)->scale = std::max(1, factor);
}

void outputName(void* data, wl_output* /*output*/, const char* name) {
  static_cast<Output*>(data)->name = name;
}

void outputDescription(void*, wl_output*, const char*) {}

const wl_output_listener kOutputListener = {.geometry = outputGeometry,
                                            .mode = outputMode,
                                            .done = outputDone,
                                            .scale = outputScale,
                                            .name = outputName,
                                            .description = outputDescription};

void xdgOutputPosition(void* data, zxdg_output_v1* /*xdgOutput*/, std::int32_t x, std::int32_t y) {
  auto* output = static_cast<Output*>(data);
  output->x = x;
  output->y = y;
}

void xdgOutputSize(void*, zxdg_output_v1*, std::int32_t, std::int32_t) {}
void xdgOutputDone(void*, zxdg_output_v1*) {}

void xdgOutputName(void* data, zxdg_output_v1* /*xdgOutput*/, const char* name) {
  static_cast<Output*>(data)->name = name;
}

void xdgOutputDescription(void*, zxdg_output_v1*, const char*) {}

const zxdg_output_v1_listener kXdgOutputListener = {.logical_position = xdgOutputPosition,
                                                    .logical_size = xdgOutputSize,
                                                    .done = xdgOutputDone,
                                                    .name = xdgOutputName,
                                                    .description = xdgOutputDescription};

void describeOutput(Run& run, Output& output) {
  if (!run.outputManager || output.xdgOutput) return;
  output.xdgOutput = zxdg_output_manager_v1_get_xdg_output(run.outputManager, output.output);
  zxdg_output_v1_add_listener(output.xdgOutput, &kXdgOutputListener, &output);
}

// ---------------------------------------------------------------------------
// Input

// -saver's cover goes: the resident saver's until the next idle time, a plain
// one's with the run.
void endSaver(Run& run) {
  if (!run.resident) {
    run.end(kExitOk);
    return;
  }
  if (!run.covered) return;
  run.covered = false;
  for (auto& output : run.outputs) output->surface.reset();
  run.pointerOutput = nullptr;
  run.showingLock.reset();
}

// The session has been idle the time -idle gives: the resident saver covers
// every output, unless a saver shows already.
void cover(Run& run) {
  if (run.covered) return;
  std::string error;
  run.showingLock = SaverLock::take(run.lockFolder, kShowingLock, error);
  if (!run.showingLock) return;
  run.covered = true;
  run.pointerStarted = false;
  for (auto& output : run.outputs)
    if (output->described && wanted(run, *output)) makeOutputSurface(run, *output);
}

void endSaverOnInput(Run& run) {
  if (run.options.role == WaylandRole::Saver) endSaver(run);
}

// The pointer moved to (x, y) on the surface of `output`: -saver ends once it is
// more than kPointerSlack pixels from where it first was, across outputs too.
void pointerAt(Run& run, double x, double y) {
  if (run.options.role != WaylandRole::Saver) return;
  if (run.pointerOutput) {
    x += run.pointerOutput->x;
    y += run.pointerOutput->y;
  }
  if (!run.pointerStarted) {
    run.pointerStarted = true;
    run.pointerStartX = x;
    run.pointerStartY = y;
    return;
  }
  if (std::fabs(x - run.pointerStartX) > kPointerSlack ||
      std::fabs(y - run.pointerStartY) > kPointerSlack)
    endSaver(run);
}

void pointerEnter(void* data, wl_pointer* pointer, std::uint32_t serial, wl_surface* surface,
                  wl_fixed_t x, wl_fixed_t y) {
  auto& run = *static_cast<Run*>(data);
  run.pointerOutput = nullptr;
  for (auto& output : run.outputs)
    if (output->surface && output->surface->surface == surface) run.pointerOutput = output.get();
  // No cursor over the screen saver.
  if (run.options.role == WaylandRole::Saver) wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);
  pointerAt(run, wl_fixed_to_double(x), wl_fixed_to_double(y));
}

void pointerLeave(void*, wl_pointer*, std::uint32_t, wl_surface*) {}

void pointerMotion(void* data, wl_pointer* /*pointer*/, std::uint32_t /*time*/, wl_fixed_t x,
                   wl_fixed_t y) {
  pointerAt(*static_cast<Run*>(data), wl_fixed_to_double(x), wl_fixed_to_double(y));
}

void pointerButton(void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t,
                   std::uint32_t state) {
  if (state == WL_POINTER_BUTTON_STATE_PRESSED) endSaverOnInput(*static_cast<Run*>(data));
}

void pointerAxis(void*, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) {}
void pointerFrame(void*, wl_pointer*) {}
void pointerAxisSource(void*, wl_pointer*, std::uint32_t) {}
void pointerAxisStop(void*, wl_pointer*, std::uint32_t, std::uint32_t) {}
void pointerAxisDiscrete(void*, wl_pointer*, std::uint32_t, std::int32_t) {}

const wl_pointer_listener kPointerListener = {
    .enter = pointerEnter,
    .leave = pointerLeave,
    .motion = pointerMotion,
    .button = pointerButton,
    .axis = pointerAxis,
    .frame = pointerFrame,
    .axis_source = pointerAxisSource,
    .axis_stop = pointerAxisStop,
    .axis_discrete = pointerAxisDiscrete,
    .axis_value120 = nullptr,  // comes with version 8, above the one bound
};

void keyboardKeymap(void*, wl_keyboard*, std::uint32_t, std::int32_t fd, std::uint32_t) {
  // Any key ends the run, whatever it means: the keymap is not needed.
  close(fd);
}

void keyboardEnter(void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {}
void keyboardLeave(void*, wl_keyboard*, std::uint32_t, wl_surface*) {}

void keyboardKey(void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t,
                 std::uint32_t state) {
  auto& run = *static_cast<Run*>(data);
  if (state != WL_KEYBOARD_KEY_STATE_PRESSED) return;
  if (run.options.role == WaylandRole::Saver)
    endSaver(run);
  else if (run.options.role == WaylandRole::Window)
    run.end(kExitOk);
}

void keyboardModifiers(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t,
                       std::uint32_t, std::uint32_t) {}
void keyboardRepeat(void*, wl_keyboard*, std::int32_t, std::int32_t) {}

const wl_keyboard_listener kKeyboardListener = {.keymap = keyboardKeymap,
                                                .enter = keyboardEnter,
                                                .leave = keyboardLeave,
                                                .key = keyboardKey,
                                                .modifiers = keyboardModifiers,
                                                .repeat_info = keyboardRepeat};

// The seat's devices come and go (a virtual keyboard or pointer among them).
void seatCapabilities(void* data, wl_seat* seat, std::uint32_t capabilities) {
  auto& run = *static_cast<Run*>(data);
  const bool hasPointer = (capabilities & WL_SEAT_CAPABILITY_POINTER) != 0;
  const bool hasKeyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
  if (hasPointer && !run.pointer) {
    run.pointer = wl_seat_get_pointer(seat);
    wl_pointer_add_listener(run.pointer, &kPointerListener, &run);
  } else if (!hasPointer && run.pointer) {
    wl_pointer_destroy(run.pointer);
    run.pointer = nullptr;
  }
  if (hasKeyboard && !run.keyboard) {
    run.keyboard = wl_seat_get_keyboard(seat);
    wl_keyboard_add_listener(run.keyboard, &kKeyboardListener, &run);
  } else if (!hasKeyboard && run.keyboard) {
    wl_keyboard_destroy(run.keyboard);
    run.keyboard = nullptr;
  }
}

void seatName(void*, wl_seat*, const char*) {}

const wl_seat_listener kSeatListener = {.capabilities = seatCapabilities, .name = seatName};

void ping(void* /*data*/, xdg_wm_base* base, std::uint32_t serial) {
  xdg_wm_base_pong(base, serial);
}

const xdg_wm_base_listener kWmBaseListener = {.ping = ping};

// ---------------------------------------------------------------------------
// Globals

template <class T>
T* bind(wl_registry* registry, std::uint32_t name, const wl_interface* interface,
        std::uint32_t offered, std::uint32_t wanted) {
  return static_cast<T*>(wl_registry_bind(registry, name, interface, std::min(offered, wanted)));
}

void global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
            std::uint32_t version) {
  auto& run = *static_cast<Run*>(data);
  const std::string kind = interface;
  if (kind == wl_compositor_interface.name) {
    // damage_buffer came with version 4.
    if (version >= 4)
      run.compositor = bind<wl_compositor>(registry, name, &wl_compositor_interface, version, 4);
  } else if (kind == wl_shm_interface.name) {
    run.shm = bind<wl_shm>(registry, name, &wl_shm_interface, version, 1);
  } else if (kind == xdg_wm_base_interface.name) {
    run.wmBase = bind<xdg_wm_base>(registry, name, &xdg_wm_base_interface, version, 2);
    xdg_wm_base_add_listener(run.wmBase, &kWmBaseListener, &run);
  } else if (kind == zwlr_layer_shell_v1_interface.name) {
    run.layerShell =
        bind<zwlr_layer_shell_v1>(registry, name, &zwlr_layer_shell_v1_interface, version, 4);
  } else if (kind == wp_viewporter_interface.name) {
    run.viewporter = bind<wp_viewporter>(registry, name, &wp_viewporter_interface, version, 1);
  } else if (kind == wp_fractional_scale_manager_v1_interface.name) {
    run.fractionalScales = bind<wp_fractional_scale_manager_v1>(
        registry, name, &wp_fractional_scale_manager_v1_interface, version, 1);
  } else if (kind == zxdg_output_manager_v1_interface.name) {
    // Names came with version 2.
    if (version >= 2) {
      run.outputManager = bind<zxdg_output_manager_v1>(
          registry, name, &zxdg_output_manager_v1_interface, version, 3);
      for (auto& output : run.outputs) describeOutput(run, *output);
    }
  } else if (kind == ext_idle_notifier_v1_interface.name) {
    run.idleNotifier =
        bind<ext_idle_notifier_v1>(registry, name, &ext_idle_notifier_v1_interface, version, 1);
  } else if (kind == org_kde_kwin_idle_interface.name) {
    run.kdeIdle = bind<org_kde_kwin_idle>(registry, name, &org_kde_kwin_idle_interface, version, 1);
  } else if (kind == wl_seat_interface.name && !run.seat) {
    run.seat = bind<wl_seat>(registry, name, &wl_seat_interface, version, 5);
    wl_seat_add_listener(run.seat, &kSeatListener, &run);
  } else if (kind == wl_output_interface.name) {
    auto output = std::make_unique<Output>();
    output->run = &run;
    output->globalName = name;
    output->output = bind<wl_output>(registry, name, &wl_output_interface, version, 4);
    wl_output_add_listener(output->output, &kOutputListener, output.get());
    describeOutput(run, *output);
    run.outputs.push_back(std::move(output));
  }
}

void globalRemove(void* data, wl_registry* /*registry*/, std::uint32_t name) {
  auto& outputs = static_cast<Run*>(data)->outputs;
  outputs.erase(std::remove_if(outputs.begin(), outputs.end(),
                               [name](const auto& output) { return output->globalName == name; }),
                outputs.end());
}

const wl_registry_listener kRegistryListener = {.global = global, .global_remove = globalRemove};

Run::~Run() {
  window.reset();
  outputs.clear();
  if (idleNotification) ext_idle_notification_v1_destroy(idleNotification);
  if (kdeIdleTimeout) org_kde_kwin_idle_timeout_release(kdeIdleTimeout);
  if (idleNotifier) ext_idle_notifier_v1_destroy(idleNotifier);
  if (kdeIdle) org_kde_kwin_idle_destroy(kdeIdle);
  if (pointer) wl_pointer_destroy(pointer);
  if (keyboard) wl_keyboard_destroy(keyboard);
  if (seat) wl_seat_destroy(seat);
  if (outputManager) zxdg_output_manager_v1_destroy(outputManager);
  if (fractionalScales) wp_fractional_scale_manager_v1_destroy(fractionalScales);
  if (viewporter) wp_viewporter_destroy(viewporter);
  if (layerShell) zwlr_layer_shell_v1_destroy(layerShell);
  if (wmBase) xdg_wm_base_destroy(wmBase);
  if (shm) wl_shm_destroy(shm);
  if (compositor) wl_compositor_destroy(compositor);
  if (registry) wl_registry_destroy(registry);
  if (display) {
    wl_display_flush(display);
    wl_display_disconnect(display);
  }
}

// ---------------------------------------------------------------------------
// The loop

// The connection failed: the compositor went away (the run ends as it would on
// a signal), or it ended the connection over a protocol error (a fault to report).
void connectionLost(Run& run) {
  const int error = wl_display_get_error(run.display);
  if (error == EPROTO) {
    const wl_interface* interface = nullptr;
    std::uint32_t id = 0;
    const std::uint32_t code = wl_display_get_protocol_error(run.display, &interface, &id);
    run.end(kExitCannotDraw, std::string("the compositor refused a request: protocol error ") +
                                 std::to_string(code) + " on " +
                                 (interface ? interface->name : "an unknown object"));
  } else {
    run.end(kExitOk);
  }
}

// The connection as the animation's screen. libwayland's reading protocol wraps
// each sleep: a read is prepared before it (once the queue is empty) and is
// either made or cancelled after it.
class Screen final : public HackScreen {
 public:
  explicit Screen(Run& run) : run_(run) {}

  int connection() const override { return wl_display_get_fd(run_.display); }
  int otherConnection() const override {
    return run_.gnomeIdle ? run_.gnomeIdle->descriptor() : -1;
  }
  bool running() const override { return run_.running; }

  void handleEvents() override {
    if (run_.gnomeIdle) run_.gnomeIdle->process();
    if (wl_display_dispatch_pending(run_.display) < 0) connectionLost(run_);
  }

  bool wantsFrame() override { return anyWaiting(run_); }

  short beforeSleep() override {
    while (wl_display_prepare_read(run_.display) != 0) {
      if (wl_display_dispatch_pending(run_.display) < 0) {
        connectionLost(run_);
        return 0;
      }
    }
    if (!run_.running) {
      wl_display_cancel_read(run_.display);
      return 0;
    }
    prepared_ = true;
    short events = POLLIN;
    if (wl_display_flush(run_.display) < 0 && errno == EAGAIN) events |= POLLOUT;
    return events;
  }

  void afterSleep(short revents) override {
    if (!prepared_) return;
    prepared_ = false;
    if ((revents & (POLLIN | POLLERR | POLLHUP)) == 0) {
      wl_display_cancel_read(run_.display);
    } else if (wl_display_read_events(run_.display) < 0) {
      connectionLost(run_);
    }
  }

  // Draws the frame into every surface waiting for one.
  bool show(const FrameImage& image) override {
    bool drawn = false;
    for (Surface* s : surfaces(run_))
      if (s->waiting() && drawSurface(run_, *s, image)) drawn = true;
    return drawn;
  }

 private:
  Run& run_;
  bool prepared_ = false;
};

// ---------------------------------------------------------------------------
// Idle time

// The session has been idle -idle's time: the cover comes. Activity ends
// nothing by itself; the cover goes by the saver's own rules for input.
const ext_idle_notification_v1_listener kIdleNotificationListener = {
    .idled = [](void* data, ext_idle_notification_v1*) { cover(*static_cast<Run*>(data)); },
    .resumed = [](void*, ext_idle_notification_v1*) {}};

const org_kde_kwin_idle_timeout_listener kKdeIdleListener = {
    .idle = [](void* data, org_kde_kwin_idle_timeout*) { cover(*static_cast<Run*>(data)); },
    .resumed = [](void*, org_kde_kwin_idle_timeout*) {}};

// Asks the compositor to tell when the session has been idle -idle's time;
// false with the run ended when it cannot tell.
bool watchIdleTime(Run& run) {
  const auto milliseconds = static_cast<std::uint32_t>(run.options.idleSeconds) * 1000u;
  if (run.seat && run.idleNotifier) {
    run.idleNotification =
        ext_idle_notifier_v1_get_idle_notification(run.idleNotifier, milliseconds, run.seat);
    ext_idle_notification_v1_add_listener(run.idleNotification, &kIdleNotificationListener, &run);
    return true;
  }
  if (run.seat && run.kdeIdle) {
    run.kdeIdleTimeout = org_kde_kwin_idle_get_idle_timeout(run.kdeIdle, run.seat, milliseconds);
    org_kde_kwin_idle_timeout_add_listener(run.kdeIdleTimeout, &kKdeIdleListener, &run);
    return true;
  }
  // GNOME's compositor tells it on the session bus instead, where the session
  // manager knows what inhibits idleness.
  std::string error;
  run.gnomeIdle = GnomeIdleMonitor::watch(
      milliseconds,
      [&run] {
        if (!run.gnomeIdle->idleInhibited()) cover(run);
      },
      error);
  if (run.gnomeIdle) return true;
  run.end(kExitCannotDraw,
          std::string("nothing tells the session's idle time, which -idle needs: the "
                      "compositor offers ") +
              (run.seat ? "neither ext_idle_notifier_v1 (ext-idle-notify-v1) nor "
                          "org_kde_kwin_idle"
                        : "no seat") +
              ", and GNOME's idle monitor cannot be asked (" + error + ")");
  return false;
}

// What is wrong with $WAYLAND_SOCKET, which must name an open socket by its
// number; empty when nothing is.
std::string socketProblem(const char* value) {
  char* end = nullptr;
  errno = 0;
  const long number = std::strtol(value, &end, 10);
  if (end == value || *end != '\0' || errno != 0 || number < 0 || number > INT_MAX)
    return "that is not a descriptor's number";
  struct stat status {};
  if (fstat(static_cast<int>(number), &status) != 0)
    return std::string("descriptor ") + value + " is not open";
  if (!S_ISSOCK(status.st_mode)) {
    const char* what = S_ISFIFO(status.st_mode)  ? "a pipe"
                       : S_ISREG(status.st_mode) ? "a file"
                       : S_ISCHR(status.st_mode) ? "a device"
                                                 : "not a socket";
    return std::string("descriptor ") + value + " is " + what + ", not a socket";
  }
  return {};
}

// Binds the globals, learns the outputs and makes the surfaces; false with the
// run ended (and why) when the compositor lacks what the role needs.
bool setUp(Run& run) {
  run.registry = wl_display_get_registry(run.display);
  wl_registry_add_listener(run.registry, &kRegistryListener, &run);
  // The globals, then what the outputs and the seat tell of themselves. A
  // connection that fails before the first answer never reached a compositor
  // (a closed socket, or one that is no compositor's), and another display
  // system may be tried.
  if (wl_display_roundtrip(run.display) < 0) {
    connectionLost(run);
    if (run.outcome.status == kExitOk)
      run.outcome = {false, kExitCannotDraw,
                     std::string("the connection closed before the compositor answered: ") +
                         std::strerror(wl_display_get_error(run.display))};
    return false;
  }
  if (wl_display_roundtrip(run.display) < 0) {
    connectionLost(run);
    return false;
  }
  if (!run.compositor || !run.shm) {
    run.end(kExitCannotDraw, "the compositor offers no wl_compositor (version 4) or no wl_shm");
    return false;
  }
  if (!run.outputName.empty() &&
      std::none_of(run.outputs.begin(), run.outputs.end(),
                   [&](const auto& output) { return output->name == run.outputName; })) {
    std::string names;
    for (const auto& output : run.outputs)
      if (!output->name.empty()) names += (names.empty() ? "" : ", ") + output->name;
    run.end(kExitCannotDraw,
            "no output is named '" + run.outputName + "' (" +
                (names.empty() ? std::string("the compositor names none") : "there are: " + names) +
                ")");
    return false;
  }
  const bool background = run.options.role == WaylandRole::Background;
  if (!run.wmBase && (run.options.role == WaylandRole::Window || !run.layerShell)) {
    run.end(kExitCannotDraw, "the compositor offers no xdg_wm_base (xdg-shell) for a window");
    return false;
  }
  if (background && !run.layerShell) {
    run.end(kExitCannotDraw,
            "the compositor has no layer shell (zwlr_layer_shell_v1), which -background "
            "needs; -window and -saver work on every compositor");
    return false;
  }
  if (run.options.role == WaylandRole::Window) {
    run.window = makeToplevel(run, nullptr);
  } else if (run.resident) {
    if (!watchIdleTime(run)) return false;
  } else {
    for (auto& output : run.outputs)
      if (output->described && wanted(run, *output)) makeOutputSurface(run, *output);
  }
  run.surfacesMade = true;
  return true;
}

}  // namespace

FrontEndOutcome runOnWayland(const HackOptions& options, int signals) {
  auto run = std::make_unique<Run>();
  run->options = options;
  run->outputName = options.output;
  // swaylock-plugin names the output its background program draws on, and takes
  // only buffers of the size it configured.
  const char* pluginOutput = std::getenv("SWAYLOCK_PLUGIN_OUTPUT_NAME");
  if (run->outputName.empty() && options.role == WaylandRole::Background && pluginOutput &&
      *pluginOutput)
    run->outputName = pluginOutput;
  const char* socket = std::getenv("WAYLAND_SOCKET");
  // An empty one names nothing; libwayland would fail on it rather than take
  // WAYLAND_DISPLAY.
  if (socket && !*socket) {
    unsetenv("WAYLAND_SOCKET");
    socket = nullptr;
  }
  run->exactConfigureSize = socket && options.role == WaylandRole::Background;
  const char* name = std::getenv("WAYLAND_DISPLAY");
  const std::string where = socket          ? std::string("WAYLAND_SOCKET=") + socket
                            : name && *name ? std::string("WAYLAND_DISPLAY=") + name
                                            : std::string("WAYLAND_DISPLAY is not set");
  if (socket) {
    if (const std::string problem = socketProblem(socket); !problem.empty())
      return {false, kExitCannotDraw, "cannot connect to a compositor (" + where + "): " + problem};
  }

  // One saver per session: a second resident one refuses; a plain one started
  // while a saver shows ends at once.
  if (options.role == WaylandRole::Saver) {
    std::string error;
    run->lockFolder = saverLockFolder(error);
    run->resident = options.idleSeconds > 0;
    if (run->resident) {
      if (run->lockFolder.empty()) return {true, kExitCannotDraw, "-idle: " + error};
      run->hostLock = SaverLock::take(run->lockFolder, kHostLock, error);
      if (!run->hostLock)
        return {true, kExitCannotDraw,
                error.empty() ? "a resident saver (-saver -idle) runs in this session already"
                              : "-idle: " + error};
    } else if (!run->lockFolder.empty()) {
      run->showingLock = SaverLock::take(run->lockFolder, kShowingLock, error);
      if (!run->showingLock && error.empty()) return {true, kExitOk, ""};
    }
  }

  errno = 0;
  run->display = wl_display_connect(nullptr);
  if (!run->display)
    return {false, kExitCannotDraw,
            "cannot connect to a compositor (" + where +
                "): " + (errno ? std::strerror(errno) : "libwayland gave no reason")};

  // Made after the connection, and gone after it: a frame it is computing when
  // the run ends is abandoned once the picture has gone.
  HackAnimation animation(options);
  run->pool = &animation.pool();
  if (!setUp(*run)) {
    if (!run->outcome.reached)
      run->outcome.error = "cannot reach a compositor (" + where + "): " + run->outcome.error;
  } else {
    Screen screen(*run);
    // A signal ends the run; the entry reads which, after the cleaning up.
    if (animation.run(screen, signals)) run->end(kExitOk);
  }
  FrontEndOutcome outcome = run->outcome;
  if (run->running) outcome = {true, kExitOk, ""};
  outcome.figures = animation.figures();
  run.reset();
  return outcome;
}

}  // namespace glimmerweave::wayland
