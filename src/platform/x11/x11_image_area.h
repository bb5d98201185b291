// The drawing area on X. Where the server has the RENDER extension, the frame
// goes to the server at its own size (at most 800 x 600) into a pixmap, and
// the server stretches it over the window: a picture of the pixmap with a
// scaling transform and the nearest or bilinear filter, composited onto the
// window's picture; a window of the frame's size gets the pixmap copied as it
// is. Without RENDER, loading a frame stretches it over an X image of the
// window's size on the frame pool's threads, and showing puts that image on
// the window. Either image lives in shared memory (MIT-SHM) when the server
// can attach it, else it is sent with each frame; with shared memory the area
// makes sure that the server has finished reading the last frame before a
// tick writes the next one into the image. Pixels are converted through the
// visual's masks.
#pragma once

#include "platform/x11/x11_errors.h"
#include "platform/x11/x11_xlib.h"
#include "presentation/drawing_area.h"
#include "presentation/stretch.h"

namespace glimmerweave {
class FramePool;
}

namespace glimmerweave::x11 {

// The window an area draws into and how its pixels are made.
struct AreaWindow {
  ::Display* display = nullptr;
  Window window = 0;
  Visual* visual = nullptr;
  int depth = 0;
  PixelFormat format;
};

// How an area draws.
struct AreaChoices {
  bool sharedMemory = true;  // false: never MIT-SHM
  StretchFilter filter = StretchFilter::Nearest;
  int frameWidth = 0;  // the frame images it will be given
  int frameHeight = 0;
  FramePool* pool = nullptr;  // the threads that stretch without RENDER
};

class ImageArea : public DrawingArea {
 public:
  // `trap` collects the display's errors.
  ImageArea(const AreaWindow& window, ErrorTrap& trap, const AreaChoices& choices);
  ~ImageArea() override;
  ImageArea(const ImageArea&) = delete;
  ImageArea& operator=(const ImageArea&) = delete;

  // The window's size changed; the area follows at the next IsReady.
  void resize(int width, int height);
  // The server's events: takes the completion of a shared-memory put; true when
  // the event was that.
  bool takeEvent(const XEvent& event);
  // Shows the last frame again (after an exposure) when it still fits the
  // window and its image is not in use.
  void showAgain();
  // Whether the X image lives in shared memory.
  bool usesSharedMemory() const { return segment_.shmaddr != nullptr; }
  // Whether the server stretches the frame (RENDER).
  bool serverStretches() const { return windowPicture_ != 0; }
  // How many frames have been shown.
  unsigned long shows() const { return shows_; }

  void ShutDown() override;
  void SetUp() override;
  bool IsReady() override;
  void ClearSurface(std::uint32_t colour) override;
  void LoadImage(const FrameImage& image) override;
  void ShowSurface() override;

 private:
  // The X image's size: the frame's with RENDER, else the window's.
  int imageWidth() const { return serverStretches() ? choices_.frameWidth : wantedWidth_; }
  int imageHeight() const { return serverStretches() ? choices_.frameHeight : wantedHeight_; }
  // Makes the X image (and with RENDER the pixmap and its picture): in shared
  // memory when allowed and the server attaches the segment; false when no
  // image could be made.
  bool makeImage();
  bool makeSharedImage();
  void destroyImage();
  // Puts the pixmap's frame on the window, stretched to the window's size.
  void stretchOnServer();

  AreaWindow window_;
  ErrorTrap& trap_;
  AreaChoices choices_;
  int completionType_ = -1;  // the ShmCompletion event's type; -1 without MIT-SHM
  GC gc_ = nullptr;
  int wantedWidth_ = 0;
  int wantedHeight_ = 0;
  XImage* image_ = nullptr;
  XShmSegmentInfo segment_{};
  bool putPending_ = false;  // a shared-memory put whose completion has not come in
  bool loaded_ = false;      // the X image holds a frame
  bool uploaded_ = false;    // with RENDER: the pixmap holds a frame
  unsigned long shows_ = 0;

  // RENDER: the window's picture (0 without RENDER), the frame's pixmap and its
  // picture, and the window size the picture's transform scales to.
  XRenderPictFormat* pictureFormat_ = nullptr;
  Picture windowPicture_ = 0;
  Pixmap pixmap_ = 0;
  Picture framePicture_ = 0;
  int transformWidth_ = 0;
  int transformHeight_ = 0;
};

}  // namespace glimmerweave::x11
