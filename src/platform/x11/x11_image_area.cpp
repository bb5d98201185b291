#include "platform/x11/x11_image_area.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdint>
#include <cstdlib>

namespace glimmerweave::x11 {

namespace {

// Asked first by name, since Xlib complains on stderr when an extension's own
// functions find it missing.
bool serverHas(::Display* display, const char* name) {
  int opcode = 0;
  int event = 0;
  int error = 0;
  return XQueryExtension(display, name, &opcode, &event, &error) == True;
}

// A ratio as RENDER's 16.16 fixed-point numbers, rounded to the nearest.
XFixed fixedRatio(int numerator, int denominator) {
  return static_cast<XFixed>((std::int64_t{numerator} * 65536 + denominator / 2) / denominator);
}

}  // namespace

// ---------------------------------------------------------------------------
// Set-up

ImageArea::ImageArea(const AreaWindow& window, ErrorTrap& trap, const AreaChoices& choices)
    : window_(window), trap_(trap), choices_(choices) {
  ::Display* display = window_.display;
  int major = 0;
  int minor = 0;
  Bool pixmaps = False;
  if (choices_.sharedMemory && serverHas(display, "MIT-SHM") &&
      XShmQueryVersion(display, &major, &minor, &pixmaps) == True) {
    completionType_ = XShmGetEventBase(display) + ShmCompletion;
  } else {
    choices_.sharedMemory = false;
  }
  // RENDER 0.10: transforms and filters, and pictures that repeat their edge
  // pixels (RepeatPad), which bilinear filtering reads beyond the frame's edges.
  int event = 0;
  int error = 0;
  if (serverHas(display, "RENDER") && XRenderQueryExtension(display, &event, &error) == True &&
      XRenderQueryVersion(display, &major, &minor) != 0 && (major > 0 || minor >= 10)) {
    pictureFormat_ = XRenderFindVisualFormat(display, window_.visual);
    if (pictureFormat_)
      windowPicture_ = XRenderCreatePicture(display, window_.window, pictureFormat_, 0, nullptr);
  }
  XGCValues values{};
  values.graphics_exposures = False;
  gc_ = XCreateGC(display, window_.window, GCGraphicsExposures, &values);
  Options = doStretch;
}

ImageArea::~ImageArea() {
  destroyImage();
  if (windowPicture_) XRenderFreePicture(window_.display, windowPicture_);
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
  const int width = imageWidth();
  const int height = imageHeight();
  if (width <= 0 || height <= 0) return false;
  if (!(choices_.sharedMemory && makeSharedImage())) {
    image_ = XCreateImage(window_.display, window_.visual, static_cast<unsigned>(window_.depth),
                          ZPixmap, 0, nullptr, static_cast<unsigned>(width),
                          static_cast<unsigned>(height), 32, 0);
    if (!image_) return false;
    // XDestroyImage releases the pixels with free().
    image_->data = static_cast<char*>(
        std::malloc(std::size_t(image_->bytes_per_line) * std::size_t(image_->height)));
    if (!image_->data || image_->bits_per_pixel % 8 != 0) {
      XDestroyImage(image_);
      image_ = nullptr;
      return false;
    }
  }
  if (serverStretches()) {
    pixmap_ = XCreatePixmap(window_.display, window_.window, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), static_cast<unsigned>(window_.depth));
    XRenderPictureAttributes attributes{};
    attributes.repeat = RepeatPad;
    framePicture_ =
        XRenderCreatePicture(window_.display, pixmap_, pictureFormat_, CPRepeat, &attributes);
    XRenderSetPictureFilter(
        window_.display, framePicture_,
        choices_.filter == StretchFilter::Smooth ? FilterBilinear : FilterNearest, nullptr, 0);
  }
  return true;
}

