#pragma once
// The conversion settings dialog: four check boxes that edit ConvertOptions in memory.
#include <QDialog>

#include "shell/UnitVal.h"

class QCheckBox;

namespace plm {

class TForm2 : public QDialog {
  Q_OBJECT
 public:
  // `options` must outlive the dialog; only OK changes it, to 0 or 1 per switch.
  explicit TForm2(ConvertOptions& options, QWidget* parent = nullptr);

  // Check box N (1..4), found by its name.
  QCheckBox* CheckBox(int n) const;

 public slots:
  void FormShow();
  void Button3Click();
  void Button4Click();

 protected:
  void showEvent(QShowEvent* event) override;
  // Plain Y and N press OK and Cancel, as the buttons' captions promise.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void CreateLabels();
  void CreateCheckBoxes();
  void CreateButtons();
  void SetFocusOrder();

  ConvertOptions& options_;
};

// The dialog's and list's font: ＭＳ ゴシック when installed, else Noto Sans Mono CJK JP.
QFont DialogFont(int pixelSize);

}  // namespace plm
