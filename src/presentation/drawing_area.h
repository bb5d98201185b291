// The drawing area: where a form shows its frames, stretched over its own
// rectangle, either holding the display exclusively (the full-screen run) or
// in a window (the settings dialog). The core talks to it through this
// interface; the Win32 layer implements it on DirectDraw and tests on a fake.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "presentation/frame_image.h"

namespace glimmerweave {

// Failures of the drawing area; the message is what the user sees.
class DrawingAreaError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The drawing area's options.
enum DrawingOption : std::uint32_t {
  doAllowReboot = 1u << 0,   // the restart key combination works while the display is held
  doWaitVBlank = 1u << 1,    // showing waits for the vertical blank
  doStretch = 1u << 2,       // showing stretches the surface over the whole area
  doCenter = 1u << 3,        // without doStretch: centre the surface
  doDirectX7Mode = 1u << 4,  // use the version-7 display interface
  // Both forms store these two as their areas' options, so the configuration reads as
  // it is given; no set-up reads them (the area always takes the display's own
  // hardware driver), and they change nothing that is drawn.
  doHardware = 1u << 5,
  doSelectDriver = 1u << 6,
  doFullScreen = 1u << 7,  // hold the display exclusively and set its mode
};

// The display mode a full-screen set-up asks for, and how it may fall back.
struct DisplayRequest {
  int width = 0;
  int height = 0;
  int bitCount = 0;
  bool fixedBitCount = false;
  bool fixedRatio = false;
  bool fixedSize = false;
};

class DrawingArea {
 public:
  virtual ~DrawingArea() = default;

  // Configuration; takes effect at the next SetUp.
  std::uint32_t Options = 0;
  DisplayRequest Display;
  int SurfaceWidth = 0;
  int SurfaceHeight = 0;

  // Accepts only 8, 16, 24 and 32 bits per pixel.
  void setBitCount(int bitCount);

  // Ends the current set-up, if any, giving the display back.
  virtual void ShutDown() = 0;
  // Shuts down, then sets up the display and the surfaces; throws
  // DrawingAreaError (after shutting down again) on failure.
  virtual void SetUp() = 0;
  // Set up with both surfaces present, restoring lost surfaces first.
  virtual bool IsReady() = 0;
  virtual void ClearSurface(std::uint32_t colour) = 0;
  // Makes the drawing surface exactly the image's size and copies it in.
  virtual void LoadImage(const FrameImage& image) = 0;
  // Copies the drawing surface onto the screen over the area.
  virtual void ShowSurface() = 0;
};

// The messages of the drawing area's failures.
std::string cannotBeInitializedMessage(const std::string& what);
std::string cannotBeMadeMessage(const std::string& what);
std::string displayModeMessage(int width, int height, int bitCount);
inline constexpr const char* kBitCountMessage = "It should be either of 8 or 16 or 24 or 32";
inline constexpr const char* kDirectX7Message = "Necessary since DirectX 7";
inline constexpr const char* kFormNotFoundMessage = "Form not found";

// One tick's presentation: copies the planes into the image and, when the area
// is ready, clears its surface, loads the image and shows it stretched.
void PresentFrame(DrawingArea& area, FrameImage& image, const ColorPlanes& planes);

// The full-screen form's screen: its size and the desktop's bits per pixel.
struct ScreenGeometry {
  int width = 0;
  int height = 0;
  int bitCount = 0;
};

// The full-screen set-up sequence: shut down, full-screen stretching options,
// the screen's size for display and surface, the desktop's bit count (which
// throws for an unusable depth), `centreForm`, then SetUp.
template <class CentreForm>
void SetUpFullScreenSurface(DrawingArea& area, const ScreenGeometry& screen,
                            CentreForm centreForm) {
  area.ShutDown();
  area.Options |= doFullScreen;
  area.Options |= doStretch;
  area.Display.width = screen.width;
  area.Display.height = screen.height;
  area.SurfaceWidth = screen.width;
  area.SurfaceHeight = screen.height;
  area.setBitCount(screen.bitCount);
  centreForm();
  area.SetUp();
}

}  // namespace glimmerweave
