#include "ui/chart_window.h"

#include <QAbstractButton>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QFontMetricsF>
#include <QGraphicsLayout>
#include <QGraphicsTextItem>
#include <QGuiApplication>
#include <QLineSeries>
#include <QMenu>
#include <QPainter>
#include <QPrinter>
#include <QScopedValueRollback>
#include <QScreen>
#include <QShowEvent>
#include <QTextDocument>
#include <QTextOption>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "devicelink/device_data.h"
#include "devicelink/window_scopes.h"
#include "services/app_window.h"
#include "services/program_texts.h"
#include "services/text_modules.h"
#include "ui/chart_rules.h"
#include "ui/dialog_hooks.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"
#include "ui_chart_window.h"

namespace ui {

Tfrm_Grafik* frm_Grafik = nullptr;

namespace {

constexpr int kTimeTicks = 5;
// Texts shown in a chart without curves.
constexpr uint16_t kNoRecordsText = 200;
constexpr uint16_t kNoValuesText = 201;
// A record's curve in the colour of its column.
const QColor kCurveColours[4] = {QColor(0, 0, 192), QColor(192, 0, 0), QColor(0, 128, 0),
                                 QColor(128, 0, 128)};

QCategoryAxis* TimeAxis(QChart* chart) {
  return static_cast<QCategoryAxis*>(chart->axes(Qt::Horizontal).value(0));
}
QCategoryAxis* ValueAxis(QChart* chart) {
  return static_cast<QCategoryAxis*>(chart->axes(Qt::Vertical).value(0));
}

QCategoryAxis* NewAxis() {
  auto* axis = new QCategoryAxis;
  axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
  // Our marks are chosen to fit; a label cut to "15..." could be misread.
  axis->setTruncateLabels(false);
  return axis;
}

// The axis from `from` to `to` with a labelled mark at each tick, left alone
// when it has them already (a relabelled axis is laid out anew).
template <typename Tick, typename At>
void SetMarks(QCategoryAxis* axis, double from, double to, const std::vector<Tick>& ticks, At at) {
  QStringList labels;
  bool same =
      axis->min() == from && axis->max() == to && axis->count() == static_cast<int>(ticks.size());
  for (const Tick& t : ticks) {
    labels << Q(t.label);
    same = same && axis->categoriesLabels().contains(labels.back()) &&
           axis->endValue(labels.back()) == t.*at;
  }
  if (same) return;
  for (const QString& label : axis->categoriesLabels()) axis->remove(label);
  axis->setRange(from, to);
  // The start carries no label; outside the range its empty one hides no mark
  // that falls on the range's start.
  axis->setStartValue(from - (to - from) - 1);
  for (size_t k = 0; k < ticks.size(); ++k) {
    axis->append(labels[static_cast<qsizetype>(k)], ticks[k].*at);
  }
}

// Room for the time labels: within the plot's width on the left, where the
// value labels are, and up to the chart's frame on the right.
TLabelRoom TimeLabelRoom(QChart* chart) {
  const QFontMetricsF metrics(TimeAxis(chart)->labelsFont());
  const QRectF plot = chart->plotArea();
  qreal frame_right = 0;
  if (chart->layout() != nullptr) {
    chart->layout()->getContentsMargins(nullptr, nullptr, &frame_right, nullptr);
  }
  TLabelRoom room;
  room.width = plot.width();
  room.left = 0;
  room.right = chart->size().width() - frame_right - plot.left();
  room.gap = metrics.height() / 4;
  // The label items add a margin of their own.
  room.label_width = [metrics](const std::string& label) {
    return metrics.boundingRect(Q(label)).width() + 4;
  };
  return room;
}

// As many value marks as the plot's height holds with a free line between
// their labels.
int ValueTickLimit(QChart* chart) {
  const double line = QFontMetricsF(ValueAxis(chart)->labelsFont()).height();
  const double height = chart->plotArea().height();
  if (!(height > 0) || !(line > 0)) return 5;
  return std::clamp(static_cast<int>(height / (2 * line)) + 1, 3, 7);
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
    QCategoryAxis* time_axis = NewAxis();
    chart->addAxis(time_axis, Qt::AlignBottom);
    chart->addAxis(NewAxis(), Qt::AlignLeft);
    auto* note = new QGraphicsTextItem(chart);
    note->document()->setDefaultTextOption(QTextOption(Qt::AlignHCenter));
    note->setZValue(10);
    note->hide();
    notes_[static_cast<size_t>(i)] = note;
    auto* view = new QChartView(chart);
    view->setObjectName("Chart" + n);
    view->setRenderHint(QPainter::Antialiasing);
    // A span of years with a few days of samples at its ends shows only strokes:
    // dragging across a chart shows the time it covers, a double-click the whole.
    view->setRubberBand(QChartView::HorizontalRubberBand);
    view->viewport()->installEventFilter(this);
    connect(time_axis, &QValueAxis::rangeChanged, this, [this, i] {
      if (fitting_) return;
      relabels_.at(static_cast<size_t>(i)).rounds = 0;
      FitToTimeRange(i);
    });
    // The marks that fit depend on the plot's size, known after the layout:
    // marked anew once it is done.
    connect(
        chart, &QChart::plotAreaChanged, this, [this, i] { Relabel(i); }, Qt::QueuedConnection);
    connect(chart, &QChart::plotAreaChanged, this, [this, i] { PlaceNote(i); });
    (i < 2 ? form_->Splitter2 : form_->Splitter3)->addWidget(view);
    views_[static_cast<size_t>(i)] = view;

    auto* menu = new QMenu(view);
    menu->setObjectName("PopupMenu" + n);
    QAction* print = menu->addAction(QString());
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
  LoadTexts();
  ClearCharts();
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
  if (frm_Grafik == nullptr) frm_Grafik = this;
}

Tfrm_Grafik::~Tfrm_Grafik() {
  if (frm_Grafik == this) frm_Grafik = nullptr;
}

void Tfrm_Grafik::LoadTexts() {
  setWindowTitle(Q(services::ProgramText(services::text_id::kChartCaption)));
  for (QAction* print : print_items_) {
    print->setText(Q(services::ProgramText(services::text_id::kPrintItem)));
  }
}

QChart* Tfrm_Grafik::Chart(int i) const {
  return ChartView(i)->chart();
}

QChartView* Tfrm_Grafik::ChartView(int i) const {
  return views_.at(static_cast<size_t>(i));
}

QGraphicsTextItem* Tfrm_Grafik::Note(int i) const {
  return notes_.at(static_cast<size_t>(i));
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
  circuit_shown_ = false;
  notes_text_.clear();
  FitAxes();
}

void Tfrm_Grafik::ShowCircuit(int circuit) {
  for (int i = 0; i < 4; ++i) {
    Chart(i)->setTitle(source_ != nullptr ? Q(source_->TrendHeading(i + 1)) : QString());
  }
  devicelink::TCursorScope cursor;
  bool any_record = false;
  if (devicelink::TrendStore) {
    for (int k = 0; k < devicelink::kTrendRecords; ++k) {
      const devicelink::TTrendRecord& r = devicelink::TrendStore->Records.at(static_cast<size_t>(k));
      if (r.Status == 1 && r.Circuit == circuit && PlotTrendRecord(k)) any_record = true;
    }
  }
  circuit_shown_ = true;
  notes_text_ = services::GetText(any_record ? kNoValuesText : kNoRecordsText);
  FitAxes();
}

bool Tfrm_Grafik::PlotTrendRecord(int k) {
  const devicelink::TTrendRecord& r = devicelink::TrendStore->Records.at(static_cast<size_t>(k));
  if (r.Interval == 0 || r.Count == 0) return false;
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
  return true;
}

// Both axes cover every point. Without a circuit shown the charts show no
// axes; a chart of a circuit without curves shows bare axes and says why.
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
    const bool shown = !empty || circuit_shown_;
    QCategoryAxis* x = TimeAxis(chart);
    QCategoryAxis* y = ValueAxis(chart);
    QScopedValueRollback<bool> fitting(fitting_, true);
    x->setVisible(shown);
    y->setVisible(shown);
    // Bare axes: no grid line to suggest a time or value.
    x->setGridLineVisible(!empty);
    y->setGridLineVisible(!empty);
    QGraphicsTextItem* note = Note(i);
    note->setPlainText(Q(notes_text_));
    note->setVisible(empty && shown);
    PlaceNote(i);
    if (empty) {
      SetMarks(x, 0, 1, std::vector<TTimeTick>{}, &TTimeTick::x);
      SetMarks(y, 0, 1, std::vector<TValueTick>{}, &TValueTick::y);
      continue;
    }
    if (max_x == min_x) {
      // One sample: a minute either side.
      min_x -= 60000;
      max_x += 60000;
    }
    x->setRange(min_x, max_x);
    relabels_.at(static_cast<size_t>(i)).rounds = 0;
    FitToTimeRange(i);
  }
}

