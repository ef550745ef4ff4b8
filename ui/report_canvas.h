// The parameter report on paper, in a PDF or in the page preview: a report canvas
// over QPainter, and the two ways of drawing the report through it.
#pragma once

#include <QFont>
#include <QSize>

#include <string>

#include "services/parameter_report.h"

class QPainter;
class QPagedPaintDevice;
class QPixmap;
class QPrinter;

namespace ui {

// Draws on whatever the painter paints (a printer or an image) in the report
// font, "Courier New" 10 points at the device's resolution.
class TQtReportCanvas : public services::TReportCanvas {
 public:
  // pages: the printer for new pages; nullptr for a single image.
  TQtReportCanvas(QPainter& painter, QPagedPaintDevice* pages, QSize page);
  int PageWidth() const override { return page_.width(); }
  int PageHeight() const override { return page_.height(); }
  void SetBold(bool bold) override;
  int TextWidth(const std::string& text) override;
  int TextHeight(const std::string& text) override;
  void TextOut(int x, int y, const std::string& text) override;
  void Line(int x1, int y1, int x2, int y2) override;
  void NewPage() override;

 private:
  QPainter& painter_;
  QPagedPaintDevice* pages_;
  QSize page_;
  QFont font_;
};

// Today in the system's short date format.
std::string ReportDate();

// A printed page as the preview shows it on a screen of screen_dpi: page pixels /
// printer dots per inch x screen dots per inch, halves to even.
QSize PreviewSize(int page_width, int page_height, int dpi_x, int dpi_y, double screen_dpi);

// The report, with its remarks pages, on the printer as the print dialog set it
// up (a device or a PDF file). False when the printer could not be started.
bool PrintReport(QPrinter& printer);

// Page 1 of the report as it prints on the given printer, at the screen's size.
QPixmap PreviewReport(const QPrinter& printer);

}  // namespace ui
