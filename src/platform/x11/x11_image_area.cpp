#include "platform/x11/x11_image_area.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdint>
#include <cstdlib>

namespace glimmerweave::x11 {

// ---------------------------------------------------------------------------
// Set-up

ImageArea::ImageArea(const AreaWindow& window, ErrorTrap& trap, bool sharedMemory,
                     StretchFilter filter)
    : window_(window), trap_(trap), sharedMemoryAllowed_(sharedMemory), filter_(filter) {
  // Asked first by name, since Xlib complains on stderr when an extension's
  // own functions find it missing.
  int opcode = 0;
  int event = 0;
  int error = 0;
  int major = 0;
  int minor = 0;
  Bool pixmaps = False;
  if (sharedMemoryAllowed_ &&
      XQueryExtension(window_.display, "MIT-SHM", &opcode, &event, &error) == True &&
      XShmQueryVersion(window_.display, &major, &minor, &pixmaps) == True) {
    completionType_ = XShmGetEventBase(window_.display) + ShmCompletion;
  } else {
    sharedMemoryAllowed_ = false;
  }
  XGCValues values{};
  values.graphics_exposures = False;
  gc_ = XCreateGC(window_.display, window_.window, GCGraphicsExposures, &values);
  Options = doStretch;
}

ImageArea::~ImageArea() {
  destroyImage();
  XFreeGC(window_.display, gc_);
}

void ImageArea::resize(int width, int height) {
  wantedWidth_ = width;
  wantedHeight_ = height;
}

void ImageArea::ShutDown() {
  destroyImage();
}

void ImageArea::SetUp() {
  ShutDown();
  if (!makeImage()) throw DrawingAreaError(cannotBeMadeMessage("The X image"));
}

bool ImageArea::makeImage() {
  const int width = wantedWidth_;
  const int height = wantedHeight_;
  if (width <= 0 || height <= 0) return false;
  if (sharedMemoryAllowed_ && makeSharedImage()) return true;

  image_ =
      XCreateImage(window_.display, window_.visual, static_cast<unsigned>(window_.depth), ZPixmap,
                   0, nullptr, static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
  if (!image_) return false;
  // XDestroyImage releases the pixels with free().
  image_->data = static_cast<char*>(
      std::malloc(std::size_t(image_->bytes_per_line) * std::size_t(image_->height)));
  if (!image_->data || image_->bits_per_pixel % 8 != 0) {
    XDestroyImage(image_);
    image_ = nullptr;
    return false;
  }
  return true;
}

bool ImageArea::makeSharedImage() {
  image_ = XShmCreateImage(window_.display, window_.visual, static_cast<unsigned>(window_.depth),
                           ZPixmap, nullptr, &segment_, static_cast<unsigned>(wantedWidth_),
                           static_cast<unsigned>(wantedHeight_));
  if (!image_) return false;
  const auto failed = [this] {
    // An MIT-SHM image's own destroy function frees only the structure.
    XDestroyImage(image_);
    image_ = nullptr;
    segment_ = XShmSegmentInfo{};
    return false;
  };
  if (image_->bits_per_pixel % 8 != 0) return failed();
  const std::size_t size = std::size_t(image_->bytes_per_line) * std::size_t(image_->height);
  segment_.shmid = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
  if (segment_.shmid < 0) return failed();
  void* address = shmat(segment_.shmid, nullptr, 0);
  if (reinterpret_cast<std::intptr_t>(address) == -1) {  // shmat's (void*)-1
    shmctl(segment_.shmid, IPC_RMID, nullptr);
    return failed();
  }
  segment_.shmaddr = image_->data = static_cast<char*>(address);
  segment_.readOnly = False;

  // The server attaches the segment when it handles the request, so the sync
  // both waits for that and brings back its refusal (a remote server, or one in
  // another IPC namespace, answers BadAccess).
  const int errorsBefore = trap_.count();
  const unsigned long request = NextRequest(window_.display);
  const bool requested = XShmAttach(window_.display, &segment_) == True;
  XSync(window_.display, False);
  const bool refused = trap_.count() != errorsBefore && trap_.lastSerial() == request;
  const bool attached = requested && !refused;
  // Both sides are attached now (or the server refused): marked for removal,
  // the segment disappears when the last of them detaches, however and
  // whenever the program ends, even killed in the middle of a frame.
  shmctl(segment_.shmid, IPC_RMID, nullptr);
  if (!attached) {
    shmdt(address);
    image_->data = nullptr;
    // A server that refused once refuses again: plain X images from now on.
    sharedMemoryAllowed_ = false;
    return failed();
  }
  return true;
}

void ImageArea::destroyImage() {
  if (!image_) return;
  if (segment_.shmaddr) {
    // The server reads a put in progress before it handles the detach.
    XShmDetach(window_.display, &segment_);
    shmdt(segment_.shmaddr);
    image_->data = nullptr;
  }
  XDestroyImage(image_);
  image_ = nullptr;
  segment_ = XShmSegmentInfo{};
  putPending_ = false;
  loaded_ = false;
}

// ---------------------------------------------------------------------------
// Ticks

bool ImageArea::IsReady() {
  if (putPending_) {
    // Usually the completion is in already, perhaps still on the connection
    // behind events the loop has not read. If not, a round trip makes sure:
    // the server reads the shared image while it handles the put, so once it
    // has answered a later request the image is free (whether or not the put
    // succeeded and a completion will come).
    XEvent completion;
    if (XCheckTypedEvent(window_.display, completionType_, &completion) == True)
      takeEvent(completion);
    if (putPending_) XSync(window_.display, False);
    putPending_ = false;
  }
  if (!image_ || image_->width != wantedWidth_ || image_->height != wantedHeight_) {
    try {
      SetUp();
    } catch (const DrawingAreaError&) {
      return false;
    }
  }
  return true;
}

void ImageArea::ClearSurface(std::uint32_t /*colour*/) {
  // LoadImage stretches the frame over every pixel of the X image, so there is
  // nothing left to clear (and clearing first would only cost time).
}

void ImageArea::LoadImage(const FrameImage& image) {
  if (!image_) return;
  PixelTarget target;
  target.data = reinterpret_cast<std::uint8_t*>(image_->data);
  target.width = image_->width;
  target.height = image_->height;
  target.stride = static_cast<std::size_t>(image_->bytes_per_line);
  target.layout.bytesPerPixel = image_->bits_per_pixel / 8;
  target.layout.mostSignificantFirst = image_->byte_order == MSBFirst;
  target.format = window_.format;
  stretchImage(image, target, filter_);
  loaded_ = true;
}

void ImageArea::ShowSurface() {
  if (!image_ || !loaded_) return;
  const auto width = static_cast<unsigned>(image_->width);
  const auto height = static_cast<unsigned>(image_->height);
  if (segment_.shmaddr) {
    XShmPutImage(window_.display, window_.window, gc_, image_, 0, 0, 0, 0, width, height, True);
    putPending_ = true;
  } else {
    XPutImage(window_.display, window_.window, gc_, image_, 0, 0, 0, 0, width, height);
  }
  ++shows_;
  XFlush(window_.display);
}

void ImageArea::showAgain() {
  if (image_ && loaded_ && !putPending_ && image_->width == wantedWidth_ &&
      image_->height == wantedHeight_)
    ShowSurface();
}

bool ImageArea::takeEvent(const XEvent& event) {
  if (completionType_ < 0 || event.type != completionType_) return false;
  const auto& completion = reinterpret_cast<const XShmCompletionEvent&>(event);
  if (completion.shmseg == segment_.shmseg) putPending_ = false;
  return true;
}

}  // namespace glimmerweave::x11
