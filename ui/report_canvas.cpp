#include "ui/report_canvas.h"

#include <QDate>
#include <QFontMetrics>
#include <QLocale>
#include <QPageLayout>
#include <QPainter>
#include <QPixmap>
#include <QPrinter>

#include <cmath>

#include "ui/qt_text.h"

namespace ui {

TQtReportCanvas::TQtReportCanvas(QPainter& painter, QPagedPaintDevice* pages, QSize page)
    : painter_(painter), pages_(pages), page_(page), font_("Courier New") {
  font_.setStyleHint(QFont::TypeWriter);
  font_.setPointSize(10);
  painter_.setFont(font_);
  painter_.setPen(Qt::black);
}

void TQtReportCanvas::SetBold(bool bold) {
  font_.setBold(bold);
  painter_.setFont(font_);
}

int TQtReportCanvas::TextWidth(const std::string& text) {
  return painter_.fontMetrics().horizontalAdvance(Q(text));
}

int TQtReportCanvas::TextHeight(const std::string& /*text*/) {
  return painter_.fontMetrics().height();
}

void TQtReportCanvas::TextOut(int x, int y, const std::string& text) {
  painter_.drawText(x, y + painter_.fontMetrics().ascent(), Q(text));
}

void TQtReportCanvas::Line(int x1, int y1, int x2, int y2) {
  painter_.drawLine(x1, y1, x2, y2);
}

void TQtReportCanvas::NewPage() {
  if (pages_ != nullptr) pages_->newPage();
}

std::string ReportDate() {
  const QLocale system = QLocale::system();
  // A system without a locale of its own (the "C" locale) would print the month
  // first; the ISO form reads the same everywhere.
  const QString text = system.language() == QLocale::C
                           ? QDate::currentDate().toString(Qt::ISODate)
                           : system.toString(QDate::currentDate(), QLocale::ShortFormat);
  return text.toStdString();
}

QSize PreviewSize(int page_width, int page_height, int dpi_x, int dpi_y, double screen_dpi) {
  // Multiplied first, so an exact half stays exact; the default rounding mode
  // rounds halves to even.
  const double w = page_width * screen_dpi / dpi_x;
  const double h = page_height * screen_dpi / dpi_y;
  return QSize(static_cast<int>(std::nearbyint(w)), static_cast<int>(std::nearbyint(h)));
}

bool PrintReport(QPrinter& printer) {
  printer.setDocName("Parameterausdruck");
  printer.setPageOrientation(QPageLayout::Portrait);
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  // However the drawing ends, the document is closed.
  struct End {
    QPainter& p;
    ~End() { p.end(); }
  } end{painter};
  TQtReportCanvas canvas(painter, &printer, QSize(printer.width(), printer.height()));
  services::DrawParameterReport(canvas, {true, ReportDate()});
  return true;
}

QPixmap PreviewReport(const QPrinter& printer) {
  const QPixmap probe(1, 1);
  QPixmap pixmap(PreviewSize(printer.width(), printer.height(), printer.logicalDpiX(),
                             printer.logicalDpiY(), probe.logicalDpiX()));
  pixmap.fill(Qt::white);
  QPainter painter(&pixmap);
  TQtReportCanvas canvas(painter, nullptr, pixmap.size());
  services::DrawParameterReport(canvas, {false, ReportDate()});
  return pixmap;
}

}  // namespace ui
