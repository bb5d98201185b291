// The animation as an xscreensaver-style hack: hackInit makes one state holding
// everything the run uses (engine, frame pool, frame image, drawing area, frame
// thread, frame-rate meter); hackDraw starts a tick's frame, hackFrameDone shows
// it, hackReshape follows the window's size, hackEvent takes the server's
// events for the drawing, and hackFree releases it all. The program's loop
// (x11_run.cpp) owns the display, the window, the clock and the signals, and
// calls these; it draws only while the frames can be seen.
#pragma once

#include <chrono>
#include <string>

#include "native_program/hack_options.h"
#include "platform/x11/x11_errors.h"
#include "platform/x11/x11_xlib.h"

namespace glimmerweave::x11 {

struct HackState;

// Sets the animation up in `window`; null with `error` set when the window is
// gone or its visual has no colour masks the frame can be converted through.
HackState* hackInit(::Display* display, Window window, const HackOptions& options, ErrorTrap& trap,
                    std::string& error);

// A tick, due at `due`: starts computing the frame on the frame thread.
void hackDraw(HackState& state, std::chrono::steady_clock::time_point due);

// The frame thread's descriptor, readable when the frame started by hackDraw is
// computed; hackFrameDone then shows it (with the -fps figures drawn into it).
int hackFrameFd(const HackState& state);
bool hackFrameBusy(const HackState& state);
void hackFrameDone(HackState& state);

// The window is now width x height pixels.
void hackReshape(HackState& state, int width, int height);

// An event of the drawing: an exposure or a finished shared-memory put. True
// when it was one.
bool hackEvent(HackState& state, const XEvent& event);

// With -fps, the whole run's figures (empty without).
std::string hackFigures(const HackState& state);

// Releases the X resources, and the rest when no frame is being computed. False
// when a frame was: the engine cannot stop it part-way, so the rest is left for
// the process's end, which must follow at once (without returning from main).
bool hackFree(HackState* state);

}  // namespace glimmerweave::x11
