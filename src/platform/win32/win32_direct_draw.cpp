// The drawing area on DirectDraw 7. SetUp opens the display (exclusively at a
// chosen mode for a full-screen area, shared for a windowed one), makes the
// visible surface clipped to the form's window and an off-screen drawing
// surface; each frame is loaded into a fresh drawing surface through GDI and
// blitted, stretched, onto the visible surface over the area's rectangle.
//
// Not here: the forms and their windows, the frame timer, and showing the
// failures to the user (the failures leave as DrawingAreaError).
#include "platform/win32/win32_direct_draw.h"

#include "platform/win32/win32_frame_image.h"

#include <windows.h>
// <windows.h> renames LoadImage to LoadImageA, which would rename the area's
// operation here.
#undef LoadImage

// The interface identifiers of DirectDraw are defined in this file, so the
// program needs no GUID library.
#include <initguid.h>

#include <ddraw.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace glimmerweave::win32 {

// ---------------------------------------------------------------------------
// State

struct DirectDrawArea::State {
  HWND form = nullptr;
  AreaPlacement placement;
  DirectDrawArea::CooperativeLevelCall setCooperativeLevel;

  HMODULE library = nullptr;
  IDirectDraw7* directDraw = nullptr;
  IDirectDrawSurface7* primary = nullptr;  // the visible surface
  IDirectDrawClipper* clipper = nullptr;
  IDirectDrawSurface7* surface = nullptr;  // the drawing surface

  bool setUp = false;      // the last SetUp succeeded and no ShutDown came since
  bool changing = false;   // a SetUp or ShutDown is in progress
  bool exclusive = false;  // the display is held exclusively (its mode may be changed)
  // Video memory refused a drawing surface once; later ones go to system memory.
  bool systemMemoryOnly = false;
};

