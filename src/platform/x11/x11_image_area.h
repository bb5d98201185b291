// The drawing area on X: an X image of the window's size, in shared memory
// (MIT-SHM) when the server can attach it, else sent with each frame. Loading a
// frame image stretches it over the X image, converting through the visual's
// masks; showing puts the X image on the window. The area follows the window's
// size, and with shared memory it makes sure that the server has finished
// reading the last frame before a tick writes the next one into the image.
#pragma once

#include "platform/x11/x11_errors.h"
#include "platform/x11/x11_xlib.h"
#include "presentation/drawing_area.h"
#include "presentation/stretch.h"

namespace glimmerweave::x11 {

// The window an area draws into and how its pixels are made.
struct AreaWindow {
  ::Display* display = nullptr;
  Window window = 0;
  Visual* visual = nullptr;
  int depth = 0;
  PixelFormat format;
};

class ImageArea : public DrawingArea {
 public:
  // `trap` collects the display's errors; `sharedMemory` false: never MIT-SHM.
  ImageArea(const AreaWindow& window, ErrorTrap& trap, bool sharedMemory, StretchFilter filter);
  ~ImageArea() override;
  ImageArea(const ImageArea&) = delete;
  ImageArea& operator=(const ImageArea&) = delete;

  // The window's size changed; the X image follows at the next IsReady.
  void resize(int width, int height);
  // The server's events: takes the completion of a shared-memory put; true when
  // the event was that.
  bool takeEvent(const XEvent& event);
  // Puts the last image on the window again (after an exposure), when it is
  // still of the window's size and not in use.
  void showAgain();
  // Whether the X image lives in shared memory.
  bool usesSharedMemory() const { return segment_.shmaddr != nullptr; }
  // How many times the X image has been put on the window.
  unsigned long shows() const { return shows_; }

  void ShutDown() override;
  void SetUp() override;
  bool IsReady() override;
  void ClearSurface(std::uint32_t colour) override;
  void LoadImage(const FrameImage& image) override;
  void ShowSurface() override;

 private:
  // Makes the X image for the wanted size: in shared memory when allowed and
  // the server attaches the segment; false when no image could be made.
  bool makeImage();
  bool makeSharedImage();
  void destroyImage();

  AreaWindow window_;
  ErrorTrap& trap_;
  bool sharedMemoryAllowed_;
  StretchFilter filter_;
  int completionType_ = -1;  // the ShmCompletion event's type; -1 without MIT-SHM
  GC gc_ = nullptr;
  int wantedWidth_ = 0;
  int wantedHeight_ = 0;
  XImage* image_ = nullptr;
  XShmSegmentInfo segment_{};
  bool putPending_ = false;  // a shared-memory put whose completion has not come in
  bool loaded_ = false;      // the X image holds a stretched frame
  unsigned long shows_ = 0;
};

}  // namespace glimmerweave::x11
