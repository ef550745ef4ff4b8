#include "ui/chart_window.h"

#include <QAbstractButton>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QGuiApplication>
#include <QLineSeries>
#include <QMenu>
#include <QPainter>
#include <QPrinter>
#include <QScreen>
#include <QShowEvent>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "devicelink/device_data.h"
#include "devicelink/window_scopes.h"
#include "services/app_window.h"
#include "ui/chart_rules.h"
#include "ui/dialog_hooks.h"
#include "ui/qt_text.h"
#include "ui_chart_window.h"

namespace ui {

Tfrm_Grafik* frm_Grafik = nullptr;

namespace {

constexpr int kTimeTicks = 5;
// A record's curve in the colour of its column.
const QColor kCurveColours[4] = {QColor(0, 0, 192), QColor(192, 0, 0), QColor(0, 128, 0),
                                 QColor(128, 0, 128)};

QCategoryAxis* TimeAxis(QChart* chart) {
  return static_cast<QCategoryAxis*>(chart->axes(Qt::Horizontal).value(0));
}
QValueAxis* ValueAxis(QChart* chart) {
  return static_cast<QValueAxis*>(chart->axes(Qt::Vertical).value(0));
}

// Runs a handler; an error ends in a message box instead of crossing the event loop.
template <typename Body>
void Handle(QWidget* parent, Body body) {
  try {
    body();
  } catch (const std::exception& e) {
    ShowMessageBox(parent, e.what(), "vandrel2", services::kMbOk | services::kMbIconError);
  }
}

}  // namespace

Tfrm_Grafik::Tfrm_Grafik(const TTrendSource* source, QWidget* parent)
    : QWidget(parent), form_(std::make_unique<Ui::Tfrm_Grafik>()), source_(source) {
  form_->setupUi(this);
  setWindowFlags(Qt::Window);
  for (int i = 0; i < 4; ++i) {
    const QString n = QString::number(i + 1);
    auto* chart = new QChart;
    chart->legend()->hide();
    QFont title_font = chart->titleFont();
    title_font.setBold(true);
    chart->setTitleFont(title_font);
    auto* time_axis = new QCategoryAxis;
    time_axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    chart->addAxis(time_axis, Qt::AlignBottom);
    chart->addAxis(new QValueAxis, Qt::AlignLeft);
    auto* view = new QChartView(chart);
    view->setObjectName("Chart" + n);
    view->setRenderHint(QPainter::Antialiasing);
    // A span of years with a few days of samples at its ends shows only strokes:
    // dragging across a chart shows the time it covers, a double-click the whole.
    view->setRubberBand(QChartView::HorizontalRubberBand);
    view->viewport()->installEventFilter(this);
    connect(time_axis, &QValueAxis::rangeChanged, this, [this, i] {
      if (!fitting_) FitToTimeRange(i);
    });
    (i < 2 ? form_->Splitter2 : form_->Splitter3)->addWidget(view);
    views_[static_cast<size_t>(i)] = view;

    auto* menu = new QMenu(view);
    menu->setObjectName("PopupMenu" + n);
    QAction* print = menu->addAction("Drucken...");
    print->setObjectName("mnu_Print" + n);
    popup_menus_[static_cast<size_t>(i)] = menu;
    print_items_[static_cast<size_t>(i)] = print;
    connect(print, &QAction::triggered, this, [this, print] { mnu_Print1Click(print); });
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this,
            [view, menu](const QPoint& pos) { menu->popup(view->mapToGlobal(pos)); });
  }
  for (QAbstractButton* b : {static_cast<QAbstractButton*>(form_->SpeedButton1),
                             static_cast<QAbstractButton*>(form_->SpeedButton2),
                             static_cast<QAbstractButton*>(form_->SpeedButton3)}) {
    connect(b, &QAbstractButton::clicked, this, [this, b] { SpeedButton1Click(b); });
  }
  form_->Panel2->installEventFilter(this);
  pressed_ = form_->SpeedButton1;
  ClearCharts();
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  if (frm_Grafik == nullptr) frm_Grafik = this;
}

Tfrm_Grafik::~Tfrm_Grafik() {
  if (frm_Grafik == this) frm_Grafik = nullptr;
}

QChart* Tfrm_Grafik::Chart(int i) const {
  return ChartView(i)->chart();
}

QChartView* Tfrm_Grafik::ChartView(int i) const {
  return views_.at(static_cast<size_t>(i));
}

// Only when the program shows the window: switching between windows keeps the view.
void Tfrm_Grafik::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) ResetCharts();
  QWidget::showEvent(event);
}

bool Tfrm_Grafik::eventFilter(QObject* watched, QEvent* event) {
  if (watched == form_->Panel2 && event->type() == QEvent::Resize) FormResize();
  if (event->type() == QEvent::MouseButtonDblClick) {
    for (QChartView* view : views_) {
      if (view && watched == view->viewport()) FitAxes();
    }
  }
  return QWidget::eventFilter(watched, event);
}

void Tfrm_Grafik::FormResize() {
  const QSize size = form_->Panel2->size();
  const int height = HalfToEven(size.height());
  const int width = HalfToEven(size.width());
  form_->Splitter1->setSizes(
      {height, std::max(0, size.height() - form_->Splitter1->handleWidth() - height)});
  for (QSplitter* s : {form_->Splitter2, form_->Splitter3}) {
    s->setSizes({width, std::max(0, size.width() - s->handleWidth() - width)});
  }
}

void Tfrm_Grafik::ResetCharts() {
  form_->SpeedButton1->setChecked(true);
  pressed_ = form_->SpeedButton1;
  ClearCharts();
}