// New marks change the plot a little, and the next layout may call for other
// marks: a few rounds settle it. Marks that would keep alternating stay as
// they are until the chart's size or span changes.
void Tfrm_Grafik::Relabel(int i) {
  constexpr int kRounds = 4;
  TRelabels& r = relabels_.at(static_cast<size_t>(i));
  const QSizeF size = Chart(i)->size();
  if (size != r.size) {
    r.size = size;
    r.rounds = 0;
  }
  if (r.rounds == kRounds) return;
  ++r.rounds;
  FitToTimeRange(i);
}

// In the middle of the plot, on more lines where one is too wide.
void Tfrm_Grafik::PlaceNote(int i) {
  QGraphicsTextItem* note = Note(i);
  const QRectF area = Chart(i)->plotArea();
  note->setTextWidth(-1);
  if (note->boundingRect().width() > area.width()) note->setTextWidth(area.width());
  note->setPos(area.center() - note->boundingRect().center());
}

// The time axis marked for the span it shows, the value axis fitted to the
// points within that span.
void Tfrm_Grafik::FitToTimeRange(int i) {
  QChart* chart = Chart(i);
  if (chart->series().isEmpty()) return;
  QCategoryAxis* x = TimeAxis(chart);
  const double from = x->min();
  const double to = x->max();
  double min_y = std::numeric_limits<double>::infinity();
  double max_y = -min_y;
  for (QAbstractSeries* s : chart->series()) {
    for (const QPointF& p : static_cast<QLineSeries*>(s)->points()) {
      if (p.x() < from || p.x() > to) continue;
      min_y = std::min(min_y, p.y());
      max_y = std::max(max_y, p.y());
    }
  }
  QScopedValueRollback<bool> fitting(fitting_, true);
  // No sample in the span: the values stay as they are.
  if (min_y <= max_y) {
    const TValueScale scale = ValueAxisScale(min_y, max_y, ValueTickLimit(chart));
    SetMarks(ValueAxis(chart), scale.min, scale.max, scale.ticks, &TValueTick::y);
  }
  const TLabelRoom room = TimeLabelRoom(chart);
  SetMarks(x, from, to, TimeAxisTicks(from, to, kTimeTicks, &room), &TTimeTick::x);
}