namespace {

using State = DirectDrawArea::State;

const char* const kDirectDraw = "DirectDraw";
const char* const kPrimarySurface = "Primary Surface";
const char* const kSurface = "Surface";

using DirectDrawCreateExFunction = HRESULT(WINAPI*)(GUID*, void**, REFIID, IUnknown*);
using DirectDrawCreateFunction = HRESULT(WINAPI*)(GUID*, IDirectDraw**, IUnknown*);

// Releases a COM interface, if any, and forgets it.
template <class Interface>
void release(Interface*& object) {
  if (object != nullptr) object->Release();
  object = nullptr;
}

// Looks up an export of the loaded library as a function of the given type.
template <class Function>
Function libraryFunction(HMODULE library, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// ---------------------------------------------------------------------------
// The display

// Creates the DirectDraw object with the version-7 interface.
void openDirectDraw(State& state, bool directX7Mode) {
  state.library = LoadLibraryA("DDraw.dll");
  if (state.library == nullptr) throw DrawingAreaError(cannotBeInitializedMessage(kDirectDraw));

  void* object = nullptr;
  if (directX7Mode) {
    const auto create =
        libraryFunction<DirectDrawCreateExFunction>(state.library, "DirectDrawCreateEx");
    if (create == nullptr) throw DrawingAreaError(kDirectX7Message);
    const HRESULT result = create(nullptr, &object, IID_IDirectDraw7, nullptr);
    if (result == E_NOINTERFACE || result == DDERR_INVALIDDIRECTDRAWGUID)
      throw DrawingAreaError(kDirectX7Message);
    if (FAILED(result) || object == nullptr)
      throw DrawingAreaError(cannotBeInitializedMessage(kDirectDraw));
  } else {
    // The older entry point; the area still works through the version-7
    // interface, which the object must offer.
    const auto create =
        libraryFunction<DirectDrawCreateFunction>(state.library, "DirectDrawCreate");
    IDirectDraw* first = nullptr;
    if (create == nullptr || FAILED(create(nullptr, &first, nullptr)) || first == nullptr)
      throw DrawingAreaError(cannotBeInitializedMessage(kDirectDraw));
    const HRESULT result = first->QueryInterface(IID_IDirectDraw7, &object);
    first->Release();
    if (FAILED(result) || object == nullptr)
      throw DrawingAreaError(cannotBeInitializedMessage(kDirectDraw));
  }
  state.directDraw = static_cast<IDirectDraw7*>(object);
}

struct DisplayMode {
  int width = 0;
  int height = 0;
  int bitCount = 0;
};

// Collects the display modes the driver offers.
HRESULT WINAPI collectMode(LPDDSURFACEDESC2 description, LPVOID context) {
  auto& modes = *static_cast<std::vector<DisplayMode>*>(context);
  modes.push_back({static_cast<int>(description->dwWidth), static_cast<int>(description->dwHeight),
                   static_cast<int>(description->ddpfPixelFormat.dwRGBBitCount)});
  return DDENUMRET_OK;
}

bool setMode(IDirectDraw7& directDraw, int width, int height, int bitCount) {
  return SUCCEEDED(directDraw.SetDisplayMode(static_cast<DWORD>(width), static_cast<DWORD>(height),
                                             static_cast<DWORD>(bitCount), 0, 0));
}

// Sets the first of the offered modes that `fits`, the smallest first.
template <class Fits>
bool setFittingMode(IDirectDraw7& directDraw, std::vector<DisplayMode> modes, Fits fits) {
  std::erase_if(modes, [&](const DisplayMode& mode) { return !fits(mode); });
  std::stable_sort(modes.begin(), modes.end(), [](const DisplayMode& a, const DisplayMode& b) {
    return static_cast<long long>(a.width) * a.height < static_cast<long long>(b.width) * b.height;
  });
  return std::any_of(modes.begin(), modes.end(), [&](const DisplayMode& mode) {
    return setMode(directDraw, mode.width, mode.height, mode.bitCount);
  });
}

// Sets the requested display mode or, when the display refuses it, a larger
// one that keeps the aspect ratio (with FixedRatio), then any larger one of
// the requested depth.
void chooseDisplayMode(IDirectDraw7& directDraw, const DisplayRequest& request) {
  const int w = request.width;
  const int h = request.height;
  const int b = request.bitCount;
  const bool usable = w > 0 && h > 0 && (b == 8 || b == 16 || b == 24 || b == 32);
  if (usable && setMode(directDraw, w, h, b)) return;
  if (usable) {
    std::vector<DisplayMode> modes;
    directDraw.EnumDisplayModes(0, nullptr, &modes, collectMode);
    const auto atLeast = [&](const DisplayMode& mode) {
      return mode.width >= w && mode.height >= h;
    };
    if (request.fixedRatio && setFittingMode(directDraw, modes, [&](const DisplayMode& mode) {
          return atLeast(mode) &&
                 static_cast<long long>(mode.width) * h ==
                     static_cast<long long>(mode.height) * w &&
                 (!request.fixedBitCount || mode.bitCount == b);
        }))
      return;
    if (setFittingMode(directDraw, modes, [&](const DisplayMode& mode) {
          return atLeast(mode) && mode.bitCount == b;
        }))
      return;
  }
  throw DrawingAreaError(displayModeMessage(w, h, b));
}

// ---------------------------------------------------------------------------
// Surfaces

// Creates an off-screen surface of the given size in video memory or, once
// that has failed, in system memory.
IDirectDrawSurface7* createDrawingSurface(State& state, int width, int height) {
  DDSURFACEDESC2 description{};
  description.dwSize = sizeof description;
  description.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  description.dwWidth = static_cast<DWORD>(std::max(width, 0));
  description.dwHeight = static_cast<DWORD>(std::max(height, 0));
  IDirectDrawSurface7* surface = nullptr;
  if (!state.systemMemoryOnly) {
    description.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    if (SUCCEEDED(state.directDraw->CreateSurface(&description, &surface, nullptr)) &&
        surface != nullptr)
      return surface;
    surface = nullptr;
    state.systemMemoryOnly = true;
  }
  description.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
  if (SUCCEEDED(state.directDraw->CreateSurface(&description, &surface, nullptr)) &&
      surface != nullptr)
    return surface;
  throw DrawingAreaError(cannotBeMadeMessage(kSurface));
}

// Makes the visible surface and binds it through a clipper to the form's
// window, so that nothing is drawn over other windows.
void createPrimarySurface(State& state) {
  DDSURFACEDESC2 description{};
  description.dwSize = sizeof description;
  description.dwFlags = DDSD_CAPS;
  description.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  if (FAILED(state.directDraw->CreateSurface(&description, &state.primary, nullptr)) ||
      state.primary == nullptr ||
      FAILED(state.directDraw->CreateClipper(0, &state.clipper, nullptr)) ||
      state.clipper == nullptr || FAILED(state.clipper->SetHWnd(0, state.form)) ||
      FAILED(state.primary->SetClipper(state.clipper)))
    throw DrawingAreaError(cannotBeMadeMessage(kPrimarySurface));
}

// Fills a whole surface with a colour value.
void fill(IDirectDrawSurface7& surface, std::uint32_t colour) {
  DDBLTFX effects{};
  effects.dwSize = sizeof effects;
  effects.dwFillColor = colour;
  surface.Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &effects);
}

bool isLost(IDirectDrawSurface7& surface) {
  return surface.IsLost() == DDERR_SURFACELOST;
}

// The area's rectangle within the form's client area.
RECT areaRectangle(const State& state) {
  RECT area{};
  if (state.placement.autoSize) {
    GetClientRect(state.form, &area);
  } else {
    area.left = state.placement.left;
    area.top = state.placement.top;
    area.right = state.placement.left + state.placement.width;
    area.bottom = state.placement.top + state.placement.height;
  }
  return area;
}

// Where the drawing surface goes on the screen: stretched over the whole area,
// or at its own size in the area's top-left corner or centre.
RECT destination(const State& state, std::uint32_t options) {
  RECT area = areaRectangle(state);
  if ((options & doStretch) == 0) {
    DDSURFACEDESC2 description{};
    description.dwSize = sizeof description;
    state.surface->GetSurfaceDesc(&description);
    const LONG width = static_cast<LONG>(description.dwWidth);
    const LONG height = static_cast<LONG>(description.dwHeight);
    if ((options & doCenter) != 0) {
      area.left += (area.right - area.left - width) / 2;
      area.top += (area.bottom - area.top - height) / 2;
    }
    area.right = area.left + width;
    area.bottom = area.top + height;
  }
  POINT corner{area.left, area.top};
  ClientToScreen(state.form, &corner);
  return RECT{corner.x, corner.y, corner.x + (area.right - area.left),
              corner.y + (area.bottom - area.top)};
}

// Sets the cooperative level for the area's top-level window. DirectDraw asks
// for the application's top-level window; the area may be a child window (the
// settings dialog's preview), which stays the clipper's window and gives the
// destination rectangle.
HRESULT setCooperativeLevel(State& state, DWORD flags) {
  HWND topLevel = GetAncestor(state.form, GA_ROOT);
  if (topLevel == nullptr) topLevel = state.form;
  if (state.setCooperativeLevel)
    return state.setCooperativeLevel(state.directDraw, reinterpret_cast<std::uintptr_t>(topLevel),
                                     flags);
  return state.directDraw->SetCooperativeLevel(topLevel, flags);
}

// Copies the whole drawing surface onto the screen over the area.
void show(State& state, std::uint32_t options, bool waitForVerticalBlank) {
  RECT target = destination(state, options);
  if (waitForVerticalBlank) state.directDraw->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
  // A lost surface refuses the copy; the next readiness test restores it.
  state.primary->Blt(&target, state.surface, nullptr, DDBLT_WAIT, nullptr);
}

// Ends the set-up, if any: releases the surfaces and the display, giving a
// display held exclusively back in its previous mode.
void shutDown(State& state) {
  if (state.directDraw == nullptr && state.library == nullptr) return;
  state.changing = true;
  state.setUp = false;
  release(state.surface);
  release(state.primary);
  release(state.clipper);
  if (state.directDraw != nullptr && state.exclusive) {
    state.directDraw->RestoreDisplayMode();
    setCooperativeLevel(state, DDSCL_NORMAL);
  }
  state.exclusive = false;
  release(state.directDraw);
  if (state.library != nullptr) FreeLibrary(state.library);
  state.library = nullptr;
  state.changing = false;
}

}  // namespace