void Tfrm_Grafik::SpeedButton1Click(QAbstractButton* sender) {
  // The store changes under a running read; the charts wait for its end.
  if (source_ != nullptr && source_->TrendReadRunning()) {
    if (pressed_ != nullptr) pressed_->setChecked(true);
    return;
  }
  pressed_ = sender;
  Handle(this, [&] {
    ClearCharts();
    if (sender == form_->SpeedButton2) {
      ShowCircuit(0);
    } else if (sender == form_->SpeedButton3) {
      ShowCircuit(1);
    }
  });
}

void Tfrm_Grafik::ClearCharts() {
  for (int i = 0; i < 4; ++i) {
    QChart* chart = Chart(i);
    chart->removeAllSeries();
    chart->setTitle(QString());
  }
  FitAxes();
}

void Tfrm_Grafik::ShowCircuit(int circuit) {
  for (int i = 0; i < 4; ++i) {
    Chart(i)->setTitle(source_ != nullptr ? Q(source_->TrendHeading(i + 1)) : QString());
  }
  devicelink::TCursorScope cursor;
  if (devicelink::TrendStore) {
    for (int k = 0; k < devicelink::kTrendRecords; ++k) {
      const devicelink::TTrendRecord& r = devicelink::TrendStore->Records.at(static_cast<size_t>(k));
      if (r.Status == 1 && r.Circuit == circuit) PlotTrendRecord(k);
    }
  }
  FitAxes();
}

void Tfrm_Grafik::PlotTrendRecord(int k) {
  const devicelink::TTrendRecord& r = devicelink::TrendStore->Records.at(static_cast<size_t>(k));
  if (r.Interval == 0 || r.Count == 0) return;
  for (int i = 0; i < 4; ++i) {
    QChart* chart = Chart(i);
    for (const std::vector<TChartPoint>& curve : TrendCurves(r, i)) {
      auto* series = new QLineSeries;
      QList<QPointF> points;
      points.reserve(static_cast<qsizetype>(curve.size()));
      for (const TChartPoint& p : curve) points.append(QPointF(p.x, p.y));
      series->append(points);
      series->setPen(QPen(kCurveColours[i], 1.5));
      chart->addSeries(series);
      series->attachAxis(TimeAxis(chart));
      series->attachAxis(ValueAxis(chart));
    }
  }
}

// Both axes cover every point; an empty chart shows no axes.
void Tfrm_Grafik::FitAxes() {
  for (int i = 0; i < 4; ++i) {
    QChart* chart = Chart(i);
    double min_x = std::numeric_limits<double>::infinity();
    double max_x = -min_x;
    for (QAbstractSeries* s : chart->series()) {
      for (const QPointF& p : static_cast<QLineSeries*>(s)->points()) {
        min_x = std::min(min_x, p.x());
        max_x = std::max(max_x, p.x());
      }
    }
    const bool empty = chart->series().isEmpty();
    QCategoryAxis* x = TimeAxis(chart);
    x->setVisible(!empty);
    ValueAxis(chart)->setVisible(!empty);
    if (empty) {
      for (const QString& label : x->categoriesLabels()) x->remove(label);
      continue;
    }
    if (max_x == min_x) {
      // One sample: a minute either side.
      min_x -= 60000;
      max_x += 60000;
    }
    fitting_ = true;
    x->setRange(min_x, max_x);
    fitting_ = false;
    FitToTimeRange(i);
  }
}

// The time axis labelled for the span it shows, the value axis fitted to the
// points within that span.
void Tfrm_Grafik::FitToTimeRange(int i) {
  QChart* chart = Chart(i);
  QCategoryAxis* x = TimeAxis(chart);
  const double from = x->min();
  const double to = x->max();
  fitting_ = true;
  for (const QString& label : x->categoriesLabels()) x->remove(label);
  x->setStartValue(from);
  for (const TTimeTick& t : TimeAxisTicks(from, to, kTimeTicks)) x->append(Q(t.label), t.x);
  fitting_ = false;
  double min_y = std::numeric_limits<double>::infinity();
  double max_y = -min_y;
  for (QAbstractSeries* s : chart->series()) {
    for (const QPointF& p : static_cast<QLineSeries*>(s)->points()) {
      if (p.x() < from || p.x() > to) continue;
      min_y = std::min(min_y, p.y());
      max_y = std::max(max_y, p.y());
    }
  }
  if (min_y > max_y) return;  // no sample in the span: the values stay as they are
  if (max_y == min_y) {
    const double d = std::max(1.0, std::fabs(max_y) * 0.01);
    min_y -= d;
    max_y += d;
  }
  QValueAxis* y = ValueAxis(chart);
  y->setRange(min_y, max_y);
  y->applyNiceNumbers();
}

void Tfrm_Grafik::mnu_Print1Click(QAction* sender) {
  for (int i = 0; i < 4; ++i) {
    if (sender == print_items_[static_cast<size_t>(i)]) Handle(this, [&] { PrintChart(i); });
  }
}

void Tfrm_Grafik::PrintChart(int i) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName("Grafik");
  printer.setPageOrientation(QPageLayout::Landscape);
  if (!ExecPrintDialog(this, printer, PrintFileName("Grafik" + std::to_string(i + 1)))) return;
  QPainter painter;
  if (!painter.begin(&printer)) throw std::runtime_error("Der Drucker kann nicht drucken.");
  ChartView(i)->render(&painter, QRectF(), QRect(), Qt::KeepAspectRatio);
  if (!painter.end()) throw std::runtime_error("Der Druck ist fehlgeschlagen.");
}

}  // namespace ui
