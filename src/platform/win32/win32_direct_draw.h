// The drawing area on DirectDraw: "DDraw.dll" is loaded at run time and the
// version-7 interface is created through DirectDrawCreateEx. Full-screen (with
// doFullScreen) it holds the display exclusively at the requested mode;
// windowed it shares the display and clips to its window.
//
// The header keeps Windows types out: windows cross as std::uintptr_t.
#pragma once

// A file that includes <windows.h> first would see the operation LoadImage
// renamed to LoadImageA by its macro.
#ifdef LoadImage
#undef LoadImage
#endif

#include <cstdint>
#include <functional>
#include <memory>

#include "presentation/drawing_area.h"

namespace glimmerweave::win32 {

// Where the area lies within its form's client area, in pixels.
struct AreaPlacement {
  int left = 0;
  int top = 0;
  int width = 0;  // with autoSize: ignored, the whole client area
  int height = 0;
  bool autoSize = false;  // the area fills the client area and the surface follows its size
};

class DirectDrawArea : public DrawingArea {
 public:
  // `form`: the window of the form the area is placed on (0: none, and SetUp
  // fails with "Form not found").
  DirectDrawArea(std::uintptr_t form, AreaPlacement placement);
  ~DirectDrawArea() override;

  void ShutDown() override;
  void SetUp() override;
  bool IsReady() override;
  void ClearSurface(std::uint32_t colour) override;
  void LoadImage(const FrameImage& image) override;
  void ShowSurface() override;

  // The system asked the area's window to repaint: shows the last loaded frame
  // again at once, without waiting for the vertical blank.
  void Repaint();

  // The form's window is being destroyed: shuts down.
  void FormDestroyed();

  // Moves the area within its form (the form was laid out again for another DPI);
  // the next frame is shown there.
  void setPlacement(AreaPlacement placement);

  // How the area sets DirectDraw's cooperative level: called with the DirectDraw
  // object (an IDirectDraw7*), the window (an HWND) and the DDSCL_ flags, it
  // returns the HRESULT. By default the object's own SetCooperativeLevel; tests
  // put a recorder in between.
  using CooperativeLevelCall =
      std::function<long(void* directDraw, std::uintptr_t window, std::uint32_t flags)>;
  void setCooperativeLevelCall(CooperativeLevelCall call);

  struct State;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace glimmerweave::win32