// ---------------------------------------------------------------------------
// The area's operations

DirectDrawArea::DirectDrawArea(std::uintptr_t form, AreaPlacement placement)
    : state_(std::make_unique<State>()) {
  state_->form = reinterpret_cast<HWND>(form);
  state_->placement = placement;
}

DirectDrawArea::~DirectDrawArea() {
  shutDown(*state_);
}

void DirectDrawArea::ShutDown() {
  shutDown(*state_);
}

void DirectDrawArea::SetUp() {
  State& state = *state_;
  shutDown(state);
  try {
    if (state.form == nullptr) throw DrawingAreaError(kFormNotFoundMessage);
    state.changing = true;
    state.systemMemoryOnly = false;  // a new display may have video memory to spare
    openDirectDraw(state, (Options & doDirectX7Mode) != 0);

    if ((Options & doFullScreen) != 0) {
      DWORD level = DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN | DDSCL_ALLOWMODEX;
      if ((Options & doAllowReboot) != 0) level |= DDSCL_ALLOWREBOOT;
      if (FAILED(setCooperativeLevel(state, level)))
        throw DrawingAreaError(cannotBeInitializedMessage(kDirectDraw));
      state.exclusive = true;
      chooseDisplayMode(*state.directDraw, Display);
    } else if (FAILED(setCooperativeLevel(state, DDSCL_NORMAL))) {
      throw DrawingAreaError(cannotBeInitializedMessage(kDirectDraw));
    }

    createPrimarySurface(state);
    if (state.placement.autoSize) {
      const RECT area = areaRectangle(state);
      SurfaceWidth = area.right - area.left;
      SurfaceHeight = area.bottom - area.top;
    }
    state.surface = createDrawingSurface(state, SurfaceWidth, SurfaceHeight);
    fill(*state.surface, 0);
    state.changing = false;
    state.setUp = true;
  } catch (...) {
    state.changing = false;
    shutDown(state);
    throw;
  }
}

