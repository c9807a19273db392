// The quota dialog's pixel figures at a display scale. Each is a figure of
// the dialog at 96 DPI (100 %) scaled by the dialog's DPI, rounded as
// Windows' MulDiv rounds; at 96 DPI they are the figures themselves.
//
// The template's own controls scale by the dialog font's units, which grow
// a little slower than the DPI (the font's pixel height is rounded: 8 points
// are 11 pixels at 96 DPI but 21, not 22, at 192). So the two figures that
// meet the template's controls are held back where they would reach into
// them: the status layout's group box ends at least the gap above the
// buttons, and above 96 DPI the code box and what lies below it move down to
// clear the picture.
#pragma once

namespace orvix {

// The security-code picture at 96 DPI, whatever the size of the portal's
// image.
inline constexpr int kCaptchaWidth = 242;
inline constexpr int kCaptchaHeight = 80;

// The DPI the figures are written for.
inline constexpr int kBaseDpi = 96;

struct DialogMetrics {
  int statusExtra;     // the status layout's group box is this much taller
  int statusGap;       // ... but ends at least this far above the buttons
  int pictureWidth;    // the security-code picture
  int pictureHeight;
  int codeFontPixels;  // character height of the code box's 14-point font
};

// value * dpi / 96, rounded to the nearest, halves away from zero.
int ScaleForDpi(int value, int dpi);

// The figures at a DPI; a DPI of 0 or less counts as 96.
DialogMetrics MetricsForDpi(int dpi);

// Height of the group box in the status layout: its saved height and
// statusExtra, but ending no closer than statusGap above the buttons' top
// (positions in the dialog's client area).
int StatusGroupHeight(const DialogMetrics& m, int savedHeight, int groupTop, int buttonsTop);

// How far the code box, "Giriş", the links and the buttons move down (and
// the group box and the dialog grow) so that the picture, ending at
// pictureBottom, ends above the code box and "Giriş" (the higher top of the
// two). 0 at 96 DPI and below, where the
// template's layout stays as it was drawn.
int RoomForPicture(int dpi, int pictureBottom, int codeBoxTop);

}  // namespace orvix
