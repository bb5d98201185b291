#include "platform/x11/x11_visibility.h"

#include <memory>

namespace glimmerweave::x11 {

namespace {

struct TreeDeleter {
  void operator()(Window* windows) const {
    if (windows) XFree(windows);
  }
};

struct RegionDeleter {
  void operator()(_XRegion* region) const { XDestroyRegion(region); }
};

// The parent of `window` and its children in stacking order, bottom first;
// false when the window is gone.
bool queryTree(::Display* display, Window window, Window& parent,
               std::unique_ptr<Window[], TreeDeleter>& children, unsigned& count) {
  Window root = 0;
  Window* list = nullptr;
  count = 0;
  if (XQueryTree(display, window, &root, &parent, &list, &count) == 0) return false;
  children.reset(list);
  return true;
}

// Adds the mapped, drawn window `child` of `parent` (whose origin is at
// (originX, originY) on the root) to `cover`, border included.
void addIfShown(::Display* display, Window child, int originX, int originY, Region cover) {
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(display, child, &attributes) == 0) return;
  if (attributes.map_state != IsViewable || attributes.c_class != InputOutput) return;
  const int border = attributes.border_width;
  XRectangle rectangle{};
  rectangle.x = static_cast<short>(originX + attributes.x);
  rectangle.y = static_cast<short>(originY + attributes.y);
  rectangle.width = static_cast<unsigned short>(attributes.width + 2 * border);
  rectangle.height = static_cast<unsigned short>(attributes.height + 2 * border);
  XUnionRectWithRegion(&rectangle, cover, cover);
}

// Where the origin of `window` lies on the root window.
void originOnRoot(::Display* display, Window window, int& x, int& y) {
  Window child = 0;
  x = y = 0;
  XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
}

}  // namespace

std::vector<Window> ancestorsOf(::Display* display, Window window) {
  std::vector<Window> ancestors;
  const Window root = DefaultRootWindow(display);
  Window node = window;
  while (node != root) {
    Window parent = 0;
    std::unique_ptr<Window[], TreeDeleter> children;
    unsigned count = 0;
    if (!queryTree(display, node, parent, children, count) || parent == 0 || parent == root) break;
    ancestors.push_back(parent);
    node = parent;
  }
  return ancestors;
}

bool isViewable(::Display* display, Window window) {
  XWindowAttributes attributes{};
  return XGetWindowAttributes(display, window, &attributes) != 0 &&
         attributes.map_state == IsViewable;
}

bool isCoveredWhole(::Display* display, Window window) {
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(display, window, &attributes) == 0) return false;
  const std::unique_ptr<_XRegion, RegionDeleter> cover(XCreateRegion());
  const Window root = DefaultRootWindow(display);
  int x = 0;
  int y = 0;
  if (window == root) {
    Window parent = 0;
    std::unique_ptr<Window[], TreeDeleter> children;
    unsigned count = 0;
    if (!queryTree(display, root, parent, children, count)) return false;
    for (unsigned k = 0; k < count; ++k) addIfShown(display, children[k], 0, 0, cover.get());
  } else {
    originOnRoot(display, window, x, y);
    // At each level, the siblings stacked above the window or its ancestor.
    for (Window node = window; node != root;) {
      Window parent = 0;
      std::unique_ptr<Window[], TreeDeleter> ignored;
      unsigned ignoredCount = 0;
      if (!queryTree(display, node, parent, ignored, ignoredCount) || parent == 0) break;
      Window grandparent = 0;
      std::unique_ptr<Window[], TreeDeleter> siblings;
      unsigned count = 0;
      if (!queryTree(display, parent, grandparent, siblings, count)) break;
      int parentX = 0;
      int parentY = 0;
      originOnRoot(display, parent, parentX, parentY);
      bool above = false;
      for (unsigned k = 0; k < count; ++k) {
        if (above) addIfShown(display, siblings[k], parentX, parentY, cover.get());
        if (siblings[k] == node) above = true;
      }
      node = parent;
    }
  }
  return XRectInRegion(cover.get(), x, y, static_cast<unsigned>(attributes.width),
                       static_cast<unsigned>(attributes.height)) == RectangleIn;
}

}  // namespace glimmerweave::x11
