// The scale at which a window's design is drawn on a given display.
#include "ui/FormScale.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace cvi {
namespace {

constexpr std::int64_t kTwipsPerInch = 1440;
constexpr std::int64_t kPointsPerInch = 72;
constexpr std::int64_t kWhole = 1000;

// value * numerator / denominator, rounded half away from zero, as the system's MulDiv does, so
// that the design's own scale gives exactly the pixels it always gave.
int Scaled(std::int64_t value, std::int64_t numerator, std::int64_t denominator) {
  const std::int64_t product = value * numerator;
  const std::int64_t magnitude =
      ((product < 0 ? -product : product) + denominator / 2) / denominator;
  return static_cast<int>(product < 0 ? -magnitude : magnitude);
}

// The largest scale in thousandths at which `twips` take at most `pixels`.
std::int64_t LargestFitting(int pixels, int twips, int dpi) {
  if (twips <= 0)
    return kWhole;
  return std::max<std::int64_t>(0, pixels) * kTwipsPerInch * kWhole / (std::int64_t{twips} * dpi);
}

}  // namespace

int FormScale::ToPixels(double twips) const {
  return Scaled(std::llround(twips), std::int64_t{dpi} * permille, kTwipsPerInch * kWhole);
}

int FormScale::FontPixels(double points) const {
  return Scaled(std::llround(points * 100), std::int64_t{dpi} * permille,
                kPointsPerInch * 100 * kWhole);
}

FormScale FitScale(int dpi,
                   int width,
                   int height,
                   int frameWidth,
                   int frameHeight,
                   int workWidth,
                   int workHeight) {
  FormScale scale{dpi > 0 ? dpi : 96, static_cast<int>(kWhole)};
  const int roomX = workWidth - frameWidth;
  const int roomY = workHeight - frameHeight;
  if (scale.ToPixels(width) <= roomX && scale.ToPixels(height) <= roomY)
    return scale;
  const std::int64_t fitting =
      std::min(LargestFitting(roomX, width, scale.dpi), LargestFitting(roomY, height, scale.dpi));
  scale.permille = static_cast<int>(std::clamp<std::int64_t>(fitting, kSmallestPermille, kWhole));
  return scale;
}

}  // namespace cvi
