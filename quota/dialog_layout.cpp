#include "quota/dialog_layout.h"

#include <algorithm>
#include <cstdint>

namespace orvix {

namespace {

constexpr int kStatusExtra = 45;
constexpr int kStatusGap = 5;
constexpr int kCodeFontPoints = 14;

// a * b / c rounded to the nearest, halves away from zero (MulDiv's rule).
int MulDivRounded(int a, int b, int c) {
  const std::int64_t product = static_cast<std::int64_t>(a) * b;
  const std::int64_t half = c / 2;
  const std::int64_t q = product >= 0 ? (product + half) / c : (product - half) / c;
  return static_cast<int>(q);
}

}  // namespace

int ScaleForDpi(int value, int dpi) { return MulDivRounded(value, dpi > 0 ? dpi : kBaseDpi, kBaseDpi); }

DialogMetrics MetricsForDpi(int dpi) {
  if (dpi <= 0) dpi = kBaseDpi;
  return {ScaleForDpi(kStatusExtra, dpi), ScaleForDpi(kStatusGap, dpi), ScaleForDpi(kCaptchaWidth, dpi),
          ScaleForDpi(kCaptchaHeight, dpi), MulDivRounded(kCodeFontPoints, dpi, 72)};
}

int StatusGroupHeight(const DialogMetrics& m, int savedHeight, int groupTop, int buttonsTop) {
  const int toButtons = buttonsTop - m.statusGap - groupTop;
  return std::max(savedHeight, std::min(savedHeight + m.statusExtra, toButtons));
}

int RoomForPicture(int dpi, int pictureBottom, int codeBoxTop) {
  if (dpi <= kBaseDpi) return 0;
  return std::max(0, pictureBottom - codeBoxTop);
}

}  // namespace orvix
