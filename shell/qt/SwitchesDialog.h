#pragma once
// The conversion settings dialog: four check boxes that edit ConversionSwitches in memory.
#include <QDialog>

#include "jww/spacingrule.h"

class QCheckBox;

namespace plm {

class SwitchesDialog : public QDialog {
  Q_OBJECT
 public:
  // `options` must outlive the dialog; only OK changes it, to 0 or 1 per switch.
  explicit SwitchesDialog(ConversionSwitches& options, QWidget* parent = nullptr);

  // Check box N (1..4), found by its name.
  QCheckBox* CheckBox(int n) const;

 public slots:
  void ShowSwitches();
  void AcceptSwitches();
  void Cancel();

 protected:
  void showEvent(QShowEvent* event) override;
  // Plain Y and N press OK and Cancel, as the buttons' captions promise.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void CreateLabels();
  void CreateCheckBoxes();
  void CreateButtons();
  void SetFocusOrder();

  ConversionSwitches& options_;
};

// The dialog's and list's font: ＭＳ ゴシック when installed, else Noto Sans Mono CJK JP.
QFont DialogFont(int pixelSize);

}  // namespace plm