bool DirectDrawArea::IsReady() {
  State& state = *state_;
  if (!state.setUp || state.changing || state.primary == nullptr || state.surface == nullptr)
    return false;
  if (!isLost(*state.primary) && !isLost(*state.surface)) return true;
  const bool primaryRestored = SUCCEEDED(state.primary->Restore());
  const bool surfaceRestored = SUCCEEDED(state.surface->Restore());
  if (primaryRestored && surfaceRestored) {
    fill(*state.primary, 0);
    fill(*state.surface, 0);
  }
  return !isLost(*state.primary) && !isLost(*state.surface);
}

void DirectDrawArea::ClearSurface(std::uint32_t colour) {
  if (state_->surface != nullptr) fill(*state_->surface, colour);
}

void DirectDrawArea::LoadImage(const FrameImage& image) {
  State& state = *state_;
  // Without a display there is nothing to make a surface with; an empty image
  // has nothing to show and leaves the drawing surface as it is.
  if (state.directDraw == nullptr || image.width() <= 0 || image.height() <= 0) return;

  release(state.surface);
  state.surface = createDrawingSurface(state, image.width(), image.height());

  HDC context = nullptr;
  // A surface lost right after its making stays blank until the next
  // readiness test restores it.
  if (FAILED(state.surface->GetDC(&context))) return;
  drawFrameImage(reinterpret_cast<std::uintptr_t>(context), image);
  state.surface->ReleaseDC(context);
}

void DirectDrawArea::ShowSurface() {
  if (!state_->setUp || state_->changing || !IsReady()) return;
  show(*state_, Options, (Options & doWaitVBlank) != 0);
}

void DirectDrawArea::Repaint() {
  if (!state_->setUp || state_->changing || !IsReady()) return;
  show(*state_, Options, false);
}

void DirectDrawArea::FormDestroyed() {
  shutDown(*state_);
}

void DirectDrawArea::setPlacement(AreaPlacement placement) {
  state_->placement = placement;
}

void DirectDrawArea::setCooperativeLevelCall(CooperativeLevelCall call) {
  state_->setCooperativeLevel = std::move(call);
}

}  // namespace glimmerweave::win32