bool ImageArea::makeSharedImage() {
  image_ = XShmCreateImage(window_.display, window_.visual, static_cast<unsigned>(window_.depth),
                           ZPixmap, nullptr, &segment_, static_cast<unsigned>(imageWidth()),
                           static_cast<unsigned>(imageHeight()));
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
  // Marked for removal at once, the segment disappears when the last process
  // that attached it detaches, however and whenever the program ends, even
  // killed while it waits for the server below. Linux still lets the server
  // attach a marked segment by its id while we hold it attached.
  shmctl(segment_.shmid, IPC_RMID, nullptr);
  if (reinterpret_cast<std::intptr_t>(address) == -1) return failed();  // shmat's (void*)-1
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
  if (!attached) {
    shmdt(address);
    image_->data = nullptr;
    // A server that refused once refuses again: plain X images from now on.
    choices_.sharedMemory = false;
    return failed();
  }
  return true;
}

void ImageArea::destroyImage() {
  if (framePicture_) XRenderFreePicture(window_.display, framePicture_);
  if (pixmap_) XFreePixmap(window_.display, pixmap_);
  framePicture_ = 0;
  pixmap_ = 0;
  transformWidth_ = transformHeight_ = 0;
  uploaded_ = false;
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
  if (!image_ || image_->width != imageWidth() || image_->height != imageHeight()) {
    try {
      SetUp();
    } catch (const DrawingAreaError&) {
      return false;
    }
  }
  return true;
}

void ImageArea::ClearSurface(std::uint32_t /*colour*/) {
  // LoadImage fills every pixel of the X image, so there is nothing left to
  // clear (and clearing first would only cost time).
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
  // With RENDER the X image has the frame's size and only the pixel format
  // changes here; the server smooths.
  const StretchFilter filter = serverStretches() ? StretchFilter::Nearest : choices_.filter;
  if (choices_.pool)
    stretchImage(image, target, filter, *choices_.pool);
  else
    stretchImage(image, target, filter);
  loaded_ = true;
}

void ImageArea::ShowSurface() {
  if (!image_ || !loaded_) return;
  const auto width = static_cast<unsigned>(image_->width);
  const auto height = static_cast<unsigned>(image_->height);
  const Drawable target = serverStretches() ? pixmap_ : window_.window;
  if (segment_.shmaddr) {
    XShmPutImage(window_.display, target, gc_, image_, 0, 0, 0, 0, width, height, True);
    putPending_ = true;
  } else {
    XPutImage(window_.display, target, gc_, image_, 0, 0, 0, 0, width, height);
  }
  if (serverStretches()) {
    uploaded_ = true;
    stretchOnServer();
  }
  ++shows_;
  XFlush(window_.display);
}

void ImageArea::stretchOnServer() {
  const int width = wantedWidth_;
  const int height = wantedHeight_;
  if (width <= 0 || height <= 0) return;
  if (width == choices_.frameWidth && height == choices_.frameHeight) {
    // The frame's own size: its pixels exactly as they are.
    XCopyArea(window_.display, pixmap_, window_.window, gc_, 0, 0, static_cast<unsigned>(width),
              static_cast<unsigned>(height), 0, 0);
    return;
  }
  if (width != transformWidth_ || height != transformHeight_) {
    // From a window pixel to the frame pixel under it: the frame's size over
    // the window's, in both directions.
    XTransform transform{};
    transform.matrix[0][0] = fixedRatio(choices_.frameWidth, width);
    transform.matrix[1][1] = fixedRatio(choices_.frameHeight, height);
    transform.matrix[2][2] = XDoubleToFixed(1);
    XRenderSetPictureTransform(window_.display, framePicture_, &transform);
    transformWidth_ = width;
    transformHeight_ = height;
  }
  XRenderComposite(window_.display, PictOpSrc, framePicture_, kNone, windowPicture_, 0, 0, 0, 0, 0,
                   0, static_cast<unsigned>(width), static_cast<unsigned>(height));
}

void ImageArea::showAgain() {
  if (serverStretches()) {
    // The pixmap keeps the last frame on the server; it only needs stretching again.
    if (uploaded_) {
      stretchOnServer();
      XFlush(window_.display);
    }
    return;
  }
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
