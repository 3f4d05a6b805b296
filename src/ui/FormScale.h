// How large a window's design is drawn: the display's resolution, and how far the whole design is
// reduced so that the window fits on its screen.
#pragma once

namespace cvi {

struct FormScale {
  int dpi = 96;
  // Thousandths of the design's size at `dpi`; below 1000 only where the window would not fit.
  int permille = 1000;

  // Pixels for a length in twips; at 1000 exactly what the display's resolution gives.
  int ToPixels(double twips) const;
  // The character height in pixels of a font of `points`.
  int FontPixels(double points) const;
  // Whether every length is the design's own at 96 dpi.
  bool AsDesigned() const { return dpi == 96 && permille == 1000; }
};

// Below this nothing could be read any more; the window then keeps its title bar on the screen.
constexpr int kSmallestPermille = 250;

// The scale of a window whose client area is `width` x `height` twips and whose frame and title bar
// add `frameWidth` x `frameHeight` pixels, on a work area of `workWidth` x `workHeight` pixels:
// the display's own resolution where that fits, else the largest reduction that does.
FormScale FitScale(int dpi,
                   int width,
                   int height,
                   int frameWidth,
                   int frameHeight,
                   int workWidth,
                   int workHeight);

}  // namespace cvi
