#pragma once
// The game's window as the X server shows it, for the benchmarks that watch it from
// outside. Include last: Xlib's macros (None, KeyPress, ...) would clash with the game's
// names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace xreadback {

inline int IgnoreError(Display*, XErrorEvent*) { return 0; }

// A connection to $DISPLAY whose errors (a window gone between two calls) are ignored.
inline Display* Open() {
  Display* display = XOpenDisplay(nullptr);
  if (display) XSetErrorHandler(IgnoreError);
  return display;
}

// The mapped top-level window with this name; 0 when there is none yet.
inline Window FindWindow(Display* display, const char* name) {
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  Window found = 0;
  if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) return 0;
  for (unsigned i = 0; i < count && !found; ++i) {
    char* title = nullptr;
    if (XFetchName(display, children[i], &title) && title) {
      XWindowAttributes attributes{};
      if (std::strcmp(title, name) == 0 && XGetWindowAttributes(display, children[i], &attributes) &&
          attributes.map_state == IsViewable)
        found = children[i];
      XFree(title);
    }
  }
  if (children) XFree(children);
  return found;
}

// The window's width x height pixels from (0, top) as 0xRRGGBB; false when they cannot
// be read (or the display is not a 24-bit true-colour one, as tools/bench-window.sh starts).
inline bool Read(Display* display, Window window, int width, int height, std::vector<uint32_t>& rgb, int top = 0) {
  XImage* image = XGetImage(display, window, 0, top, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
  if (!image) return false;
  const bool direct = image->bits_per_pixel == 32 && image->red_mask == 0xFF0000 &&
                      image->green_mask == 0xFF00 && image->blue_mask == 0xFF;
  if (direct) {
    rgb.resize(size_t(width) * height);
    for (int y = 0; y < height; ++y) {
      const auto* row = reinterpret_cast<const uint32_t*>(image->data + size_t(y) * image->bytes_per_line);
      for (int x = 0; x < width; ++x) rgb[size_t(y) * width + x] = row[x] & 0xFFFFFF;
    }
  }
  XDestroyImage(image);
  return direct;
}

}  // namespace xreadback
