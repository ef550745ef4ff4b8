#include "ui/input_dialog.h"

#include <QFontMetricsF>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QValidator>

#include <algorithm>
#include <cmath>
#include <optional>

#include "platform/clock.h"
#include "services/program_texts.h"
#include "services/unit_tables.h"
#include "ui/dialog_frame.h"
#include "ui/input_dialog_logic.h"
#include "ui_input_dialog.h"

namespace ui {
namespace {

// Upper case for whatever reaches the edit box, pasted text included.
class TUpperCase : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int&) const override {
    input = input.toUpper();
    return Acceptable;
  }
};

QString Text(const std::string& s) {
  return QString::fromStdString(s);
}

// Room around a button's caption, on either side and above and below together.
constexpr int kButtonPadding = 8;

}  // namespace

TInputDlg* InputDlg = nullptr;

TInputDlg::TInputDlg(QWidget* parent) : QDialog(parent), form_(std::make_unique<Ui::TInputDlg>()) {
  form_->setupUi(this);
  UseDialogFrame(*this);
  designed_ = {form_->LimitsLabel->minimumSize(), form_->OKBtn->minimumSize(),
               form_->CancelBtn->minimumSize()};
  form_->Input->setValidator(new TUpperCase(form_->Input));
  form_->Input->installEventFilter(this);
  connect(form_->OKBtn, &QPushButton::clicked, this, &TInputDlg::OKBtnClick);
  connect(form_->CancelBtn, &QPushButton::clicked, this, &TInputDlg::CancelBtnClick);
  if (InputDlg == nullptr) InputDlg = this;
}

TInputDlg::~TInputDlg() {
  if (InputDlg == this) InputDlg = nullptr;
}

void TInputDlg::FormActivate() {
  const services::TUnitRow* row = services::FindUnitRow(Quantity);
  DisplayValue = ToDisplayUnit(Value, row);
  DisplayMin = ToDisplayUnit(MinValue, row);
  DisplayMax = ToDisplayUnit(MaxValue, row);
  QLineEdit* input = form_->Input;
  shown_text_ = Text(InputValueText(DisplayValue, IntegerOnly, Precision));
  input->setText(shown_text_);
  input->setFocus();
  input->selectAll();
  form_->CancelBtn->setText(Text(services::ProgramText(services::text_id::kCancel)));
  ShowLimits(Text(InputValueText(DisplayMin, IntegerOnly, Precision)),
             Text(InputValueText(DisplayMax, IntegerOnly, Precision)));
  Cancelled = false;
}

void TInputDlg::ShowLimits(const QString& min, const QString& max) {
  const QString limits = min + " .. " + max;
  setWindowTitle(limits);
  // A window manager's title bar, in its own font and with its buttons, cuts the
  // limits short in a dialog this narrow: the label shows them whole, as wide as
  // they need within the screen, and on two lines when one line is wider than
  // the screen. Whole pixels up, so no fraction of a glyph is cut.
  QLabel* label = form_->LimitsLabel;
  const QMargins frame = layout()->contentsMargins();
  const int margins = frame.left() + frame.right();
  const QFontMetricsF metrics(label->font());
  const auto width_of = [&metrics](const QString& text) {
    return static_cast<int>(std::ceil(metrics.horizontalAdvance(text)));
  };
  const int screen_width = screen() != nullptr ? screen()->availableGeometry().width() : 0;
  QString text = limits;
  int text_width = width_of(limits);
  if (screen_width > 0 && text_width + margins > screen_width) {
    text = min + " ..\n" + max;
    text_width = std::max(width_of(min + " .."), width_of(max));
  }
  const int lines = text.count('\n') + 1;
  int label_width = std::max(designed_.label.width(), text_width);
  if (screen_width > 0) label_width = std::min(label_width, screen_width - margins);
  label->setText(text);
  label->setMinimumSize(label_width,
                        std::max(designed_.label.height(),
                                 static_cast<int>(std::ceil(lines * metrics.lineSpacing()))));
  // The buttons as large as their captions need in the font in force; a caption
  // the designed button holds keeps the designed size. Side by side in the
  // layout, they widen the dialog when the limits leave too little room.
  for (auto [b, designed] :
       {std::pair{form_->OKBtn, designed_.ok}, std::pair{form_->CancelBtn, designed_.cancel}}) {
    const QFontMetrics caption(b->font());
    b->setFixedSize(QSize(caption.horizontalAdvance(b->text()) + 2 * kButtonPadding,
                          caption.height() + kButtonPadding)
                        .expandedTo(designed));
  }
  layout()->activate();
}

bool TInputDlg::InputKeyPress(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Backspace:  // always accepted
    case Qt::Key_Delete:
    case Qt::Key_Return:  // the buttons' keys
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return false;
    default:
      break;
  }
  const QString typed = event->text();
  if (typed.isEmpty()) return false;  // caret keys type no character
  QLineEdit* input = form_->Input;
  std::optional<char> accepted;
  // Control combinations type no digit; refusing them also keeps pastes out.
  const bool control = (event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) != 0;
  if (!control && typed.size() == 1 && typed.front().unicode() < 0x80) {
    const QString text = input->text();
    const bool all_selected = input->selectedText().size() == text.size();
    accepted = FilterInputKey(text.toStdString(), all_selected,
                              static_cast<char>(typed.front().unicode()), Precision);
  }
  if (accepted) input->insert(QString(QChar(*accepted)));
  return true;
}

void TInputDlg::OKBtnClick() {
  const QString text = form_->Input->text();
  const bool unchanged = text == shown_text_;
  if (unchanged && KeepsShownValue(DisplayValue, DisplayMin, DisplayMax, IntegerOnly)) {
    accept();
    return;
  }
  // "", "-" or "12E-" is no value yet: the operator goes on typing.
  if (!IsCompleteNumber(text.toStdString())) {
    platform::Beep(platform::kBeepDefault);
    return;
  }
  const TInputEntry entry =
      unchanged ? ReadUnchangedEntry(DisplayValue, text.toStdString(), DisplayMin, DisplayMax)
                : ReadInputEntry(text.toStdString(), DisplayMin, DisplayMax);
  if (entry.beep) platform::Beep(platform::kBeepInformation);
  Value = ToDeviceUnit(entry.display_value, services::FindUnitRow(Quantity));
  accept();
}

void TInputDlg::CancelBtnClick() {
  Cancelled = true;
  reject();
}

bool TInputDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == form_->Input && event->type() == QEvent::KeyPress) {
    return InputKeyPress(static_cast<QKeyEvent*>(event));
  }
  return QDialog::eventFilter(watched, event);
}

void TInputDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;  // restored from the task bar, not a new use
  FormActivate();  // sets the width, so it comes before the centring
  if (const QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
}

void TInputDlg::keyPressEvent(QKeyEvent* event) {
  // Escape is the Cancel button, so that it sets Cancelled as well.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    form_->CancelBtn->click();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace ui
