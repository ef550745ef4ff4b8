#include "ui/about_box.h"

#include <QScreen>
#include <QShowEvent>
#include <QTextBlock>
#include <QTextBlockFormat>
#include <QTextCursor>

#include "services/text_modules.h"
#include "ui_about_box.h"

namespace ui {

namespace {
constexpr const char* kVersion = " V03.00";
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent), form_(std::make_unique<Ui::TAboutBox>()) {
  form_->setupUi(this);
  setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFixedSize(504, 137);
  QTextEdit* memo = form_->About_Memo;
  QFont font("Arial");
  font.setPixelSize(16);
  memo->setFont(font);
  QPalette palette = memo->palette();
  palette.setColor(QPalette::Base, QColor(0xC0, 0xC0, 0xC0));
  memo->setPalette(palette);
  memo->document()->setDocumentMargin(2);
}

TAboutBox::~TAboutBox() = default;

void TAboutBox::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (parentWidget() != nullptr && !event->spontaneous()) {
    // Centred over the screen of the main window.
    const QRect area = parentWidget()->screen()->availableGeometry();
    move(area.center() - rect().center());
  }
  FormActivate();
}

void TAboutBox::FormActivate() {
  QTextEdit* memo = form_->About_Memo;
  memo->hide();
  form_->Panel1->repaint();
  setWindowTitle(QString::fromStdString(services::GetText(44)));
  memo->clear();
  const std::string lines[] = {"",
                               services::GetText(32) + kVersion,
                               services::GetText(33),
                               "",
                               services::GetText(41),
                               services::GetText(42),
                               services::GetText(43)};
  QStringList text;
  for (const std::string& line : lines) text << QString::fromStdString(line);
  memo->setPlainText(text.join('\n'));
  QTextCursor cursor(memo->document());
  cursor.select(QTextCursor::Document);
  QTextBlockFormat centred;
  centred.setAlignment(Qt::AlignHCenter);
  // Seven lines of 16-pixel text fill the box's 137 pixels exactly.
  centred.setLineHeight(18, QTextBlockFormat::FixedHeight);
  cursor.mergeBlockFormat(centred);
  memo->show();
}

QStringList TAboutBox::MemoLines() const {
  return form_->About_Memo->toPlainText().split('\n');
}

}  // namespace ui
