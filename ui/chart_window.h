// The chart window: the trend records of one circuit in four charts, one per
// trend column (temperature and pressure above, standard volume flow and mass
// flow below), each record a curve of its own. It reads the trend store and the
// trend page's column headings and talks to no device.
#pragma once

#include <QSizeF>
#include <QWidget>

#include <array>
#include <memory>
#include <string>

class QAbstractButton;
class QAction;
class QMenu;

class QChart;
class QChartView;
class QPainter;
class QRectF;
class QGraphicsTextItem;

namespace Ui {
class Tfrm_Grafik;
}

namespace ui {

// What the window reads of the trend page.
class TTrendSource {
 public:
  virtual ~TTrendSource() = default;
  // Heading of trend column c (1..4) with the unit in force now in brackets,
  // the unit the curves are drawn in.
  virtual std::string TrendHeading(int column) const = 0;
  // True while the trend memory is being read.
  virtual bool TrendReadRunning() const = 0;
};

class Tfrm_Grafik : public QWidget {
  Q_OBJECT

 public:
  explicit Tfrm_Grafik(const TTrendSource* source, QWidget* parent = nullptr);
  ~Tfrm_Grafik() override;
  Ui::Tfrm_Grafik* Form() const { return form_.get(); }
  // Chart i (0..3) and its view.
  QChart* Chart(int i) const;
  QChartView* ChartView(int i) const;
  // The text chart i shows in place of curves.
  QGraphicsTextItem* Note(int i) const;

  // Back to the empty charts with the clearing button pressed.
  void ResetCharts();
  // The caption and the print items in the current language.
  void LoadTexts();
  // Chart i as it prints: the view scaled into the page, its shape kept.
  void RenderChart(int i, QPainter& painter, const QRectF& page) const;

 public slots:
  // Handler of the three buttons: the clearing one empties the charts, "CH 1"
  // and "CH 2" show the records of their circuit.
  void SpeedButton1Click(QAbstractButton* sender);
  // Handler of the four print items: prints the chart of its menu.
  void mnu_Print1Click(QAction* sender);
  void FormResize();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ClearCharts();
  void ShowCircuit(int circuit);
  // False for a record without samples (interval or count 0).
  bool PlotTrendRecord(int k);
  void FitAxes();
  void FitToTimeRange(int i);
  void Relabel(int i);
  void PlaceNote(int i);
  void PrintChart(int i);

  std::unique_ptr<Ui::Tfrm_Grafik> form_;
  const TTrendSource* source_;
  std::array<QChartView*, 4> views_{};
  std::array<QMenu*, 4> popup_menus_{};
  std::array<QAction*, 4> print_items_{};
  std::array<QGraphicsTextItem*, 4> notes_{};
  struct TRelabels {
    QSizeF size;     // of the chart when they were counted
    int rounds = 0;  // marked anew after a layout, for this size and span
  };
  std::array<TRelabels, 4> relabels_{};
  bool circuit_shown_ = false;  // a circuit button is pressed, not the clearing one
  std::string notes_text_;      // why a chart of the shown circuit has no curve
  QAbstractButton* pressed_ = nullptr;
  bool fitting_ = false;  // the axes are being set: no refit from their signals
};

extern Tfrm_Grafik* frm_Grafik;

}  // namespace ui
