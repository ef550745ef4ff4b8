// The printed parameter report: the whole parameter set, two circuits side by
// side on one page, then the operator's remarks on further pages. It is laid out
// on a grid of text lines of the report font, never in physical units, so the
// printer and the page preview differ only in resolution. The drawing surface is
// abstract; the windows supply one over the printer or the preview image.
// UI thread only: the online title reads the device's serial number.
#pragma once

#include <string>

namespace services {

// What the report draws on. Coordinates in the surface's pixels; a text is placed
// by its top left corner.
class TReportCanvas {
 public:
  virtual ~TReportCanvas() = default;
  virtual int PageWidth() const = 0;
  virtual int PageHeight() const = 0;
  // The report font ("Courier New", 10 points) bold or plain from now on.
  virtual void SetBold(bool bold) = 0;
  virtual int TextWidth(const std::string& text) = 0;
  virtual int TextHeight(const std::string& text) = 0;
  virtual void TextOut(int x, int y, const std::string& text) = 0;
  virtual void Line(int x1, int y1, int x2, int y2) = 0;
  // Ends the page; what follows goes on a new one.
  virtual void NewPage() = 0;
};

struct TReportOptions {
  // Printing: the remarks memo on pages after the first. The preview shows page 1.
  bool remarks = true;
  // Today in the short date format of the system, at the right of the title line.
  std::string date;
};

// Draws the report under the hourglass with the progress bar counting its nine
// stages (window messages run after each). Online, the title carries the serial
// number read from the device now. Medium is switched for each circuit's medium,
// pulse and supply sections and put back afterwards, however the drawing ends.
// Returns the number of pages drawn.
int DrawParameterReport(TReportCanvas& canvas, const TReportOptions& options);

}  // namespace services
