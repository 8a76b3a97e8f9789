#include "shell/qt/SwitchesDialog.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

#include "shell/texts.h"

namespace plm {
namespace {

constexpr int kClientWidth = 633;
constexpr int kClientHeight = 204;

QString ToQString(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QLabel* NoteLabel(QWidget* parent, const char* name, std::string_view text, int x, int y) {
  auto* label = new QLabel(ToQString(text), parent);
  label->setObjectName(QString::fromUtf8(name));
  label->setFont(DialogFont(16));
  label->setAutoFillBackground(true);
  QPalette p = label->palette();
  p.setColor(QPalette::Window, Qt::white);
  p.setColor(QPalette::WindowText, Qt::blue);
  label->setPalette(p);
  label->adjustSize();
  label->move(x, y);
  return label;
}

}  // namespace

QFont DialogFont(int pixelSize) {
  QFont font;
  font.setFamilies({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic"),
                    QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("Noto Sans CJK JP")});
  font.setPixelSize(pixelSize);
  return font;
}

SwitchesDialog::SwitchesDialog(ConversionSwitches& options, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint),
      options_(options) {
  setObjectName(QStringLiteral("SwitchesDialog"));
  setWindowTitle(ToQString(texts::kSwitchesCaption));
  setFont(DialogFont(13));
  setFixedSize(kClientWidth, kClientHeight);
  setModal(true);
  move(192, 111);
  CreateLabels();
  CreateCheckBoxes();
  CreateButtons();
  SetFocusOrder();
}

void SwitchesDialog::CreateLabels() {
  auto* title = new QLabel(ToQString(texts::kSwitchesPurpose), this);
  title->setObjectName(QStringLiteral("Label3"));
  title->setFont(DialogFont(16));
  title->setAlignment(Qt::AlignCenter);
  QPalette p = title->palette();
  p.setColor(QPalette::WindowText, Qt::blue);
  title->setPalette(p);
  title->setGeometry(0, 0, kClientWidth, 24);

  NoteLabel(this, "Label45", texts::kSpacingLengthWarning, 8, 120);
  NoteLabel(this, "Label2", texts::kEndPointWarning, 8, 144);
  NoteLabel(this, "Label1", texts::kJwsTypeNote, 7, 168);
}

void SwitchesDialog::CreateCheckBoxes() {
  const QPoint places[4] = {{8, 24}, {8, 48}, {32, 72}, {32, 96}};
  for (int n = 1; n <= 4; ++n) {
    auto* box = new QCheckBox(ToQString(texts::kCheckBoxCaptions[static_cast<size_t>(n - 1)]), this);
    box->setObjectName(QStringLiteral("CheckBox%1").arg(n));
    // As wide as its caption: the whole box is the click target, with no dead strip.
    box->adjustSize();
    box->move(places[n - 1]);
  }
}

void SwitchesDialog::CreateButtons() {
  auto* ok = new QPushButton(ToQString(texts::kSwitchesOk), this);
  ok->setObjectName(QStringLiteral("Button3"));
  ok->setGeometry(376, 168, 120, 28);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &SwitchesDialog::AcceptSwitches);

  auto* cancel = new QPushButton(ToQString(texts::kSwitchesCancel), this);
  cancel->setObjectName(QStringLiteral("Button4"));
  cancel->setGeometry(504, 168, 120, 28);
  connect(cancel, &QPushButton::clicked, this, &SwitchesDialog::Cancel);
}

void SwitchesDialog::SetFocusOrder() {
  const char* order[] = {"CheckBox3", "CheckBox4", "Button3", "Button4", "CheckBox1", "CheckBox2"};
  QWidget* previous = nullptr;
  for (const char* name : order) {
    auto* w = findChild<QWidget*>(QString::fromUtf8(name));
    if (previous != nullptr) setTabOrder(previous, w);
    previous = w;
  }
}

QCheckBox* SwitchesDialog::CheckBox(int n) const { return findChild<QCheckBox*>(QStringLiteral("CheckBox%1").arg(n)); }

void SwitchesDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) ShowSwitches();
}

void SwitchesDialog::keyPressEvent(QKeyEvent* event) {
  const bool plain = (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) == 0;
  const char* button = !plain ? nullptr : event->key() == Qt::Key_Y ? "Button3" : event->key() == Qt::Key_N ? "Button4" : nullptr;
  if (button == nullptr) {
    QDialog::keyPressEvent(event);
    return;
  }
  findChild<QPushButton*>(QString::fromUtf8(button))->click();
}

void SwitchesDialog::ShowSwitches() {
  for (int n = 1; n <= 4; ++n) {
    QCheckBox* box = CheckBox(n);
    box->setChecked(false);
    if (options_.*kSwitchOrder[static_cast<size_t>(n - 1)]) box->setChecked(true);
  }
  CheckBox(3)->setFocus(Qt::OtherFocusReason);  // first in the focus order
}

void SwitchesDialog::AcceptSwitches() {
  for (int n = 1; n <= 4; ++n) options_.*kSwitchOrder[static_cast<size_t>(n - 1)] = CheckBox(n)->isChecked();
  accept();
}

// ESC and the title-bar close reach QDialog::reject as well: all three leave the
// switches untouched.
void SwitchesDialog::Cancel() { reject(); }

}  // namespace plm