// A command of the program as any other: it waits for a running one (the
// trend read) and does not start once the program closes.
void Tfrm_Grafik::mnu_Print1Click(QAction* sender) {
  for (int i = 0; i < 4; ++i) {
    if (sender != print_items_[static_cast<size_t>(i)]) continue;
    if (frm_Main != nullptr) {
      frm_Main->Gate().Command(sender, [this, i] { PrintChart(i); });
    } else {
      Handle(this, [&] { PrintChart(i); });
    }
  }
}

void Tfrm_Grafik::RenderChart(int i, QPainter& painter, const QRectF& page) const {
  ChartView(i)->render(&painter, page, QRect(), Qt::KeepAspectRatio);
}

void Tfrm_Grafik::PrintChart(int i) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName("Grafik");
  printer.setPageOrientation(QPageLayout::Landscape);
  if (!ExecPrintDialog(this, printer, PrintFileName("Grafik" + std::to_string(i + 1)))) return;
  QPainter painter;
  if (!painter.begin(&printer)) {
    throw std::runtime_error(services::ProgramText(services::text_id::kPrinterCannotPrint));
  }
  RenderChart(i, painter, QRectF(0, 0, printer.width(), printer.height()));
  if (!painter.end()) {
    throw std::runtime_error(services::ProgramText(services::text_id::kPrintFailed));
  }
}

}  // namespace ui
